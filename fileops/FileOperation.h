#pragma once
// Copy, move and delete of listed files and folders with fixed options: deleted items go to the
// freedesktop Trash, nothing is replaced without asking, nothing is ever half-written under its
// final name, and a move removes its source only after the copy is complete.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "base/Translatable.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "fileops/Journal.h"

namespace korvel {

using FileOpProgress = JobProgress;  // current: the source being worked on

// What an operation was doing when an item failed.
enum class FileOpStep {
    Read,           // reading a source (or listing a source folder)
    Open,           // opening a source file
    Copy,           // copying a file's data, or a kind of file that cannot be copied
    Create,         // making the target file or folder
    Write,          // writing the target file
    Move,           // moving a source by renaming it
    RemoveSource,   // removing a moved file's source after its copy was complete
    ReplaceFolder,  // a folder stands where a file would go
    CopyIntoItself, // a folder would be copied into itself
    MoveIntoItself, // a folder would be moved into itself
    SizeChanged,    // the source changed while it was copied
    Delete,         // deleting for good
    Trash,          // moving to the Trash
};

// One failed item, as the user is told about it.
struct FileOpError {
    FileOpStep step = FileOpStep::Read;
    // The user's file or folder: the source, or the target it would become. Never a temporary file.
    std::string path;
    int err = 0;  // errno; 0 when the step alone says why

    // The message in English with the system's reason, as korvel-tool prints it.
    std::string message() const;
    // The marked text of the step naming path; the window adds the reason (errorReasonText) below it.
    TrText text() const;
};

// The questions an operation asks; the window and korvel-tool each answer them their way.
class FileOpUser {
public:
    virtual ~FileOpUser() = default;
    // target exists (or appeared meanwhile); source would replace it.
    virtual ConflictAnswer askReplace(const std::string& source, const std::string& target) = 0;
    // A copy would land on its own source (copied into its own folder): KeepBoth copies it under
    // a new name, Cancel stops, any other answer leaves it alone.
    virtual ConflictAnswer askCopyOntoItself(const std::string& path) = 0;
    // One item failed.
    virtual ErrorAnswer reportError(const FileOpError& error) = 0;
    // Before moving count items to the Trash; false cancels.
    virtual bool confirmTrash(const std::vector<std::string>& paths) { return true; }
    // path has no usable Trash; true deletes it for good.
    virtual bool confirmPermanentDelete(const std::string& path) = 0;
    // Called between files and between chunks of large files; false cancels.
    virtual bool progress(const FileOpProgress& p) { return true; }
};

struct FileOpCounts {
    int done = 0, skipped = 0, failed = 0;
};

class TFileOperation {
public:
    std::vector<std::string> FromFiles;
    std::vector<std::string> ToFiles;  // one folder

    explicit TFileOperation(FileOpUser& user, FileSystem& fs = systemFileSystem());

    // Each returns true when the user cancelled any part of the operation.
    bool Copy();
    bool Move();
    bool Delete();

    // Moves the item from (a file, or a folder with all it holds) to exactly the path to, never
    // replacing: an undo puts an item back under the name it had. True when cancelled.
    bool MoveItem(const std::string& from, const std::string& to);

    // What the last operation did, item by item of FromFiles.
    const FileOpCounts& counts() const { return counts_; }
    // Where the last operation put each item it finished, for the journal: a listed item or a
    // folder it made as a whole, else each file it put into a folder that existed before.
    const std::vector<StepEntry>& done() const { return done_; }
    // Where the Trash lives: $XDG_DATA_HOME/Trash by default; tests point it elsewhere.
    std::string homeTrash;
    // A temporary file left by a killed copy is removed when a later operation writes into its
    // folder, once it is this old and no process holds its lock.
    int staleTempSeconds = 2;

private:
    enum class Mode { Copy, Move };
    bool run(Mode mode);
    enum class Step { Done, Skipped, Failed, Cancelled };
    // A measured source: its lstat, and the bytes and files it holds.
    struct Source {
        std::string path;
        struct stat st {};
        int err = 0;  // lstat's errno, 0 when st holds
        uint64_t bytes = 0;
        int files = 0;
    };
    Step transfer(Mode mode, const std::string& src, const std::string& folder, const Source* known);
    Step transferFile(Mode mode, const std::string& src, const struct stat& st, std::string target, bool replace,
                      bool crossDevice);
    Step transferFolder(Mode mode, const std::string& src, const struct stat& st, const std::string& target,
                        const Source* known);
    Step finished(const std::string& src, uint64_t bytes, int files);
    // Notes that src is now target; st is src's lstat when target is the same file (a rename).
    void record(const std::string& src, const std::string& target, const struct stat* st);
    void reset();
    // src would land on itself at target: Done goes on with target given a new name.
    Step ontoItself(Mode mode, const std::string& src, uint64_t bytes, int files, std::string& target);
    // Copies src into temp, a temporary file that becomes target; failures name target.
    Step copyToTemp(const std::string& src, const struct stat& st, const std::string& temp, const std::string& target,
                    bool flush);
    void sweepStaleTemps(const std::string& folder);
    void releaseTemp();
    Step removeTree(const std::string& path);
    Step fail(FileOpStep step, const std::string& path, int err);
    // Whether src may replace target, the "all" answers remembered: Replace, Skip, KeepBoth or
    // Cancel (which also cancels the operation).
    ConflictAnswer replaceAnswer(const std::string& src, const std::string& target);
    Step trashOne(const std::string& path);
    bool tick(uint64_t bytes, const std::string& current);
    std::string uniqueName(const std::string& target);
    uint64_t measureFolder(const std::string& path, int& files);

    FileOpUser& user_;
    FileSystem& fs_;
    FileOpCounts counts_;
    std::vector<StepEntry> done_;
    int insideMadeFolder_ = 0;  // a folder made by this operation is recorded as a whole
    FileOpProgress progress_;
    bool replaceAll_ = false, skipAll_ = false, cancelled_ = false;
    std::set<std::string> swept_;
    std::string pid_;  // in temporary names; asked once per operation
    int folderFd_ = -1;  // the target folder, held open while listed items are moved into it
    int tempLock_ = -1;  // holds the lock of the finished temporary file until it has its name
};

}  // namespace korvel
