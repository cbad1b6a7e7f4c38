#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/korvel-tool/Commands.h"

namespace {
void usage() {
    std::fputs(
        "usage: korvel-tool info FILE...\n"
        "       korvel-tool decode FILE OUT.pam\n"
        "       korvel-tool convert --format bmp|jpeg|png [options] -o DIR FILE...\n"
        "       korvel-tool list [--filter MASKS] [--sort name|size|date|ext|none] [--desc] [--recursive]\n"
        "                        [--no-hidden] DIR\n"
        "       korvel-tool thumb [--size N] [--fast] [--screen WxH] -o DIR FILE...\n",
        stderr);
}
}  // namespace

int main(int argc, char** argv) {
    // Names sort and counts group as the user's locale says, as in the windows.
    std::setlocale(LC_ALL, "");
    if (argc < 2) {
        usage();
        return 2;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    const std::string cmd = argv[1];
    if (cmd == "info") return korvel::tool::runInfo(args);
    if (cmd == "decode") return korvel::tool::runDecode(args);
    if (cmd == "convert") return korvel::tool::runConvert(args);
    if (cmd == "list") return korvel::tool::runList(args);
    if (cmd == "thumb") return korvel::tool::runThumb(args);
    usage();
    return 2;
}
