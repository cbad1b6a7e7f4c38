// ListFolder on temporary folder trees: the filter, the hidden rule, the size rules, sub-folder
// search with loops, the two modes and the fields of each entry.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>

#include "browse/FileSort.h"
#include "browse/FolderScan.h"
#include "browse/FolderTree.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using korvel::testing::TempTree;
using korvel::testing::ScopedTimeZone;
using Names = std::vector<std::string>;

namespace {

// The listed paths relative to the tree's root, in list order.
Names relPaths(const FileList& list, const TempTree& t) {
    Names out;
    for (const FileEntry& e : list) {
        EXPECT_EQ(e.path.rfind(t.root(), 0), 0u) << e.path;
        out.push_back(e.path.substr(t.root().size()));
    }
    return out;
}

Names sorted(Names v) {
    std::sort(v.begin(), v.end());
    return v;
}

ListOptions opts(const std::string& mask, bool noHide = false, bool subDirs = false, int nameView = -1) {
    return ListOptions{mask, noHide, subDirs, nameView};
}

// The root's files as listed (sorted by name) with the given options.
Names listed(const TempTree& t, const ListOptions& o, size_t* added = nullptr) {
    FileList list;
    const ListResult r = ListFolder(list, t.root(), ListMode::Replace, o);
    EXPECT_TRUE(r.folderRead);
    if (added) *added = r.added;
    return sorted(relPaths(list, t));
}

const TSeekFile* find(const FileList& list, const std::string& path) {
    std::ptrdiff_t i = list.indexOf(path);
    return i < 0 ? nullptr : &list.seek(size_t(i));
}

}  // namespace

