// Serial and single renames on real files: the names they give, the plan's forecast against what
// the pass then does, and that no pattern ever loses or replaces a file; folders made and renamed,
// never replacing an existing folder or file, also when the system call fails.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "base/FileNames.h"
#include "fileops/FolderOps.h"
#include "fileops/Rename.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/FolderContents.h"

using namespace korvel;
using korvel::testing::contentSet;
using korvel::testing::FaultyFileSystem;
using korvel::testing::folderContents;
using korvel::testing::TempTree;
namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

// Renames files (in t's root, each holding its own name as content) serially; returns the
// plan made beforehand and checks it against what the pass did.
RenamePlan renameSerially(const TempTree& t, const Names& files, const SerialParams& p,
                          RenameCounts* counts = nullptr) {
    Names paths;
    for (const std::string& f : files) paths.push_back(t / f);
    const RenamePlanner planner(paths);
    const RenamePlan plan = planner.planSerial(p);
    std::vector<std::pair<std::string, std::string>> moves;
    for (const PlanRow& r : plan.rows) moves.emplace_back(r.oldPath, r.newPath);
    const RenameCounts c = runRenamePass(moves, [&](const RenameStep& s) {
        EXPECT_EQ(s.error != 0, plan.rows[s.index].fails()) << s.from << " -> " << s.to;
        return true;
    });
    EXPECT_EQ(c.failed, plan.failing);
    if (counts) *counts = c;
    return plan;
}

}  // namespace

TEST(SerialPattern, ExactlyOnePlaceholderCountedByCharacter) {
    struct Case {
        const char* name;
        bool ok;
    } cases[] = {
        {"A\\B", true},   {"\\", true},       {"", false},          {"AB", false},
        {"A\\\\B", false}, {"\\A\\", false},  {"写真\\_夏", true},   {"ソ\\表", true},
        {"%s\\%d", true},  {"\xE3\\", false},  // a "\" inside a cut-off sequence is no placeholder
    };
    for (const Case& c : cases) EXPECT_EQ(SerialPattern::parse(c.name).has_value(), c.ok) << c.name;
}

