#pragma once
// The three kinds of long work as jobs (fileops/Job.h): a copy, move or delete of listed items,
// a serial rename pass, and an extended copy. Each is made on the window's thread, run once on a
// worker, and read again on the window's thread after it ended.
#include <atomic>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fileops/ExtendedCopy.h"
#include "fileops/FileOperation.h"
#include "fileops/Job.h"
#include "fileops/Journal.h"

namespace korvel {

enum class FileCommand { Delete, Copy, Move };

class FileOperationJob : public Job {
public:
    // folder: the destination of a copy or move; unused by a delete.
    FileOperationJob(FileCommand command, std::vector<std::string> files, std::string folder,
                     FileSystem& fs = systemFileSystem());
    void run(JobControl& control) override;

    // Where deleted items go when their own file system has no Trash; tests point it elsewhere.
    std::string homeTrash;
    // What the journal calls the step (a folder deleted from the tree is a folder delete).
    StepKind recordAs;
    bool aborted() const { return aborted_; }
    const FileOpCounts& counts() const { return counts_; }

private:
    FileCommand command_;
    std::vector<std::string> files_;
    std::string folder_;
    FileSystem& fs_;
    bool aborted_ = false;
    FileOpCounts counts_;
};

// Renames each pair in order, never replacing; a failed file is asked about (OK only) and the
// pass goes on with the next.
class SerialRenameJob : public Job {
public:
    explicit SerialRenameJob(std::vector<std::pair<std::string, std::string>> moves,
                             FileSystem& fs = systemFileSystem());
    void run(JobControl& control) override;
    // The pairs that got their new name, in order.
    const std::vector<std::pair<std::string, std::string>>& renamed() const { return renamed_; }

private:
    std::vector<std::pair<std::string, std::string>> moves_;
    FileSystem& fs_;
    std::vector<std::pair<std::string, std::string>> renamed_;
};

// Converts files into folder (ending with "/"). Each file's result is shown before the next one
// is written. Options absent: every file fails with the reason that the settings are unusable.
class ExtendedCopyJob : public Job {
public:
    ExtendedCopyJob(std::vector<std::string> files, std::string folder, std::optional<ExtendedCopyOptions> options,
                    int turn);
    void run(JobControl& control) override;
    // The rotation chosen now; each file reads it when its turn comes. Any thread.
    void setTurn(int turn) { turn_ = turn; }

private:
    std::vector<std::string> files_;
    std::string folder_;
    std::optional<ExtendedCopyOptions> options_;
    std::atomic<int> turn_;
};

}  // namespace korvel
