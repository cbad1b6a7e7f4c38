// korvel-tool rotate: saves a turn into the files themselves, as the windows' command does.
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/UserFolders.h"
#include "browse/SharedThumbs.h"
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

void forgetSharedThumbnails(const std::vector<std::string>& files) {
    const std::string root = sharedThumbnailFolder();
    if (root.empty()) return;
    const SharedThumbs shared(root);
    for (const std::string& file : files) shared.forget(file);
}

int runRotate(const std::vector<std::string>& args) {
    TurnRequest request;
    std::optional<size_t> angle;
    std::vector<std::string> files;
    // Each angle as the EXIF orientation that the turn makes upright.
    static constexpr int kOrientation[] = {6, 3, 8, 0};
    const auto option = [&](const std::string& a, ArgReader& r) {
        if (a == "--angle") angle = pickWord(r.value(), "--angle", {"90", "180", "270", "auto"});
        else if (a == "--trim") request.trim = true;
        else if (a == "--keep-time") request.keepTime = true;
        else return false;
        return true;
    };
    const auto check = [&] {
        if (!angle) throw Exception("--angle is required");
    };
    if (const auto status = readCommandLine(args, "rotate", kRotateUsage, files, option, check)) return *status;
    request.orientation = kOrientation[*angle];
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
    std::vector<std::string> turned;
    for (const StepEntry& e : done) turned.push_back(e.source);
    forgetSharedThumbnails(turned);
    const bool recorded = recordedForUndo(StepKind::Turn, std::move(done));
    return failed || !recorded ? 1 : 0;
}

}  // namespace korvel::tool
