#include "browse/FolderTree.h"

#include <dirent.h>
#include <sys/stat.h>

namespace korvel {
namespace {

bool isFolder(const std::string& folder, const dirent* e) {
    if (e->d_type == DT_DIR) return true;
    if (e->d_type != DT_UNKNOWN && e->d_type != DT_LNK) return false;
    struct stat st;
    return ::stat((folder + e->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool dotEntry(const char* n) { return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)); }

// Calls found with each accepted sub-folder's name until it returns false.
void eachSubfolder(const std::string& folder, const FolderFilter& accept,
                   const std::function<bool(const char*)>& found) {
    DIR* d = ::opendir(folder.c_str());
    if (!d) return;
    while (const dirent* e = ::readdir(d)) {
        if (dotEntry(e->d_name) || !isFolder(folder, e)) continue;
        if (accept(folder + e->d_name + "/") && !found(e->d_name)) break;
    }
    ::closedir(d);
}

}  // namespace

std::vector<std::string> listSubfolders(const std::string& folder, const FolderFilter& accept) {
    std::vector<std::string> names;
    eachSubfolder(folder, accept, [&](const char* name) {
        names.emplace_back(name);
        return true;
    });
    return names;
}

bool hasSubfolder(const std::string& folder, const FolderFilter& accept) {
    bool found = false;
    eachSubfolder(folder, accept, [&](const char*) {
        found = true;
        return false;
    });
    return found;
}

std::string nearestExistingFolder(const std::string& start, const std::string& home) {
    if (start.empty() || start[0] != '/') {
        if (home.empty() || home[0] != '/') return "/";
        return home.back() == '/' ? home : home + '/';
    }
    std::string path;
    for (char c : start)
        if (c != '/' || path.empty() || path.back() != '/') path += c;
    if (path.back() != '/') path += '/';
    struct stat st;
    while (path.size() > 1 && !(::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
        path.erase(path.rfind('/', path.size() - 2) + 1);
    return path;
}

}  // namespace korvel
