// Folder creation and rename: nested names, names that leave the parent, and a rename that
// never replaces an existing folder or file, also when the system call fails.
#include <gtest/gtest.h>

#include <filesystem>

#include "fileops/FolderOps.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using korvel::testing::FaultyFileSystem;
using korvel::testing::TempTree;
namespace fs = std::filesystem;

TEST(FolderOps, CreateNested) {
    const std::string tooLong(300, 'n');
    struct Row {
        const char* name;
        const char* made;    // the folder made ("" none)
        const char* absent;  // a folder that must not exist afterwards ("" none)
        int fault = 0;       // errno for every mkdir
    } rows[] = {
        {"新しいﾌｫﾙﾀﾞ", "p/新しいﾌｫﾙﾀﾞ", ""},
        {"a/b", "p/a/b", ""},
        {"old/c", "p/old/c", ""},  // an existing level is fine
        {"d//e/", "p/d/e", ""},
        {"../out", "", "out"},
        {"x/./y", "", "p/x"},
        {"file/z", "", "p/file/z"},  // a file stands where a level should go
        {tooLong.c_str(), "", ""},
        {"denied", "", "p/denied", EACCES},
        {"", "", ""},
    };
    for (const Row& r : rows) {
        TempTree t;
        t.folder("p/old");
        t.write("p/file", "keep");
        FaultyFileSystem ffs;
        ffs.fault = [&](const std::string& call, const std::string&) { return call == "mkdir" ? r.fault : 0; };
        const std::string made = FolderOps(ffs).createNested(t / "p/", r.name);
        EXPECT_EQ(made, *r.made ? t / r.made : "") << r.name;
        if (*r.made) { EXPECT_TRUE(fs::is_directory(made)) << r.name; }
        if (*r.absent) { EXPECT_FALSE(fs::exists(t / r.absent)) << r.name; }
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
        {"Photos", FolderName::Exists, FolderName::Exists},  // unchanged name
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
        {"p/notes", false},
        {"p/empty/inner", false},  // another folder: that is a move, not a rename
        {"p/Busy", false, EBUSY},
    };
    for (const Row& r : rows) {
        TempTree t;
        t.write("p/Photos/a.jpg", "photo");
        t.folder("p/empty");
        t.write("p/notes", "text");
        FaultyFileSystem ffs;
        ffs.fault = [&](const std::string& call, const std::string&) { return call == "renameNoReplace" ? r.fault : 0; };
        EXPECT_EQ(FolderOps(ffs).renameFolder(t / "p/Photos", t / r.to), r.ok) << r.to;
        const std::string home = r.ok ? r.to : "p/Photos";
        EXPECT_EQ(t.read(home + "/a.jpg"), "photo") << r.to;
        EXPECT_EQ(t.read("p/notes"), "text") << r.to;
        EXPECT_TRUE(fs::is_directory(t / "p/empty")) << r.to;
        if (r.ok) { EXPECT_FALSE(fs::exists(t / "p/Photos")); }
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
