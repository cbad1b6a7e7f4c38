// The file list, its sort and the folder listing; the drive list; filters and names mutated.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>

#include "base/FileNames.h"
#include "browse/Collation.h"
#include "browse/Drives.h"
#include "browse/ExtensionSet.h"
#include "browse/FileList.h"
#include "browse/FileSort.h"
#include "browse/FolderScan.h"
#include "browse/FolderTree.h"
#include "browse/SeekFile.h"
#include "formats/FormatRegistry.h"
#include "tests/support/Guarded.h"
#include "tests/support/Mutation.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using namespace korvel::testing;
using Names = std::vector<std::string>;

TEST(ExtensionSet, BuiltFromMaskAndMatchesNames) {
    const std::pair<const char*, Names> rows[] = {
        {"*.JPG;*.Jpeg;*.jpg", {".jpg", ".jpeg"}}, {"*.*", {".*"}}, {"*", {""}}, {"*.jpg;", {".jpg", ""}}};
    for (const auto& [mask, members] : rows) EXPECT_EQ(ExtensionSet(mask).members(), members) << mask;
    const std::tuple<const char*, const char*, bool> matches[] = {
        {"*.jpg", "A.JPG", true},      {"*.JPG", "a.jpg", true}, {"*.jpg", "a.jpeg", false},
        {"*.jpg", "a.jpg.bak", false}, {"*.jpg", "jpg", false},  {"*.jpg;*.png", "b.PNG", true},
        {"*.*", "noext", true},        {"*", "noext", true},     {"*", "a.jpg", false},
        {"*.jpg", "写真.ＪＰＧ", false},  // ASCII letters only fold
    };
    for (const auto& [mask, name, want] : matches) EXPECT_EQ(ExtensionSet(mask).matches(name), want) << name;
}

TEST(FilterItems, ParsedFromGraphicFilter) {
    std::vector<FilterItem> items = parseFilterItems("All (*.a;*.b)|*.a;*.b|A (*.a)|*.a|B (*.b)|*.b");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].description, "All (*.a;*.b)");
    const std::pair<int, const char*> rows[] = {{0, "*.a;*.b"}, {1, "*.a"}, {2, "*.b"}, {-1, "*.b"},
                                                {3, "*.b"}};
    for (auto [selected, mask] : rows) EXPECT_EQ(filterBoxMask(items, selected), mask) << selected;
    EXPECT_EQ(filterBoxMask({}, -1), "*.*");
    EXPECT_TRUE(parseFilterItems("").empty());
    EXPECT_EQ(parseFilterItems("odd").at(0).mask, "");

    // The registry's first item lists every registered extension.
    std::vector<FilterItem> reg = parseFilterItems(GraphicFilter(TGraphic::classInfo));
    ASSERT_GT(reg.size(), 1u);
    EXPECT_EQ(reg[0].description.rfind("すべてのファイル (", 0), 0u);
    ExtensionSet all(reg[0].mask);
    for (const char* name : {"a.jpg", "a.JPEG", "a.bmp", "a.gif", "a.ico"})
        EXPECT_TRUE(all.matches(name)) << name;
    EXPECT_FALSE(all.matches("a.txt"));
}

TEST(DosDateTime, PacksLocalTime) {
    const std::tuple<const char*, std::time_t, uint32_t> rows[] = {
        {"UTC0", 1614834367, 0x526428C3u},  // 2021-03-04 05:06:07 -> seconds stored halved
        {"EST5", 1614832800, 0x5263BD00u},  // 2021-03-03 23:40:00 local: the date follows the zone
        {"UTC0", 315532800, 0x00210000u},   // 1980-01-01 00:00:00, the first DOS time
        {"UTC0", 315532799, 0x00210000u},   // 1979 clamps to the first
        {"UTC0", 4354819199, 0xFF9FBF7Du},  // 2107-12-31 23:59:59 -> :58
        {"UTC0", 4354819200, 0xFF9FBF7Du},  // 2108 clamps to the last
    };
    for (const auto& [zone, t, packed] : rows) {
        ScopedTimeZone tz(zone);
        EXPECT_EQ(packDosDateTime(t), packed) << zone << " " << t;
    }
    const DosDateTime d = unpackDosDateTime(0x526428C3u);
    EXPECT_EQ(std::tuple(d.year, d.month, d.day, d.hour, d.minute, d.second),
              std::tuple(2021, 3, 4, 5, 6, 6));
}

