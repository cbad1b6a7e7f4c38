// korvel-tool rename: the serial rename of the windows for scripts.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "fileops/Rename.h"
#include "tools/korvel-tool/Args.h"
#include "tools/korvel-tool/Commands.h"

namespace korvel::tool {

namespace {

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
        for (size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            auto value = [&]() -> const std::string& {
                if (i + 1 >= args.size()) throw Exception(a + " needs a value");
                return args[++i];
            };
            if (a == "--pattern") pattern = value(), havePattern = true;
            else if (a == "--start") params.start = parseInt(value(), "--start", -1000000000, 1000000000);
            else if (a == "--digits") params.digits = parseInt(value(), "--digits", 0, 255);
            else if (a == "--ext") params.extCase = parseExtCase(value());
            else if (a == "--dry-run") dryRun = true;
            else if (a.starts_with("--")) throw Exception("unknown option " + a);
            else files.push_back(a);
        }
        if (!havePattern) throw Exception("rename needs --pattern");
        const auto parsed = SerialPattern::parse(pattern);
        if (!parsed) throw Exception("the pattern needs exactly one \"\\\" where the number goes");
        params.pattern = *parsed;
    } catch (const Exception& e) {
        std::fprintf(stderr, "korvel-tool rename: %s\n", e.what());
        return 2;
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
    const RenameCounts counts = runRenamePass(moves, [](const RenameStep& s) {
        if (s.error) reportFailure(s.from, s.to, s.error);
        else std::printf("%s -> %s\n", s.from.c_str(), s.to.c_str());
        return true;
    });
    return counts.failed ? 1 : 0;
}

}  // namespace korvel::tool
