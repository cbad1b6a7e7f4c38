// korvel-tool copy, move and trash: the window's file operations for scripts.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "fileops/FileOperation.h"
#include "tools/korvel-tool/Args.h"
#include "tools/korvel-tool/Commands.h"

namespace korvel::tool {

namespace {

enum class Policy { Ask, Skip, Rename, Replace, Fail };

class ToolUser : public FileOpUser {
public:
    explicit ToolUser(Policy p) : policy_(p) {}
    bool failed = false;

    ConflictAnswer askReplace(const std::string& source, const std::string& target) override {
        switch (policy_) {
            case Policy::Skip: return ConflictAnswer::Skip;
            case Policy::Rename: return ConflictAnswer::KeepBoth;
            case Policy::Replace: return ConflictAnswer::Replace;
            case Policy::Fail:
                std::fprintf(stderr, "korvel-tool: \"%s\" exists; not replaced\n", target.c_str());
                failed = true;
                return ConflictAnswer::Skip;
            case Policy::Ask: break;
        }
        return ask("replace \"" + target + "\"? [y]es [n]o [a]ll [s]kip all [k]eep both [c]ancel: ");
    }
    ConflictAnswer askCopyOntoItself(const std::string& path) override {
        const char* outcome = "not copied";
        switch (policy_) {
            case Policy::Skip: return ConflictAnswer::Skip;
            case Policy::Rename: return ConflictAnswer::KeepBoth;
            case Policy::Replace: outcome = "nothing to replace"; break;
            case Policy::Fail: failed = true; break;
            case Policy::Ask: return ask("\"" + path + "\" would be copied onto itself: [k]eep both [n]o [c]ancel: ");
        }
        std::fprintf(stderr, "korvel-tool: \"%s\": source and target are the same file; %s\n", path.c_str(), outcome);
        return ConflictAnswer::Skip;
    }
    ErrorAnswer reportError(const FileOpError& error) override {
        std::fprintf(stderr, "korvel-tool: %s\n", error.message().c_str());
        failed = true;
        return ErrorAnswer::Skip;
    }
    bool confirmPermanentDelete(const std::string& path) override {
        std::fprintf(stderr, "korvel-tool: \"%s\" has no usable Trash; not deleted\n", path.c_str());
        failed = true;
        return false;
    }

private:
    // The terminal when there is one, else standard input.
    ConflictAnswer ask(const std::string& question) {
        for (;;) {
            std::fputs(question.c_str(), stderr);
            std::fflush(stderr);
            const std::string line = readLine();
            if (line.empty()) return ConflictAnswer::Cancel;  // end of input
            switch (line[0]) {
                case 'y': return ConflictAnswer::Replace;
                case 'n': return ConflictAnswer::Skip;
                case 'a': return ConflictAnswer::ReplaceAll;
                case 's': return ConflictAnswer::SkipAll;
                case 'k': return ConflictAnswer::KeepBoth;
                case 'c': return ConflictAnswer::Cancel;
            }
        }
    }
    std::string readLine() {
        if (tty_ == -2) tty_ = ::open("/dev/tty", O_RDONLY | O_CLOEXEC);
        const int fd = tty_ >= 0 ? tty_ : 0;
        std::string line;
        char c;
        while (::read(fd, &c, 1) == 1) {
            line += c;
            if (c == '\n') break;
        }
        return line;
    }
    Policy policy_;
    int tty_ = -2;
};

const char kTransferUsage[] =
    "usage: korvel-tool copy|move [--on-conflict ask|skip|rename|replace|fail] -o DIR FILE...\n"
    "  -o DIR          the folder the files go into\n"
    "  --on-conflict   what to do with a name that is taken (default fail: leave it, report it):\n"
    "                  ask on the terminal, skip it, rename the new file (_1, _2, ...), replace it\n";
const char kTrashUsage[] = "usage: korvel-tool trash FILE...\n";

int transfer(const std::vector<std::string>& args, bool move) {
    const char* name = move ? "move" : "copy";
    Policy policy = Policy::Fail;
    std::string outDir;
    std::vector<std::string> files;
    const auto option = [&](const std::string& a, ArgReader& r) {
        if (a == "-o") outDir = r.value();
        else if (a == "--on-conflict")
            policy = Policy(pickWord(r.value(), "--on-conflict", {"ask", "skip", "rename", "replace", "fail"}));  // Policy's order
        else return false;
        return true;
    };
    const auto check = [&] {
        if (outDir.empty()) throw Exception("-o DIR is required");
    };
    if (const auto status = readCommandLine(args, name, kTransferUsage, files, option, check)) return *status;
    if (!outputFolderExists(outDir, name)) return 1;
    ToolUser user(policy);
    TFileOperation op(user);
    op.FromFiles = files;
    op.ToFiles = {outDir};
    const bool cancelled = move ? op.Move() : op.Copy();
    if (cancelled) std::fprintf(stderr, "korvel-tool %s: cancelled\n", name);
    const bool recorded = recordedForUndo(move ? StepKind::Move : StepKind::Copy, op.done());
    return user.failed || cancelled || !recorded ? 1 : 0;
}

}  // namespace

int runCopy(const std::vector<std::string>& args) { return transfer(args, false); }
int runMove(const std::vector<std::string>& args) { return transfer(args, true); }

int runTrash(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    if (const auto status = readFilesOnly(args, "trash", kTrashUsage, files)) return *status;
    ToolUser user(Policy::Fail);
    TFileOperation op(user);
    op.FromFiles = files;
    op.Delete();
    const bool recorded = recordedForUndo(StepKind::TrashDelete, op.done());
    return user.failed || !recorded ? 1 : 0;
}

}  // namespace korvel::tool
