// korvel-tool thumb: the grid's thumbnail building over a list of files, each thumbnail written
// as a bitmap file named after its source. As in the grid, worker threads build the thumbnails,
// this thread appends them to the cache file and reads them back from it; the files are written
// in list order, so their names do not depend on which worker finished first.
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <memory>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "browse/FileList.h"
#include "base/ProgramFolders.h"
#include "base/UserFolders.h"
#include "browse/SharedThumbs.h"
#include "browse/ThumbCache.h"
#include "browse/ThumbPool.h"
#include "browse/Thumbnails.h"
#include "imaging/Bmp.h"
#include "fileops/ExtendedCopy.h"
#include "base/SafeWrite.h"
#include "imaging/Bitmap.h"
#include "base/Errors.h"
#include "base/FileNames.h"
#include "settings/MainSettings.h"
#include "tools/korvel-tool/Args.h"
#include "tools/korvel-tool/Commands.h"

namespace korvel::tool {

namespace {

const char kUsage[] =
    "usage: korvel-tool thumb [--size N] [--fast] [--screen WxH] [--shared-cache] [--jobs N] -o DIR FILE...\n"
    "  --size N        thumbnail cell size (default 100; the image box is N - min(N/5, 20))\n"
    "  --fast          plain stretch instead of quality resampling\n"
    "  --screen WxH    screen size for the first reduction (default 1920x1080)\n"
    "  --shared-cache  read and write the freedesktop shared thumbnails ($XDG_CACHE_HOME/thumbnails)\n"
    "  --jobs N        worker threads (default: one per core)\n";

struct ThumbArgs {
    ThumbParams params;
    std::string outDir;
    std::vector<std::string> files;
    bool sharedCache = false;
    unsigned jobs = ThumbnailPool::defaultJobs();
};

// False for --help.
bool parseArgs(const std::vector<std::string>& args, ThumbArgs& a) {
    a.params.photo = photoSwitches;
    for (ArgReader r(args); r.next();) {
        const std::string& arg = r.arg();
        const auto value = [&r]() -> const std::string& { return r.value(); };
        if (!r.isOption()) {
            a.files.push_back(arg);
        } else if (arg == "--help") {
            return false;
        } else if (arg == "--size") {
            a.params.thumbSize = parseInt(value(), "--size", 2, 10000);
        } else if (arg == "--fast") {
            a.params.speedFlg = true;
        } else if (arg == "--screen") {
            const WxH screen = parseWxH(value(), "--screen");
            a.params.screenWidth = screen.width;
            a.params.screenHeight = screen.height;
        } else if (arg == "--shared-cache") {
            a.sharedCache = true;
        } else if (arg == "--jobs") {
            a.jobs = unsigned(parseInt(value(), "--jobs", 1, 256));
        } else if (arg == "-o") {
            a.outDir = value();
        } else {
            throw Exception("unknown option " + arg);
        }
    }
    a.params.infoHeight = InfoHeightFor(a.params.thumbSize);
    if (a.outDir.empty()) throw Exception("-o DIR is required");
    if (a.files.empty()) throw Exception("no input files");
    if (a.outDir.back() != '/') a.outDir += '/';
    return true;
}

// Writes bmp under a new unique name, claimed exclusively and filled through a temporary file,
// so no half-written thumbnail ever carries the name.
std::string writeThumbnail(const TBitmap& bmp, const std::string& source, const std::string& outDir) {
    const std::string name = claimUniqueOutputName(changeFileExt(outDir + extractFileName(source), ".bmp"));
    fillClaimedFile(name, [&](std::ostream& out) { writeBmp(bmp, out); });
    return name;
}

}  // namespace

int runThumb(const std::vector<std::string>& args) {
    ThumbArgs a;
    try {
        if (!parseArgs(args, a)) return showUsage(kUsage);
    } catch (const std::exception& e) {
        return usageError("thumb", e.what(), kUsage);
    }
    if (!outputFolderExists(a.outDir, "thumb")) return 1;
    FileList list;
    for (const std::string& f : a.files) list.append(f, TSeekFile{});
    ThumbCache cache;
    try {
        cache.create(privateTempFolder(), thumbCacheFileName(runningExecutablePath("korvel-tool")));
    } catch (const std::exception& e) {
        // As in the grid: thumbnails are still made, only not cached.
        std::fprintf(stderr, "korvel-tool thumb: %s\n", e.what());
    }
    std::unique_ptr<SharedThumbs> shared;
    if (a.sharedCache) {
        if (const std::string root = sharedThumbnailFolder(); !root.empty()) {
            shared = std::make_unique<SharedThumbs>(root);
            a.params.sharedThumbs = shared.get();
        } else {
            std::fprintf(stderr, "korvel-tool thumb: no shared thumbnail folder (HOME is not set)\n");
        }
    }
    ThumbnailBuilder builder(list, cache);
    int status = 0;
    std::vector<uint8_t> failed(list.size()), done(list.size());
    builder.onDecodeFailure = [&](size_t i, const std::string& reason) {
        std::fprintf(stderr, "%s: %s\n", list.path(i).c_str(), reason.c_str());
        failed[i] = 1;
    };
    // Thumbnails the cache could not take, until their turn to be written.
    std::map<size_t, TBitmap> uncached;
    std::mutex m;
    std::condition_variable arrived;
    bool ready = false;
    ThumbnailPool pool(a.jobs);
    pool.onReady = [&] {
        {
            std::lock_guard lock(m);
            ready = true;
        }
        arrived.notify_one();
    };
    pool.setListing(a.files, std::vector<bool>(a.files.size(), true), a.params);
    for (size_t next = 0; next < list.size();) {
        if (!done[next]) {
            {
                std::unique_lock lock(m);
                arrived.wait(lock, [&] { return ready; });
                ready = false;
            }
            for (PoolThumbnail& r : pool.take()) {
                if (!builder.storeBuilt(r.index, std::move(r.thumb), r.failure))
                    uncached[r.index] = builder.ThumbBitmap();
                done[r.index] = 1;
            }
            continue;
        }
        const size_t i = next++;
        // The windows draw the file type's icon for a failed file; the tool only reports it.
        if (failed[i]) {
            status = 1;
            continue;
        }
        try {
            const TBitmap* thumb = builder.cachedThumbnail(i);
            if (auto it = uncached.find(i); !thumb && it != uncached.end()) thumb = &it->second;
            if (!thumb) throw Exception("the cached thumbnail cannot be read back");
            std::printf("%s\n", writeThumbnail(*thumb, list.path(i), a.outDir).c_str());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", list.path(i).c_str(), e.what());
            status = 1;
        }
        uncached.erase(i);
    }
    pool.stop();  // every file is done; the workers end before what onReady touches goes
    std::fflush(stdout);
    return status;
}

}  // namespace korvel::tool
