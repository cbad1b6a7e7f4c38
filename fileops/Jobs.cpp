#include "fileops/Jobs.h"

#include "fileops/BatchConvert.h"
#include "fileops/Rename.h"
#include "fileops/Trash.h"
#include "fileops/UndoRedo.h"

namespace korvel {

namespace {

// The operation's questions, put to the window through the job's control.
class ControlledUser : public FileOpUser {
public:
    explicit ControlledUser(JobControl& control) : control_(control) {}

    ConflictAnswer askReplace(const std::string& source, const std::string& target) override {
        JobQuestion q;
        q.kind = JobQuestion::Kind::Replace;
        q.source = source;
        q.target = target;
        return control_.ask(q).conflict;
    }
    // As the shell does: a file copied into its own folder is copied under a new name.
    ConflictAnswer askCopyOntoItself(const std::string&) override { return ConflictAnswer::KeepBoth; }
    ErrorAnswer reportError(const FileOpError& error) override {
        return control_.fail({error.text(), FailureReason{error.err, {}, {}}}, true);
    }
    bool confirmTrash(const std::vector<std::string>& paths) override {
        JobQuestion q;
        q.kind = JobQuestion::Kind::ConfirmTrash;
        q.paths = paths;
        return control_.ask(q).yes;
    }
    bool confirmPermanentDelete(const std::string& path) override {
        JobQuestion q;
        q.kind = JobQuestion::Kind::ConfirmPermanentDelete;
        q.source = path;
        return control_.ask(q).yes;
    }
    bool progress(const FileOpProgress& p) override {
        control_.progress(p);
        return !control_.cancelled();
    }

private:
    JobControl& control_;
};

// Records what the job did; a journal that cannot take it is one more failure of the run.
void record(JobControl& control, StepKind kind, std::vector<StepEntry> entries, FileSystem& fs) {
    if (const int err = recordStep(kind, std::move(entries), fs))
        control.fail({notRecordedText(), FailureReason{err, {}, {}}}, false);
}

}  // namespace

FileOperationJob::FileOperationJob(FileCommand command, std::vector<std::string> files, std::string folder,
                                   FileSystem& fs)
    : homeTrash(defaultHomeTrash()),
      recordAs(command == FileCommand::Delete ? StepKind::TrashDelete
               : command == FileCommand::Copy ? StepKind::Copy
                                              : StepKind::Move),
      command_(command), files_(std::move(files)), folder_(std::move(folder)), fs_(fs) {}

void FileOperationJob::run(JobControl& control) {
    ControlledUser user(control);
    TFileOperation op(user, fs_);
    op.homeTrash = homeTrash;
    op.FromFiles = files_;
    op.ToFiles = {folder_};
    aborted_ = command_ == FileCommand::Delete ? op.Delete() : command_ == FileCommand::Copy ? op.Copy() : op.Move();
    counts_ = op.counts();
    record(control, recordAs, op.done(), fs_);
}

SerialRenameJob::SerialRenameJob(std::vector<std::pair<std::string, std::string>> moves, FileSystem& fs)
    : moves_(std::move(moves)), fs_(fs) {}

void SerialRenameJob::run(JobControl& control) {
    JobProgress p;
    p.filesTotal = int(moves_.size());
    std::vector<StepEntry> entries;
    runRenamePass(
        moves_,
        [&](const RenameStep& s) {
            if (s.error) control.fail({serialRenameFailedText(s.from), FailureReason{s.error, {}, {}}}, false);
            else if (s.from != s.to) {
                renamed_.emplace_back(s.from, s.to);
                entries.push_back(movedEntry(fs_, s.from, s.to));
            }
            p.filesDone = int(s.index + 1);
            p.current = s.from;
            control.step(p);
            return !control.cancelled();
        },
        fs_);
    record(control, StepKind::SerialRename, std::move(entries), fs_);
}

ExtendedCopyJob::ExtendedCopyJob(std::vector<std::string> files, std::string folder,
                                 std::optional<ExtendedCopyOptions> options, int turn)
    : files_(std::move(files)), folder_(std::move(folder)), options_(std::move(options)), turn_(turn) {}

void ExtendedCopyJob::run(JobControl& control) {
    JobProgress p;
    p.filesTotal = int(files_.size());
    std::vector<StepEntry> entries;
    ConvertBatch(
        files_, folder_, options_ ? &*options_ : nullptr, defaultJobCount(),
        [&](const ConvertResult& r) {
            if (!r.ok()) control.fail({convertFailureText(r.source), r.reason}, false);
            else entries.push_back(movedEntry(systemFileSystem(), r.source, r.written));
            ++p.filesDone;
            p.current = r.source;
            control.step(p);
        },
        &control.cancelFlag(), &turn_);
    record(control, StepKind::ExtendedCopy, std::move(entries), systemFileSystem());
}

}  // namespace korvel
