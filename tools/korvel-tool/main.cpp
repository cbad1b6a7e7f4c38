#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/UserFolders.h"
#include "settings/RegistrySettings.h"
#include "base/ProgramFolders.h"
#include "formats/SpiStartup.h"
#include "tools/korvel-tool/Commands.h"

namespace korvel::tool {
PhotoSwitches photoSwitches;
}

namespace {
void usage(FILE* out) {
    std::fputs(
        "usage: korvel-tool info FILE...\n"
        "       korvel-tool decode [--scale 1|1/2|1/4|1/8] FILE OUT.pam\n"
        "       korvel-tool convert --format bmp|jpeg|png [options] -o DIR FILE...\n"
        "       korvel-tool list [--filter MASKS] [--sort name|size|date|ext|none] [--desc] [--recursive]\n"
        "                        [--no-hidden] DIR\n"
        "       korvel-tool thumb [--size N] [--fast] [--screen WxH] [--shared-cache] [--jobs N] -o DIR FILE...\n"
        "       korvel-tool copy|move [--on-conflict ask|skip|rename|replace|fail] -o DIR FILE...\n"
        "       korvel-tool trash FILE...\n"
        "       korvel-tool rename --pattern 'NAME\\NAME' [--start N] [--digits D] [--ext keep|upper|lower]\n"
        "                          [--dry-run] FILE...\n"
        "       korvel-tool rotate --angle 90|180|270|auto [--trim] [--keep-time] FILE...\n"
        "       korvel-tool history\n"
        "       korvel-tool undo|redo [--steps N]\n"
        "       korvel-tool --help | --version\n"
        "Every command takes --help: its own usage, with all its options; \"--\": what follows are\n"
        "files, not options; --no-plugins: load no decoder plug-in; and --no-orientation and\n"
        "--no-color-management: show photos as stored, ignoring their EXIF orientation or ICC profile.\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    // Names sort and counts group as the user's locale says, as in the windows.
    std::setlocale(LC_ALL, "");
    if (argc < 2) {
        usage(stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        usage(stdout);
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("korvel-tool %s\n", KORVEL_VERSION);
        return 0;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    const std::string cmd = argv[1];
    // Plug-ins load as in the window (Susie folder, program folder, exclusion file);
    // --no-plugins stands in for holding Shift at start.
    // They are options only before "--"; after it they are file names.
    const auto taken = [&args](const char* option) {
        const auto end = std::find(args.begin(), args.end(), "--");
        const auto kept = std::remove(args.begin(), end, option);
        const bool found = kept != end;
        args.erase(kept, end);
        return found;
    };
    const bool noPlugins = taken("--no-plugins");
    korvel::tool::photoSwitches.exifRotate = !taken("--no-orientation");
    korvel::tool::photoSwitches.colorManage = !taken("--no-color-management");
    // The journal's commands decode nothing: no plug-in is needed.
    if (cmd == "history") return korvel::tool::runHistory(args);
    if (cmd == "undo") return korvel::tool::runUndo(args);
    if (cmd == "redo") return korvel::tool::runRedo(args);
    // Turns use Korvel's own codecs only.
    if (cmd == "rotate") return korvel::tool::runRotate(args);
    korvel::MediaExtList media;
    std::unique_ptr<korvel::TSPIs> plugins;
    try {
        const std::string exe = korvel::runningExecutablePath(argv[0]);
        const std::string susie = korvel::readSusieFolder(korvel::registryPath(exe));
        plugins = korvel::startPlugins(exe, susie, media, {[noPlugins] { return noPlugins; }, {}});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "korvel-tool: plug-ins not loaded: %s\n", e.what());
    }
    if (cmd == "info") return korvel::tool::runInfo(args);
    if (cmd == "decode") return korvel::tool::runDecode(args);
    if (cmd == "convert") return korvel::tool::runConvert(args);
    if (cmd == "list") return korvel::tool::runList(args);
    if (cmd == "thumb") return korvel::tool::runThumb(args);
    if (cmd == "copy") return korvel::tool::runCopy(args);
    if (cmd == "move") return korvel::tool::runMove(args);
    if (cmd == "trash") return korvel::tool::runTrash(args);
    if (cmd == "rename") return korvel::tool::runRename(args);
    usage(stderr);
    return 2;
}
