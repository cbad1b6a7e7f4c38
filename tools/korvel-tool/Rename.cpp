// korvel-tool rename: the serial rename of the windows for scripts.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "fileops/Rename.h"
#include "fileops/UndoRedo.h"
#include "tools/korvel-tool/Args.h"
#include "tools/korvel-tool/Commands.h"

namespace korvel::tool {

namespace {

const char kUsage[] =
    "usage: korvel-tool rename --pattern 'NAME\\NAME' [options] FILE...\n"
    "  --pattern TEXT         the new name; its one \"\\\" stands for the number\n"
    "  --start N              the first number (default 1)\n"
    "  --digits D             at least D digits, zero-padded (default 2)\n"
    "  --ext keep|upper|lower the extension's letter case (default keep)\n"
    "  --dry-run              print the new names and rename nothing\n"
    "The files get their numbers in the order given.\n";

ExtCase parseExtCase(const std::string& s) {
    if (s == "keep") return ExtCase::Keep;
    if (s == "upper") return ExtCase::Upper;
    if (s == "lower") return ExtCase::Lower;
    throw Exception("--ext takes keep, upper or lower, not \"" + s + "\"");
}

void reportFailure(const std::string& from, const std::string& to, int error) {
    std::fprintf(stderr, "korvel-tool: \"%s\" -> \"%s\": %s\n", from.c_str(), to.c_str(),
                 error == EEXIST ? "the name is taken" : std::strerror(error));
}

}  // namespace

int runRename(const std::vector<std::string>& args) {
    std::string pattern;
    bool havePattern = false, dryRun = false;
    SerialParams params;
    std::vector<std::string> files;
    try {
        for (ArgReader r(args); r.next();) {
            const std::string& a = r.arg();
            const auto value = [&r]() -> const std::string& { return r.value(); };
            if (!r.isOption()) files.push_back(a);
            else if (a == "--help") return showUsage(kUsage);
            else if (a == "--pattern") pattern = value(), havePattern = true;
            else if (a == "--start") params.start = parseInt(value(), "--start", -1000000000, 1000000000);
            else if (a == "--digits") params.digits = parseInt(value(), "--digits", 0, 255);
            else if (a == "--ext") params.extCase = parseExtCase(value());
            else if (a == "--dry-run") dryRun = true;
            else throw Exception("unknown option " + a);
        }
        if (!havePattern) throw Exception("rename needs --pattern");
        const auto parsed = SerialPattern::parse(pattern);
        if (!parsed) throw Exception("the pattern needs exactly one \"\\\" where the number goes");
        params.pattern = *parsed;
    } catch (const Exception& e) {
        return usageError("rename", e.what(), kUsage);
    }

    const RenamePlan plan = RenamePlanner(files).planSerial(params);
    if (plan.clashes > 0) {
        std::fprintf(stderr, "korvel-tool rename: %d files would get the same name; nothing renamed\n", plan.clashes);
        return 1;
    }
    if (dryRun) {
        for (const PlanRow& r : plan.rows) {
            if (r.fails()) reportFailure(r.oldPath, r.newPath, r.badName ? EINVAL : EEXIST);
            else std::printf("%s -> %s\n", r.oldPath.c_str(), r.newPath.c_str());
        }
        return plan.failing ? 1 : 0;
    }
    std::vector<std::pair<std::string, std::string>> moves;
    for (const PlanRow& r : plan.rows) moves.emplace_back(r.oldPath, r.newPath);
    std::vector<StepEntry> done;
    const RenameCounts counts = runRenamePass(moves, [&done](const RenameStep& s) {
        if (s.error) {
            reportFailure(s.from, s.to, s.error);
        } else if (s.from != s.to) {
            std::printf("%s -> %s\n", s.from.c_str(), s.to.c_str());
            done.push_back(movedEntry(systemFileSystem(), s.from, s.to));
        }
        return true;
    });
    return !recordedForUndo(StepKind::SerialRename, std::move(done)) || counts.failed ? 1 : 0;
}

}  // namespace korvel::tool
