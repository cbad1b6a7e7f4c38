#include "browse/Drives.h"

#include <limits.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "base/FileNames.h"

namespace korvel {

namespace {

// Mount tables escape blanks, tabs, newlines and backslashes as octal "\ooo".
std::string unescapeMountField(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && std::isdigit((unsigned char)s[i + 1]) &&
            std::isdigit((unsigned char)s[i + 2]) && std::isdigit((unsigned char)s[i + 3])) {
            out += char((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool isRealFileSystem(const std::string& source, const std::string& type) {
    static const std::set<std::string> remote = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "9p"};
    static const std::set<std::string> pseudo = {"squashfs", "iso9660-loop", "overlay", "tmpfs", "devtmpfs", "ramfs"};
    if (remote.count(type)) return true;
    if (pseudo.count(type)) return false;
    return source.rfind("/dev/", 0) == 0 && source.rfind("/dev/loop", 0) != 0;
}

std::string captionFor(const std::string& label, const std::string& mountPoint) {
    return label.empty() ? "(" + mountPoint + ")" : label + " (" + mountPoint + ")";
}

}  // namespace

std::vector<DriveEntry> listDrives(const std::string& mountsText, const std::string& home, const LabelLookup& labels) {
    std::map<std::string, std::string> mounts;  // mount point -> device
    std::istringstream in(mountsText);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string source, point, type;
        if (!(fields >> source >> point >> type)) continue;
        point = unescapeMountField(point);
        if (point.empty() || point[0] != '/') continue;
        if (point == "/" || isRealFileSystem(source, type)) mounts[point] = unescapeMountField(source);
        else mounts.erase(point);  // a later pseudo mount hides what was below it
    }
    std::vector<DriveEntry> drives;
    if (!home.empty() && home != "/") {
        TrText caption{"Drives", KORVEL_TR_NOOP("Drives", "ホーム (%1)"), {home}};
        drives.push_back({withSlash(home), caption.str(), std::move(caption)});
    }
    drives.push_back({"/", captionFor(mounts.count("/") ? labels(mounts["/"]) : "", "/"), {}});
    for (const auto& [point, device] : mounts) {
        if (point == "/") continue;
        drives.push_back({withSlash(point), captionFor(labels(device), point), {}});
    }
    return drives;
}

namespace {
// udev writes unsafe characters of a label as "\xHH".
std::string decodeUdevName(const std::string& n) {
    std::string out;
    for (size_t i = 0; i < n.size(); ++i) {
        if (n.compare(i, 2, "\\x") == 0 && i + 3 < n.size()) {
            out += char(std::strtol(n.substr(i + 2, 2).c_str(), nullptr, 16));
            i += 3;
        } else {
            out += n[i];
        }
    }
    return out;
}
}  // namespace

std::string systemVolumeLabel(const std::string& device) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target = fs::canonical(device, ec);
    if (ec) return {};
    for (const auto& entry : fs::directory_iterator("/dev/disk/by-label", ec)) {
        std::error_code ec2;
        if (fs::canonical(entry.path(), ec2) == target && !ec2) return decodeUdevName(entry.path().filename().string());
    }
    return {};
}

std::vector<DriveEntry> currentDrives() {
    std::ifstream in("/proc/self/mounts");
    std::stringstream text;
    text << in.rdbuf();
    const char* home = std::getenv("HOME");
    return listDrives(text.str(), home ? home : "", systemVolumeLabel);
}

namespace {
// Length of the Trash "files/" folder prefix inside path, or 0 when path is in none.
size_t trashFilesPrefix(const std::string& path) {
    size_t pos = 0;
    while ((pos = path.find("/files/", pos)) != std::string::npos) {
        size_t parentStart = path.rfind('/', pos - 1);
        if (parentStart != std::string::npos) {
            std::string parent = path.substr(parentStart + 1, pos - parentStart - 1);
            bool trash = parent == "Trash" || parent.rfind(".Trash-", 0) == 0;
            if (!trash && parentStart > 0) {  // .Trash/UID/files
                size_t grand = path.rfind('/', parentStart - 1);
                if (grand != std::string::npos && path.compare(grand + 1, parentStart - grand - 1, ".Trash") == 0)
                    trash = std::all_of(parent.begin(), parent.end(), ::isdigit) && !parent.empty();
            }
            if (trash) return pos + 7;
        }
        pos += 1;
    }
    return 0;
}
}  // namespace

bool IsRecycleBinFolder(const std::string& path) {
    size_t n = trashFilesPrefix(withSlash(path));
    return n != 0 && n == withSlash(path).size();
}

bool IsTrashFilesFolderOnDisk(const std::string& path) {
    if (!IsRecycleBinFolder(path)) return false;
    const std::string files = withSlash(path);
    const std::string info = files.substr(0, files.size() - 6) + "info";  // ".../files/" -> ".../info"
    std::error_code ec;
    return std::filesystem::is_directory(files, ec) && std::filesystem::is_directory(info, ec);
}

bool IsInsideRecycleBin(const std::string& path) {
    size_t n = trashFilesPrefix(withSlash(path));
    return n != 0 && n < withSlash(path).size();
}

bool IsBelowWindowsRecycleBin(const std::string& path) {
    std::string lower = withSlash(path);
    // ASCII only: the names are ASCII, and other bytes of the path must stay as they are.
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    size_t at = lower.find("/recycled/");
    if (at == std::string::npos) at = lower.find("/recycler/");
    return at != std::string::npos && at + 10 < lower.size();
}

bool PassesRecycleBinRule(const std::string& path) {
    return !IsInsideRecycleBin(path) && !IsBelowWindowsRecycleBin(path);
}

}  // namespace korvel
