// ListFolder on temporary folder trees: the filter, the hidden rule, the size rules, sub-folder
// search with loops, the two modes and the fields of each entry.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "browse/FileSort.h"
#include "browse/FolderScan.h"
#include "browse/FolderTree.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using korvel::testing::TempTree;
using korvel::testing::ScopedTimeZone;

namespace {

// The listed paths relative to the tree's root, in list order.
std::vector<std::string> relPaths(const FileList& list, const TempTree& t) {
    std::vector<std::string> out;
    for (const FileEntry& e : list) {
        EXPECT_EQ(e.path.rfind(t.root(), 0), 0u) << e.path;
        out.push_back(e.path.substr(t.root().size()));
    }
    return out;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

ListOptions opts(const std::string& mask, bool noHide = false, bool subDirs = false, int nameView = -1) {
    ListOptions o;
    o.mask = mask;
    o.noHideFile = noHide;
    o.subDirSearch = subDirs;
    o.nameView = nameView;
    return o;
}

const TSeekFile* find(const FileList& list, const std::string& path) {
    std::ptrdiff_t i = list.indexOf(path);
    return i < 0 ? nullptr : &list.seek(size_t(i));
}

// One flat folder with every kind of entry the filter and the size rule must judge.
void makeMixedFolder(const TempTree& t) {
    t.file("a.jpg", 10);
    t.file("B.JPG", 5);
    t.file("c.jpeg", 3);
    t.file("empty.jpg", 0);
    t.file(".hidden.jpg", 4);
    t.file("d.png", 7);
    t.file("noext", 2);
    t.file("e.txt", 1);
    t.file("archive.tar.jpg", 6);
    t.folder("dir.jpg");               // a folder is never listed, whatever its name
    t.file("dir.jpg/inner.jpg", 9);    // only with sub-folder search
    ::mkfifo((t / "pipe.jpg").c_str(), 0644);
    t.link("missing-target.jpg", "dangling.jpg");
    t.link("a.jpg", "link.jpg");       // listed with its target's size
    t.link("dir.jpg", "dirlink.jpg");  // a link to a folder is a folder
}

}  // namespace

TEST(FolderScan, FilterHiddenAndSizeRules) {
    TempTree t;
    makeMixedFolder(t);
    struct Row {
        const char* mask;
        bool noHide;
        std::vector<std::string> expected;
    } rows[] = {
        {"*.jpg", false, {".hidden.jpg", "B.JPG", "a.jpg", "archive.tar.jpg", "link.jpg"}},
        {"*.jpg", true, {"B.JPG", "a.jpg", "archive.tar.jpg", "link.jpg"}},
        {"*.JPG", false, {".hidden.jpg", "B.JPG", "a.jpg", "archive.tar.jpg", "link.jpg"}},
        {"*.jpeg;*.jpg;*.jpeg", true, {"B.JPG", "a.jpg", "archive.tar.jpg", "c.jpeg", "link.jpg"}},
        {"*.png", false, {"d.png"}},
        {"*.tar", false, {}},
        {"*.bmp;*.gif", false, {}},
        {"*.*", false, {".hidden.jpg", "B.JPG", "a.jpg", "archive.tar.jpg", "c.jpeg", "d.png", "e.txt", "link.jpg", "noext"}},
        {"*.png;*.*", true, {"B.JPG", "a.jpg", "archive.tar.jpg", "c.jpeg", "d.png", "e.txt", "link.jpg", "noext"}},
        // "*" loses its only character: the empty extension, files without a dot.
        {"*", false, {"noext"}},
    };
    for (const Row& r : rows) {
        FileList list;
        ListResult res = ListFolder(list, t.root(), ListMode::Replace, opts(r.mask, r.noHide));
        EXPECT_TRUE(res.folderRead);
        EXPECT_EQ(res.added, r.expected.size()) << r.mask;
        EXPECT_EQ(sorted(relPaths(list, t)), r.expected) << r.mask << " noHide=" << r.noHide;
    }
}

TEST(FolderScan, EntryFields) {
    TempTree t;
    makeMixedFolder(t);
    t.mtime("B.JPG", 1614834367);  // 2021-03-04 05:06:07 UTC
    ScopedTimeZone tz("UTC0");
    FileList list;
    ListFolder(list, t.root(), ListMode::Replace, opts("*.*"));
    struct Row {
        const char* name;
        int32_t size;
        const char* ext;
    } rows[] = {{"a.jpg", 10, "JPG"},  {"B.JPG", 5, "JPG"}, {"c.jpeg", 3, "JPEG"},       {"noext", 2, ""},
                {"link.jpg", 10, "JPG"}, {".hidden.jpg", 4, "JPG"}, {"archive.tar.jpg", 6, "JPG"}};
    for (const Row& r : rows) {
        const TSeekFile* s = find(list, t / r.name);
        ASSERT_TRUE(s) << r.name;
        EXPECT_EQ(s->Size, r.size) << r.name;
        EXPECT_EQ(s->Ext, r.ext) << r.name;
        EXPECT_EQ(s->ThumbPos, -1) << r.name;
    }
    EXPECT_EQ(find(list, t / "B.JPG")->Time, 0x526428C3u);
}

// What the tree and the preview ask of the file system as it is now.
TEST(FolderScan, SubfoldersAndCurrentState) {
    TempTree t;
    t.folder("a/deep");
    t.folder("b");
    t.folder(".h");
    t.file("f.bmp", 10);
    t.link(t / "a", "la");       // a link to a folder counts as one
    t.link(t / "gone", "dl");    // a dangling link does not
    t.link(t / "f.bmp", "lf");   // nor a link to a file
    t.mtime("f.bmp", 1614834367);
    ScopedTimeZone tz("UTC0");
    const auto all = [](const std::string&) { return true; };
    std::vector<std::string> names = korvel::listSubfolders(t.root(), all);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".h", "a", "b", "la"}));
    names = korvel::listSubfolders(t.root(), [&](const std::string& p) { return p != t / "b/"; });
    EXPECT_EQ(std::count(names.begin(), names.end(), "b"), 0);  // the filter sees "/"-ended paths
    EXPECT_TRUE(korvel::hasSubfolder(t / "a/", all));
    EXPECT_FALSE(korvel::hasSubfolder(t / "b/", all));
    EXPECT_FALSE(korvel::hasSubfolder(t.root(), [](const std::string&) { return false; }));
    EXPECT_FALSE(korvel::hasSubfolder(t / "nothing/", all));

    for (auto [rel, folder] : {std::pair{"la", true}, {"a/", true}, {"f.bmp", false}, {"dl", false}, {"x", false}})
        EXPECT_EQ(korvel::isExistingFolder(t / rel), folder) << rel;
    EXPECT_FALSE(korvel::isExistingFolder(""));
    const std::optional<TSeekFile> now = korvel::currentSeekFile(t / "f.bmp");
    ASSERT_TRUE(now);
    EXPECT_EQ(now->Size, 10);
    EXPECT_EQ(now->Time, 0x526428C3u);
    EXPECT_FALSE(korvel::currentSeekFile(t / "dl"));

    FileList list;
    ListFolder(list, t.root(), ListMode::Replace, opts("*.*"));
    ASSERT_EQ(list.size(), 2u);  // f.bmp and the link to it
    std::filesystem::remove(t / "f.bmp");
    EXPECT_EQ(korvel::removeVanishedFiles(list), 2u);
    EXPECT_TRUE(list.empty());
}