TEST(FileCount, GroupsThousands) {
    // The C locale has no separator of its own, "," stands in; German uses ".".
    const std::tuple<size_t, const char*, const char*> rows[] = {{999, "999Files", "999Files"},
        {1000, "1,000Files", "1.000Files"}, {1234567, "1,234,567Files", "1.234.567Files"}};
    for (const auto& [n, c, de] : rows) EXPECT_EQ(formatFileCount(n), c);
    ScopedLocale de("de_DE.UTF-8");
    if (!de.ok()) GTEST_SKIP() << "no de_DE.UTF-8 locale and none can be built";
    for (const auto& [n, c, german] : rows) EXPECT_EQ(formatFileCount(n), german);
}

TEST(FileList, LookupFollowsEveryChange) {
    FileList list;
    for (const char* p : {"/f/a.jpg", "/f/b.jpg", "/f/c.jpg", "/f/d.jpg"}) list.append(p, TSeekFile{});
    EXPECT_EQ(std::tuple(list.indexOf("/f/c.jpg"), list.indexOf("/f/C.jpg")), std::tuple(2, -1));  // exact
    list.setPath(2, "/f/renamed.jpg");
    EXPECT_EQ(std::tuple(list.indexOf("/f/c.jpg"), list.indexOf("/f/renamed.jpg")), std::tuple(-1, 2));
    list.removeAt(0);
    EXPECT_EQ(list.indexOf("/f/renamed.jpg"), 1);
    list.permute({2, 0, 1});
    EXPECT_EQ(std::tuple(list.indexOf("/f/d.jpg"), list.indexOf("/f/renamed.jpg")), std::tuple(0, 2));
    EXPECT_EQ(list.removeIf([](const FileEntry& e) { return e.path != "/f/b.jpg"; }), 2u);
    EXPECT_EQ(std::tuple(list.indexOf("/f/b.jpg"), list.indexOf("/f/d.jpg")), std::tuple(0, -1));
    list.append(std::vector<FileEntry>{{"/g/x.jpg", {}}, {"/g/y.jpg", {}}});
    EXPECT_EQ(list.indexOf("/g/y.jpg"), 2);
    list.clear();
    EXPECT_EQ(list.indexOf("/f/b.jpg"), -1);
}

namespace {

using Comparator = int (*)(const FileList&, size_t, size_t);

FileList sample() {
    FileList list;
    list.append("/p/b.bmp", TSeekFile{300, 5, 11, "BMP"});
    list.append("/p/A.jpg", TSeekFile{100, 9, 12, "JPG"});
    list.append("/p/c.PNG", TSeekFile{200, 1, 13, "PNG"});
    list.append("/p/d.jpeg", TSeekFile{100, 3, 14, "JPEG"});
    list.append("/p/F.png", TSeekFile{50, 7, 15, "PNG"});
    return list;
}

Names names(const FileList& list) {
    Names out;
    for (const FileEntry& e : list) out.push_back(e.path.substr(e.path.rfind('/') + 1));
    return out;
}

Names sortedNames(const Names& ns) {
    FileList list;
    for (const std::string& n : ns) list.append("/p/" + n, TSeekFile{});
    sortFileList(list, SortKey::Name);
    return names(list);
}

}  // namespace

