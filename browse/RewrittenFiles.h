#pragma once
// What goes stale when files' bytes change in place, under the same name (a turn saved into
// them, or its undo or redo): every picture made from the old bytes. The file's time may have
// been kept, so nothing keyed by name and time notices by itself.
#include <string>
#include <vector>

namespace korvel {

class FileList;
class SharedThumbs;

struct RewriteFollowUp {
    std::vector<size_t> cells;  // listed entries whose thumbnail is to be built again, ascending
    bool preview = false;       // the previewed file is among the files: it is to be decoded again
};

// Drops the cached thumbnails of the files' entries in list (ThumbPos -1; size and time read
// again) and their shared thumbnails (shared may be null), and says what is to be shown again.
// previewed: the previewed file, "" for none. Files not listed only lose their shared thumbnails.
RewriteFollowUp forgetRewritten(FileList& list, const std::vector<std::string>& files, const std::string& previewed,
                                const SharedThumbs* shared);

}  // namespace korvel
