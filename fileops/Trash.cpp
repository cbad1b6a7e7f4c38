#include "fileops/Trash.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "base/FileNames.h"

namespace korvel {

namespace {

std::string parentOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return path.substr(0, slash);
}

// The device of path or of its nearest existing ancestor.
bool deviceOf(FileSystem& fs, std::string path, dev_t& dev) {
    struct stat st;
    for (;;) {
        if (fs.lstat(path, &st) == 0) {
            dev = st.st_dev;
            return true;
        }
        if (path == "/" || path.empty()) return false;
        path = parentOf(path);
    }
}

// A folder of ours: made when missing; must then be a real folder owned by us.
bool ownFolder(FileSystem& fs, const std::string& path) {
    if (fs.mkdir(path, 0700) != 0 && errno != EEXIST) return false;
    struct stat st;
    return fs.lstat(path, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

bool ownFolders(FileSystem& fs, const std::string& trash) {
    return ownFolder(fs, trash) && ownFolder(fs, trash + "/files") && ownFolder(fs, trash + "/info");
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if ((c | 32) >= 'a' && (c | 32) <= 'f') return (c | 32) - 'a' + 10;
    return -1;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool decodePath(std::string_view in, std::string& out) {
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        char c = in[i];
        if (c == '%') {
            const int hi = i + 2 < in.size() ? hexDigit(in[i + 1]) : -1;
            const int lo = hi >= 0 ? hexDigit(in[i + 2]) : -1;
            if (lo < 0) return false;
            c = char(hi * 16 + lo);
            i += 2;
        }
        if (c == '\0') return false;
        out += c;
    }
    if (out.empty() || out.size() >= PATH_MAX) return false;
    // A relative path must stay under the folder it is relative to.
    if (out.front() != '/') {
        for (size_t start = 0; start <= out.size();) {
            const size_t end = std::min(out.find('/', start), out.size());
            if (std::string_view(out).substr(start, end - start) == "..") return false;
            start = end + 1;
        }
    }
    return true;
}

// "YYYY-MM-DDThh:mm:ss", digits where digits belong.
bool isDate(std::string_view d) {
    constexpr std::string_view shape = "0000-00-00T00:00:00";
    if (d.size() != shape.size()) return false;
    for (size_t i = 0; i < d.size(); ++i)
        if (shape[i] == '0' ? (d[i] < '0' || d[i] > '9') : d[i] != shape[i]) return false;
    return true;
}

bool readSmallFile(FileSystem& fs, const std::string& path, std::string& text) {
    const int fd = fs.open(path, O_RDONLY | O_NOFOLLOW);
    if (fd < 0) return false;
    text.clear();
    char buf[4096];
    for (;;) {
        const ssize_t n = fs.read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || text.size() > kMaxTrashInfoSize) {
            const int err = errno;
            fs.close(fd);
            errno = err;
            return n == 0 || text.size() > kMaxTrashInfoSize;
        }
        text.append(buf, size_t(n));
    }
}

}  // namespace

std::string defaultHomeTrash() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data == '/') return std::string(data) + "/Trash";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.local/share/Trash";
}