TEST(FolderScan, SizesAreTheLowThirtyTwoBitsReadSigned) {
    TempTree t;
    const int64_t GiB = int64_t(1) << 30;
    struct Row {
        const char* name;
        int64_t size;
        int32_t listedSize;  // 0: not listed
    } rows[] = {
        {"max.jpg", 2 * GiB - 1, 2147483647},
        {"twogib.jpg", 2 * GiB, 0},       // reads as INT32_MIN
        {"threegib.jpg", 3 * GiB, 0},     // reads negative
        {"fourgib.jpg", 4 * GiB, 0},      // reads 0
        {"wrapped.jpg", 4 * GiB + 5, 5},  // reads 5: listed with Size 5
        {"one.jpg", 1, 1},
    };
    for (const Row& r : rows) {
        try {
            t.file(r.name, r.size);
        } catch (const std::exception&) {
            GTEST_SKIP() << "the temporary file system cannot hold a sparse " << r.size << "-byte file";
        }
    }
    FileList list;
    ListFolder(list, t.root(), ListMode::Replace, opts("*.jpg"));
    for (const Row& r : rows) {
        const TSeekFile* s = find(list, t / r.name);
        if (r.listedSize == 0) {
            EXPECT_FALSE(s) << r.name;
        } else {
            ASSERT_TRUE(s) << r.name;
            EXPECT_EQ(s->Size, r.listedSize) << r.name;
        }
    }
}

