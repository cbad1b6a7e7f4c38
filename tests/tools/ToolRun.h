#pragma once
// Runs the korvel-tool binary (KORVEL_TOOL) as a user would and keeps its exit status, its
// standard output as lines and its standard error. Arguments go to the program as they are, with
// no shell between, so any byte in a file name arrives unchanged.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
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
// tool's standard input; it runs in a session of its own, without a terminal to ask on.
inline ToolRun runTool(const std::vector<std::string>& args, const std::vector<std::string>& env = {"LC_ALL=C.UTF-8"},
                       unsigned seconds = 60, const std::string& input = "") {
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const std::string& set : env)
            replaced |= entry.compare(0, set.find('=') + 1, set, 0, set.find('=') + 1) == 0;
        if (!replaced) envText.push_back(entry);
    }
    envText.insert(envText.end(), env.begin(), env.end());
    std::vector<char*> argv{const_cast<char*>(KORVEL_TOOL)}, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    for (const std::string& e : envText) envp.push_back(const_cast<char*>(e.c_str()));
    argv.push_back(nullptr), envp.push_back(nullptr);

    ToolRun r;
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return r;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        ::dup2(in[0], 0), ::dup2(out[1], 1), ::dup2(err[1], 2);
        ::alarm(seconds);  // survives exec: a hang ends the tool instead of the test run
        ::execve(KORVEL_TOOL, argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(in[0]), ::close(out[1]), ::close(err[1]);
    // Small answers fit the pipe's buffer, so writing them whole cannot block.
    if (!input.empty() && ::write(in[1], input.data(), input.size()) < 0) {}
    ::close(in[1]);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* into[2] = {&r.out, &r.err};
    for (int open = 2; open > 0;) {
        if (::poll(fds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !fds[i].revents) continue;
            char buf[4096];
            const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) into[i]->append(buf, size_t(n));
            else ::close(fds[i].fd), fds[i].fd = -1, --open;
        }
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) r.lines.push_back(line);
    return r;
}

}  // namespace korvel::testing
