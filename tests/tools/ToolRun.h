#pragma once
// Runs the korvel-tool binary (KORVEL_TOOL) as a user would and keeps its exit status, its
// standard output as lines and its standard error.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace korvel::testing {

struct ToolRun {
    int status = -1;
    std::vector<std::string> lines;
    std::string out, err;
};

// env is put before the command ("LC_ALL=C.UTF-8"), args after the program name.
inline ToolRun runTool(const std::string& args, const std::string& env = "") {
    const std::string errFile = "/tmp/korvel-tool-err-" + std::to_string(::getpid());
    const std::string cmd = env + " " + KORVEL_TOOL + " " + args + " 2>" + errFile;
    ToolRun r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) r.lines.push_back(line);
    std::ifstream e(errFile);
    std::stringstream ss;
    ss << e.rdbuf();
    r.err = ss.str();
    std::remove(errFile.c_str());
    return r;
}

}  // namespace korvel::testing
