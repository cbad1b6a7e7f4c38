#include "fileops/BatchConvert.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "base/Errors.h"
#include "base/Workers.h"
#include "formats/Picture.h"
#include "imaging/Bitmap.h"

namespace korvel {

unsigned defaultJobCount() { return WorkerThreads::perCore(); }

void ConvertBatch(const std::vector<std::string>& files, const std::string& destFolder,
                  const ExtendedCopyOptions* options, unsigned jobs,
                  const std::function<void(const ConvertResult&)>& onResult, const std::atomic<bool>* stop,
                  const std::atomic<int>* turn) {
    std::mutex m;
    std::condition_variable turnChanged;
    size_t nextTaken = 0, nextWritten = 0;
    const auto stopped = [stop] { return stop && stop->load(); };
    const auto turnNow = [&] { return turn ? turn->load() : options ? options->turn : 0; };

    // Load, resize, turn and encode; on failure r keeps why.
    const auto prepare = [&](ConvertResult& r, int turnTo, TPicture& picture,
                             TBitmap& output) -> std::optional<std::string> {
        r.error.clear();
        r.reason = {};
        std::optional<std::string> encoded;
        try {
            if (!options)
                throw Exception(TrText{"ExtendedCopy", KORVEL_TR_NOOP("ExtendedCopy", "サイズまたは画質の設定が空です"), {}});
            ExtendedCopyOptions o = *options;
            o.turn = turnTo;
            encoded = PrepareConvertedCopy(r.source, o, picture, output);
        } catch (const std::exception& e) {
            r.error = e.what();
            r.reason = reasonOf(e);
        }
        output = TBitmap();  // nothing decoded is kept while waiting for the turn
        return encoded;
    };

    auto work = [&] {
        TPicture picture;
        TBitmap output;
        for (;;) {
            ConvertResult r;
            {
                std::lock_guard lock(m);
                if (stopped() || nextTaken >= files.size()) return;
                r.index = nextTaken++;
            }
            r.source = files[r.index];
            const int preparedTurn = turnNow();
            std::optional<std::string> encoded = prepare(r, preparedTurn, picture, output);
            {
                std::unique_lock lock(m);
                turnChanged.wait(lock, [&] { return nextWritten == r.index; });
            }
            // Only this worker is at its turn, and every earlier file was reported: a sequential
            // run would start this file now, so a stop or a new turn chosen so far applies to it.
            if (!stopped()) {
                if (const int t = turnNow(); t != preparedTurn) encoded = prepare(r, t, picture, output);
                if (encoded) {
                    try {
                        r.written = WriteConvertedCopy(r.source, destFolder, *options, *encoded);
                    } catch (const std::exception& e) {
                        r.error = e.what();
                        r.reason = reasonOf(e);
                    }
                    encoded.reset();
                }
                try {
                    if (onResult) onResult(r);
                } catch (...) {
                    // A failing listener must not stall the files behind this one.
                }
            }
            {
                std::lock_guard lock(m);
                ++nextWritten;
            }
            turnChanged.notify_all();
        }
    };

    const size_t n = std::clamp<size_t>(jobs, 1, std::max<size_t>(1, files.size()));
    WorkerThreads workers;
    try {
        workers.start(n, work);
    } catch (const Exception&) {
        // No thread to be had: the files are converted one by one on this thread, in the same order.
        work();
    }
    workers.join();
}

}  // namespace korvel
