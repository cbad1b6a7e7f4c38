#pragma once
// Building the file list from a folder: ListFolder and the recursive ScanFolder.
//
// What the caller does around ListFolder (the main window): suspend the grid's updates, in mode 0
// truncate the thumbnail cache file (every ThumbPos is gone with the old entries), show the count
// with formatFileCount, and afterwards, when SubDirOnce is set, raise SubDirFindBtn and clear
// SubDirSearch.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "browse/ExtensionSet.h"
#include "browse/FileList.h"

namespace korvel {

struct ListOptions {
    std::string mask = "*.*";   // the filter box's mask (filterBoxMask)
    bool noHideFile = false;    // true: names starting with "." (files and folders) are skipped
    bool subDirSearch = false;  // true: sub-folders are listed too, depth first
    int nameView = 0;           // sort key: 0 name, 1 size, 2 date, 3 ext, 4 taken; others keep scan order
};

enum class ListMode {
    Replace = 0,  // the list becomes the folder's files
    Add = 1,      // files not yet listed (exact path comparison) are appended
};

struct ListResult {
    bool folderRead = false;  // false when the folder itself could not be opened
    int error = 0;            // errno of that failure
    size_t added = 0;         // entries appended by this call
};

// Opens the folder name (relative to the folder open as dirFd, or AT_FDCWD) for reading its
// entries: returns a descriptor, or -1 with errno set, as openat(2).
using FolderOpenFunction = std::function<int(int dirFd, const char* name)>;

// Replaces how folders are opened (tests make one fail to open, also as root); an empty
// function restores the real one.
void setFolderOpenFunction(FolderOpenFunction open);

// Lists the regular files of folder (a path; a missing trailing "/" is added) whose name passes
// the hidden rule and the extension set of options.mask and whose Size is at least 1: a 0-byte
// file or one whose low 32 bits read negative (3 GiB) is not listed. Symbolic links count as
// what they point to; dangling ones are skipped. Each entry gets Size and Time from the file's
// status, ThumbPos -1 and its upper-case Ext. Then the whole list is sorted ascending by
// options.nameView.
//
// A folder that cannot be read contributes nothing, silently; the result tells only about the
// top folder. A sub-folder reached a second time (through a symbolic link) is not entered
// again, so link loops end. Folders nested deeper than the process can hold open at once are
// skipped the same way.
ListResult ListFolder(FileList& list, const std::string& folder, ListMode mode, const ListOptions& options);

// The recursive enumeration alone: appends to found, in the order the system enumerates (a
// sub-folder's files at the place of the sub-folder), the files of folder that pass the rules
// above and that known does not hold (known may be null). No sorting.
ListResult ScanFolder(const std::string& folder, const ExtensionSet& extensions, const ListOptions& options,
                      const FileList* known, std::vector<FileEntry>& found);

// A file's size and last-write time as they are now (links followed); nullopt when the path
// names nothing.
std::optional<TSeekFile> currentSeekFile(const std::string& path);
// True when path names an existing folder (links followed).
bool isExistingFolder(const std::string& path);
// Removes the entries whose files are gone; returns how many went.
size_t removeVanishedFiles(FileList& list);

}  // namespace korvel
