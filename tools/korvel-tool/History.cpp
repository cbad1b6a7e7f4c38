// korvel-tool history, undo and redo: the window's journal of file operations from a terminal, so
// a step done in the window can be undone here and the other way round.
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/ErrorReason.h"
#include "fileops/Journal.h"
#include "fileops/UndoRedo.h"
#include "tools/korvel-tool/Args.h"
#include "tools/korvel-tool/Commands.h"

namespace korvel::tool {

namespace {

const char kHistoryUsage[] =
    "usage: korvel-tool history\n"
    "The recorded file operations, newest first, one a line: its number (1 = newest), a tab, the\n"
    "local date and time, a tab, \"undone\" when it is undone, a tab, and what it did.\n";
const char kUndoUsage[] =
    "usage: korvel-tool undo [--steps N]\n"
    "  --steps N   undo the N newest operations not yet undone (1 to 100, default 1)\n"
    "A file changed since the operation, or a name taken since, is left as it is and reported;\n"
    "nothing is ever replaced, and files an undone copy made go to the Trash.\n";
const char kRedoUsage[] =
    "usage: korvel-tool redo [--steps N]\n"
    "  --steps N   redo the N oldest undone operations after the last one not undone (1 to 100,\n"
    "              default 1)\n";

std::string localTime(int64_t timeNs) {
    const std::time_t t = std::time_t(timeNs / 1000000000);
    std::tm tm{};
    char text[32];
    if (!::localtime_r(&t, &tm) || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm) == 0) return "?";
    return text;
}

// Items done of the step being worked on, on one line that is written over; only a person
// watching a terminal wants it.
JobControl::Listener terminalProgress(const char* verb, bool& shown) {
    if (!::isatty(2)) return {};
    return {[verb, &shown](const JobProgress& p, bool) {
                if (p.filesDone % 50 != 0 && p.filesDone != p.filesTotal) return;  // a line per file would flicker
                std::fprintf(stderr, "\r%s %d/%d", verb, p.filesDone, p.filesTotal);
                shown = true;
            },
            {}};
}

int undoOrRedo(const std::vector<std::string>& args, UndoDirection direction) {
    const bool undo = direction == UndoDirection::Undo;
    const char* name = undo ? "undo" : "redo";
    const char* usage = undo ? kUndoUsage : kRedoUsage;
    int steps = 1;
    try {
        for (ArgReader r(args); r.next();) {
            const std::string& a = r.arg();
            if (a == "--help" && r.isOption()) return showUsage(usage);
            if (a == "--steps" && r.isOption()) steps = parseInt(r.value(), "--steps", 1, int(Journal::kKeep));
            else if (r.isOption()) throw Exception("unknown option " + a);
            else throw Exception("takes no files");
        }
    } catch (const Exception& e) {
        return usageError(name, e.what(), usage);
    }
    bool shown = false;
    JobControl control(terminalProgress(undo ? "undoing" : "redoing", shown));
    UndoJob job(direction, steps);
    job.run(control);
    if (shown) std::fputs("\n", stderr);

    for (const LeftAlone& left : job.leftAlone()) std::fprintf(stderr, "korvel-tool: %s\n", left.message().c_str());
    for (const JournalStep& step : job.worked()) {
        if (step.kind == StepKind::Turn) {
            std::vector<std::string> files;
            for (const StepEntry& e : step.entries) files.push_back(e.source);
            forgetSharedThumbnails(files);
        }
        if (step.undone == undo) std::printf("%s: %s\n", undo ? "undone" : "redone", stepTextEnglish(step).c_str());
        else std::fprintf(stderr, "korvel-tool %s: %s not finished; run %s again to finish it\n", name,
                          stepTextEnglish(step).c_str(), name);
    }
    if (job.journalError()) {
        std::fprintf(stderr, "korvel-tool %s: the journal of operations could not be read or written: %s\n", name,
                     systemErrorText(job.journalError()).c_str());
        return 1;
    }
    if (job.worked().empty()) std::printf("nothing to %s\n", name);
    return job.leftAlone().empty() ? 0 : 1;
}

}  // namespace

int runHistory(const std::vector<std::string>& args) {
    for (ArgReader r(args); r.next();) {
        if (r.isOption() && r.arg() == "--help") return showUsage(kHistoryUsage);
        return usageError("history", r.isOption() ? "unknown option " + r.arg() : "takes no files", kHistoryUsage);
    }
    Journal journal(Journal::defaultPath());
    journal.load();
    const std::vector<JournalStep>& steps = journal.steps();
    for (size_t i = 0; i < steps.size(); ++i) {
        const JournalStep& s = steps[steps.size() - 1 - i];
        std::printf("%zu\t%s\t%s\t%s\n", i + 1, localTime(s.timeNs).c_str(), s.undone ? "undone" : "",
                    stepTextEnglish(s).c_str());
    }
    return 0;
}

int runUndo(const std::vector<std::string>& args) { return undoOrRedo(args, UndoDirection::Undo); }
int runRedo(const std::vector<std::string>& args) { return undoOrRedo(args, UndoDirection::Redo); }

}  // namespace korvel::tool
