// korvel-tool thumb: the grid's thumbnail building over a list of files, each thumbnail written
// as a bitmap file named after its source. The thumbnails go through the cache file exactly as
// in the grid and are read back from it.
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "browse/FileList.h"
#include "base/ProgramFolders.h"
#include "base/UserFolders.h"
#include "browse/SharedThumbs.h"
#include "browse/ThumbCache.h"
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
    "usage: korvel-tool thumb [--size N] [--fast] [--screen WxH] [--shared-cache] -o DIR FILE...\n"
    "  --size N        thumbnail cell size (default 100; the image box is N - min(N/5, 20))\n"
    "  --fast          plain stretch instead of quality resampling\n"
    "  --screen WxH    screen size for the first reduction (default 1920x1080)\n"
    "  --shared-cache  read and write the freedesktop shared thumbnails ($XDG_CACHE_HOME/thumbnails)\n";

struct ThumbArgs {
    ThumbParams params;
    std::string outDir;
    std::vector<std::string> files;
    bool sharedCache = false;
};

ThumbArgs parseArgs(const std::vector<std::string>& args) {
    ThumbArgs a;
    a.params.photo = photoSwitches;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw Exception(arg + " needs a value");
            return args[++i];
        };
        if (arg == "--size") {
            a.params.thumbSize = parseInt(value(), "--size", 2, 10000);
        } else if (arg == "--fast") {
            a.params.speedFlg = true;
        } else if (arg == "--screen") {
            const WxH screen = parseWxH(value(), "--screen");
            a.params.screenWidth = screen.width;
            a.params.screenHeight = screen.height;
        } else if (arg == "--shared-cache") {
            a.sharedCache = true;
        } else if (arg == "-o") {
            a.outDir = value();
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw Exception("unknown option " + arg);
        } else {
            a.files.push_back(arg);
        }
    }
    a.params.infoHeight = InfoHeightFor(a.params.thumbSize);
    if (a.outDir.empty()) throw Exception("-o DIR is required");
    if (a.files.empty()) throw Exception("no input files");
    if (a.outDir.back() != '/') a.outDir += '/';
    return a;
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
        a = parseArgs(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "korvel-tool thumb: %s\n%s", e.what(), kUsage);
        return 2;
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
    bool failed = false;
    builder.onDecodeFailure = [&](size_t i, const std::string& reason) {
        std::fprintf(stderr, "%s: %s\n", list.path(i).c_str(), reason.c_str());
        failed = true;
    };
    for (size_t i = 0; i < list.size(); ++i) {
        failed = false;
        const TBitmap* thumb = builder.thumbnail(i, a.params);
        // The windows draw the file type's icon for a failed file; the tool only reports it.
        if (failed) {
            status = 1;
            continue;
        }
        try {
            if (!thumb) throw Exception("the cached thumbnail cannot be read back");
            std::printf("%s\n", writeThumbnail(*thumb, list.path(i), a.outDir).c_str());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", list.path(i).c_str(), e.what());
            status = 1;
        }
    }
    std::fflush(stdout);
    return status;
}

}  // namespace korvel::tool
