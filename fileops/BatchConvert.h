#pragma once
// The extended copy over a list of files on worker threads. Workers load, resize and encode in
// parallel, each holding at most one decoded image; the names are claimed and the files written
// one at a time in list order, each after the previous one was reported, so names, files on disk,
// results and messages match a one-file-at-a-time run.
#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "base/ErrorReason.h"
#include "fileops/ExtendedCopy.h"

namespace korvel {

struct ConvertResult {
    size_t index = 0;      // position in the list
    std::string source;
    std::string written;   // the path written; empty when the file failed
    std::string error;     // the reason when it failed
    FailureReason reason;  // the same in parts, for the user's language
    bool ok() const { return !written.empty(); }
};

// One worker per core.
unsigned defaultJobCount();

// Converts files into destFolder (ending with "/") on jobs worker threads and returns when every
// file taken is done. onResult is called once per file handled, in list order, from one thread
// at a time, and no later file is written before it returns: a listener that waits for the user
// holds the run at that file. Once stop is set no file whose turn has not come is written or
// reported; later files already prepared in memory are dropped. turn, when given, is the
// rotation chosen now and overrides options->turn: each file reads it when its turn comes, and
// one prepared with another turn is prepared again. Options absent means the settings are
// unusable: every file fails with that reason.
void ConvertBatch(const std::vector<std::string>& files, const std::string& destFolder,
                  const ExtendedCopyOptions* options, unsigned jobs,
                  const std::function<void(const ConvertResult&)>& onResult,
                  const std::atomic<bool>* stop = nullptr, const std::atomic<int>* turn = nullptr);

}  // namespace korvel
