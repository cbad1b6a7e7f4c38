// korvel-tool thumb: the grid's thumbnail building over a list of files, each thumbnail written
// as a bitmap file named after its source. The thumbnails go through the cache file exactly as
// in the grid and are read back from it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "browse/FileList.h"
#include "browse/ThumbCache.h"
#include "browse/Thumbnails.h"
#include "codecs/Bmp.h"
#include "fileops/ExtendedCopy.h"
#include "fileops/SafeWrite.h"
#include "imaging/Bitmap.h"
#include "imaging/Errors.h"
#include "imaging/FileNames.h"
#include "settings/MainSettings.h"
#include "tools/korvel-tool/Commands.h"

namespace korvel::tool {

namespace {

const char kUsage[] =
    "usage: korvel-tool thumb [--size N] [--fast] [--screen WxH] -o DIR FILE...\n"
    "  --size N        thumbnail cell size (default 100; the image box is N - min(N/5, 20))\n"
    "  --fast          plain stretch instead of quality resampling\n"
    "  --screen WxH    screen size for the first reduction (default 1920x1080)\n";

struct ThumbArgs {
    ThumbParams params;
    std::string outDir;
    std::vector<std::string> files;
};

int parseInt(const std::string& text, const char* what, int min, int max) {
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < min || v > max)
        throw Exception(std::string(what) + " needs a whole number from " + std::to_string(min) + " to " +
                        std::to_string(max) + ", not \"" + text + "\"");
    return int(v);
}

ThumbArgs parseArgs(const std::vector<std::string>& args) {
    ThumbArgs a;
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
            const std::string& s = value();
            const size_t x = s.find('x');
            if (x == std::string::npos) throw Exception("--screen takes WxH, not \"" + s + "\"");
            a.params.screenWidth = parseInt(s.substr(0, x), "--screen width", 1, 1000000);
            a.params.screenHeight = parseInt(s.substr(x + 1), "--screen height", 1, 1000000);
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

std::string executablePath() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, size_t(n)) : std::string("korvel-tool");
}

// Writes bmp under a new unique name: claimed exclusively, filled through a temporary file and
// moved over the claim, so no half-written thumbnail ever carries the name. Thumbnails can be
// made again, so there is no flush to disk per file.
std::string writeThumbnail(const TBitmap& bmp, const std::string& source, const std::string& outDir) {
    std::string name;
    do name = UniqueOutputName(changeFileExt(outDir + extractFileName(source), ".bmp"));
    while (!claimNewFile(name));
    std::ostringstream buffer;
    writeBmp(bmp, buffer);
    const std::string bytes = std::move(buffer).str();
    std::string tmp = outDir + ".thumb.XXXXXX";
    int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    bool ok = fd >= 0 && ::fchmod(fd, 0644) == 0;
    for (size_t done = 0; ok && done < bytes.size();) {
        ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w < 0 && errno == EINTR) continue;
        ok = w > 0;
        if (ok) done += size_t(w);
    }
    int err = ok ? 0 : errno;
    if (fd >= 0 && ::close(fd) != 0 && ok) ok = false, err = errno;
    if (ok && ::rename(tmp.c_str(), name.c_str()) != 0) ok = false, err = errno;
    if (!ok) {
        if (fd >= 0) ::unlink(tmp.c_str());
        ::unlink(name.c_str());
        throw EFileError("Cannot write \"" + name + "\": " + std::strerror(err ? err : EIO));
    }
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
    struct stat st;
    if (::stat(a.outDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "korvel-tool thumb: the output folder \"%s\" does not exist\n", a.outDir.c_str());
        return 1;
    }
    FileList list;
    for (const std::string& f : a.files) list.append(f, TSeekFile{});
    ThumbCache cache;
    try {
        cache.create(privateTempFolder(), thumbCacheFileName(executablePath()));
    } catch (const std::exception& e) {
        // As in the grid: thumbnails are still made, only not cached.
        std::fprintf(stderr, "korvel-tool thumb: %s\n", e.what());
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
