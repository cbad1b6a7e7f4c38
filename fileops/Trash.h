#pragma once
// The freedesktop Trash: where an item goes and the ".trashinfo" text that lets any file
// manager restore it.
#include <ctime>
#include <string>
#include <string_view>

#include "fileops/FileSystem.h"

namespace korvel {

// $XDG_DATA_HOME/Trash, or ~/.local/share/Trash.
std::string defaultHomeTrash();

struct TrashPlace {
    std::string folder;  // the trash folder holding files/ and info/; empty when none is usable
    std::string base;    // "Path=" is written relative to this folder; empty: absolute
};

// The trash for path (absolute, no trailing "/"): homeTrash when path lies on its file system,
// else $topdir/.Trash/$UID (when .Trash is a real sticky folder) or $topdir/.Trash-$UID of the
// mount holding path. The folders are made (mode 0700) when missing.
TrashPlace findTrash(FileSystem& fs, const std::string& path, const std::string& homeTrash);

// The name an item takes in files/ (and, with ".trashinfo", in info/) at the attempt-th try
// (from 1): the name itself, then name.2, name.3, ... A name whose info file's name would be too
// long for the file system becomes a shortened one, cut at a character and keeping its extension:
// stem~N.ext. The info file keeps the whole original path, so a restore gives the name back.
std::string trashEntryName(const std::string& name, int attempt);

// The contents of a .trashinfo file: the path percent-encoded as a URI path, the local time.
std::string trashInfoText(const std::string& path, std::time_t when);

// What a .trashinfo file says: the path as recorded (decoded bytes, absolute or relative to the
// folder the trash sits in) and the deletion date as written ("" when missing or malformed).
struct TrashInfo {
    std::string path;
    std::string deletionDate;
};

// A .trashinfo larger than this is not one (a path of PATH_MAX bytes, each percent-encoded).
constexpr size_t kMaxTrashInfoSize = 16 * 1024;

// Reads the "[Trash Info]" group of text. False for anything that is not a usable record: no
// such group, no Path, a bad escape, a NUL, ".." in a relative path, too long.
bool parseTrashInfo(std::string_view text, TrashInfo& info);

struct TrashRestore {
    int error = 0;     // 0, or errno: EEXIST the original name is taken (nothing moved), ENOENT no
                       // such item, EBADMSG its info file is not a usable record, ...
    std::string path;  // where the item goes back to, once known
};

// Moves trashFolder/files/entry back to the path its info/entry.trashinfo records, recreating
// missing parent folders, then removes the info file. Never replaces an existing file. flush
// false leaves flushing the folder it went back to to the caller, who restores many at once.
TrashRestore restoreFromTrash(FileSystem& fs, const std::string& trashFolder, const std::string& entry,
                              bool flush = true);

}  // namespace korvel