// Each key in both directions; the ascending ones are also what the name view's number selects.
TEST(FileSort, EveryKeyBothDirections) {
    const std::tuple<SortKey, bool, Comparator, Names> rows[] = {
        {SortKey::Name, false, CompareByName, {"A.jpg", "b.bmp", "c.PNG", "d.jpeg", "F.png"}},
        {SortKey::Name, true, CompareByNameDesc, {"F.png", "d.jpeg", "c.PNG", "b.bmp", "A.jpg"}},
        // Equal sizes keep their order (A.jpg came before d.jpeg) in both directions.
        {SortKey::Size, false, CompareBySize, {"F.png", "A.jpg", "d.jpeg", "c.PNG", "b.bmp"}},
        {SortKey::Size, true, CompareBySizeDesc, {"b.bmp", "c.PNG", "A.jpg", "d.jpeg", "F.png"}},
        {SortKey::Date, false, CompareByDate, {"c.PNG", "d.jpeg", "b.bmp", "F.png", "A.jpg"}},
        {SortKey::Date, true, CompareByDateDesc, {"A.jpg", "F.png", "b.bmp", "d.jpeg", "c.PNG"}},
        {SortKey::Ext, false, CompareByExt, {"b.bmp", "d.jpeg", "A.jpg", "c.PNG", "F.png"}},
        // PNG before JPG before BMP.
        {SortKey::Ext, true, CompareByExtDesc, {"c.PNG", "F.png", "A.jpg", "d.jpeg", "b.bmp"}},
    };
    const FileList original = sample();
    for (const auto& [key, desc, cmp, expected] : rows) {
        SCOPED_TRACE("key " + std::to_string(int(key)) + (desc ? " descending" : ""));
        FileList list = sample();
        sortFileList(list, key, desc);
        EXPECT_EQ(names(list), expected);
        for (size_t i = 0; i + 1 < list.size(); ++i) EXPECT_LE(cmp(list, i, i + 1), 0) << i;
        for (const FileEntry& e : list)  // each entry keeps its own fields
            EXPECT_EQ(e.seek.ThumbPos, original.seek(size_t(original.indexOf(e.path))).ThumbPos) << e.path;
        if (desc) continue;
        list = sample();
        EXPECT_TRUE(sortByNameView(list, int(key)));
        EXPECT_EQ(names(list), expected);
    }
}

// Every comparator on pairs of entries; the descending ones and swapped arguments give the opposite.
TEST(FileSort, ComparatorSigns) {
    ScopedLocale utf8("C.UTF-8");
    ASSERT_TRUE(utf8.ok());
    // Two entries and the signs of their name, size, date and ext comparisons.
    const std::tuple<const char*, const char*, TSeekFile, TSeekFile, int, int, int, int> rows[] = {
        {"/p/a.jpg", "/p/A.JPG", {}, {}, 0, 0, 0, 0},
        {"/p/É.jpg", "/p/é.jpg", {}, {}, 0, 0, 0, 0},
        {"/p/z/a.jpg", "/p/za.jpg", {}, {}, -1, 0, 0, 0},  // folder "z" before "za"
        {"/p/a/z.jpg", "/p/a.jpg", {}, {}, -1, 0, 0, 0},
        {"/p/a.jpg", "/q/a.jpg", {}, {}, -1, 0, 0, 0},
        // Time compares unsigned.
        {"/a", "/b", {INT32_MAX, 0xFFFFFFFFu, -1, "PNG"}, {1, 1, -1, "JPEG"}, -1, 1, 1, 1},
        {"/c", "/d", {1, 0x80000000u, -1, "JPG"}, {1, 0x7FFFFFFFu, -1, "JPEG"}, -1, 0, 1, 1},
    };
    for (const auto& [a, b, sa, sb, name, size, date, ext] : rows) {
        FileList list;
        list.append(a, sa);
        list.append(b, sb);
        const auto c = [&](Comparator f) { return f(list, 0, 1); };
        EXPECT_EQ(std::tuple(c(CompareByName), c(CompareByNameDesc), CompareByName(list, 1, 0),
                             c(CompareBySize), c(CompareBySizeDesc), c(CompareByDate), c(CompareByDateDesc),
                             c(CompareByExt), c(CompareByExtDesc)),
                  std::tuple(name, -name, -name, size, -size, date, -date, ext, -ext))
            << a << " " << b;
    }
}

