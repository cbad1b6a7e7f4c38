// The file list: the extension set and filter items, DOS date-times, the file count text, the
// list's own bookkeeping, and the eight comparators with the list sort (every key in both
// directions, ties, case and locale). Then bounded mutation of the texts the list parses: filter
// strings, masks and file names with arbitrary bytes (including names not valid in the locale's
// encoding), run under the sanitizers; each check also holds an invariant, so a wrong result fails
// as well as a crash.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <set>

#include "base/FileNames.h"
#include "browse/Collation.h"
#include "browse/ExtensionSet.h"
#include "browse/FileList.h"
#include "browse/FileSort.h"
#include "browse/FolderScan.h"
#include "browse/SeekFile.h"
#include "formats/FormatRegistry.h"
#include "tests/support/Mutation.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using korvel::testing::Bytes;
using korvel::testing::forEachMutation;
using korvel::testing::ScopedLocale;
using korvel::testing::ScopedTimeZone;
using korvel::testing::TempTree;

TEST(ExtensionSet, BuiltFromMaskAndMatchesNames) {
    struct Row {
        const char* mask;
        std::vector<std::string> members;
    } rows[] = {
        {"*.jpg", {".jpg"}},
        {"*.JPG;*.Jpeg;*.jpg", {".jpg", ".jpeg"}},
        {"*.*", {".*"}},
        {"*", {""}},
        {"*.jpg;", {".jpg", ""}},
        {"", {""}},
        {"x.tar.gz", {".tar.gz"}},
    };
    for (const Row& r : rows) EXPECT_EQ(ExtensionSet(r.mask).members(), r.members) << r.mask;
    struct Match {
        const char* mask;
        const char* name;
        bool match;
    } matches[] = {
        {"*.jpg", "a.jpg", true},        {"*.jpg", "A.JPG", true},       {"*.JPG", "a.jpg", true},
        {"*.jpg", "a.jpeg", false},      {"*.jpg", "a.jpg.bak", false},  {"*.jpg", "jpg", false},
        {"*.jpg", ".jpg", true},         {"*.jpg;*.png", "b.PNG", true}, {"*.png", "a.jpg", false},
        {"*.*", "noext", true},          {"*.*", "a.xyz", true},         {"*.tar.gz", "a.tar.gz", false},
        {"*", "noext", true},            {"*", "a.jpg", false},          {"*.jpg", "写真.jpg", true},
        {"*.jpg", "写真.ＪＰＧ", false},
    };
    for (const Match& m : matches) EXPECT_EQ(ExtensionSet(m.mask).matches(m.name), m.match) << m.name;
}

TEST(FilterItems, ParsedFromGraphicFilter) {
    std::vector<FilterItem> items = parseFilterItems("All (*.a;*.b)|*.a;*.b|A (*.a)|*.a|B (*.b)|*.b");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].description, "All (*.a;*.b)");
    struct Row {
        int selected;
        const char* mask;
    } rows[] = {{0, "*.a;*.b"}, {1, "*.a"}, {2, "*.b"}, {-1, "*.b"}, {3, "*.b"}};
    for (const Row& r : rows) EXPECT_EQ(filterBoxMask(items, r.selected), r.mask) << r.selected;
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
    struct Row {
        const char* tz;
        std::time_t t;
        uint32_t packed;
    } rows[] = {
        {"UTC0", 1614834367, 0x526428C3u},   // 2021-03-04 05:06:07 -> seconds stored halved
        {"JST-9", 1614834367, 0x526470C3u},  // the same instant at 14:06:07 local
        {"EST5", 1614832800, 0x5263BD00u},   // 2021-03-03 23:40:00 local: the date follows the zone
        {"UTC0", 315532800, 0x00210000u},    // 1980-01-01 00:00:00, the first DOS time
        {"UTC0", 315532799, 0x00210000u},    // 1979 clamps to the first
        {"UTC0", -86400 * 365, 0x00210000u},
        {"UTC0", 4354819199, 0xFF9FBF7Du},   // 2107-12-31 23:59:59 -> :58
        {"UTC0", 4354819200, 0xFF9FBF7Du},   // 2108 clamps to the last
        {"UTC0", 951782400, 0x285D0000u},    // 2000-02-29
    };
    for (const Row& r : rows) {
        ScopedTimeZone tz(r.tz);
        EXPECT_EQ(packDosDateTime(r.t), r.packed) << r.tz << " " << r.t;
    }
    const DosDateTime d = unpackDosDateTime(0x526428C3u);
    EXPECT_EQ(std::tuple(d.year, d.month, d.day, d.hour, d.minute, d.second),
              std::tuple(2021, 3, 4, 5, 6, 6));
}