TrashPlace findTrash(FileSystem& fs, const std::string& path, const std::string& homeTrash) {
    dev_t itemDev, homeDev;
    if (!deviceOf(fs, parentOf(path), itemDev)) return {};
    if (deviceOf(fs, homeTrash, homeDev) && homeDev == itemDev) {
        if (makeFolderPath(fs, parentOf(homeTrash)) && ownFolders(fs, homeTrash)) return {homeTrash, ""};
        return {};
    }
    // The top directory: the highest ancestor still on the item's file system.
    std::string top = parentOf(path);
    struct stat st;
    while (top != "/") {
        const std::string up = parentOf(top);
        if (fs.lstat(up, &st) != 0 || st.st_dev != itemDev) break;
        top = up;
    }
    const std::string prefix = top == "/" ? "" : top;
    const std::string uid = std::to_string(::geteuid());
    // An admin-made .Trash must be a real folder with the sticky bit, else it is not used.
    if (fs.lstat(prefix + "/.Trash", &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const std::string t = prefix + "/.Trash/" + uid;
        if (ownFolders(fs, t)) return {t, top};
    }
    const std::string t = prefix + "/.Trash-" + uid;
    if (ownFolders(fs, t)) return {t, top};
    return {};
}

std::string trashEntryName(const std::string& name, int attempt) {
    constexpr size_t kInfoSuffix = sizeof ".trashinfo" - 1;
    const std::string plain = attempt == 1 ? name : name + "." + std::to_string(attempt);
    if (plain.size() + kInfoSuffix <= NAME_MAX) return plain;
    std::string ext = extractFileExt(name);
    if (ext.size() > 32) ext.clear();  // a long tail after a dot is part of the name, not a type
    std::string number = std::to_string(attempt);
    number.insert(number.begin(), '~');
    size_t cut = NAME_MAX - kInfoSuffix - number.size() - ext.size();
    // Never inside a UTF-8 sequence: back up over its continuation bytes (three at most).
    for (int k = 0; k < 3 && cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80; ++k) --cut;
    return name.substr(0, cut) + number + ext;
}

std::string trashInfoText(const std::string& path, std::time_t when) {
    std::string encoded;
    for (unsigned char c : path) {
        const bool alnum = (c >= '0' && c <= '9') || ((c | 32) >= 'a' && (c | 32) <= 'z');
        if (alnum || std::string_view("/-_.!~*'()").find(char(c)) != std::string_view::npos) {
            encoded += char(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            encoded += hex;
        }
    }
    std::tm tm{};
    ::localtime_r(&when, &tm);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &tm);
    return "[Trash Info]\nPath=" + encoded + "\nDeletionDate=" + date + "\n";
}

bool parseTrashInfo(std::string_view text, TrashInfo& info) {
    if (text.size() > kMaxTrashInfoSize) return false;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    bool inGroup = false, seenGroup = false, havePath = false, haveDate = false;
    info = {};
    while (!text.empty()) {
        const size_t eol = std::min(text.find('\n'), text.size());
        const std::string_view line = trimmed(text.substr(0, eol));
        text.remove_prefix(std::min(eol + 1, text.size()));
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            inGroup = line == "[Trash Info]";
            seenGroup |= inGroup;
            continue;
        }
        // Keys before any group belong to none; other groups are someone else's.
        const size_t eq = line.find('=');
        if (!inGroup || eq == std::string_view::npos) continue;
        const std::string_view key = trimmed(line.substr(0, eq)), value = trimmed(line.substr(eq + 1));
        if (key == "Path" && !havePath) {
            if (!decodePath(value, info.path)) return false;
            havePath = true;
        } else if (key == "DeletionDate" && !haveDate) {
            haveDate = true;
            if (isDate(value)) info.deletionDate = value;
        }
    }
    return seenGroup && havePath;
}

TrashRestore restoreFromTrash(FileSystem& fs, const std::string& trashFolder, const std::string& entry, bool flush) {
    TrashRestore r;
    auto failed = [&r](int err) {
        r.error = err ? err : EIO;
        return r;
    };
    if (entry.empty() || entry == "." || entry == ".." || entry.find('/') != std::string::npos) return failed(EINVAL);
    const std::string infoFile = trashFolder + "/info/" + entry + ".trashinfo";
    const std::string item = trashFolder + "/files/" + entry;
    std::string text;
    if (!readSmallFile(fs, infoFile, text)) return failed(errno);
    TrashInfo info;
    if (!parseTrashInfo(text, info)) return failed(EBADMSG);

    // A relative path is from the folder the trash sits in: $topdir for $topdir/.Trash-$uid and,
    // as the deleting side writes it, for $topdir/.Trash/$uid too.
    std::string path = info.path;
    if (path.front() != '/') {
        std::string base = parentOf(trashFolder);
        if (extractFileName(base) == ".Trash") base = parentOf(base);
        path = (base == "/" ? "" : base) + "/" + path;
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (path == "/") return failed(EBADMSG);
    r.path = path;

    struct stat st;
    if (fs.lstat(item, &st) != 0) return failed(errno);
    // The name taken: refused before any folder is made, so nothing changes.
    if (fs.lstat(path, &st) == 0) return failed(EEXIST);
    if (errno != ENOENT) return failed(errno);
    if (!makeFolderPath(fs, parentOf(path), 0777)) return failed(errno);
    if (fs.renameNoReplace(item, path) != 0) return failed(errno);
    if (flush) fs.syncFolder(parentOf(path));
    // The item is back either way; an info file left behind only shows as a stale entry.
    fs.unlink(infoFile);
    return r;
}

}  // namespace korvel
