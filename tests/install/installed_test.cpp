// The program's own folders, the desktop entry's MIME types against the formats Korvel reads,
// and the installed korvel-tool reading a WebP through its installed plug-in after the prefix
// was moved (the tree comes from install_tree.sh).
#include <gtest/gtest.h>
#include <webp/encode.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "base/FileNames.h"
#include "base/ProgramFolders.h"
#include "codecs/Metafile.h"
#include "formats/FormatRegistry.h"
#include "formats/SpiHost.h"
#include "tests/support/TempTree.h"
#include "tests/tools/ToolRun.h"

using namespace korvel;
using korvel::testing::TempTree;
namespace fs = std::filesystem;

TEST(ProgramFolders, BuildFolderOrInstalledPrefix) {
    TempTree t;
    t.file("build/korvel", 1);
    t.file("usr/bin/korvel", 1);
    fs::create_directories(t / "usr/bin/" KORVEL_RELATIVE_DATA_DIR);
    t.file("odd/bin/korvel", 1);
    t.file("odd/bin/" KORVEL_RELATIVE_DATA_DIR, 1);  // a file where the data folder belongs
    fs::create_directories(t / "links");
    fs::create_symlink(t / "usr/bin/korvel", t / "links/korvel");
    const std::string installedPlugins = (fs::path(t / "usr/bin/" KORVEL_RELATIVE_PLUGIN_DIR).lexically_normal() / "").string();
    const std::string installedData = (fs::path(t / "usr/bin/" KORVEL_RELATIVE_DATA_DIR).lexically_normal() / "").string();
    struct Case {
        std::string exe, plugins, data;
    } cases[] = {
        {t / "build/korvel", t / "build/", t / "build/"},
        {t / "usr/bin/korvel", installedPlugins, installedData},
        {t / "links/korvel", installedPlugins, installedData},  // a link to the installed program
        {t / "odd/bin/korvel", t / "odd/bin/", t / "odd/bin/"},
    };
    for (const Case& c : cases) {
        const ProgramFolders f = programFolders(c.exe);
        EXPECT_EQ(f.plugins, c.plugins) << c.exe;
        EXPECT_EQ(f.data, c.data) << c.exe;
    }
}

// Every extension that decodes (built in or through a shipped plug-in) has its MIME type in the
// desktop entry, and the entry lists nothing else but folders, so "Open with" offers exactly what
// reads, and "Open folder with" too.
TEST(DesktopEntry, ListsEveryMimeTypeKorvelReads) {
    TFileFormatsList formats;
    registerBuiltinFormats(formats);
    TSPIs host("", &formats);
    for (const char* name : {"korvel-webp", "korvel-tiff", "korvel-heif", "korvel-jxl", "korvel-raw"})
        host.Search(std::string(KORVEL_PLUGIN_DIR) + "/" + name + ".spi");
    ASSERT_EQ(host.Count(), 5);
    std::map<std::string, std::string> mimeOf;  // shared-mime-info's globs: "type:*.ext"
    std::ifstream globs("/usr/share/mime/globs");
    ASSERT_TRUE(globs) << "shared-mime-info is missing";
    for (std::string line; std::getline(globs, line);)
        if (size_t at = line.find(":*."); at != std::string::npos && line[0] != '#')
            mimeOf.emplace(line.substr(at + 3), line.substr(0, at));
    std::set<std::string> read, listed;
    for (const FormatEntry& e : formats.entries()) {
        if (e.graphicClass == &TMetafile::classInfo) continue;  // registered, but no decoder yet
        if (asciiLower(e.extension) == "srw") continue;            // Samsung RAW: no registered type
        ASSERT_TRUE(mimeOf.count(asciiLower(e.extension))) << e.extension;
        read.insert(mimeOf[asciiLower(e.extension)]);
    }
    read.insert("inode/directory");
    std::ifstream desktop(KORVEL_INSTALLED_PREFIX "/share/applications/org.korvel.Korvel.desktop");
    for (std::string line; std::getline(desktop, line);)
        if (line.rfind("MimeType=", 0) == 0) {
            std::istringstream list(line.substr(9));
            for (std::string t; std::getline(list, t, ';');) listed.insert(t);
        }
    EXPECT_EQ(listed, read);
}

TEST(InstalledTool, ReadsWebpThroughItsPluginAfterThePrefixMoved) {
    TempTree d;
    std::string rgba;
    for (int i = 0; i < 5 * 3; ++i) rgba += {char(i * 17), char(200 - i * 9), char(i * 5 + 3), char(255)};
    uint8_t* out = nullptr;
    const size_t n = WebPEncodeLosslessRGBA(reinterpret_cast<const uint8_t*>(rgba.data()), 5, 3, 5 * 4, &out);
    ASSERT_GT(n, 0u);
    korvel::testing::writeFile(d / "p.webp", std::string(reinterpret_cast<char*>(out), n));
    WebPFree(out);
    const std::vector<std::string> env = {"LC_ALL=C.UTF-8", "KORVEL_CONFIG_DIR=" + d.dir()};
    korvel::testing::ToolRun r = korvel::testing::runTool({"decode", d / "p.webp", d / "p.pam"}, env);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(korvel::testing::readFile(d / "p.pam"),
              "P7\nWIDTH 5\nHEIGHT 3\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" + rgba);
    // Without plug-ins the same file does not read: the plug-in did the work.
    EXPECT_EQ(korvel::testing::runTool({"decode", "--no-plugins", d / "p.webp", d / "q.pam"}, env).status, 1);
}
