#include "fileops/UndoRedo.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>
#include <set>

#include "base/ErrorReason.h"
#include "base/FileNames.h"
#include "fileops/FileOperation.h"
#include "fileops/Trash.h"

namespace korvel {

namespace {

struct KindText {
    const char* english;
    const char* text;
};
// In StepKind's order; %1 is the number of items.
const KindText kKindTexts[] = {
    {"copy of %1 files", KORVEL_TR_NOOP("Undo", "%1個のファイルのコピー")},
    {"move of %1 files", KORVEL_TR_NOOP("Undo", "%1個のファイルの移動")},
    {"delete of %1 files to the Trash", KORVEL_TR_NOOP("Undo", "%1個のファイルの削除")},
    {"rename of %1 files", KORVEL_TR_NOOP("Undo", "%1個のファイルの名前の変更")},
    {"serial rename of %1 files", KORVEL_TR_NOOP("Undo", "%1個のファイルの連番での名前の変更")},
    {"new folder", KORVEL_TR_NOOP("Undo", "フォルダの作成")},
    {"folder rename", KORVEL_TR_NOOP("Undo", "フォルダ名の変更")},
    {"folder delete to the Trash", KORVEL_TR_NOOP("Undo", "フォルダの削除")},
    {"extended copy of %1 files", KORVEL_TR_NOOP("Undo", "%1個のファイルの拡張コピー")},
    {"turn of %1 files", KORVEL_TR_NOOP("Undo", "%1個のファイルの回転の保存")},
};
static_assert(std::size(kKindTexts) == kLastStepKind);

// In LeftAlone::Why's order; %1 is the path.
const KindText kLeftTexts[] = {
    {"changed since; left as it is", KORVEL_TR_NOOP("Undo", "%1 は操作の後で変更されたので、そのままにしました。")},
    {"the name is taken; left as it is", KORVEL_TR_NOOP("Undo", "%1 は既にあるので、そのままにしました。")},
    {"not found", KORVEL_TR_NOOP("Undo", "%1 が見つかりません。")},
    {"not empty; left as it is", KORVEL_TR_NOOP("Undo", "%1 は空ではないので、そのままにしました。")},
    {"no Trash on its file system; left as it is",
     KORVEL_TR_NOOP("Undo", "%1 にはごみ箱がないので、そのままにしました。")},
    {"failed", KORVEL_TR_NOOP("Undo", "%1 を元に戻せませんでした。")},
};
static_assert(std::size(kLeftTexts) == size_t(LeftAlone::Why::Failed) + 1);

// The Trash folder and the entry name of an item in its files/ folder.
bool splitTrashItem(const std::string& item, std::string& trashFolder, std::string& entry) {
    const size_t at = item.rfind("/files/");
    if (at == std::string::npos || item.find('/', at + 7) != std::string::npos) return false;
    trashFolder = item.substr(0, at);
    entry = item.substr(at + 7);
    return !entry.empty();
}

// Two regular files with the same bytes.
bool sameContent(FileSystem& fs, const std::string& a, const std::string& b) {
    const int fa = fs.open(a, O_RDONLY | O_NOFOLLOW), fb = fa < 0 ? -1 : fs.open(b, O_RDONLY | O_NOFOLLOW);
    bool same = fa >= 0 && fb >= 0;
    char ba[65536], bb[65536];
    while (same) {
        const ssize_t na = fs.read(fa, ba, sizeof ba), nb = fs.read(fb, bb, sizeof bb);
        same = na == nb && na >= 0 && std::memcmp(ba, bb, size_t(na < 0 ? 0 : na)) == 0;
        if (na <= 0) break;
    }
    if (fa >= 0) fs.close(fa);
    if (fb >= 0) fs.close(fb);
    return same;
}

// A file copied to another file system keeps its size and time, not its device and inode.
bool copiedFrom(const struct stat& st, const FileIdentity& id) {
    return S_ISREG(st.st_mode) && int64_t(st.st_size) == id.size && identityOf(st).mtimeNs == id.mtimeNs;
}

}  // namespace

int recordStep(StepKind kind, std::vector<StepEntry> entries, FileSystem& fs, const std::string& journalPath) {
    if (entries.empty()) return 0;
    if (journalPath.empty()) return ENOENT;
    Journal journal(journalPath, fs);
    journal.load();  // so that it knows when to drop old steps
    JournalStep step;
    step.kind = kind;
    step.entries = std::move(entries);
    return journal.append(step);
}

StepEntry movedEntry(FileSystem& fs, const std::string& from, const std::string& to) {
    return {from, to, fileIdentity(fs, to.empty() ? from : to).value_or(FileIdentity{}), false, {}};
}

TrText stepText(const JournalStep& step) {
    return {"Undo", kKindTexts[size_t(step.kind) - 1].text, {std::to_string(step.entries.size())}};
}

std::string stepTextEnglish(const JournalStep& step) {
    std::string text = fillIn(kKindTexts[size_t(step.kind) - 1].english, {std::to_string(step.entries.size())});
    if (step.entries.size() == 1)
        if (const size_t at = text.find(" 1 files"); at != std::string::npos) text.erase(at + 7, 1);
    return text;
}

TrText journalFailedText() {
    return {"Undo", KORVEL_TR_NOOP("Undo", "操作の記録を読み書き出来ませんでした。"), {}};
}

TrText notRecordedText() {
    return {"Undo", KORVEL_TR_NOOP("Undo", "操作を記録出来なかったので、元に戻すことは出来ません。"), {}};
}

std::string LeftAlone::message() const {
    const std::string text = "\"" + path + "\": " + kLeftTexts[size_t(why)].english;
    return err ? text + ": " + systemErrorText(err) : text;
}

TrText LeftAlone::text() const { return {"Undo", kLeftTexts[size_t(why)].text, {path}}; }

// Works one step in one direction, item by item.
class StepWorker : public FileOpUser {
public:
    StepWorker(UndoJob& job, JobControl& control, Journal& journal, JournalStep& step)
        : job_(job), fs_(job.fs_), control_(control), journal_(journal), step_(step),
          undo_(job.direction_ == UndoDirection::Undo) {}