TEST(FileSort, NamesIgnoreCaseInTheLocale) {
    const Names input{"zeta.jpg", "Éclair.jpg", "b.jpg", "emu.jpg", "Eagle.jpg", "étoile.jpg", "A.jpg"};
    // The C locale knows ASCII letters only; other bytes follow in byte order.
    EXPECT_EQ(sortedNames({"b.jpg", "C.jpg", "a.jpg", "B2.jpg"}),
              (Names{"a.jpg", "b.jpg", "B2.jpg", "C.jpg"}));
    {
        ScopedLocale utf8("C.UTF-8");
        ASSERT_TRUE(utf8.ok());
        // Code-point order after folding: accented letters after z, É with é.
        EXPECT_EQ(sortedNames(input),
                  (Names{"A.jpg", "b.jpg", "Eagle.jpg", "emu.jpg", "zeta.jpg", "Éclair.jpg", "étoile.jpg"}));
    }
    ScopedLocale en("en_US.UTF-8");
    if (!en.ok()) GTEST_SKIP() << "no en_US.UTF-8 locale and none can be built";
    // The language's order: accented letters with their base letter.
    EXPECT_EQ(sortedNames(input),
              (Names{"A.jpg", "b.jpg", "Eagle.jpg", "Éclair.jpg", "emu.jpg", "étoile.jpg", "zeta.jpg"}));
    // Folders stay together even where the locale would skip "/" and "-" at the first level.
    FileList list;
    for (const char* p : {"/r/dir/zz.jpg", "/r/dir2/a.jpg", "/r/dir/a.jpg", "/r/dir-x/b.jpg", "/r/dir/Q.jpg"})
        list.append(p, TSeekFile{});
    sortFileList(list, SortKey::Name);
    EXPECT_EQ(std::tuple(list.path(0), list.path(1), list.path(2)),
              std::tuple("/r/dir/a.jpg", "/r/dir/Q.jpg", "/r/dir/zz.jpg"));
}

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

// The depth-first order a reference walk with readdir gives: a sub-folder's files at its place.
void referenceWalk(const std::string& folder, bool noHide, Names& out, const std::string& rel = "") {
    DIR* d = ::opendir(folder.c_str());
    ASSERT_TRUE(d);
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == ".." || (noHide && name[0] == '.')) continue;
        struct stat st;
        ASSERT_EQ(::lstat((folder + name).c_str(), &st), 0);
        if (S_ISLNK(st.st_mode)) continue;  // the trees' links lead back into entered folders or nowhere
        if (S_ISDIR(st.st_mode)) referenceWalk(folder + name + "/", noHide, out, rel + name + "/");
        else if (name.ends_with(".jpg")) out.push_back(rel + name);
    }
    ::closedir(d);
}

}  // namespace

// Each listed file as "name size EXT", sorted; every entry has the tree's time and no thumbnail.
TEST(FolderScan, FilterHiddenAndSizeRules) {
    ScopedTimeZone tz("UTC0");
    TempTree t;
    const std::pair<const char*, int> files[] = {{"a.jpg", 10},    {"B.JPG", 5}, {"c.jpeg", 3},
                                                 {"empty.jpg", 0}, {".hidden.jpg", 4}, {"noext", 2},
                                                 {"archive.tar.jpg", 6}};
    for (auto [name, size] : files) {
        t.file(name, size);
        t.mtime(name, 1614834367);  // 2021-03-04 05:06:07 UTC
    }
    t.folder("dir.jpg");             // a folder is never listed, whatever its name
    t.file("dir.jpg/inner.jpg", 9);  // only with sub-folder search
    ::mkfifo((t / "pipe.jpg").c_str(), 0644);
    t.link("missing-target.jpg", "dangling.jpg");
    t.link("a.jpg", "link.jpg");       // listed with its target's size
    t.link("dir.jpg", "dirlink.jpg");  // a link to a folder is a folder
    const std::tuple<const char*, bool, Names> rows[] = {
        {"*.jpg", false, {".hidden.jpg 4 JPG", "B.JPG 5 JPG", "a.jpg 10 JPG", "archive.tar.jpg 6 JPG",
                          "link.jpg 10 JPG"}},
        {"*.jpg", true, {"B.JPG 5 JPG", "a.jpg 10 JPG", "archive.tar.jpg 6 JPG", "link.jpg 10 JPG"}},
        {"*.*", true, {"B.JPG 5 JPG", "a.jpg 10 JPG", "archive.tar.jpg 6 JPG", "c.jpeg 3 JPEG",
                       "link.jpg 10 JPG", "noext 2 "}},
    };
    for (const auto& [mask, noHide, expected] : rows) {
        SCOPED_TRACE(std::string(mask) + (noHide ? " hiding" : ""));
        FileList list;
        const ListResult result = ListFolder(list, t.root(), ListMode::Replace, opts(mask, noHide));
        Names got;
        for (const FileEntry& e : list) {
            const std::string name = e.path.substr(t.root().size());
            got.push_back(name + " " + std::to_string(e.seek.Size) + " " + e.seek.Ext);
            EXPECT_EQ(std::pair(e.seek.Time, e.seek.ThumbPos), std::pair(0x526428C3u, -1)) << e.path;
        }
        EXPECT_EQ(sorted(got), expected);
        EXPECT_EQ(std::pair(result.folderRead, result.added), std::pair(true, expected.size()));
    }
}

