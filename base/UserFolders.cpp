#include "base/UserFolders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/Errors.h"
#include "base/FileNames.h"

namespace korvel {

namespace {
// An open folder that is a real directory owned by the user, with no group or other access.
bool isPrivateFolder(int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}
[[noreturn]] void fail(const std::string& what, const std::string& path, int err) {
    throw EFileError(what, path, err);
}
bool isFile(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
std::string baseName(const std::string& exe) {
    std::string name = extractFileName(exe);
    return name.substr(0, name.size() - extractFileExt(name).size());
}
}  // namespace

std::string configFolder(const std::string& executablePath) {
    if (const char* dir = std::getenv("KORVEL_CONFIG_DIR"); dir && *dir) return withSlash(dir);
    const std::string exeFolder = extractFilePath(executablePath);
    if (!exeFolder.empty() && isFile(exeFolder + "Korvel.ini")) return exeFolder;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') return withSlash(xdg) + "korvel/";
    const char* home = std::getenv("HOME");
    return withSlash(home && *home ? home : "/tmp") + ".config/korvel/";
}

std::string sharedThumbnailFolder() {
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/') return withSlash(xdg) + "thumbnails/";
    const char* home = std::getenv("HOME");
    return home && *home == '/' ? withSlash(home) + ".cache/thumbnails/" : std::string();
}

std::string stateFolder() {
    if (const char* dir = std::getenv("KORVEL_STATE_DIR"); dir && *dir) return withSlash(dir);
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg == '/') return withSlash(xdg) + "korvel/";
    const char* home = std::getenv("HOME");
    return home && *home == '/' ? withSlash(home) + ".local/state/korvel/" : std::string();
}

std::string mainSettingsPath(const std::string& executablePath) {
    return configFolder(executablePath) + "Korvel.ini";
}

std::string programSettingsPath(const std::string& executablePath) {
    const std::string base = baseName(executablePath);
    if (base.empty() || asciiLower(base) == "korvel") return mainSettingsPath(executablePath);
    return configFolder(executablePath) + base + ".ini";
}

std::string registryPath(const std::string& executablePath) { return configFolder(executablePath) + "registry.ini"; }

std::string privateTempFolder() {
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && run[0] == '/') {
        int fd = ::open(run, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            const bool ok = isPrivateFolder(fd);
            ::close(fd);
            if (ok) return withoutTrailingSlashes(run) + "/";
        }
    }
    std::string base = "/tmp";
    if (const char* tmp = std::getenv("TMPDIR"); tmp && tmp[0] == '/') base = withoutTrailingSlashes(tmp);
    const std::string stem = base + "/korvel-" + std::to_string(::geteuid());
    for (int n = 0; n < 16; ++n) {
        const std::string dir = n == 0 ? stem : stem + "-" + std::to_string(n);
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) fail("Cannot create the folder", dir, errno);
        // Checked through the opened folder, so a swap after the check cannot matter.
        int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;  // a link or a file stands there
        struct stat st;
        bool ours = ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid();
        // Our own folder with loose modes (an older run, a user's chmod) is tightened.
        if (ours && (st.st_mode & 077) != 0) ours = ::fchmod(fd, 0700) == 0;
        ::close(fd);
        if (ours) return dir + "/";
    }
    throw EFileError("No private folder for temporary files can be made in \"" + base + "\"");
}

void makeFolders(const std::string& folder) {
    struct stat st;
    for (size_t i = 1; i <= folder.size(); ++i) {
        if (i < folder.size() && folder[i] != '/') continue;
        const std::string part = folder.substr(0, i);
        if (::stat(part.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) fail("Cannot create the folder", part, errno);
    }
    // A file standing at the folder's name makes mkdir say EEXIST.
    if (!folder.empty() && (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
        fail("Cannot create the folder", folder, ENOTDIR);
}

}  // namespace korvel
