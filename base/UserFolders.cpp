#include "base/UserFolders.h"

#include <sys/stat.h>

#include <cstdlib>

#include "base/FileNames.h"

namespace korvel {

namespace {
std::string withSlash(std::string p) {
    if (!p.empty() && p.back() != '/') p += '/';
    return p;
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

std::string mainSettingsPath(const std::string& executablePath) {
    return configFolder(executablePath) + "Korvel.ini";
}

std::string programSettingsPath(const std::string& executablePath) {
    const std::string base = baseName(executablePath);
    if (base.empty() || asciiLower(base) == "korvel") return mainSettingsPath(executablePath);
    return configFolder(executablePath) + base + ".ini";
}

std::string registryPath(const std::string& executablePath) { return configFolder(executablePath) + "registry.ini"; }

}  // namespace korvel
