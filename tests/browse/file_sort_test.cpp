// The eight comparators and the list sort: every key in both directions, ties, case and locale.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "browse/Collation.h"
#include "browse/FileSort.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using korvel::testing::ScopedLocale;

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

FileList ofNames(const std::vector<std::string>& ns) {
    FileList list;
    for (const std::string& n : ns) list.append("/p/" + n, TSeekFile{});
    return list;
}

std::vector<std::string> sortedNames(const std::vector<std::string>& ns) {
    FileList list = ofNames(ns);
    sortFileList(list, SortKey::Name);
    return names(list);
}

}  // namespace

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
    for (const Row& r : rows) {
        FileList list = sample();
        sortFileList(list, r.key, r.desc);
        EXPECT_EQ(names(list), r.expected) << int(r.key) << " desc=" << r.desc;
        for (size_t i = 0; i + 1 < list.size(); ++i)
            EXPECT_LE(r.cmp(list, i, i + 1), 0) << int(r.key) << " desc=" << r.desc << " at " << i;
        // Each entry keeps its own fields.
        for (const FileEntry& e : list) {
            FileList original = sample();
            const TSeekFile& o = original.seek(size_t(original.indexOf(e.path)));
            EXPECT_EQ(e.seek.ThumbPos, o.ThumbPos);
            EXPECT_EQ(e.seek.Size, o.Size);
        }
    }
}

TEST(FileSort, NameViewSelectsTheKey) {
    struct Row {
        int nameView;
        bool sorts;
        std::vector<std::string> expected;
    } rows[] = {
        {0, true, {"A.jpg", "b.bmp", "c.PNG", "d.jpeg", "F.png"}},
        {1, true, {"F.png", "A.jpg", "d.jpeg", "c.PNG", "b.bmp"}},
        {2, true, {"c.PNG", "d.jpeg", "b.bmp", "F.png", "A.jpg"}},
        {3, true, {"b.bmp", "d.jpeg", "A.jpg", "c.PNG", "F.png"}},
        {4, false, {"b.bmp", "A.jpg", "c.PNG", "d.jpeg", "F.png"}},
        {7, false, {"b.bmp", "A.jpg", "c.PNG", "d.jpeg", "F.png"}},
        {-1, false, {"b.bmp", "A.jpg", "c.PNG", "d.jpeg", "F.png"}},
    };
    for (const Row& r : rows) {
        FileList list = sample();
        EXPECT_EQ(sortByNameView(list, r.nameView), r.sorts);
        EXPECT_EQ(names(list), r.expected) << r.nameView;
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
        {"/p/a.jpg", "/p/A.JPG", 0},    {"/p/a.jpg", "/p/b.jpg", -1}, {"/p/B.jpg", "/p/a.jpg", 1},
        {"/p/É.jpg", "/p/é.jpg", 0},    {"/p/z/a.jpg", "/p/za.jpg", -1},  // folder "z" before "za"
        {"/p/a/z.jpg", "/p/a.jpg", -1}, {"/p/写真.jpg", "/p/写真.JPG", 0}, {"/p/a.jpg", "/q/a.jpg", -1},
    };
    for (const Row& r : rows) {
        FileList list;
        list.append(r.a, TSeekFile{});
        list.append(r.b, TSeekFile{});
        EXPECT_EQ(CompareByName(list, 0, 1), r.name) << r.a << " " << r.b;
        EXPECT_EQ(CompareByNameDesc(list, 0, 1), -r.name) << r.a << " " << r.b;
        EXPECT_EQ(CompareByName(list, 1, 0), -r.name) << r.a << " " << r.b;
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
        FileList list;
        list.append("/a", TSeekFile{r.sizeA, r.timeA, -1, r.extA});
        list.append("/b", TSeekFile{r.sizeB, r.timeB, -1, r.extB});
        EXPECT_EQ(CompareBySize(list, 0, 1), r.sizeA > r.sizeB ? 1 : r.sizeA < r.sizeB ? -1 : 0);
        EXPECT_EQ(CompareByDate(list, 0, 1), r.expected);
        EXPECT_EQ(CompareByDateDesc(list, 0, 1), -r.expected);
        EXPECT_EQ(CompareByExt(list, 0, 1), r.expected) << r.extA << " " << r.extB;
        EXPECT_EQ(CompareByExtDesc(list, 0, 1), -r.expected);
        EXPECT_EQ(CompareBySizeDesc(list, 0, 1), -CompareBySize(list, 0, 1));
    }
}

TEST(FileSort, NamesIgnoreCaseInTheLocale) {
    const std::vector<std::string> input{"zeta.jpg", "Éclair.jpg", "b.jpg", "emu.jpg", "Eagle.jpg", "étoile.jpg",
                                         "A.jpg"};
    {
        // The C locale knows ASCII letters only; other bytes follow in byte order.
        EXPECT_EQ(sortedNames({"b.jpg", "C.jpg", "a.jpg", "B2.jpg"}),
                  (std::vector<std::string>{"a.jpg", "b.jpg", "B2.jpg", "C.jpg"}));
    }
    {
        ScopedLocale utf8("C.UTF-8");
        ASSERT_TRUE(utf8.ok());
        // Code-point order after folding: accented letters after z, É with é.
        EXPECT_EQ(sortedNames(input), (std::vector<std::string>{"A.jpg", "b.jpg", "Eagle.jpg", "emu.jpg", "zeta.jpg",
                                                                "Éclair.jpg", "étoile.jpg"}));
        EXPECT_EQ(foldCase("ÀÉÎ Ab"), L"àéî ab");
    }
    ScopedLocale en("en_US.UTF-8");
    if (!en.ok()) GTEST_SKIP() << "no en_US.UTF-8 locale and none can be built";
    // The language's order: accented letters with their base letter.
    EXPECT_EQ(sortedNames(input), (std::vector<std::string>{"A.jpg", "b.jpg", "Eagle.jpg", "Éclair.jpg", "emu.jpg",
                                                            "étoile.jpg", "zeta.jpg"}));
    // Folders stay together even where the locale would skip "/" and "-" at the first level.
    FileList list;
    for (const char* p : {"/r/dir/zz.jpg", "/r/dir2/a.jpg", "/r/dir/a.jpg", "/r/dir-x/b.jpg", "/r/dir/Q.jpg"})
        list.append(p, TSeekFile{});
    sortFileList(list, SortKey::Name);
    std::vector<std::string> paths;
    for (const FileEntry& e : list) paths.push_back(e.path);
    ASSERT_EQ(paths.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(paths.begin(), paths.begin() + 3),
              (std::vector<std::string>{"/r/dir/a.jpg", "/r/dir/Q.jpg", "/r/dir/zz.jpg"}));
}

TEST(FileSort, UndecodableNamesStillSort) {
    const std::vector<std::string> input{"z.jpg", "\xff.jpg", "a.jpg", "\xc3.jpg", "\xc3\xa9.jpg", "\xe5\x86.jpg"};
    for (const char* loc : {"C", "C.UTF-8"}) {
        ScopedLocale l(loc);
        ASSERT_TRUE(l.ok());
        std::vector<std::string> got = sortedNames(input);
        ASSERT_EQ(got.size(), input.size());
        EXPECT_EQ(got[0], "a.jpg") << loc;
        EXPECT_EQ(got[1], "z.jpg") << loc;
        // Sorting again changes nothing: the order is consistent.
        EXPECT_EQ(sortedNames(got), got) << loc;
    }
}
