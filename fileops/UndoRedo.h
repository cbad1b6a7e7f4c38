#pragma once
// Undo and redo of the steps the journal (fileops/Journal.h) records. Before an item is touched
// it is checked to be the one the step left; an item changed or a name taken since is left
// alone and listed at the end, and the rest go on. Nothing is deleted for good: an undone copy
// goes to the Trash. Each item's new place is recorded as it is reached, and an item a crash
// left unrecorded is recognised where it went, so an undo cut short (a kill, a full disk, a
// cancel) is finished by running it again.
#include <string>
#include <utility>
#include <vector>

#include "base/Translatable.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "fileops/Journal.h"

namespace korvel {

// Records what a finished command did as one step of the journal at journalPath: 0, or errno
// when it could not be recorded. A command that did nothing records nothing.
int recordStep(StepKind kind, std::vector<StepEntry> entries, FileSystem& fs = systemFileSystem(),
               const std::string& journalPath = Journal::defaultPath());
// The entry of an item that was at from and is now at to (its identity read from to; from a
// folder made, with to empty).
StepEntry movedEntry(FileSystem& fs, const std::string& from, const std::string& to);

// What a step did, for the menu ("12個のファイルの移動") and in English for korvel-tool
// ("move of 12 files").
TrText stepText(const JournalStep& step);
std::string stepTextEnglish(const JournalStep& step);
// Said when a command did its work but the journal could not record it, and when an undo or
// redo could not read or write the journal.
TrText notRecordedText();
TrText journalFailedText();

enum class UndoDirection { Undo, Redo };

// Why an item of an undo or redo was left where it is.
struct LeftAlone {
    enum class Why { Changed, Taken, Gone, NotEmpty, NoTrash, Failed };
    Why why = Why::Failed;
    std::string path;
    int err = 0;  // Failed: errno
    std::string message() const;  // in English
    TrText text() const;
};

// Undoes the newest steps not undone, or redoes the oldest undone ones after them, as a job.
class UndoJob : public Job {
public:
    UndoJob(UndoDirection direction, int steps = 1, std::string journalPath = Journal::defaultPath(),
            FileSystem& fs = systemFileSystem());
    void run(JobControl& control) override;

    // Where an undone copy goes when its own file system has no Trash; tests point it elsewhere.
    std::string homeTrash;

    // After the run: each step worked on as it is now (a step cut short by a cancel or by an item
    // that failed stays as it was, its items where they went), every item that changed place (to empty: into the Trash),
    // the items left alone, and the errno of a journal that could not be read or written.
    const std::vector<JournalStep>& worked() const { return worked_; }
    const std::vector<std::pair<std::string, std::string>>& moved() const { return moved_; }
    const std::vector<LeftAlone>& leftAlone() const { return left_; }
    int journalError() const { return journalError_; }

private:
    friend class StepWorker;
    UndoDirection direction_;
    int steps_;
    std::string journalPath_;
    FileSystem& fs_;
    std::vector<JournalStep> worked_;
    std::vector<std::pair<std::string, std::string>> moved_;
    std::vector<LeftAlone> left_;
    int journalError_ = 0;
};

}  // namespace korvel
