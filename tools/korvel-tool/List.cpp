// korvel-tool list: the folder listing the main window builds, one full path per line.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "browse/ExtensionSet.h"
#include "browse/FileSort.h"
#include "browse/FolderScan.h"
#include "formats/FormatRegistry.h"
#include "tools/korvel-tool/Args.h"
#include "tools/korvel-tool/Commands.h"

namespace korvel::tool {

namespace {

const char kUsage[] =
    "usage: korvel-tool list [options] DIR\n"
    "  --filter MASKS         masks such as \"*.jpg;*.jpeg\" (default: every registered format)\n"
    "  --sort name|size|date|ext|taken|none   order (default name); taken: the date a photo\n"
    "                         was taken (EXIF), else the file's last-write time\n"
    "  --desc                 descending order\n"
    "  --recursive            list sub-folders too\n"
    "  --no-hidden            skip names starting with \".\"\n";

int usageError(const std::string& message) { return tool::usageError("list", message, kUsage); }

// The info mode whose sort key the listing uses; -1 sorts nothing.
bool parseSort(const std::string& s, int& nameView) {
    static const struct {
        const char* name;
        int nameView;
    } keys[] = {{"name", 0}, {"size", 1}, {"date", 2}, {"ext", 3}, {"taken", 4}, {"none", -1}};
    for (const auto& k : keys)
        if (s == k.name) {
            nameView = k.nameView;
            return true;
        }
    return false;
}

std::string absoluteFolder(const std::string& dir) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(dir, ec);
    std::string s = ec ? dir : p.lexically_normal().string();
    if (s.empty() || s.back() != '/') s.push_back('/');
    return s;
}

}  // namespace

int runList(const std::vector<std::string>& args) {
    ListOptions options;
    options.mask = filterBoxMask(parseFilterItems(GraphicFilter(TGraphic::classInfo)), 0);
    bool descending = false;
    std::string dir;
    try {
        for (ArgReader r(args); r.next();) {
            const std::string& a = r.arg();
            if (!r.isOption()) {
                if (!dir.empty()) return usageError("only one folder can be listed");
                dir = a;
            } else if (a == "--help") {
                return showUsage(kUsage);
            } else if (a == "--filter") {
                options.mask = r.value();
            } else if (a == "--sort") {
                const std::string& v = r.value();
                if (!parseSort(v, options.nameView)) return usageError("unknown sort key \"" + v + "\"");
            } else if (a == "--desc") {
                descending = true;
            } else if (a == "--recursive") {
                options.subDirSearch = true;
            } else if (a == "--no-hidden") {
                options.noHideFile = true;
            } else {
                return usageError("unknown option " + a);
            }
        }
    } catch (const std::exception& e) {
        return usageError(e.what());
    }
    if (dir.empty()) return usageError("no folder given");

    // Descending is the ascending listing followed by the descending sort button; with a stable
    // sort, sorting once in the descending order gives the same list.
    const int nameView = options.nameView;
    if (descending) options.nameView = -1;
    FileList list;
    ListResult r = ListFolder(list, absoluteFolder(dir), ListMode::Replace, options);
    if (!r.folderRead) {
        std::fprintf(stderr, "korvel-tool list: %s: %s\n", dir.c_str(), std::strerror(r.error));
        return 1;
    }
    if (descending) sortByNameView(list, nameView, true);

    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    for (const FileEntry& e : list) {
        std::fwrite(e.path.data(), 1, e.path.size(), stdout);
        std::fputc('\n', stdout);
    }
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "korvel-tool list: cannot write the listing: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}

}  // namespace korvel::tool