TEST(FileCount, GroupsThousands) {
    struct Row {
        size_t n;
        const char* c;   // C locale: no separator of its own, "," stands in
        const char* de;  // German: "."
    } rows[] = {{0, "0Files", "0Files"},
                {999, "999Files", "999Files"},
                {1000, "1,000Files", "1.000Files"},
                {1234567, "1,234,567Files", "1.234.567Files"}};
    for (const Row& r : rows) EXPECT_EQ(formatFileCount(r.n), r.c);
    ScopedLocale de("de_DE.UTF-8");
    if (!de.ok()) GTEST_SKIP() << "no de_DE.UTF-8 locale and none can be built";
    for (const Row& r : rows) EXPECT_EQ(formatFileCount(r.n), r.de);
}

TEST(FileList, LookupFollowsEveryChange) {
    FileList list;
    EXPECT_EQ(list.indexOf("/a"), -1);
    for (const char* p : {"/f/a.jpg", "/f/b.jpg", "/f/c.jpg", "/f/d.jpg"}) list.append(p, TSeekFile{});
    EXPECT_EQ(list.indexOf("/f/c.jpg"), 2);
    EXPECT_EQ(list.indexOf("/f/C.jpg"), -1);  // exact comparison
    list.setPath(2, "/f/renamed.jpg");
    EXPECT_EQ(list.indexOf("/f/c.jpg"), -1);
    EXPECT_EQ(list.indexOf("/f/renamed.jpg"), 2);
    list.removeAt(0);
    EXPECT_EQ(list.indexOf("/f/renamed.jpg"), 1);
    list.permute({2, 0, 1});
    EXPECT_EQ(list.path(0), "/f/d.jpg");
    EXPECT_EQ(list.indexOf("/f/d.jpg"), 0);
    EXPECT_EQ(list.indexOf("/f/renamed.jpg"), 2);
    EXPECT_EQ(list.removeIf([](const FileEntry& e) { return e.path != "/f/b.jpg"; }), 2u);
    EXPECT_EQ(list.indexOf("/f/b.jpg"), 0);
    EXPECT_EQ(list.indexOf("/f/d.jpg"), -1);
    std::vector<FileEntry> more{{"/g/x.jpg", {}}, {"/g/y.jpg", {}}};
    list.append(std::move(more));
    EXPECT_EQ(list.indexOf("/g/y.jpg"), 2);
    list.clear();
    EXPECT_EQ(list.indexOf("/f/b.jpg"), -1);
    EXPECT_TRUE(list.empty());
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

std::vector<std::string> names(const FileList& list) {
    std::vector<std::string> out;
    for (const FileEntry& e : list) out.push_back(e.path.substr(e.path.rfind('/') + 1));
    return out;
}

std::vector<std::string> sortedNames(const std::vector<std::string>& ns) {
    FileList list;
    for (const std::string& n : ns) list.append("/p/" + n, TSeekFile{});
    sortFileList(list, SortKey::Name);
    return names(list);
}

}  // namespace

