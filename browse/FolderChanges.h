#pragma once
// Folder events gathered into updates: a burst (a camera import of hundreds of files) becomes one
// update per interval instead of one per file. An update only names what to look at again; what
// each name holds now is for the disk to say when the update is applied. Times are passed in,
// on any steady clock.
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "browse/FolderWatch.h"

namespace korvel {

struct FolderUpdate {
    bool everything = false;  // events were lost: every watched folder is to be read again
    // Renames seen whole (both halves), in the order they happened; files and folders.
    std::vector<std::pair<std::string, std::string>> renamed;
    std::vector<std::string> files;    // entries that appeared, went or changed (full paths)
    std::vector<std::string> folders;  // watched folders whose sub-folders changed
    std::vector<std::string> gone;     // watched folders that went themselves
    bool empty() const { return !everything && renamed.empty() && files.empty() && folders.empty() && gone.empty(); }
};

class ChangeCoalescer {
public:
    using Millis = std::chrono::milliseconds;
    // interval: from the first change of an update to its delivery. settle: a file created and
    // not yet closed counts as written once nothing happened to it for this long (a link, or a
    // writer that stalls); 0 counts created files at once.
    explicit ChangeCoalescer(Millis interval = Millis(300), Millis settle = Millis(2000))
        : interval_(interval), settle_(settle) {}

    void add(const FolderEvent& event, Millis now);
    // When take() next has something to give; none while nothing waits.
    std::optional<Millis> due() const;
    // The update due by now; empty before that. Files still being written stay behind.
    FolderUpdate take(Millis now);

private:
    struct Out {
        std::string path;
        bool isFolder;
    };
    void touch(const std::string& path, Millis now);
    void folderChanged(const std::string& folder, Millis now);
    void started(Millis now) {
        if (!since_) since_ = now;
    }

    Millis interval_, settle_;
    std::optional<Millis> since_;  // when the oldest change not yet taken came
    bool everything_ = false;
    std::vector<std::pair<std::string, std::string>> renamed_;
    std::set<std::string> files_, folders_, gone_;
    std::map<uint32_t, Out> movedOut_;     // halves of renames, by cookie
    std::map<std::string, Millis> writing_;  // created files not yet closed: last seen
};

}  // namespace korvel
