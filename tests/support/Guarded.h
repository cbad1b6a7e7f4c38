#pragma once
// Runs a piece of a test in a child process that is stopped when it takes too long or grows too
// large, so that a regression to a hang or to an endless read fails the test instead of
// stalling the run or exhausting the machine.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

namespace korvel::testing {

struct Guarded {
    enum Outcome { Finished, TimedOut, TooLarge /* grew past its memory bound */, Crashed } outcome = Crashed;
    std::string result;  // what the piece returned, when it finished
};

inline long residentMiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (::sysconf(_SC_PAGESIZE) / 1024) / 1024;
}

// piece runs in a forked child; its returned text comes back in result.
inline Guarded runGuarded(const std::function<std::string()>& piece, int seconds = 20, long maxGrowthMiB = 256) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        ::alarm(unsigned(seconds));
        const long base = residentMiB();
        std::thread([base, maxGrowthMiB] {
            for (;;) {
                if (residentMiB() - base > maxGrowthMiB) ::_exit(3);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }).detach();
        const std::string out = piece();
        if (::write(fds[1], out.data(), out.size()) < 0) ::_exit(4);
        ::_exit(0);
    }
    ::close(fds[1]);
    Guarded g;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) g.result.append(buf, size_t(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) g.outcome = Guarded::Finished;
    else if (WIFEXITED(status) && WEXITSTATUS(status) == 3) g.outcome = Guarded::TooLarge;
    else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) g.outcome = Guarded::TimedOut;
    return g;
}

}  // namespace korvel::testing