    // False when cancelled before every item was reached, or when an item failed for a reason
    // that may pass (a full disk, an I/O error): the step then stays as it is, for the next run
    // to finish. An item changed or a name taken since does not hold the step back.
    bool run() {
        const size_t n = step_.entries.size();
        progress_.filesTotal = int(n);
        for (size_t k = 0; k < n; ++k) {
            if (control_.cancelled()) return false;
            // An undo goes back through the step from its end, so a chain of renames unwinds.
            const size_t i = undo_ ? n - 1 - k : k;
            StepEntry& e = step_.entries[i];
            progress_.current = undo_ ? e.target : e.source;
            if (e.undone != undo_ && work(e)) {
                e.undone = undo_;
                if (const int err = journal_.updateEntry(step_.id, i, e)) job_.journalError_ = err;
            }
            ++progress_.filesDone;
            control_.progress(progress_);
        }
        for (const std::string& folder : touched_) fs_.syncFolder(folder);
        return !control_.cancelled() && !failed_;
    }

    // The questions of a fallback through the file operation: nothing replaced, nothing asked.
    ConflictAnswer askReplace(const std::string&, const std::string& target) override {
        leave(LeftAlone::Why::Taken, target);
        return ConflictAnswer::Skip;
    }
    ConflictAnswer askCopyOntoItself(const std::string& path) override {
        leave(LeftAlone::Why::Taken, path);
        return ConflictAnswer::Skip;
    }
    ErrorAnswer reportError(const FileOpError& error) override {
        failed_ = true;
        job_.left_.push_back({LeftAlone::Why::Failed, error.path, error.err});
        control_.fail({error.text(), FailureReason{error.err, {}, {}}}, false);
        return ErrorAnswer::Skip;
    }
    bool confirmPermanentDelete(const std::string& path) override {
        leave(LeftAlone::Why::NoTrash, path);
        return false;
    }
    bool progress(const FileOpProgress&) override { return !control_.cancelled(); }

private:
    // Puts e where the direction wants it; true when it is there now.
    bool work(StepEntry& e) {
        switch (step_.kind) {
            case StepKind::Move:
            case StepKind::Rename:
            case StepKind::SerialRename:
            case StepKind::FolderRename:
                return undo_ ? relocate(e.target, e.source, e.left) : relocate(e.source, e.target, e.left);
            case StepKind::Copy:
            case StepKind::ExtendedCopy:
                if (undo_) return trash(e.target, e.left, e.trashed);
                if (!restore(e.trashed, e.target, e.left)) return false;
                e.trashed.clear();
                return true;
            case StepKind::TrashDelete:
            case StepKind::FolderDelete:
                return undo_ ? restore(e.target, e.source, e.left) : trash(e.source, e.left, e.target);
            case StepKind::FolderCreate:
                return undo_ ? removeFolder(e.source, e.left) : makeFolder(e.source, e.left);
            case StepKind::Turn:
                return swapWithTrash(e);
        }
        return false;
    }

