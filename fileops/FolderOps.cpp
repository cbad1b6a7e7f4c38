#include "fileops/FolderOps.h"

#include <cerrno>
#include <vector>

#include "fileops/UndoRedo.h"

namespace korvel {

namespace {

std::string parentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

bool FolderOps::isFolder(const std::string& path) const {
    struct stat st;
    if (fs_.lstat(path, &st) != 0) return false;
    if (S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode);
}

FolderName FolderOps::checkNew(const std::string& parent, const std::string& name) const {
    if (name.empty()) return FolderName::Empty;
    return isFolder(parent + name) ? FolderName::Exists : FolderName::Free;
}

std::string FolderOps::createNested(const std::string& parent, const std::string& name) const {
    // Every level is checked before the first is made, so a refused name leaves nothing behind.
    std::vector<std::string> levels;
    bool leaves = false;  // a "." or ".." level
    for (size_t pos = 0; pos <= name.size();) {
        size_t end = name.find('/', pos);
        if (end == std::string::npos) end = name.size();
        std::string level = name.substr(pos, end - pos);
        pos = end + 1;
        if (level == "." || level == "..") leaves = true;
        else if (!level.empty()) levels.push_back(std::move(level));  // "a//b" and a trailing "/" add no level
    }
    if (leaves || levels.empty()) {
        errno = EINVAL;
        return {};
    }
    std::string path = parent;
    if (!path.empty() && path.back() != '/') path += '/';
    std::vector<StepEntry> made;
    for (const std::string& level : levels) {
        path += level;
        if (fs_.mkdir(path, 0777) == 0) {
            made.push_back(movedEntry(fs_, path, {}));
        } else if (!(errno == EEXIST && isFolder(path))) {
            const int err = errno;
            recordError_ = recordStep(StepKind::FolderCreate, std::move(made), fs_);
            errno = err;
            return {};
        }
        path += '/';
    }
    path.pop_back();
    recordError_ = recordStep(StepKind::FolderCreate, std::move(made), fs_);
    return path;
}

std::string FolderOps::renameTarget(const std::string& old, const std::string& name) {
    std::string target = parentOf(old) + name;
    if (target.size() > 1 && target.back() == '/') target.pop_back();
    return target;
}

FolderName FolderOps::checkRename(const std::string& old, const std::string& name) const {
    if (name.empty()) return FolderName::Empty;
    return isFolder(renameTarget(old, name)) ? FolderName::Exists : FolderName::Free;
}

bool FolderOps::renameFolder(const std::string& old, const std::string& target) const {
    const std::string name = target.substr(parentOf(old).size());
    if (parentOf(target) != parentOf(old) || name.empty() || name == "." || name == "..") {
        errno = EINVAL;
        return false;
    }
    if (fs_.renameNoReplace(old, target) != 0) return false;
    recordError_ = recordStep(StepKind::FolderRename, {movedEntry(fs_, old, target)}, fs_);
    return true;
}

std::string followRename(const std::string& path, const std::string& oldFolder, const std::string& newFolder) {
    if (oldFolder.empty() || path.compare(0, oldFolder.size(), oldFolder) != 0) return path;
    if (path.size() > oldFolder.size() && path[oldFolder.size()] != '/') return path;  // "/a/bc" is not in "/a/b"
    return newFolder + path.substr(oldFolder.size());
}

}  // namespace korvel
