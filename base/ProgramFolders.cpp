#include "base/ProgramFolders.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "base/FileNames.h"

// The build passes the install layout as paths relative to the installed executable's folder.
#ifndef KORVEL_RELATIVE_PLUGIN_DIR
#define KORVEL_RELATIVE_PLUGIN_DIR "../lib/korvel/plugins"
#endif
#ifndef KORVEL_RELATIVE_DATA_DIR
#define KORVEL_RELATIVE_DATA_DIR "../share/korvel"
#endif

namespace korvel {

namespace {
bool isFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
// "a/bin/../share/x" as "a/share/x", so the folders read well in messages and dialogs. Only
// textual: the executable's folder is already free of links.
std::string cleaned(const std::string& path) {
    std::string out;
    size_t i = 0;
    while (i < path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        const std::string part = path.substr(i, j - i);
        if (part == "..") {
            if (out.size() > 1) out.erase(out.rfind('/', out.size() - 2) + 1);
        } else if (!part.empty() && part != ".") {
            out += part + "/";
        } else if (i == 0) {
            out += "/";
        }
        i = j + 1;
    }
    return out;
}
}  // namespace

ProgramFolders programFolders(const std::string& executablePath) {
    std::string exe = executablePath;
    if (char* real = ::realpath(executablePath.c_str(), nullptr)) {
        exe = real;
        std::free(real);
    }
    const std::string folder = extractFilePath(exe);
    if (!folder.empty()) {
        const std::string data = withSlash(folder + KORVEL_RELATIVE_DATA_DIR);
        if (isFolder(data)) return {cleaned(withSlash(folder + KORVEL_RELATIVE_PLUGIN_DIR)), cleaned(data)};
    }
    return {folder, folder};
}

std::string runningExecutablePath(const std::string& fallback) {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, size_t(n)) : fallback;
}

}  // namespace korvel