    void leave(LeftAlone::Why why, const std::string& path, int err = 0) {
        if (why == LeftAlone::Why::Failed) failed_ = true;
        job_.left_.push_back({why, path, err});
        control_.fail({job_.left_.back().text(), FailureReason{err, {}, {}}}, false);
    }

    // Whether from is the item the step left (said when not).
    bool isLeft(const std::string& from, FileIdentity left, struct stat& st) {
        return find(from, {}, left, st) == Found::Here;
    }

    // Where the item the step left is: at from (its lstat in st), or, when to is given, at to
    // already, where an earlier run cut short put it. Said when neither. One lstat in the common
    // case: an undo of thousands of files spends its time here.
    enum class Found { Here, There, No };
    Found find(const std::string& from, const std::string& to, FileIdentity& left, struct stat& st) {
        if (fs_.lstat(from, &st) == 0) {
            if (matchesIdentity(st, left)) return Found::Here;
            leave(LeftAlone::Why::Changed, from);
            return Found::No;
        }
        const int err = errno;
        struct stat there;
        if (err == ENOENT && !to.empty() && fs_.lstat(to, &there) == 0 &&
            (matchesIdentity(there, left) || copiedFrom(there, left))) {
            left = identityOf(there);
            return Found::There;
        }
        leave(err == ENOENT ? LeftAlone::Why::Gone : LeftAlone::Why::Failed, from, err == ENOENT ? 0 : err);
        return Found::No;
    }

    void moved(const std::string& from, const std::string& to) {
        job_.moved_.emplace_back(from, to);
        touched_.insert(extractFilePath(to));
    }

    bool relocate(const std::string& from, const std::string& to, FileIdentity& left) {
        struct stat st;
        const Found found = find(from, to, left, st);
        if (found != Found::Here) return found == Found::There;
        int r = fs_.renameNoReplace(from, to);
        if (r != 0 && errno == ENOENT && makeFolderPath(fs_, extractFilePath(to), 0777))
            r = fs_.renameNoReplace(from, to);  // its folder was removed since
        if (r == 0) {
            moved(from, to);
            return true;
        }
        const int err = errno;
        if (err == EEXIST || err == ENOTEMPTY) {
            struct stat there;
            // A copy to another file system that a kill stopped before it removed its source.
            if (S_ISREG(st.st_mode) && fs_.lstat(to, &there) == 0 && copiedFrom(there, left) &&
                sameContent(fs_, from, to) && fs_.unlink(from) == 0) {
                left = identityOf(there);
                moved(from, to);
                return true;
            }
            leave(LeftAlone::Why::Taken, to);
            return false;
        }
        if (err != EXDEV) {
            leave(LeftAlone::Why::Failed, from, err);
            return false;
        }
        TFileOperation op(*this, fs_);
        op.homeTrash = job_.homeTrash;
        op.MoveItem(from, to);
        if (op.done().empty()) return false;
        left = op.done().front().left;
        moved(from, to);
        return true;
    }

    bool trash(const std::string& path, FileIdentity& left, std::string& inTrash) {
        struct stat st;
        if (!isLeft(path, left, st)) return false;
        TFileOperation op(*this, fs_);
        op.homeTrash = job_.homeTrash;
        op.FromFiles = {path};
        op.Delete();
        if (op.done().empty()) return false;
        inTrash = op.done().front().target;
        left = op.done().front().left;
        job_.moved_.emplace_back(path, std::string());
        return true;
    }

    bool restore(const std::string& item, const std::string& to, FileIdentity& left) {
        std::string trashFolder, entry;
        if (!splitTrashItem(item, trashFolder, entry)) {
            leave(LeftAlone::Why::Gone, to);
            return false;
        }
        struct stat st;
        const Found found = find(item, to, left, st);
        if (found != Found::Here) return found == Found::There;
        const TrashRestore r = restoreFromTrash(fs_, trashFolder, entry, false);
        if (r.error == EEXIST) {
            leave(LeftAlone::Why::Taken, r.path.empty() ? to : r.path);
            return false;
        }
        if (r.error) {
            leave(LeftAlone::Why::Failed, to, r.error);
            return false;
        }
        moved(item, r.path);
        return true;
    }

