#pragma once
// Rename of the marked files one at a time: the window asks about each file in turn and hands
// the answer here. Every file keeps its own folder, also when a sub-folder search listed it.
#include <functional>
#include <string>
#include <vector>

#include "base/ErrorReason.h"
#include "fileops/FileSystem.h"
#include "fileops/Journal.h"

namespace korvel {

// A rename that was tried: why it failed, empty when the file has its new name.
struct RenameResult {
    std::string from, to;
    FailureReason why;
    bool done() const { return why.empty(); }
};

class OneByOneRename {
public:
    explicit OneByOneRename(std::vector<std::string> files, FileSystem& fs = systemFileSystem());

    bool finished() const { return next_ >= files_.size(); }
    // The file asked about now; only while not finished.
    const std::string& file() const { return files_[next_]; }
    size_t total() const { return files_.size(); }

    // OK: the file gets name (name, ".", extension) in its own folder; the next file follows.
    RenameResult rename(const std::string& name);
    // Leaves the file as it is and goes on with the next.
    void skip() { ++next_; }
    // Ends the loop here; no file after this one is touched.
    void stop() { next_ = files_.size(); }
    // "All OK": this file and every later one get newName(their file name), in order; then the
    // loop ends. A failure does not stop the others.
    std::vector<RenameResult> renameAll(const std::function<std::string(const std::string& name)>& newName);

    // Records the renames made so far as one step of the journal: 0 or errno.
    int record();

private:
    RenameResult renameFile(const std::string& from, const std::string& name);

    std::vector<std::string> files_;
    FileSystem& fs_;
    size_t next_ = 0;
    std::vector<StepEntry> done_;
};

}  // namespace korvel
