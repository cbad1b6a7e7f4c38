// korvel-tool rename as a script runs it: names in the order given, what it prints, exit status,
// and files that stay as they were when it refuses or only looks.
#include <gtest/gtest.h>

#include "tests/support/FolderContents.h"
#include "tests/tools/ToolRun.h"

using korvel::testing::folderContents;
using korvel::testing::runTool;
using korvel::testing::TempTree;

TEST(KorvelToolRename, RenamesInOrderAndNeverReplaces) {
    using Files = std::map<std::string, std::string>;
    struct Case {
        const char* name;
        std::vector<std::string> options;
        std::vector<std::string> files;  // in t's root, in the order given
        int status;
        std::vector<std::string> printed;  // stdout lines, names relative to the root
        const char* errHas;                // "" = nothing on stderr
        Files after;                       // name -> content; each file holds its old name
    };
    const std::vector<Case> cases = {
        {"order given, lower-case extensions", {"--pattern", "A\\B", "--digits", "3", "--ext", "lower"},
         {"y.JPG", "x.bmp"}, 0, {"y.JPG -> A001B.jpg", "x.bmp -> A002B.bmp"}, "",
         {{"A001B.jpg", "y.JPG"}, {"A002B.bmp", "x.bmp"}}},
        {"a taken name fails, the pass goes on", {"--pattern", "\\", "--start", "2", "--digits", "1"},
         {"1.jpg", "2.jpg"}, 1, {"2.jpg -> 3.jpg"}, "1.jpg", {{"1.jpg", "1.jpg"}, {"3.jpg", "2.jpg"}}},
        {"dry run changes nothing", {"--pattern", "%d\\", "--start", "99", "--dry-run"}, {"a", "b"}, 0,
         {"a -> %d99", "b -> %d100"}, "", {{"a", "a"}, {"b", "b"}}},
        {"dry run reports the coming failure", {"--pattern", "\\", "--start", "2", "--digits", "1", "--dry-run"},
         {"1.jpg", "2.jpg"}, 1, {"2.jpg -> 3.jpg"}, "1.jpg", {{"1.jpg", "1.jpg"}, {"2.jpg", "2.jpg"}}},
        {"two placeholders", {"--pattern", "\\-\\"}, {"a"}, 2, {}, "exactly one", {{"a", "a"}}},
        {"no placeholder", {"--pattern", "name"}, {"a"}, 2, {}, "exactly one", {{"a", "a"}}},
        {"bad digits", {"--pattern", "\\", "--digits", "x"}, {"a"}, 2, {}, "--digits", {{"a", "a"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempTree t;
        std::vector<std::string> args{"rename"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        for (const std::string& f : c.files) args.push_back(t.write(f, f));
        const auto r = runTool(args);
        EXPECT_EQ(r.status, c.status) << r.err;
        std::vector<std::string> printed;
        for (const std::string& line : r.lines) {
            std::string rel = line;
            for (size_t at; (at = rel.find(t.root())) != std::string::npos;) rel.erase(at, t.root().size());
            printed.push_back(rel);
        }
        EXPECT_EQ(printed, c.printed);
        if (*c.errHas) EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
        else EXPECT_EQ(r.err, "");
        EXPECT_EQ(folderContents(t.dir()), c.after);
    }
}