    // A saved turn is undone and redone alike: the version at source goes into the Trash and
    // the one in the Trash takes its place, so both stay exact.
    bool swapWithTrash(StepEntry& e) {
        std::string trashFolder, entry;
        struct stat st;
        if (!isLeft(e.source, e.left, st)) return false;
        if (!splitTrashItem(e.target, trashFolder, entry) || fs_.lstat(e.target, &st) != 0) {
            leave(LeftAlone::Why::Gone, e.target);
            return false;
        }
        std::string inTrash;
        FileIdentity now = e.left;
        if (!trash(e.source, now, inTrash)) return false;
        job_.moved_.pop_back();  // the file stays where it was: only its contents change
        const TrashRestore r = restoreFromTrash(fs_, trashFolder, entry, false);
        if (r.error) {
            std::string backFolder, backEntry;
            if (splitTrashItem(inTrash, backFolder, backEntry)) restoreFromTrash(fs_, backFolder, backEntry);
            leave(r.error == EEXIST ? LeftAlone::Why::Taken : LeftAlone::Why::Failed, e.source,
                  r.error == EEXIST ? 0 : r.error);
            return false;
        }
        touched_.insert(extractFilePath(e.source));
        e.target = inTrash;
        e.left = fileIdentity(fs_, e.source).value_or(FileIdentity{});
        return true;
    }

    bool removeFolder(const std::string& folder, FileIdentity& left) {
        struct stat st;
        if (!isLeft(folder, left, st)) return false;
        if (fs_.rmdir(folder) == 0) {
            job_.moved_.emplace_back(folder, std::string());
            return true;
        }
        const int err = errno;
        leave(err == ENOTEMPTY || err == EEXIST ? LeftAlone::Why::NotEmpty : LeftAlone::Why::Failed, folder,
              err == ENOTEMPTY || err == EEXIST ? 0 : err);
        return false;
    }

    bool makeFolder(const std::string& folder, FileIdentity& left) {
        if (fs_.mkdir(folder, 0777) != 0) {
            const int err = errno;
            leave(err == EEXIST ? LeftAlone::Why::Taken : LeftAlone::Why::Failed, folder, err == EEXIST ? 0 : err);
            return false;
        }
        left = fileIdentity(fs_, folder).value_or(FileIdentity{});
        job_.moved_.emplace_back(std::string(), folder);
        return true;
    }

    UndoJob& job_;
    FileSystem& fs_;
    JobControl& control_;
    Journal& journal_;
    JournalStep& step_;
    const bool undo_;
    JobProgress progress_;
    std::set<std::string> touched_;  // folders names went into, flushed at the end
    bool failed_ = false;
};

UndoJob::UndoJob(UndoDirection direction, int steps, std::string journalPath, FileSystem& fs)
    : homeTrash(defaultHomeTrash()), direction_(direction), steps_(steps), journalPath_(std::move(journalPath)),
      fs_(fs) {}

void UndoJob::run(JobControl& control) {
    control.listOnly();
    Journal journal(journalPath_, fs_);
    if ((journalError_ = journal.hold()) != 0) {
        control.fail({journalFailedText(), FailureReason{journalError_, {}, {}}}, false);
        return;
    }
    const bool undo = direction_ == UndoDirection::Undo;
    for (int n = 0; n < steps_ && !control.cancelled(); ++n) {
        const JournalStep* next = undo ? journal.nextUndo() : journal.nextRedo();
        if (!next) break;
        JournalStep step = *next;
        const bool whole = StepWorker(*this, control, journal, step).run();
        if (whole) {
            step.undone = undo;
            if (const int err = journal.mark(step.id, undo)) journalError_ = err;
        }
        worked_.push_back(std::move(step));
        if (!whole) break;  // the next step back waits until this one is finished
        if (journalError_) {
            control.fail({journalFailedText(), FailureReason{journalError_, {}, {}}}, false);
            break;
        }
    }
    journal.release();
}

}  // namespace korvel
