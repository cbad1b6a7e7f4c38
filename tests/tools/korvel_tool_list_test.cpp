// Runs "korvel-tool list" as a user would: the lines it prints, its errors and exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TempTree.h"
#include "tests/tools/ToolRun.h"

using korvel::testing::runTool;
using korvel::testing::TempTree;
using korvel::testing::ToolRun;

namespace {

using Args = std::vector<std::string>;

ToolRun list(Args args) {
    args.insert(args.begin(), "list");
    return runTool(args);
}

}  // namespace

TEST(KorvelToolList, PrintsTheListing) {
    TempTree t;
    t.file("b.jpg", 3);
    t.file("A.JPG", 1);
    t.file("c.bmp", 5);
    t.file(".h.gif", 4);
    t.file("d.txt", 2);
    t.file("empty.jpg", 0);
    t.file("sub/e.ico", 6);
    t.file("写真.jpeg", 7);
    const std::string dir = t.root();
    struct Row {
        Args args;
        std::vector<std::string> expected;  // relative to the folder
    } rows[] = {
        // Default: every registered format, by name ignoring case.
        {{}, {".h.gif", "A.JPG", "b.jpg", "c.bmp", "写真.jpeg"}},
        {{"--no-hidden"}, {"A.JPG", "b.jpg", "c.bmp", "写真.jpeg"}},
        {{"--sort", "size"}, {"A.JPG", "b.jpg", ".h.gif", "c.bmp", "写真.jpeg"}},
        {{"--sort", "size", "--desc"}, {"写真.jpeg", "c.bmp", ".h.gif", "b.jpg", "A.JPG"}},
        {{"--desc"}, {"写真.jpeg", "c.bmp", "b.jpg", "A.JPG", ".h.gif"}},
        {{"--recursive", "--sort", "size"}, {"A.JPG", "b.jpg", ".h.gif", "c.bmp", "sub/e.ico", "写真.jpeg"}},
        {{"--filter", "*.jpg", "--sort", "name"}, {"A.JPG", "b.jpg"}},
        {{"--filter", "*.TXT;*.bmp"}, {"c.bmp", "d.txt"}},
        {{"--filter", "*.txt;*.jpeg;*.bmp;*.gif", "--no-hidden", "--sort", "ext", "--desc"}, {"d.txt", "写真.jpeg", "c.bmp"}},
        {{"--filter", "*.png"}, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::PrintToString(r.args));
        Args args = r.args;
        args.push_back(dir);
        ToolRun run = list(args);
        EXPECT_EQ(run.status, 0) << run.err;
        std::vector<std::string> expected;
        for (const std::string& e : r.expected) expected.push_back(t.root() + e);
        EXPECT_EQ(run.lines, expected);
    }
    t.mtime("b.jpg", 1000000000);
    t.mtime("A.JPG", 1500000000);
    ToolRun byDate = list({"--filter", "*.jpg", "--sort", "date", "--desc", dir});
    EXPECT_EQ(byDate.lines, (std::vector<std::string>{t / "A.JPG", t / "b.jpg"}));
    // Unsorted output holds the same files; a folder given without "/" or relatively lists the same.
    ToolRun none = list({"--sort", "none", dir});
    EXPECT_EQ(none.lines.size(), 5u);
    ToolRun plain = list({t.dir()});
    EXPECT_EQ(plain.lines, list({dir}).lines);
    ToolRun relative = list({"--no-hidden", t.root() + "sub/../"});
    EXPECT_EQ(relative.lines.size(), 4u);
    if (!relative.lines.empty()) EXPECT_EQ(relative.lines[0], t.root() + "A.JPG");
}

TEST(KorvelToolList, ErrorsAndExitStatus) {
    TempTree t;
    t.file("a.jpg", 1);
    struct Row {
        Args args;
        int status;
        std::string errorPart;
    } rows[] = {
        {{t / "missing"}, 1, "No such file or directory"},
        {{t / "a.jpg"}, 1, "Not a directory"},
        {{}, 2, "no folder given"},
        {{"--sort", "color", t.root()}, 2, "unknown sort key"},
        {{"--filter"}, 2, "--filter needs a value"},
        {{"--bogus", t.root()}, 2, "unknown option --bogus"},
        {{t.root(), t.root()}, 2, "only one folder"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::PrintToString(r.args));
        ToolRun run = list(r.args);
        EXPECT_EQ(run.status, r.status);
        EXPECT_NE(run.err.find(r.errorPart), std::string::npos) << run.err;
        EXPECT_TRUE(run.lines.empty());
    }
}
