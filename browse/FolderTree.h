#pragma once
// What the folder tree reads of the file system, free of any window: the sub-folders of a
// folder, links and entries of unknown type judged by their status.
#include <functional>
#include <string>
#include <vector>

namespace korvel {

// Asked for each candidate sub-folder, its path ending with "/".
using FolderFilter = std::function<bool(const std::string& path)>;

// The names of folder's sub-folders that accept passes, in the order the system lists them;
// none when the folder cannot be read. folder ends with "/".
std::vector<std::string> listSubfolders(const std::string& folder, const FolderFilter& accept);
// Whether folder has a sub-folder that accept passes; reads only up to the first one.
bool hasSubfolder(const std::string& folder, const FolderFilter& accept);

// Where a folder chooser opens for start: start itself when it is a folder, else its nearest
// existing ancestor; home when start is empty or not absolute. Repeated "/" count once; the
// result ends with "/".
std::string nearestExistingFolder(const std::string& start, const std::string& home);

}  // namespace korvel
