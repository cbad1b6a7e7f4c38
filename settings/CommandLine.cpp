#include "settings/CommandLine.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "base/FileNames.h"

namespace korvel {

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    bool slideshow = false, slideshowThenEnd = false;
    for (const std::string& a : args) {
        const std::string lower = asciiLower(a);
        if (lower == "/s") slideshow = true;
        else if (lower == "/se") slideshowThenEnd = true;
        else cl.paths.push_back(a);
    }
    cl.startMode = slideshowThenEnd ? StartMode::SlideshowThenQuit
                   : slideshow      ? StartMode::Slideshow
                                    : StartMode::Normal;
    return cl;
}

namespace {

bool exists(const std::string& p) {
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0;
}

// The stored spelling of name inside folder: exact when present, else the single entry equal
// ignoring ASCII case; name itself when there is none or more than one.
std::string storedName(const std::string& folder, const std::string& name) {
    if (exists(folder + name)) return name;
    DIR* d = ::opendir(folder.empty() ? "/" : folder.c_str());
    if (!d) return name;
    std::string found;
    int matches = 0;
    const std::string wanted = asciiLower(name);
    while (const dirent* e = ::readdir(d))
        if (asciiLower(e->d_name) == wanted) found = e->d_name, ++matches;
    ::closedir(d);
    return matches == 1 ? found : name;
}

}  // namespace

std::string ExpandLongPath(const std::string& path, const std::string& cwd) {
    std::string full = (!path.empty() && path[0] == '/') ? path : cwd + "/" + path;
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= full.size()) {
        size_t slash = full.find('/', pos);
        if (slash == std::string::npos) slash = full.size();
        std::string part = full.substr(pos, slash - pos);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = slash + 1;
    }
    std::string out = "/";
    for (size_t i = 0; i < parts.size(); ++i) {
        out += storedName(out, parts[i]);
        if (i + 1 < parts.size()) out += "/";
    }
    return out;
}

PathTarget resolveArgument(const std::string& arg, const std::string& cwd) {
    PathTarget t;
    if (arg.empty()) return t;
    const std::string full = ExpandLongPath(arg, cwd);
    struct stat st;
    if (::stat(full.c_str(), &st) != 0) return t;
    t.exists = true;
    if (S_ISDIR(st.st_mode)) {
        t.folder = full.back() == '/' ? full : full + "/";
    } else {
        t.isFile = true;
        t.file = full;
        t.folder = extractFilePath(full);
    }
    return t;
}

std::string currentFolder() {
    std::error_code ec;
    return std::filesystem::current_path(ec).native();  // POSIX: the bytes, no conversion
}

namespace {

constexpr std::string_view kHandOverTag = "KVH1";

void putLength(std::string& out, size_t n) {
    for (int shift = 24; shift >= 0; shift -= 8) out += char((n >> shift) & 0xFF);
}

size_t getLength(std::string_view data, size_t at) {
    size_t n = 0;
    for (size_t i = 0; i < 4; ++i) n = (n << 8) | static_cast<unsigned char>(data[at + i]);
    return n;
}

}  // namespace

std::optional<std::string> encodeHandOver(const HandOver& h) {
    size_t size = kHandOverTag.size() + 4 + 4 + h.cwd.size();
    for (const std::string& a : h.arguments) size += 4 + a.size();
    if (size > kMaxHandOver) return std::nullopt;
    std::string out(kHandOverTag);
    out.reserve(size);
    putLength(out, h.arguments.size() + 1);
    putLength(out, h.cwd.size());
    out += h.cwd;
    for (const std::string& a : h.arguments) {
        putLength(out, a.size());
        out += a;
    }
    return out;
}

HandOverRead decodeHandOver(std::string_view data, HandOver& out) {
    if (data.size() > kMaxHandOver) return HandOverRead::Bad;
    const size_t tag = std::min(data.size(), kHandOverTag.size());
    if (data.substr(0, tag) != kHandOverTag.substr(0, tag)) return HandOverRead::Bad;
    size_t at = kHandOverTag.size();
    if (data.size() < at + 4) return HandOverRead::Incomplete;
    const size_t count = getLength(data, at);
    at += 4;
    // Every string costs at least its 4 length bytes, so a larger count cannot fit the bound.
    if (count == 0 || count > (kMaxHandOver - at) / 4) return HandOverRead::Bad;
    std::vector<std::string> strings;
    for (size_t i = 0; i < count; ++i) {
        if (data.size() < at + 4) return HandOverRead::Incomplete;
        const size_t n = getLength(data, at);
        at += 4;
        if (n > kMaxHandOver - at) return HandOverRead::Bad;
        if (data.size() < at + n) return HandOverRead::Incomplete;
        const std::string_view s = data.substr(at, n);
        if (s.find('\0') != std::string_view::npos) return HandOverRead::Bad;  // never in argv or a path
        strings.emplace_back(s);
        at += n;
    }
    if (at != data.size()) return HandOverRead::Bad;
    out.cwd = std::move(strings.front());
    out.arguments.assign(std::make_move_iterator(strings.begin() + 1), std::make_move_iterator(strings.end()));
    return HandOverRead::Complete;
}

bool displayGiven(std::string_view display, std::string_view waylandDisplay, std::string_view qtPlatform,
                  const std::vector<std::string>& args) {
    if (!display.empty() || !waylandDisplay.empty() || !qtPlatform.empty()) return true;
    // Qt takes an option only with a value after it.
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        std::string_view a = args[i];
        if (a.substr(0, 2) == "--") a.remove_prefix(1);
        if (a == "-platform" || a == "-display") return true;
    }
    return false;
}

}  // namespace korvel
