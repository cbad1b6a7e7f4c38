#pragma once
// Runs the korvel-tool binary (KORVEL_TOOL) as a user would and keeps its exit status, its
// standard output as lines and its standard error. Arguments go to the program as they are, with
// no shell between, so any byte in a file name arrives unchanged.
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace korvel::testing {

struct ToolRun {
    int status = -1;  // -1: it did not exit by itself (crashed, or stopped after `seconds`)
    std::vector<std::string> lines;
    std::string out, err;
};

// env entries ("LC_ALL=C.UTF-8") are set on top of the test's own environment. input is the
// tool's standard input; it runs in a session of its own, without a terminal to ask on, in the
// folder cwd when one is given.
inline ToolRun runTool(const std::vector<std::string>& args, const std::vector<std::string>& env = {"LC_ALL=C.UTF-8"},
                       unsigned seconds = 60, const std::string& input = "", const std::string& cwd = "") {
    std::vector<std::string> envText(env);
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e, name = entry.substr(0, entry.find('=') + 1);
        const auto overrides = [&](const std::string& set) { return set.rfind(name, 0) == 0; };
        if (std::none_of(env.begin(), env.end(), overrides)) envText.push_back(entry);
    }
    std::vector<char*> argv{const_cast<char*>(KORVEL_TOOL)}, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    for (const std::string& e : envText) envp.push_back(const_cast<char*>(e.c_str()));
    argv.push_back(nullptr), envp.push_back(nullptr);

    // The streams are memory files read after the tool ended, so no pipe can fill and block it.
    ToolRun r;
    const int in = ::memfd_create("in", MFD_CLOEXEC), out = ::memfd_create("out", MFD_CLOEXEC),
              err = ::memfd_create("err", MFD_CLOEXEC);
    if (in < 0 || out < 0 || err < 0) return r;
    if (::write(in, input.data(), input.size()) != ssize_t(input.size())) return r;
    ::lseek(in, 0, SEEK_SET);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
        ::dup2(in, 0), ::dup2(out, 1), ::dup2(err, 2);
        ::alarm(seconds);  // survives exec: a hang ends the tool instead of the test run
        ::execve(KORVEL_TOOL, argv.data(), envp.data());
        ::_exit(127);
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    for (auto [fd, into] : {std::pair{out, &r.out}, std::pair{err, &r.err}}) {
        char buf[4096];
        ::lseek(fd, 0, SEEK_SET);
        for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) into->append(buf, size_t(n));
    }
    ::close(in), ::close(out), ::close(err);
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) r.lines.push_back(line);
    return r;
}

}  // namespace korvel::testing
