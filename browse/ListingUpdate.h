#pragma once
// A listing brought up to date with what other programs did in its folder: entries of files
// that did not change stay as they are, thumbnail positions included.
#include <string>
#include <utility>
#include <vector>

#include "browse/FileList.h"
#include "browse/FolderChanges.h"
#include "browse/FolderScan.h"

namespace korvel {

struct ListingChange {
    size_t added = 0, removed = 0;
    std::vector<std::string> changed;  // listed files whose size or time changed
    std::vector<std::pair<std::string, std::string>> renamed;  // entries that took a new name
    bool any() const { return added || removed || !changed.empty() || !renamed.empty(); }
};

// list holds the files of folder as ListFolder listed them with options. A renamed file keeps its
// entry and place; a file that went leaves; a new file that passes the listing's rules is added
// and the list sorted again by options.nameView (descending when asked); a changed file's
// thumbnail is to be built again (ThumbPos -1). Everything lost, the folder gone, or (listing
// sub-folders too) a sub-folder changed: the folder is read again and merged. A folder that cannot
// be read leaves an empty list.
ListingChange applyFolderUpdate(FileList& list, const std::string& folder, const FolderUpdate& update,
                                const ListOptions& options, bool descending = false);

}  // namespace korvel
