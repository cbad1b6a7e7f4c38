#pragma once
// The journal of completed file operations, which undo and redo work from. Each user command is
// one step; the journal file keeps the last steps across runs and crashes.
//
// The file is a run of records, each "\x1EKJ" + type, a 32-bit length, a 32-bit checksum and the
// payload (little-endian numbers, paths as length + bytes, so any byte survives). A step is one
// record; undoing or redoing it appends a small mark record naming it. A record torn by a crash,
// or any garbage, fails its checksum and the reader looks for the next record after it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fileops/FileIdentity.h"
#include "fileops/FileSystem.h"

namespace korvel {

enum class StepKind : uint8_t {
    Copy = 1,
    Move,
    TrashDelete,
    Rename,
    SerialRename,
    FolderCreate,
    FolderRename,
    FolderDelete,
    ExtendedCopy,
    // A turn saved into a file: source is the file, target the other version of it in the
    // Trash's files/ (the original while done, the turned file while undone).
    Turn,
};
constexpr uint8_t kLastStepKind = uint8_t(StepKind::Turn);

// One item of a step: where it was before the step and where the step put it. For a delete,
// target is the item in the Trash's files/ folder; for a created folder, target is empty.
struct StepEntry {
    std::string source;
    std::string target;
    FileIdentity left;    // the item where it is now, as the last step, undo or redo left it
    bool undone = false;  // the item is back where it was before the step
    std::string trashed;  // an undone copy: where in the Trash's files/ it went
    bool operator==(const StepEntry&) const = default;
};

struct JournalStep {
    uint64_t id = 0;  // given by append; marks name the step by it
    StepKind kind = StepKind::Copy;
    int64_t timeNs = 0;  // wall clock; append fills it when 0
    bool undone = false;
    std::vector<StepEntry> entries;
    bool operator==(const JournalStep&) const = default;
};

// The record bytes of a step (a step of an id already read replaces it), of a mark saying the
// step id is now undone (or redone), and of one item of step id as an undo or redo left it.
std::string encodeStep(const JournalStep& step);
std::string encodeMark(uint64_t id, bool undone);
std::string encodeEntry(uint64_t id, uint32_t index, const StepEntry& entry);

// The steps in bytes, oldest first, with their marks applied. Bad records are skipped; never
// throws for any input.
std::vector<JournalStep> parseJournal(std::string_view bytes);

class Journal {
public:
    static constexpr size_t kKeep = 100;       // steps kept
    // Records in the file before it may be rewritten; it is, once no more than half its bytes
    // are steps it keeps.
    static constexpr size_t kCompactAt = 200;

    // The journal at path; the calls of append and mark go through fs.
    explicit Journal(std::string path, FileSystem& fs = systemFileSystem());
    // "journal" in the state folder; empty when there is none.
    static std::string defaultPath();

    // Reads the file again (another process may have added steps). A missing or unreadable file
    // reads as empty. Never throws.
    void load();
    // Oldest first, at most kKeep.
    const std::vector<JournalStep>& steps() const { return steps_; }

    // Appends step, giving it an id (and a time when it has none), and flushes it to the disk
    // before returning: 0, or the errno of the call that failed (nothing is then recorded).
    int append(JournalStep& step);
    // Records that step id was undone (undone true) or redone: 0 or errno.
    int mark(uint64_t id, bool undone);

    // An undo or redo holds the journal from reading it until it ends, so that no other process
    // works on the same step meanwhile: hold() locks and reads the file (0 or errno); while held,
    // updateEntry() records an item's new place, written in batches without waiting for the
    // disk (an item a crash leaves unrecorded is found where it went by its identity), and mark()
    // writes them with the mark and flushes; release() unlocks.
    int hold();
    int updateEntry(uint64_t id, size_t index, const StepEntry& entry);
    void release();
    ~Journal();

    // The newest step not undone, and the oldest undone step after it (the one redo takes); null
    // when there is none.
    const JournalStep* nextUndo() const;
    const JournalStep* nextRedo() const;

private:
    void loadFrom(const std::string& bytes);
    int openLocked(int flags);
    int write(const std::string& record);
    int writeTo(int fd, const std::string& bytes, bool flush);
    void compact();
    void rewrite();  // the file replaced by steps_, under the caller's lock
    bool dueForCompaction() const;
    void noteRecord();

    std::string path_;
    FileSystem& fs_;
    std::vector<JournalStep> steps_;
    size_t records_ = 0;  // in the file, as far as this process knows
    size_t fileBytes_ = 0;  // likewise
    int held_ = -1;       // the locked file while held
    std::string pending_;  // item records not yet written
    size_t pendingCount_ = 0;
};

}  // namespace korvel