// What the tree and the preview ask of the file system as it is now.
TEST(FolderScan, SubfoldersAndCurrentState) {
    TempTree t;
    for (const char* f : {"a/deep", "b", ".h"}) t.folder(f);
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
    EXPECT_EQ(std::tuple(isExistingFolder(t / "la"), isExistingFolder(t / "a/"),
                         isExistingFolder(t / "f.bmp"), isExistingFolder(t / "dl"), isExistingFolder("")),
              std::tuple(true, true, false, false, false));
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

// Where a folder chooser opens: the start when it is a folder, else the nearest folder above it;
// home for a start that is no full path.
TEST(FolderTree, ChooserOpensAtTheNearestExistingFolder) {
    TempTree t;
    t.folder("caf\xe9/inner");
    t.file("caf\xe9/f.bmp", 4);
    const std::string home = t / "caf\xe9";
    const struct {
        std::string start, want;
    } rows[] = {
        {t / "caf\xe9/inner/", t / "caf\xe9/inner/"},
        {t / "caf\xe9/inner", t / "caf\xe9/inner/"},
        {t.dir() + "//caf\xe9///inner", t / "caf\xe9/inner/"},
        {t / "caf\xe9/gone/deeper/", t / "caf\xe9/"},
        {t / "caf\xe9/f.bmp", t / "caf\xe9/"},  // a file is no folder to open
        {"/", "/"},
        {"", home + "/"},
        {"caf\xe9/inner", home + "/"},
    };
    for (const auto& r : rows) EXPECT_EQ(nearestExistingFolder(r.start, home), r.want) << r.start;
    EXPECT_EQ(nearestExistingFolder("", ""), "/");
}

TEST(FolderScan, SizesAreTheLowThirtyTwoBitsReadSigned) {
    const int64_t GiB = int64_t(1) << 30;
    EXPECT_EQ(std::tuple(seekFileSize(2 * GiB - 1), seekFileSize(2 * GiB), seekFileSize(4 * GiB)),
              std::tuple(INT32_MAX, INT32_MIN, 0));
    // The listing drops a size read below 1, not the size on disk.
    TempTree t;
    try {
        t.file("twogib.jpg", 2 * GiB);
        t.file("wrapped.jpg", 4 * GiB + 5);
    } catch (const std::exception&) {
        GTEST_SKIP() << "the temporary file system cannot hold a sparse file of 4 GiB";
    }
    FileList list;
    ListFolder(list, t.root(), ListMode::Replace, opts("*.jpg"));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(std::pair(list.path(0), list.seek(0).Size), std::pair(t / "wrapped.jpg", 5));
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
    Names got;
    for (const FileEntry& e : list) got.push_back(e.path + " " + std::to_string(e.seek.ThumbPos));
    EXPECT_EQ(got,
              (Names{t / "a.jpg -1", t / "b.jpg 42", t / "c.jpg -1", t / "d.jpg -1", "/elsewhere/x.jpg 7"}));

    // Adding again finds nothing new; replacing drops the foreign entry.
    EXPECT_EQ(ListFolder(list, t.root(), ListMode::Add, opts("*.jpg")).added, 0u);
    EXPECT_EQ(list.size(), 5u);
    ListFolder(list, t.dir(), ListMode::Replace, opts("*.jpg", false, false, 0));
    EXPECT_EQ(relPaths(list, t), (Names{"a.jpg", "b.jpg", "c.jpg", "d.jpg"}));
}

// Sub-folders are listed depth first, each one's files at its place in the folder's enumeration
// (the list is unsorted), and a link loop is entered once. The root is big enough that its status
// calls are shared out: every file keeps its own size, with links and sub-folders among them.
TEST(FolderScan, SubFoldersDepthFirstInBigFolders) {
    TempTree t;
    std::map<std::string, int> size;
    for (int i = 0; i < 2400; ++i) {
        const std::string name = "p" + std::to_string(i) + (i % 7 == 0 ? ".txt" : ".jpg");
        t.file(name, i % 50);
        if (i % 7 != 0 && i % 50 != 0) size[name] = i % 50;
    }
    for (const char* f : {"sub/b.jpg", "sub/deeper/c.jpg", ".hid/e.jpg", "other/f.jpg"}) {
        t.file(f, 3);
        size[f] = 3;
    }
    t.link("..", "sub/up");                  // loop to the root
    t.link("../deeper", "sub/deeper/self");  // loop to itself
    t.link(t / "gone", "dl.jpg");
    for (bool noHide : {false, true}) {
        SCOPED_TRACE(noHide ? "hiding" : "showing hidden");
        // In a child, so that a lost loop guard fails here instead of exhausting the machine.
        const Guarded got = runGuarded([&] {
            FileList list;
            ListFolder(list, noHide ? t.dir() : t.root(), ListMode::Replace, opts("*.jpg", noHide, true));
            std::string lines;
            for (const FileEntry& e : list)
                lines += e.path.substr(t.root().size()) + " " + std::to_string(e.seek.Size) + "\n";
            return lines;
        });
        Names walk;
        std::string want;
        referenceWalk(t.root(), noHide, walk);
        for (const std::string& name : walk)
            if (size.count(name)) want += name + " " + std::to_string(size[name]) + "\n";
        // Every file but the hidden folder's when hiding.
        EXPECT_EQ(std::count(want.begin(), want.end(), '\n'), ptrdiff_t(size.size() - noHide));
        ASSERT_EQ(got.outcome, Guarded::Finished) << "1 timed out, 2 grew too large, 3 crashed";
        EXPECT_EQ(got.result, want);
    }
}

TEST(Drives, MountTableBecomesDriveList) {
    const std::string mounts =
        "proc /proc proc rw 0 0\n"
        "/dev/vda1 / ext4 rw 0 0\n"
        "/dev/sdb1 /media/u/USB\\040STICK vfat rw 0 0\n"
        "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
        "server:/export /mnt/nfs nfs4 rw 0 0\n"
        "/dev/sdc1 /data ext4 rw 0 0\n"
        "tmpfs /data tmpfs rw 0 0\n"  // a pseudo mount over /data hides it
        "overlay /var/lib/docker/x overlay rw 0 0\n"
        "garbage\n";
    auto labels = [](const std::string& dev) { return std::string(dev == "/dev/sdb1" ? "USB STICK" : ""); };
    Names got;
    for (const DriveEntry& d : listDrives(mounts, "/home/u", labels)) got.push_back(d.path + "|" + d.caption);
    EXPECT_EQ(got, (Names{"/home/u/|ホーム (/home/u)", "/|(/)",
                          "/media/u/USB STICK/|USB STICK (/media/u/USB STICK)", "/mnt/nfs/|(/mnt/nfs)"}));
    // Root is there even when it is an overlay (containers).
    EXPECT_EQ(listDrives("overlay / overlay rw 0 0\n", "", labels).size(), 1u);
}

TEST(Drives, RecycleBinRules) {
    // A recycle bin folder, inside one, shown in the tree.
    const std::tuple<const char*, bool, bool, bool> rows[] = {
        {"/home/u/.local/share/Trash/files/", true, false, true},
        {"/home/u/.local/share/Trash/files/old/", false, true, false},
        {"/media/u/USB/.Trash-1000/files/", true, false, true},
        {"/media/u/USB/.Trash/1000/files/x/", false, true, false},
        {"/media/u/USB/.Trash/abc/files/x/", false, false, true},
        {"/home/u/.local/share/Trash/", false, false, true},
        // A Windows disk: the recycle bin folder is shown, nothing below it, in any letter case.
        {"/media/u/WIN/RECYCLED/", false, false, true},
        {"/media/u/WIN/RECYCLED/DC1/", false, false, false},
        {"/media/u/WIN/ReCyClEr/S-1-5-21", false, false, false},
        {"/media/u/WIN/RECYCLEDX/a/", false, false, true},
        {"/media/u/WIN/MyRECYCLED/a/", false, false, true},
    };
    for (const auto& [path, isBin, inside, passes] : rows)
        EXPECT_EQ(std::tuple(IsRecycleBinFolder(path), IsInsideRecycleBin(path), PassesRecycleBinRule(path)),
                  std::tuple(isBin, inside, passes))
            << path;
}

TEST(Drives, TrashFolderOnDisk) {
    TempTree t;
    // "named" has the name without the info folder beside it.
    for (const char* f : {"real/Trash/files", "real/Trash/info", "named/Trash/files", "other/Stuff/files",
                          "other/Stuff/info"})
        t.folder(f);
    const std::pair<std::string, bool> rows[] = {
        {t / "real/Trash/files/", true},   {t / "real/Trash/files", true},  {t / "named/Trash/files/", false},
        {t / "other/Stuff/files/", false}, {t / "gone/Trash/files/", false},
    };
    for (const auto& [path, trash] : rows) EXPECT_EQ(IsTrashFilesFolderOnDisk(path), trash) << path;
}

namespace {
std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }
Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
int sign(int v) { return v > 0 ? 1 : v < 0 ? -1 : 0; }
}  // namespace