// The depth-first order a reference walk with readdir gives: a sub-folder's files at its place.
static void referenceWalk(const std::string& folder, bool noHide, std::vector<std::string>& out,
                          const std::string& rel = "") {
    DIR* d = ::opendir(folder.c_str());
    ASSERT_TRUE(d);
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == ".." || (noHide && name[0] == '.')) continue;
        struct stat st;
        ASSERT_EQ(::lstat((folder + name).c_str(), &st), 0);
        if (S_ISLNK(st.st_mode)) continue;  // the tree's links all lead back into entered folders
        if (S_ISDIR(st.st_mode)) referenceWalk(folder + name + "/", noHide, out, rel + name + "/");
        else if (name.size() > 4 && name.substr(name.size() - 4) == ".jpg" && st.st_size > 0) out.push_back(rel + name);
    }
    ::closedir(d);
}

TEST(FolderScan, SubFoldersDepthFirstWithHiddenFoldersAndLoops) {
    TempTree t;
    for (const char* f : {"a.jpg", "z.jpg", "sub/b.jpg", "sub/deeper/c.jpg", "sub/deeper/d.jpg", ".hid/e.jpg",
                          "other/f.jpg", "other/.g.jpg", "sub/zero.jpg"})
        t.file(f, std::string(f) == "sub/zero.jpg" ? 0 : 3);
    t.link("..", "sub/up");                  // loop to the root
    t.link("../deeper", "sub/deeper/self");  // loop to itself
    struct Row {
        bool noHide, subDirs;
        std::vector<std::string> expected;
    } rows[] = {
        {false, false, {"a.jpg", "z.jpg"}},
        {true, false, {"a.jpg", "z.jpg"}},
        {false, true, {".hid/e.jpg", "a.jpg", "other/.g.jpg", "other/f.jpg", "sub/b.jpg", "sub/deeper/c.jpg",
                       "sub/deeper/d.jpg", "z.jpg"}},
        {true, true, {"a.jpg", "other/f.jpg", "sub/b.jpg", "sub/deeper/c.jpg", "sub/deeper/d.jpg", "z.jpg"}},
    };
    for (const Row& r : rows) {
        FileList list;
        ListFolder(list, t.root(), ListMode::Replace, opts("*.jpg", r.noHide, r.subDirs));
        std::vector<std::string> got = relPaths(list, t);
        EXPECT_EQ(sorted(got), r.expected) << "noHide=" << r.noHide << " subDirs=" << r.subDirs;
        if (r.subDirs) {
            std::vector<std::string> walk;
            referenceWalk(t.root(), r.noHide, walk);
            EXPECT_EQ(got, walk) << "not the enumeration's depth-first order";
        }
    }
}

TEST(FolderScan, FolderReachedTwiceIsListedOnce) {
    TempTree t;
    t.file("x/one.jpg", 1);
    t.file("x/y/two.jpg", 1);
    t.link(t / "x", "a/to-x");
    t.link("../x", "b/to-x");
    t.link("../../x", "x/y/back");
    FileList list;
    ListFolder(list, t.root(), ListMode::Replace, opts("*.jpg", false, true));
    std::vector<std::string> names;
    for (const FileEntry& e : list) names.push_back(e.path.substr(e.path.rfind('/') + 1));
    EXPECT_EQ(sorted(names), (std::vector<std::string>{"one.jpg", "two.jpg"}));
}

TEST(FolderScan, NameSortGroupsSubFolderFiles) {
    TempTree t;
    for (const char* f : {"dir/zz.jpg", "dir2/a.jpg", "dir/a.jpg", "Dir-x/b.jpg", "m.jpg", "dir/Q.jpg"}) t.file(f, 1);
    FileList list;
    ListFolder(list, t.root(), ListMode::Replace, opts("*.jpg", false, true, 0));
    EXPECT_EQ(relPaths(list, t),
              (std::vector<std::string>{"dir/a.jpg", "dir/Q.jpg", "dir/zz.jpg", "Dir-x/b.jpg", "dir2/a.jpg", "m.jpg"}));
}

TEST(FolderScan, UnreadableFolderGivesAnEmptyList) {
    TempTree t;
    t.file("a.jpg", 1);
    FileList list;
    list.append(t / "stale.jpg", TSeekFile{});
    ListResult r = ListFolder(list, t / "missing/", ListMode::Replace, opts("*.jpg"));
    EXPECT_FALSE(r.folderRead);
    EXPECT_EQ(r.error, ENOENT);
    EXPECT_TRUE(list.empty());
    r = ListFolder(list, t / "a.jpg", ListMode::Replace, opts("*.jpg"));  // a file, not a folder
    EXPECT_FALSE(r.folderRead);
    EXPECT_TRUE(list.empty());
}

