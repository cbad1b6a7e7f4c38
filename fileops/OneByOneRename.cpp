#include "fileops/OneByOneRename.h"

#include "base/FileNames.h"
#include "fileops/Rename.h"
#include "fileops/UndoRedo.h"

namespace korvel {

OneByOneRename::OneByOneRename(std::vector<std::string> files, FileSystem& fs) : files_(std::move(files)), fs_(fs) {}

RenameResult OneByOneRename::renameFile(const std::string& from, const std::string& name) {
    RenameResult r{from, extractFilePath(from) + name, {}};
    r.why = renameInPlace(fs_, r.from, r.to);
    if (r.done() && r.from != r.to) done_.push_back(movedEntry(fs_, r.from, r.to));
    return r;
}

RenameResult OneByOneRename::rename(const std::string& name) {
    RenameResult r = renameFile(files_[next_], name);
    ++next_;
    return r;
}

std::vector<RenameResult> OneByOneRename::renameAll(const std::function<std::string(const std::string&)>& newName) {
    std::vector<RenameResult> results;
    for (; next_ < files_.size(); ++next_)
        results.push_back(renameFile(files_[next_], newName(extractFileName(files_[next_]))));
    return results;
}

int OneByOneRename::record() {
    const int err = recordStep(StepKind::Rename, std::move(done_), fs_);
    done_.clear();
    return err;
}

}  // namespace korvel