TEST(ListMutation, FilterStringsAndMasks) {
    const std::string filter = GraphicFilter(TGraphic::classInfo);
    forEachMutation(bytes(filter), 600, [](const Bytes& m) {
        const std::string s = text(m);
        std::vector<FilterItem> items = parseFilterItems(s);
        size_t bars = size_t(std::count(s.begin(), s.end(), '|'));
        EXPECT_EQ(items.size(), s.empty() ? 0 : bars / 2 + 1);
        for (const FilterItem& item : items) {
            EXPECT_EQ(item.description.find('|'), std::string::npos);
            EXPECT_EQ(item.mask.find('|'), std::string::npos);
            ExtensionSet set(item.mask);
            std::set<std::string> unique(set.members().begin(), set.members().end());
            EXPECT_EQ(unique.size(), set.members().size());
            for (const std::string& member : set.members()) {
                EXPECT_EQ(member.find(';'), std::string::npos);
                // A member ".ext" matches a name ending in it, unless ext holds another dot (the
                // extension of a name starts at its last dot).
                if (member.size() > 1 && member[0] == '.' && member.find('.', 1) == std::string::npos) {
                    EXPECT_TRUE(set.matches("x" + asciiUpper(member))) << member;
                }
            }
        }
        (void)filterBoxMask(items, int(m.size() % 5) - 1);
    });
}

