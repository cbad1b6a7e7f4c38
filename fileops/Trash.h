#pragma once
// The freedesktop Trash: where an item goes and the ".trashinfo" text that lets any file
// manager restore it.
#include <ctime>
#include <string>

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

// The contents of a .trashinfo file: the path percent-encoded as a URI path, the local time.
std::string trashInfoText(const std::string& path, std::time_t when);

}  // namespace korvel