TEST(FolderScan, UnreadableSubFolderIsSkippedSilently) {
    TempTree t;
    t.file("a.jpg", 1);
    t.file("locked/b.jpg", 1);
    t.file("locked/deeper/c.jpg", 1);
    t.file("open/d.jpg", 1);
    // The sub-folder refuses to open, as without permission; the other folders read on.
    setFolderOpenFunction([](int dirFd, const char* name) {
        if (std::string(name) == "locked") return errno = EACCES, -1;
        return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    });
    FileList list;
    const ListResult r = ListFolder(list, t.root(), ListMode::Replace, opts("*.jpg", false, true, 0));
    setFolderOpenFunction({});
    EXPECT_TRUE(r.folderRead);
    EXPECT_EQ(relPaths(list, t), (std::vector<std::string>{"a.jpg", "open/d.jpg"}));
}

TEST(FolderScan, AddModeAppendsOnlyUnlistedFiles) {
    TempTree t;
    t.file("b.jpg", 2);
    t.file("d.jpg", 4);
    FileList list;
    ListFolder(list, t.root(), ListMode::Replace, opts("*.jpg", false, false, 0));
    list.seek(0).ThumbPos = 42;                       // b.jpg has its thumbnail
    list.append("/elsewhere/x.jpg", TSeekFile{9, 0, 7, "JPG"});  // an entry of another folder stays
    t.file("a.jpg", 1);
    t.file("c.jpg", 3);
    ListResult r = ListFolder(list, t.root(), ListMode::Add, opts("*.jpg", false, false, 1));
    EXPECT_EQ(r.added, 2u);
    ASSERT_EQ(list.size(), 5u);
    // Sorted by size afterwards; old entries keep their fields.
    std::vector<std::string> paths;
    for (const FileEntry& e : list) paths.push_back(e.path);
    EXPECT_EQ(paths, (std::vector<std::string>{t / "a.jpg", t / "b.jpg", t / "c.jpg", t / "d.jpg", "/elsewhere/x.jpg"}));
    EXPECT_EQ(find(list, t / "b.jpg")->ThumbPos, 42);
    EXPECT_EQ(find(list, "/elsewhere/x.jpg")->ThumbPos, 7);
    EXPECT_EQ(find(list, t / "c.jpg")->ThumbPos, -1);

    // Adding again finds nothing new; replacing drops the foreign entry.
    EXPECT_EQ(ListFolder(list, t.root(), ListMode::Add, opts("*.jpg")).added, 0u);
    EXPECT_EQ(list.size(), 5u);
    ListFolder(list, t.root().substr(0, t.root().size() - 1), ListMode::Replace, opts("*.jpg"));
    EXPECT_EQ(sorted(relPaths(list, t)), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg", "d.jpg"}));
}

// A folder big enough that its status calls are shared out: every file keeps its own size, in
// the order of the folder's entries, with the links and sub-folders among them handled as in a
// small folder.
TEST(FolderScan, BigFolderKeepsEachFilesStatus) {
    TempTree t;
    std::map<std::string, int> want;
    for (int i = 0; i < 2400; ++i) {
        const std::string name = "p" + std::to_string(i) + (i % 7 == 0 ? ".txt" : ".jpg");
        t.file(name, i % 50);
        if (i % 7 != 0 && i % 50 != 0) want["/" + name] = i % 50;
    }
    t.file("sub/in.jpg", 9);
    want["/sub/in.jpg"] = 9;
    t.link(t / "gone", "dl.jpg");
    FileList list;
    ListFolder(list, t.dir(), ListMode::Replace, opts("*.jpg", false, true));
    std::map<std::string, int> got;
    for (const FileEntry& e : list) got[e.path.substr(t.dir().size())] = e.seek.Size;
    EXPECT_EQ(got, want);
    EXPECT_EQ(list.size(), want.size());
    // Unsorted, the list follows the system's enumeration.
    std::vector<FileEntry> found;
    ScanFolder(t.dir(), ExtensionSet("*.jpg"), opts("*.jpg"), nullptr, found);
    std::vector<std::string> enumerated;
    DIR* d = ::opendir(t.dir().c_str());
    while (const dirent* e = ::readdir(d))
        if (want.count("/" + std::string(e->d_name))) enumerated.push_back(t / e->d_name);
    ::closedir(d);
    std::vector<std::string> scanned;
    for (const FileEntry& e : found) scanned.push_back(e.path);
    EXPECT_EQ(scanned, enumerated);
}