// Each key in both directions; the ascending ones are also what the name view's number selects.
TEST(FileSort, EveryKeyBothDirections) {
    struct Row {
        SortKey key;
        bool desc;
        Comparator cmp;
        std::vector<std::string> expected;
    } rows[] = {
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
    const char* keyNames[] = {"name", "size", "date", "ext"};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(keyNames[int(r.key)]) + (r.desc ? " descending" : ""));
        FileList list = sample();
        sortFileList(list, r.key, r.desc);
        EXPECT_EQ(names(list), r.expected);
        for (size_t i = 0; i + 1 < list.size(); ++i) EXPECT_LE(r.cmp(list, i, i + 1), 0) << i;
        for (const FileEntry& e : list)  // each entry keeps its own fields
            EXPECT_EQ(e.seek.ThumbPos, original.seek(size_t(original.indexOf(e.path))).ThumbPos) << e.path;
        if (r.desc) continue;
        list = sample();
        EXPECT_TRUE(sortByNameView(list, int(r.key)));
        EXPECT_EQ(names(list), r.expected);
    }
    // Views without a key leave the list as it is.
    for (int nameView : {4, -1}) {
        FileList list = sample();
        EXPECT_FALSE(sortByNameView(list, nameView));
        EXPECT_EQ(names(list), names(original)) << nameView;
    }
}

TEST(FileSort, ComparatorSigns) {
    ScopedLocale utf8("C.UTF-8");
    ASSERT_TRUE(utf8.ok());
    struct Row {
        const char* a;
        const char* b;
        int name;  // CompareByName(a, b)
    } rows[] = {
        {"/p/a.jpg", "/p/A.JPG", 0},    {"/p/a.jpg", "/p/b.jpg", -1},     {"/p/B.jpg", "/p/a.jpg", 1},
        {"/p/É.jpg", "/p/é.jpg", 0},    {"/p/z/a.jpg", "/p/za.jpg", -1},  // folder "z" before "za"
        {"/p/a/z.jpg", "/p/a.jpg", -1}, {"/p/写真.jpg", "/p/写真.JPG", 0}, {"/p/a.jpg", "/q/a.jpg", -1},
    };
    for (const Row& r : rows) {
        FileList list;
        list.append(r.a, TSeekFile{});
        list.append(r.b, TSeekFile{});
        EXPECT_EQ(std::tuple(CompareByName(list, 0, 1), CompareByNameDesc(list, 0, 1),
                             CompareByName(list, 1, 0)),
                  std::tuple(r.name, -r.name, -r.name))
            << r.a << " " << r.b;
    }
    struct NumRow {
        int32_t sizeA, sizeB;
        uint32_t timeA, timeB;
        const char *extA, *extB;
        int expected;
    } nums[] = {
        {1, 2, 1, 2, "BMP", "JPG", -1},
        {2, 2, 7, 7, "PNG", "PNG", 0},
        {INT32_MAX, 1, 0xFFFFFFFFu, 1, "PNG", "JPEG", 1},  // Time compares unsigned
        {1, 1, 0x80000000u, 0x7FFFFFFFu, "JPG", "JPEG", 1},
    };
    for (const NumRow& r : nums) {
        SCOPED_TRACE(std::string(r.extA) + " " + r.extB);
        FileList list;
        list.append("/a", TSeekFile{r.sizeA, r.timeA, -1, r.extA});
        list.append("/b", TSeekFile{r.sizeB, r.timeB, -1, r.extB});
        const int size = r.sizeA > r.sizeB ? 1 : r.sizeA < r.sizeB ? -1 : 0;
        EXPECT_EQ(std::pair(CompareBySize(list, 0, 1), CompareBySizeDesc(list, 0, 1)),
                  std::pair(size, -size));
        EXPECT_EQ(std::tuple(CompareByDate(list, 0, 1), CompareByDateDesc(list, 0, 1),
                             CompareByExt(list, 0, 1), CompareByExtDesc(list, 0, 1)),
                  std::tuple(r.expected, -r.expected, r.expected, -r.expected));
    }
}