TEST(FolderScan, FilterHiddenAndSizeRules) {
    TempTree t;
    const std::pair<const char*, int> files[] = {{"a.jpg", 10}, {"B.JPG", 5},      {"c.jpeg", 3},
                                                 {"empty.jpg", 0}, {"d.png", 7}, {".hidden.jpg", 4},
                                                 {"noext", 2}, {"e.txt", 1}, {"archive.tar.jpg", 6}};
    for (auto [name, size] : files)
        t.file(name, size);
    t.folder("dir.jpg");             // a folder is never listed, whatever its name
    t.file("dir.jpg/inner.jpg", 9);  // only with sub-folder search
    ::mkfifo((t / "pipe.jpg").c_str(), 0644);
    t.link("missing-target.jpg", "dangling.jpg");
    t.link("a.jpg", "link.jpg");       // listed with its target's size
    t.link("dir.jpg", "dirlink.jpg");  // a link to a folder is a folder
    struct Row {
        const char* mask;
        bool noHide;
        Names expected;
    } rows[] = {
        {"*.jpg", false, {".hidden.jpg", "B.JPG", "a.jpg", "archive.tar.jpg", "link.jpg"}},
        {"*.jpg", true, {"B.JPG", "a.jpg", "archive.tar.jpg", "link.jpg"}},
        {"*.jpeg;*.jpg;*.jpeg", true, {"B.JPG", "a.jpg", "archive.tar.jpg", "c.jpeg", "link.jpg"}},
        {"*.png", false, {"d.png"}},
        {"*.tar", false, {}},
        {"*.*", true, {"B.JPG", "a.jpg", "archive.tar.jpg", "c.jpeg", "d.png", "e.txt", "link.jpg", "noext"}},
        // "*" loses its only character: the empty extension, files without a dot.
        {"*", false, {"noext"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.mask) + (r.noHide ? " hiding" : ""));
        size_t added = 0;
        EXPECT_EQ(listed(t, opts(r.mask, r.noHide), &added), r.expected);
        EXPECT_EQ(added, r.expected.size());
    }

    t.mtime("B.JPG", 1614834367);  // 2021-03-04 05:06:07 UTC
    ScopedTimeZone tz("UTC0");
    FileList list;
    ListFolder(list, t.root(), ListMode::Replace, opts("*.*"));
    struct Field {
        const char* name;
        int32_t size;
        const char* ext;
    } fields[] = {{"a.jpg", 10, "JPG"}, {"c.jpeg", 3, "JPEG"}, {"noext", 2, ""}, {"link.jpg", 10, "JPG"},
                  {"archive.tar.jpg", 6, "JPG"}};
    for (const Field& f : fields) {
        const TSeekFile* s = find(list, t / f.name);
        ASSERT_TRUE(s) << f.name;
        EXPECT_EQ(std::tuple(s->Size, s->Ext, s->ThumbPos), std::tuple(f.size, f.ext, -1)) << f.name;
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
    t.link(t / "a", "la");      // a link to a folder counts as one
    t.link(t / "gone", "dl");   // a dangling link does not
    t.link(t / "f.bmp", "lf");  // nor a link to a file
    t.mtime("f.bmp", 1614834367);
    ScopedTimeZone tz("UTC0");
    const auto all = [](const std::string&) { return true; };
    EXPECT_EQ(sorted(listSubfolders(t.root(), all)), (Names{".h", "a", "b", "la"}));
    // The filter sees "/"-ended paths.
    EXPECT_EQ(sorted(listSubfolders(t.root(), [&](const std::string& p) { return p != t / "b/"; })),
              (Names{".h", "a", "la"}));
    const auto none = [](const std::string&) { return false; };
    EXPECT_EQ(std::tuple(hasSubfolder(t / "a/", all), hasSubfolder(t / "b/", all),
                         hasSubfolder(t.root(), none), hasSubfolder(t / "nothing/", all)),
              std::tuple(true, false, false, false));

    for (auto [rel, folder] : {std::pair{"la", 1}, {"a/", 1}, {"f.bmp", 0}, {"dl", 0}, {"x", 0}})
        EXPECT_EQ(isExistingFolder(t / rel), folder == 1) << rel;
    EXPECT_FALSE(isExistingFolder(""));
    const std::optional<TSeekFile> now = currentSeekFile(t / "f.bmp");
    ASSERT_TRUE(now);
    EXPECT_EQ(std::pair(now->Size, now->Time), std::pair(10, 0x526428C3u));
    EXPECT_FALSE(currentSeekFile(t / "dl"));

    FileList list;
    ListFolder(list, t.root(), ListMode::Replace, opts("*.*"));
    ASSERT_EQ(list.size(), 2u);  // f.bmp and the link to it
    std::filesystem::remove(t / "f.bmp");
    EXPECT_EQ(removeVanishedFiles(list), 2u);
    EXPECT_TRUE(list.empty());
}

TEST(FolderScan, SizesAreTheLowThirtyTwoBitsReadSigned) {
    TempTree t;
    const int64_t GiB = int64_t(1) << 30;
    struct Row {
        const char* name;
        int64_t size;
        int32_t listedSize;  // -1: not listed
    } rows[] = {
        {"max.jpg", 2 * GiB - 1, 2147483647},
        {"twogib.jpg", 2 * GiB, -1},      // reads as INT32_MIN
        {"fourgib.jpg", 4 * GiB, -1},     // reads 0
        {"wrapped.jpg", 4 * GiB + 5, 5},  // reads 5: listed with Size 5
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
        EXPECT_EQ(s ? s->Size : -1, r.listedSize) << r.name;
    }
}

// The depth-first order a reference walk with readdir gives: a sub-folder's files at its place.
static void referenceWalk(const std::string& folder, bool noHide, Names& out, const std::string& rel = "") {
    DIR* d = ::opendir(folder.c_str());
    ASSERT_TRUE(d);
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == ".." || (noHide && name[0] == '.')) continue;
        struct stat st;
        ASSERT_EQ(::lstat((folder + name).c_str(), &st), 0);
        if (S_ISLNK(st.st_mode)) continue;  // the tree's links all lead back into entered folders
        if (S_ISDIR(st.st_mode)) referenceWalk(folder + name + "/", noHide, out, rel + name + "/");
        else if (name.ends_with(".jpg") && st.st_size > 0) out.push_back(rel + name);
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
        Names expected;
    } rows[] = {
        {false, false, {"a.jpg", "z.jpg"}},
        {false, true, {".hid/e.jpg", "a.jpg", "other/.g.jpg", "other/f.jpg", "sub/b.jpg", "sub/deeper/c.jpg",
                       "sub/deeper/d.jpg", "z.jpg"}},
        {true, true, {"a.jpg", "other/f.jpg", "sub/b.jpg", "sub/deeper/c.jpg", "sub/deeper/d.jpg", "z.jpg"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.noHide) + std::to_string(r.subDirs));
        FileList list;
        ListFolder(list, t.root(), ListMode::Replace, opts("*.jpg", r.noHide, r.subDirs));
        Names got = relPaths(list, t), walk;
        EXPECT_EQ(sorted(got), r.expected);
        referenceWalk(t.root(), r.noHide, walk);
        if (r.subDirs) {
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
    Names names;
    for (const FileEntry& e : list) names.push_back(e.path.substr(e.path.rfind('/') + 1));
    EXPECT_EQ(sorted(names), (Names{"one.jpg", "two.jpg"}));
}

TEST(FolderScan, NameSortGroupsSubFolderFiles) {
    TempTree t;
    for (const char* f : {"dir/zz.jpg", "dir2/a.jpg", "dir/a.jpg", "Dir-x/b.jpg", "m.jpg", "dir/Q.jpg"})
        t.file(f, 1);
    FileList list;
    ListFolder(list, t.root(), ListMode::Replace, opts("*.jpg", false, true, 0));
    EXPECT_EQ(relPaths(list, t),
              (Names{"dir/a.jpg", "dir/Q.jpg", "dir/zz.jpg", "Dir-x/b.jpg", "dir2/a.jpg", "m.jpg"}));
}

// A folder that cannot be read gives an empty list; a sub-folder that refuses to open (as without
// permission) is skipped silently while the other folders read on.
TEST(FolderScan, UnreadableFoldersAreSkipped) {
    TempTree t;
    for (const char* f : {"a.jpg", "locked/b.jpg", "locked/deeper/c.jpg", "open/d.jpg"}) t.file(f, 1);
    FileList list;
    list.append(t / "stale.jpg", TSeekFile{});
    ListResult r = ListFolder(list, t / "missing/", ListMode::Replace, opts("*.jpg"));
    EXPECT_EQ(std::tuple(r.folderRead, r.error, list.size()), std::tuple(false, ENOENT, 0u));
    list.append(t / "stale.jpg", TSeekFile{});
    EXPECT_FALSE(ListFolder(list, t / "a.jpg", ListMode::Replace, opts("*.jpg")).folderRead);  // not a folder
    EXPECT_TRUE(list.empty());

    setFolderOpenFunction([](int dirFd, const char* name) {
        if (std::string(name) == "locked") return errno = EACCES, -1;
        return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    });
    r = ListFolder(list, t.root(), ListMode::Replace, opts("*.jpg", false, true, 0));
    setFolderOpenFunction({});
    EXPECT_TRUE(r.folderRead);
    EXPECT_EQ(relPaths(list, t), (Names{"a.jpg", "open/d.jpg"}));
}

TEST(FolderScan, AddModeAppendsOnlyUnlistedFiles) {
    TempTree t;
    t.file("b.jpg", 2);
    t.file("d.jpg", 4);
    FileList list;
    ListFolder(list, t.root(), ListMode::Replace, opts("*.jpg", false, false, 0));
    list.seek(0).ThumbPos = 42;                                  // b.jpg has its thumbnail
    list.append("/elsewhere/x.jpg", TSeekFile{9, 0, 7, "JPG"});  // an entry of another folder stays
    t.file("a.jpg", 1);
    t.file("c.jpg", 3);
    EXPECT_EQ(ListFolder(list, t.root(), ListMode::Add, opts("*.jpg", false, false, 1)).added, 2u);
    // Sorted by size afterwards; old entries keep their fields.
    Names paths;
    for (const FileEntry& e : list) paths.push_back(e.path);
    EXPECT_EQ(paths, (Names{t / "a.jpg", t / "b.jpg", t / "c.jpg", t / "d.jpg", "/elsewhere/x.jpg"}));
    EXPECT_EQ(std::tuple(list.seek(1).ThumbPos, list.seek(4).ThumbPos, list.seek(2).ThumbPos),
              std::tuple(42, 7, -1));  // b, x and the new c

    // Adding again finds nothing new; replacing drops the foreign entry.
    EXPECT_EQ(ListFolder(list, t.root(), ListMode::Add, opts("*.jpg")).added, 0u);
    EXPECT_EQ(list.size(), 5u);
    ListFolder(list, t.dir(), ListMode::Replace, opts("*.jpg"));
    EXPECT_EQ(sorted(relPaths(list, t)), (Names{"a.jpg", "b.jpg", "c.jpg", "d.jpg"}));
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
    Names enumerated, scanned;
    DIR* d = ::opendir(t.dir().c_str());
    while (const dirent* e = ::readdir(d))
        if (want.count("/" + std::string(e->d_name))) enumerated.push_back(t / e->d_name);
    ::closedir(d);
    for (const FileEntry& e : found) scanned.push_back(e.path);
    EXPECT_EQ(scanned, enumerated);
}
