#include "fileops/Trash.h"

#include <unistd.h>

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

bool makeParents(FileSystem& fs, const std::string& path) {
    struct stat st;
    if (fs.lstat(path, &st) == 0) return S_ISDIR(st.st_mode);
    if (path == "/" || path.empty()) return false;
    if (!makeParents(fs, parentOf(path))) return false;
    return fs.mkdir(path, 0700) == 0 || errno == EEXIST;
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
        if (makeParents(fs, parentOf(homeTrash)) && ownFolders(fs, homeTrash)) return {homeTrash, ""};
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

}  // namespace korvel