TEST(ListMutation, NamesCompareConsistently) {
    for (const char* loc : {"C", "C.UTF-8"}) {
        ScopedLocale l(loc);
        ASSERT_TRUE(l.ok());
        const std::string good = "写真 Éclair_2021-03-04.JPEG";
        FileList list;
        forEachMutation(bytes(good), 300, [&](const Bytes& m) {
            const std::string a = text(m);
            EXPECT_EQ(compareTextIgnoreCase(a, a), 0);
            EXPECT_EQ(sign(compareTextIgnoreCase(a, good)), -sign(compareTextIgnoreCase(good, a)));
            list.append("/m/" + a, TSeekFile{});
        });
        sortFileList(list, SortKey::Name);
        for (size_t i = 0; i + 1 < list.size(); ++i) EXPECT_LE(CompareByName(list, i, i + 1), 0) << loc << i;
    }
}

TEST(ListMutation, OddFileNamesAreListedOnce) {
    TempTree t;
    std::set<std::string> made;
    forEachMutation(bytes("Photo_写真.jpg"), 200, [&](const Bytes& m) {
        std::string name = text(m);
        std::replace(name.begin(), name.end(), '/', '_');
        name.erase(std::remove(name.begin(), name.end(), '\0'), name.end());
        if (name.empty() || name == "." || name == ".." || name.size() > 255 || made.count(name)) return;
        if (std::ofstream(t / name, std::ios::binary) << "x") made.insert(name);
    });
    ASSERT_GT(made.size(), 50u);
    FileList list;
    ListFolder(list, t.root(), ListMode::Replace, opts("*.*"));
    std::set<std::string> listed;
    for (const FileEntry& e : list)
        EXPECT_TRUE(listed.insert(e.path.substr(t.root().size())).second) << e.path;
    EXPECT_EQ(listed, made);
}
