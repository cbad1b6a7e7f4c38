// korvel-tool rotate: saves a turn into the files themselves, as the windows' command does.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "fileops/TurnFile.h"
#include "tools/korvel-tool/Args.h"
#include "tools/korvel-tool/Commands.h"

namespace korvel::tool {

namespace {

const char kRotateUsage[] =
    "usage: korvel-tool rotate --angle 90|180|270|auto [--trim] [--keep-time] FILE...\n"
    "  --angle       the turn to the right in degrees, or auto: as the photo's EXIF orientation says\n"
    "  --trim        a JPEG whose size is not a whole number of blocks loses its edge blocks\n"
    "                (default: such a file is left as it is)\n"
    "  --keep-time   the turned file keeps its modification time\n"
    "JPEG files turn without loss; PNG and BMP files are written again pixel for pixel. The\n"
    "original goes to the Trash, and `korvel-tool undo` brings it back.\n";

}  // namespace

int runRotate(const std::vector<std::string>& args) {
    TurnRequest request;
    bool angleGiven = false;
    std::vector<std::string> files;
    try {
        for (ArgReader r(args); r.next();) {
            const std::string& a = r.arg();
            if (!r.isOption()) {
                files.push_back(a);
            } else if (a == "--help") {
                return showUsage(kRotateUsage);
            } else if (a == "--angle") {
                const std::string& v = r.value();
                if (v == "90") request.orientation = 6;
                else if (v == "180") request.orientation = 3;
                else if (v == "270") request.orientation = 8;
                else if (v == "auto") request.orientation = 0;
                else throw Exception("--angle takes 90, 180, 270 or auto");
                angleGiven = true;
            } else if (a == "--trim") {
                request.trim = true;
            } else if (a == "--keep-time") {
                request.keepTime = true;
            } else {
                throw Exception("unknown option " + a);
            }
        }
        if (!angleGiven) throw Exception("--angle is required");
        if (files.empty()) throw Exception("no files given");
    } catch (const Exception& e) {
        return usageError("rotate", e.what(), kRotateUsage);
    }
    bool failed = false;
    std::vector<StepEntry> done;
    char cwd[4096];
    const std::string here = ::getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" : std::string();
    for (const std::string& file : files) {
        // The journal and the Trash need the whole path.
        const TurnOutcome outcome = turnFile(file.starts_with('/') ? file : here + file, request);
        if (outcome.status == TurnStatus::Turned) {
            done.push_back(outcome.entry);
        } else if (outcome.status != TurnStatus::Upright) {
            std::fprintf(stderr, "korvel-tool: %s\n", outcome.message(file).c_str());
            failed = true;
        }
    }
    const bool recorded = recordedForUndo(StepKind::Turn, std::move(done));
    return failed || !recorded ? 1 : 0;
}

}  // namespace korvel::tool
