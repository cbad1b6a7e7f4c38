#pragma once
// Creating and renaming folders from the folder tree: the checks the name dialogs make, creation
// of nested names, a rename that never replaces, and the paths that follow a renamed folder.
#include <string>

#include "fileops/FileSystem.h"

namespace korvel {

// What a name dialog finds for a typed name.
enum class FolderName { Empty, Exists, Free };

class FolderOps {
public:
    explicit FolderOps(FileSystem& fs = systemFileSystem()) : fs_(fs) {}

    // Whether path is an existing folder (a link to one counts).
    bool isFolder(const std::string& path) const;

    // The new-folder dialog's check of name typed inside parent ("/"-terminated).
    FolderName checkNew(const std::string& parent, const std::string& name) const;
    // Makes parent + name with every missing level ("a/b" makes both) and returns the folder
    // made, without a trailing "/". "" when a level could not be made or is "." or "..", which
    // would leave the parent; errno tells why.
    std::string createNested(const std::string& parent, const std::string& name) const;

    // The folder that renaming old (no trailing "/") to name gives: old's parent folder + name,
    // less one trailing "/".
    static std::string renameTarget(const std::string& old, const std::string& name);
    // The rename dialog's check of name for old.
    FolderName checkRename(const std::string& old, const std::string& name) const;
    // Renames old to target without ever replacing anything. False when it failed, or when
    // target lies in another folder than old (a rename keeps the folder where it is); errno
    // tells why.
    bool renameFolder(const std::string& old, const std::string& target) const;

    // 0, or the errno of a journal that could not record the last folder made or renamed.
    int recordError() const { return recordError_; }

private:
    FileSystem& fs_;
    mutable int recordError_ = 0;
};

// path re-rooted from oldFolder to newFolder when it is oldFolder or lies inside it (both given
// without a trailing "/"); any other path unchanged.
std::string followRename(const std::string& path, const std::string& oldFolder, const std::string& newFolder);

}  // namespace korvel