TEST(FileSort, NamesIgnoreCaseInTheLocale) {
    const std::vector<std::string> input{"zeta.jpg", "Éclair.jpg", "b.jpg",  "emu.jpg",
                                         "Eagle.jpg", "étoile.jpg", "A.jpg"};
    // The C locale knows ASCII letters only; other bytes follow in byte order.
    EXPECT_EQ(sortedNames({"b.jpg", "C.jpg", "a.jpg", "B2.jpg"}),
              (std::vector<std::string>{"a.jpg", "b.jpg", "B2.jpg", "C.jpg"}));
    {
        ScopedLocale utf8("C.UTF-8");
        ASSERT_TRUE(utf8.ok());
        // Code-point order after folding: accented letters after z, É with é.
        EXPECT_EQ(sortedNames(input), (std::vector<std::string>{"A.jpg", "b.jpg", "Eagle.jpg", "emu.jpg",
                                                                "zeta.jpg", "Éclair.jpg", "étoile.jpg"}));
        EXPECT_EQ(foldCase("ÀÉÎ Ab"), L"àéî ab");
    }
    ScopedLocale en("en_US.UTF-8");
    if (!en.ok()) GTEST_SKIP() << "no en_US.UTF-8 locale and none can be built";
    // The language's order: accented letters with their base letter.
    EXPECT_EQ(sortedNames(input), (std::vector<std::string>{"A.jpg", "b.jpg", "Eagle.jpg", "Éclair.jpg",
                                                            "emu.jpg", "étoile.jpg", "zeta.jpg"}));
    // Folders stay together even where the locale would skip "/" and "-" at the first level.
    FileList list;
    for (const char* p : {"/r/dir/zz.jpg", "/r/dir2/a.jpg", "/r/dir/a.jpg", "/r/dir-x/b.jpg", "/r/dir/Q.jpg"})
        list.append(p, TSeekFile{});
    sortFileList(list, SortKey::Name);
    EXPECT_EQ(std::tuple(list.path(0), list.path(1), list.path(2)),
              std::tuple("/r/dir/a.jpg", "/r/dir/Q.jpg", "/r/dir/zz.jpg"));
}

TEST(FileSort, UndecodableNamesStillSort) {
    const std::vector<std::string> input{"z.jpg",      "\xff.jpg",        "a.jpg",
                                         "\xc3.jpg", "\xc3\xa9.jpg", "\xe5\x86.jpg"};
    for (const char* loc : {"C", "C.UTF-8"}) {
        SCOPED_TRACE(loc);
        ScopedLocale l(loc);
        ASSERT_TRUE(l.ok());
        std::vector<std::string> got = sortedNames(input);
        ASSERT_EQ(got.size(), input.size());
        EXPECT_EQ(std::pair(got[0], got[1]), std::pair(std::string("a.jpg"), std::string("z.jpg")));
        EXPECT_EQ(sortedNames(got), got);  // sorting again changes nothing: the order is consistent
    }
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
                if (member.size() > 1 && member[0] == '.' && member.find('.', 1) == std::string::npos)
                    EXPECT_TRUE(set.matches("x" + asciiUpper(member))) << member;
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
        std::vector<std::string> names;
        forEachMutation(bytes(good), 300, [&](const Bytes& m) {
            const std::string a = text(m);
            EXPECT_EQ(compareTextIgnoreCase(a, a), 0);
            EXPECT_EQ(sign(compareTextIgnoreCase(a, good)), -sign(compareTextIgnoreCase(good, a)));
            names.push_back(a);
        });
        FileList list;
        for (const std::string& n : names) list.append("/m/" + n, TSeekFile{});
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
        int fd = ::open((t.root() + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0) return;
        bool ok = ::write(fd, "x", 1) == 1;
        ::close(fd);
        if (ok) made.insert(name);
    });
    ASSERT_GT(made.size(), 50u);
    FileList list;
    ListOptions o;
    o.mask = "*.*";
    ListFolder(list, t.root(), ListMode::Replace, o);
    std::set<std::string> listed;
    for (const FileEntry& e : list)
        EXPECT_TRUE(listed.insert(e.path.substr(t.root().size())).second) << e.path;
    EXPECT_EQ(listed, made);
}
