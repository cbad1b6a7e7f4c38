// The exclusion file: reading lines and records, the exclusion test by file name, writing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/Errors.h"
#include "formats/SpiExclusion.h"
#include "tests/support/TempTree.h"

using namespace korvel;
namespace fs = std::filesystem;
using namespace korvel::testing;

namespace {

TEST(ExclusionFile, LinesAndRecords) {
    struct Row {
        const char* name;
        std::string text;
        size_t lines, records;
    };
    const Row rows[] = {
        {"empty", "", 0, 0},
        {"one record", "/a/x.spi\r\nabout\r\n*.x\r\nX\r\n", 4, 1},
        {"no final line end", "/a/x.spi\r\nabout\r\n*.x\r\nX", 4, 1},
        {"LF only", "/a/x.spi\nabout\n*.x\nX\n/b/y.spi\nb\n*.y\nY\n", 8, 2},
        {"cut record ignored", "/a/x.spi\r\nabout\r\n*.x\r\nX\r\n/b/y.spi\r\nb\r\n", 6, 1},
        {"empty fields kept", "/a/x.spi\r\n\r\n\r\n\r\n", 4, 1},
        {"UTF-8 text", "/a/画像.spi\r\n説明\r\n*.x\r\nX\r\n", 4, 1},
    };
    TempTree dir;
    for (const Row& r : rows) {
        writeFile(dir.root() + "Korvel.spd", r.text);
        const auto lines = readExclusionLines(dir.root() + "Korvel.spd");
        EXPECT_EQ(lines.size(), r.lines) << r.name;
        EXPECT_EQ(exclusionRecords(lines).size(), r.records) << r.name;
    }
    EXPECT_TRUE(readExclusionLines(dir.root() + "absent.spd").empty());
    writeFile(dir.root() + "Korvel.spd", "/a/画像.spi\r\n説明\r\n*.x\r\nX\r\n");
    EXPECT_EQ(exclusionRecords(readExclusionLines(dir.root() + "Korvel.spd"))[0],
              (ExcludedPlugin{"/a/画像.spi", "説明", "*.x", "X"}));
}

TEST(ExclusionFile, ExcludesByFileNamePartOfPathLines) {
    const std::vector<std::string> lines{"/plugins/ifjpeg.spi", "about", "/not/a/path/line.spi", "X",
                                         "/other/IFPNG.SPI"};  // a cut last record still counts
    struct Row {
        const char* candidate;
        bool excluded;
    };
    for (const Row& r : {Row{"/usr/lib/korvel/ifjpeg.spi", true}, Row{"/x/IfJpeg.Spi", true}, Row{"/y/ifpng.spi", true},
                         Row{"/z/line.spi", false}, Row{"/z/ifjpeg.spi.bak", false}, Row{"/z/about", false}})
        EXPECT_EQ(isExcludedPlugin(lines, r.candidate), r.excluded) << r.candidate;
}

TEST(ExclusionFile, WriteRoundTripAndFailure) {
    TempTree dir;
    const std::vector<ExcludedPlugin> records{{"/a/one.spi", "One\r\nwith a break", "*.one", "One"},
                                              {"/b/two.spi", "Two", "*.two;*.tw", "Two"}};
    // The folder does not exist yet: it is made.
    const std::string path = dir.root() + "config/korvel/Korvel.spd";
    writeExclusionFile(path, records);
    EXPECT_EQ(readFile(path),
              "/a/one.spi\r\nOne  with a break\r\n*.one\r\nOne\r\n/b/two.spi\r\nTwo\r\n*.two;*.tw\r\nTwo\r\n");
    auto back = exclusionRecords(readExclusionLines(path));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1], records[1]);
    writeExclusionFile(path, {});
    EXPECT_EQ(fs::file_size(path), 0u);
    // A folder where the file should be: the write fails with a message.
    fs::create_directory(dir.root() + "blocked.spd");
    EXPECT_THROW(writeExclusionFile(dir.root() + "blocked.spd", records), EFileError);
}

}  // namespace