TEST(SerialRename, NamesOnDisk) {
    struct Case {
        const char* what;
        Names files;
        const char* pattern;
        int64_t start;
        int digits;
        ExtCase ext;
        Names after;  // the folder's names afterwards, sorted
    } cases[] = {
        {"width 1 grows", {"a", "b", "c"}, "\\", 99, 1, ExtCase::Keep, {"100", "101", "99"}},
        {"width 2 grows", {"a.j", "b.j", "c.j"}, "n\\", 99, 2, ExtCase::Keep, {"n100.j", "n101.j", "n99.j"}},
        {"width 3 pads", {"a.j", "b.j", "c.j"}, "n\\", 99, 3, ExtCase::Keep, {"n099.j", "n100.j", "n101.j"}},
        {"percent is literal", {"p.jpg", "q.jpg"}, "%s\\%d%%", 5, 2, ExtCase::Upper,
         {"%s05%d%%.JPG", "%s06%d%%.JPG"}},
        {"no extension", {"readme", "notes"}, "doc-\\", 0, 2, ExtCase::Upper, {"doc-00", "doc-01"}},
        {"Japanese", {"猫.JPG", "犬.jpeg"}, "写真\\_夏", 1, 2, ExtCase::Keep, {"写真01_夏.JPG", "写真02_夏.jpeg"}},
        {"negative start", {"a.b", "b.b"}, "\\", -1, 3, ExtCase::Keep, {"-001.b", "000.b"}},
        {"placeholder only, in order", {"b.x", "a.x"}, "\\", 1, 1, ExtCase::Keep, {"1.x", "2.x"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempTree t;
        for (const std::string& f : c.files) t.write(f, f);
        const SerialParams p{*SerialPattern::parse(c.pattern), c.start, c.digits, c.ext};
        const RenamePlan plan = renameSerially(t, c.files, p);
        EXPECT_EQ(plan.failing, 0);
        const auto after = folderContents(t.dir());
        Names names;
        for (const auto& [name, content] : after) names.push_back(name);
        EXPECT_EQ(names, c.after);
        // The i-th file of the list got the i-th number.
        for (size_t i = 0; i < c.files.size(); ++i) {
            const auto got = after.find(extractFileName(plan.rows[i].newPath));
            EXPECT_TRUE(got != after.end() && got->second == c.files[i]) << c.files[i];
        }
    }
}

TEST(RenamePlan, ClashesInsideTheBatchAndBadNames) {
    TempTree t;
    for (const char* f : {"a", "b", "c", "d"}) t.write(f, f);
    const RenamePlanner planner({t / "a", t / "b", t / "c", t / "d"});
    const RenamePlan plan = planner.plan({t / "x", t / "x", t / "c", t / "."});
    EXPECT_TRUE(plan.rows[0].clash && plan.rows[1].clash);
    EXPECT_FALSE(plan.rows[0].fails());
    EXPECT_TRUE(plan.rows[1].takenOnDisk);  // a took x first
    EXPECT_TRUE(plan.rows[2].unchanged && !plan.rows[2].fails());
    EXPECT_TRUE(plan.rows[3].badName);
    EXPECT_EQ(plan.failing, 2);
    EXPECT_EQ(plan.clashes, 2);
    EXPECT_EQ(folderContents(t.dir()).size(), 4u);  // planning wrote nothing
}

TEST(SerialRename, ThousandOverlappingFilesLoseNothing) {
    // Numbers shifted up run into names the pass reaches later; shifted down, each name was
    // freed just before. Either way the folder keeps every content exactly once.
    for (int64_t start : {500, 0, 1, 1000}) {
        SCOPED_TRACE(start);
        TempTree t;
        Names files;
        for (int i = 1; i <= 1000; ++i) {
            files.push_back(std::to_string(i) + ".jpg");
            t.write(files.back(), "content " + std::to_string(i));
        }
        const auto before = contentSet(t.dir());
        RenameCounts counts;
        const SerialParams p{*SerialPattern::parse("\\"), start, 1, ExtCase::Keep};
        renameSerially(t, files, p, &counts);
        EXPECT_EQ(contentSet(t.dir()), before);
        EXPECT_EQ(counts.done + counts.failed, 1000);
        EXPECT_TRUE(start != 0 || counts.failed == 0) << "a shift down needs no retry";
        EXPECT_TRUE(start != 500 || counts.failed > 0) << "a shift up must meet names still taken";
    }
}

TEST(RenamePass, SystemErrorsAreReportedAndThePassGoesOn) {
    TempTree t;
    t.write("a", "a");
    t.write("b", "b");
    FaultyFileSystem faulty;
    faulty.fault = [](const std::string& call, const std::string& path) {
        return call == "renameNoReplace" && path.ends_with("/a") ? EIO : 0;
    };
    std::vector<int> errors;
    const RenameCounts c = runRenamePass({{t / "a", t / "x"}, {t / "b", t / "y"}},
                                         [&](const RenameStep& s) { return errors.push_back(s.error), true; },
                                         faulty);
    EXPECT_EQ(errors, (std::vector<int>{EIO, 0}));
    EXPECT_EQ(c.failed, 1);
    EXPECT_EQ(folderContents(t.dir()), (std::map<std::string, std::string>{{"a", "a"}, {"y", "b"}}));
}

TEST(FolderOps, CreateNested) {
    struct Row {
        const char* name;
        const char* made;    // the folder made ("" none)
        const char* absent;  // a folder that must not exist afterwards ("" none)
        int fault = 0;       // errno for every mkdir
    } rows[] = {
        {"old/c", "p/old/c", ""},  // an existing level is fine
        {"d//e/", "p/d/e", ""},
        {"x/./y", "", "p/x"},
        {"file/z", "", "p/file/z"},  // a file stands where a level should go
        {"denied", "", "p/denied", EACCES},
        {"", "", ""},
    };
    for (const Row& r : rows) {
        TempTree t;
        t.folder("p/old");
        t.write("p/file", "keep");
        FaultyFileSystem ffs;
        ffs.fault = [&](const std::string& call, const std::string&) {
            return call == "mkdir" ? r.fault : 0;
        };
        const std::string made = FolderOps(ffs).createNested(t / "p/", r.name);
        EXPECT_EQ(made, *r.made ? t / r.made : "") << r.name;
        EXPECT_TRUE(!*r.made || fs::is_directory(made)) << r.name;
        EXPECT_TRUE(!*r.absent || !fs::exists(t / r.absent)) << r.name;
        EXPECT_EQ(t.read("p/file"), "keep");
    }
}

TEST(FolderOps, NameChecks) {
    TempTree t;
    t.folder("p/Photos/sub");
    t.write("p/notes", "x");
    const FolderOps ops;
    struct Row {
        const char* name;
        FolderName forNew, forRename;  // new inside p/; rename of p/Photos
    } rows[] = {
        {"", FolderName::Empty, FolderName::Empty},
        {"photos", FolderName::Free, FolderName::Free},      // letter case differs on Linux
        {"Photos/sub", FolderName::Exists, FolderName::Exists},
        {"notes", FolderName::Free, FolderName::Free},       // a file: the rename itself fails
        {"Photos2/", FolderName::Free, FolderName::Free},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(ops.checkNew(t / "p/", r.name), r.forNew) << r.name;
        EXPECT_EQ(ops.checkRename(t / "p/Photos", r.name), r.forRename) << r.name;
    }
    EXPECT_EQ(FolderOps::renameTarget(t / "p/Photos", "Trip/"), t / "p/Trip");
}

TEST(FolderOps, RenameNeverReplaces) {
    struct Row {
        const char* to;     // relative to the temporary root
        bool ok;
        int fault = 0;      // errno for the rename call
    } rows[] = {
        {"p/Trip", true},
        {"p/empty", false},     // an empty folder would be replaced by a plain rename
        {"p/Busy", false, EBUSY},
    };
    for (const Row& r : rows) {
        TempTree t;
        t.write("p/Photos/a.jpg", "photo");
        t.folder("p/empty");
        t.write("p/notes", "text");
        FaultyFileSystem ffs;
        ffs.fault = [&](const std::string& call, const std::string&) {
            return call == "renameNoReplace" ? r.fault : 0;
        };
        EXPECT_EQ(FolderOps(ffs).renameFolder(t / "p/Photos", t / r.to), r.ok) << r.to;
        const std::string home = r.ok ? r.to : "p/Photos";
        EXPECT_EQ(t.read(home + "/a.jpg"), "photo") << r.to;
        EXPECT_EQ(t.read("p/notes"), "text") << r.to;
        EXPECT_TRUE(fs::is_directory(t / "p/empty")) << r.to;
        EXPECT_NE(fs::exists(t / "p/Photos"), r.ok) << r.to;
    }
}

TEST(FolderOps, PathsFollowARename) {
    struct Row {
        const char *path, *expected;
    } rows[] = {
        {"/d/Photos", "/d/Trip"},
        {"/d/Photos/", "/d/Trip/"},
        {"/d/Photos/2020/a.jpg", "/d/Trip/2020/a.jpg"},
        {"/d/Photos2/a.jpg", "/d/Photos2/a.jpg"},
        {"/d/Photo", "/d/Photo"},
        {"/e/d/Photos", "/e/d/Photos"},
    };
    for (const Row& r : rows) EXPECT_EQ(followRename(r.path, "/d/Photos", "/d/Trip"), r.expected) << r.path;
}
