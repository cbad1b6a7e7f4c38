#pragma once
// Saving a turn into the file itself. JPEG files turn losslessly (codecs/JpegTurn.h); PNG and BMP
// files are decoded, turned and written again by Korvel's own writers, pixel for pixel; other
// formats are refused.
//
// The file is written safely: the turned bytes go to a temporary file beside it, flushed; the
// original then moves into the Trash (same inode, same bytes, same time) and the temporary file
// takes its name. Undo swaps the two again (the turned file into the Trash, the original out of
// it) and redo swaps them back, so both are exact and nothing is ever deleted for good.
#include <string>

#include "base/Translatable.h"
#include "fileops/FileSystem.h"
#include "fileops/Journal.h"

namespace korvel {

struct TurnRequest {
    // The turn, as the EXIF orientation whose stored picture it makes upright: 6 a quarter turn
    // right, 3 a half turn, 8 a quarter turn left; 0 applies the file's own EXIF orientation.
    int orientation = 0;
    // JPEG files whose size is not a whole number of blocks: drop the edge blocks that cannot
    // move (true), or leave the file as it is (false, the result is NotPerfect).
    bool trim = false;
    bool keepTime = false;  // the turned file keeps the original's modification time
    std::string homeTrash;  // where the original goes when its file system has no Trash of its own
};

enum class TurnStatus {
    Turned,
    Upright,      // nothing to turn
    NotPerfect,   // JPEG with partial edge blocks and no trim: left as it is
    Unsupported,  // not JPEG, PNG or BMP (or a PNG of 16 bits a sample): left as it is
    Damaged,      // the picture cannot be read: left as it is
    Failed,       // reading or writing failed (err): left as it is
};

struct TurnOutcome {
    TurnStatus status = TurnStatus::Failed;
    int err = 0;        // Failed: errno
    std::string detail;  // Damaged: the decoder's reason
    StepEntry entry;     // Turned: the journal entry (source the file, target the original in the Trash)
    // What happened, in English for korvel-tool and marked for the window; empty for Turned.
    std::string message(const std::string& path) const;
    TrText text(const std::string& path) const;
};

// Turns the file at path (a regular file, not a link); the original is untouched unless the
// status is Turned.
TurnOutcome turnFile(const std::string& path, const TurnRequest& request, FileSystem& fs = systemFileSystem());

// The question asked when a JPEG's size is not a whole number of blocks (%1: the file).
TrText turnTrimQuestion(const std::string& path);

}  // namespace korvel
