#include "fileops/BatchConvert.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "base/Errors.h"
#include "formats/Picture.h"
#include "imaging/Bitmap.h"

namespace korvel {

unsigned defaultJobCount() { return std::max(1u, std::thread::hardware_concurrency()); }

void ConvertBatch(const std::vector<std::string>& files, const std::string& destFolder,
                  const ExtendedCopyOptions* options, unsigned jobs,
                  const std::function<void(const ConvertResult&)>& onResult, const std::atomic<bool>* stop) {
    std::mutex m;
    std::condition_variable turnChanged;
    size_t nextTaken = 0, nextWritten = 0;

    auto work = [&] {
        TPicture picture;
        TBitmap output;
        for (;;) {
            ConvertResult r;
            {
                std::lock_guard lock(m);
                if ((stop && stop->load()) || nextTaken >= files.size()) return;
                r.index = nextTaken++;
            }
            r.source = files[r.index];
            std::optional<std::string> encoded;
            try {
                if (!options)
                    throw Exception(TrText{"ExtendedCopy", KORVEL_TR_NOOP("ExtendedCopy", "サイズまたは画質の設定が空です"), {}});
                encoded = PrepareConvertedCopy(r.source, *options, picture, output);
            } catch (const std::exception& e) {
                r.error = e.what();
                r.reason = reasonOf(e);
            }
            output = TBitmap();  // nothing decoded is kept while waiting for the turn
            {
                std::unique_lock lock(m);
                turnChanged.wait(lock, [&] { return nextWritten == r.index; });
            }
            // Only this worker is at its turn: claim the name and write as a sequential run would.
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
            {
                std::lock_guard lock(m);
                ++nextWritten;
            }
            turnChanged.notify_all();
        }
    };

    const size_t n = std::clamp<size_t>(jobs, 1, std::max<size_t>(1, files.size()));
    std::vector<std::thread> workers;
    workers.reserve(n);
    for (size_t i = 0; i < n; ++i) workers.emplace_back(work);
    for (std::thread& t : workers) t.join();
}

}  // namespace korvel
