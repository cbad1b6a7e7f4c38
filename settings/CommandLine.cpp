#include "settings/CommandLine.h"

#include <dirent.h>
#include <sys/stat.h>

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
    cl.startMode = slideshowThenEnd ? 2 : slideshow ? 1 : 0;
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

}  // namespace korvel
