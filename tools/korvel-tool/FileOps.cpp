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
        return ask(target);
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
    ConflictAnswer ask(const std::string& target) {
        for (;;) {
            std::fprintf(stderr, "replace \"%s\"? [y]es [n]o [a]ll [s]kip all [k]eep both [c]ancel: ", target.c_str());
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

int transfer(const std::vector<std::string>& args, bool move) {
    const char* name = move ? "move" : "copy";
    Policy policy = Policy::Fail;
    std::string outDir;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--on-conflict" || a == "-o") && i + 1 >= args.size()) {
            std::fprintf(stderr, "korvel-tool %s: %s needs a value\n", name, a.c_str());
            return 2;
        }
        if (a == "--on-conflict") {
            const std::string& v = args[++i];
            if (v == "ask") policy = Policy::Ask;
            else if (v == "skip") policy = Policy::Skip;
            else if (v == "rename") policy = Policy::Rename;
            else if (v == "replace") policy = Policy::Replace;
            else if (v == "fail") policy = Policy::Fail;
            else {
                std::fprintf(stderr, "korvel-tool %s: --on-conflict takes ask, skip, rename, replace or fail\n", name);
                return 2;
            }
        } else if (a == "-o") {
            outDir = args[++i];
        } else {
            files.push_back(a);
        }
    }
    if (outDir.empty() || files.empty()) {
        std::fprintf(stderr, "usage: korvel-tool %s [--on-conflict ask|skip|rename|replace|fail] -o DIR FILE...\n", name);
        return 2;
    }
    if (!outputFolderExists(outDir, name)) return 1;
    ToolUser user(policy);
    TFileOperation op(user);
    op.FromFiles = files;
    op.ToFiles = {outDir};
    const bool cancelled = move ? op.Move() : op.Copy();
    if (cancelled) std::fprintf(stderr, "korvel-tool %s: cancelled\n", name);
    return user.failed || cancelled ? 1 : 0;
}

}  // namespace

int runCopy(const std::vector<std::string>& args) { return transfer(args, false); }
int runMove(const std::vector<std::string>& args) { return transfer(args, true); }

int runTrash(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::fputs("usage: korvel-tool trash FILE...\n", stderr);
        return 2;
    }
    ToolUser user(Policy::Fail);
    TFileOperation op(user);
    op.FromFiles = args;
    op.Delete();
    return user.failed ? 1 : 0;
}

}  // namespace korvel::tool
