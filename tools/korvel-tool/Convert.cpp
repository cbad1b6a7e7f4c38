// korvel-tool convert: the extended copy's per-file pipeline over a list of files.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fileops/BatchConvert.h"
#include "fileops/ExtendedCopy.h"
#include "base/Errors.h"
#include "tools/korvel-tool/Args.h"
#include "tools/korvel-tool/Commands.h"

namespace korvel::tool {

namespace {

const char kUsage[] =
    "usage: korvel-tool convert --format bmp|jpeg|png [options] -o DIR FILE...\n"
    "  --quality N            JPEG quality 1..100 (default 85)\n"
    "  --progressive          progressive JPEG\n"
    "  --grayscale            greyscale JPEG\n"
    "  --png-level normal|speed|size   PNG compression (default normal)\n"
    "  --interlace            interlaced (Adam7) PNG\n"
    "  --scale PERCENT        scale both sides by PERCENT\n"
    "  --fit LENGTH           the longer side becomes LENGTH, keeping the aspect ratio\n"
    "  --size WxH             exactly W x H\n"
    "  --fast                 plain stretch instead of quality resampling\n"
    "  --rotate 90|180|270    turn clockwise\n"
    "  --keep-date            give each copy the times of its source\n"
    "  --jobs N               worker threads (default: one per core)\n"
    "A name that is taken gets _1, _2, ... before its extension; no file is ever replaced.\n";

struct ConvertArgs {
    ExtendedCopyOptions options;
    std::string outDir;
    unsigned jobs = defaultJobCount();
    std::vector<std::string> files;
};

// False for --help.
bool parseArgs(const std::vector<std::string>& args, ConvertArgs& a) {
    a.options.photo = photoSwitches;
    bool formatGiven = false;
    for (ArgReader r(args); r.next();) {
        const std::string& arg = r.arg();
        const auto value = [&r]() -> const std::string& { return r.value(); };
        ExtendedCopyOptions& o = a.options;
        if (!r.isOption()) {
            a.files.push_back(arg);
        } else if (arg == "--help") {
            return false;
        } else if (arg == "--format") {
            const std::string& f = value();
            if (f == "bmp") o.format = OutputFormat::Bmp;
            else if (f == "jpeg" || f == "jpg") o.format = OutputFormat::Jpeg;
            else if (f == "png") o.format = OutputFormat::Png;
            else throw Exception("--format takes bmp, jpeg or png, not \"" + f + "\"");
            formatGiven = true;
        } else if (arg == "--quality") {
            o.jpegQuality = parseInt(value(), "--quality", 1, 100);
        } else if (arg == "--progressive") {
            o.progressive = true;
        } else if (arg == "--grayscale") {
            o.grayscale = true;
        } else if (arg == "--png-level") {
            const std::string& l = value();
            if (l == "normal") o.pngLevel = PngLevel::Normal;
            else if (l == "speed") o.pngLevel = PngLevel::Speed;
            else if (l == "size") o.pngLevel = PngLevel::Size;
            else throw Exception("--png-level takes normal, speed or size, not \"" + l + "\"");
        } else if (arg == "--interlace") {
            o.pngInterlace = true;
        } else if (arg == "--scale") {
            o.sizeMode = SizeMode::Scale;
            o.percent = parseInt(value(), "--scale", 1, 10000);
        } else if (arg == "--fit") {
            o.sizeMode = SizeMode::Given;
            o.keepAspect = true;
            o.width = parseInt(value(), "--fit", 1, 1000000);
        } else if (arg == "--size") {
            const WxH size = parseWxH(value(), "--size");
            o.sizeMode = SizeMode::Given;
            o.keepAspect = false;
            o.width = size.width;
            o.height = size.height;
        } else if (arg == "--fast") {
            o.qualityResample = false;
        } else if (arg == "--rotate") {
            int deg = parseInt(value(), "--rotate", 0, 270);
            if (deg % 90 != 0) throw Exception("--rotate takes 90, 180 or 270");
            o.turn = deg / 90;
        } else if (arg == "--keep-date") {
            o.copyDate = true;
        } else if (arg == "--jobs") {
            a.jobs = unsigned(parseInt(value(), "--jobs", 1, 1024));
        } else if (arg == "-o") {
            a.outDir = value();
        } else {
            throw Exception("unknown option " + arg);
        }
    }
    if (!formatGiven) throw Exception("--format is required");
    if (a.outDir.empty()) throw Exception("-o DIR is required");
    if (a.files.empty()) throw Exception("no input files");
    if (a.outDir.back() != '/') a.outDir += '/';
    return true;
}

}  // namespace

int runConvert(const std::vector<std::string>& args) {
    ConvertArgs a;
    try {
        if (!parseArgs(args, a)) return showUsage(kUsage);
    } catch (const std::exception& e) {
        return usageError("convert", e.what(), kUsage);
    }
    if (!outputFolderExists(a.outDir, "convert")) return 1;
    int status = 0;
    ConvertBatch(a.files, a.outDir, &a.options, a.jobs, [&](const ConvertResult& r) {
        if (r.ok()) {
            std::printf("%s\n", r.written.c_str());
            std::fflush(stdout);
        } else {
            std::fprintf(stderr, "%s %s\n", ConvertFailureMessage(r.source).c_str(), r.error.c_str());
            status = 1;
        }
    });
    return status;
}

}  // namespace korvel::tool
