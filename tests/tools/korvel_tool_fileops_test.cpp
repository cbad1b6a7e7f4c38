// korvel-tool copy, move and trash as a script would run them: files, exit status, messages.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/TempTree.h"
#include "tests/tools/ToolRun.h"

using korvel::testing::runTool;
using korvel::testing::TempTree;
namespace fs = std::filesystem;

using korvel::testing::readFile;
using korvel::testing::writeFile;

TEST(KorvelToolFileOps, ConflictPoliciesAndFailures) {
    struct Case {
        const char* name;
        std::vector<std::string> command;  // before -o DST SRC/a.jpg SRC/b.jpg
        std::string input;                 // standard input, for "ask" (there is no terminal)
        int status;
        std::string bInDst;   // "old", "new", or "old+new" (b_1.jpg)
        bool sourcesLeft;
        bool errNamesB;
    };
    const std::vector<Case> cases = {
        {"default fails on the existing file", {"copy"}, "", 1, "old", true, true},
        {"skip", {"copy", "--on-conflict", "skip"}, "", 0, "old", true, false},
        {"rename keeps both", {"copy", "--on-conflict", "rename"}, "", 0, "old+new", true, false},
        {"replace", {"copy", "--on-conflict", "replace"}, "", 0, "new", true, false},
        {"ask, answered no", {"copy", "--on-conflict", "ask"}, "n\n", 0, "old", true, false},
        {"ask, answered yes", {"copy", "--on-conflict", "ask"}, "y\n", 0, "new", true, false},
        {"move, replace", {"move", "--on-conflict", "replace"}, "", 0, "new", false, false},
        {"move, default leaves the clashing source", {"move"}, "", 1, "old", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempTree t;
        fs::create_directories(t / "src");
        fs::create_directories(t / "dst");
        writeFile(t / "src/a.jpg", "new a");
        writeFile(t / "src/b.jpg", "new b");
        writeFile(t / "dst/b.jpg", "old b");
        std::vector<std::string> args = c.command;
        for (const std::string& a : {std::string("-o"), t / "dst", t / "src/a.jpg", t / "src/b.jpg"}) args.push_back(a);
        const auto r = runTool(args, {"LC_ALL=C.UTF-8"}, 60, c.input);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(readFile(t / "dst/a.jpg"), "new a");
        EXPECT_EQ(readFile(t / "dst/b.jpg"), c.bInDst == "new" ? "new b" : "old b");
        EXPECT_EQ(fs::exists(t / "dst/b_1.jpg"), c.bInDst == "old+new");
        EXPECT_EQ(fs::exists(t / "src/a.jpg"), c.sourcesLeft);
        // A move that did not replace keeps its source; nothing is lost.
        EXPECT_EQ(fs::exists(t / "src/b.jpg"), c.sourcesLeft || c.bInDst == "old");
        EXPECT_EQ(r.err.find("korvel-tool: \"" + t / "dst/b.jpg") != std::string::npos, c.errNamesB) << r.err;
        EXPECT_EQ(std::distance(fs::directory_iterator(t / "dst"), {}), c.bInDst == "old+new" ? 3 : 2);
    }
}

TEST(KorvelToolFileOps, MissingSourceIsReportedAndTheRestDone) {
    TempTree t;
    fs::create_directories(t / "dst");
    writeFile(t / "a.jpg", "a");
    const auto r = runTool({"move", "-o", t / "dst", t / "gone.jpg", t / "a.jpg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(t / "gone.jpg"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(t / "dst/a.jpg"), "a");
    EXPECT_FALSE(fs::exists(t / "a.jpg"));
}

TEST(KorvelToolFileOps, TrashGoesToTheHomeTrashWithItsInfo) {
    TempTree t;
    writeFile(t / "a.jpg", "a");
    const auto r = runTool({"trash", t / "a.jpg"}, {"XDG_DATA_HOME=" + t / "data", "LC_ALL=C.UTF-8"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(t / "a.jpg"));
    EXPECT_EQ(readFile(t / "data/Trash/files/a.jpg"), "a");
    EXPECT_NE(readFile(t / "data/Trash/info/a.jpg.trashinfo").find("Path=" + t / "a.jpg" + "\n"), std::string::npos);
}
