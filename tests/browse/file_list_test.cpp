// The pieces of the file list that need no folder: the extension set and filter items, DOS
// date-times, the file count text and the list's own bookkeeping.
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "browse/ExtensionSet.h"
#include "browse/FileList.h"
#include "browse/SeekFile.h"
#include "formats/FormatRegistry.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using korvel::testing::ScopedLocale;
using korvel::testing::ScopedTimeZone;

TEST(ExtensionSet, BuiltFromMask) {
    struct Row {
        const char* mask;
        std::vector<std::string> members;
    } rows[] = {
        {"*.jpg", {".jpg"}},
        {"*.JPG;*.Jpeg;*.jpg", {".jpg", ".jpeg"}},
        {"*.gif;*.ico;*.bmp;*.dib", {".gif", ".ico", ".bmp", ".dib"}},
        {"*.*", {".*"}},
        {"*", {""}},
        {"*.jpg;", {".jpg", ""}},
        {"", {""}},
        {"x.tar.gz", {".tar.gz"}},
    };
    for (const Row& r : rows) EXPECT_EQ(ExtensionSet(r.mask).members(), r.members) << r.mask;
}

TEST(ExtensionSet, MatchesNames) {
    struct Row {
        const char* mask;
        const char* name;
        bool match;
    } rows[] = {
        {"*.jpg", "a.jpg", true},         {"*.jpg", "A.JPG", true},       {"*.JPG", "a.jpg", true},
        {"*.jpg", "a.jpeg", false},       {"*.jpg", "a.jpg.bak", false},  {"*.jpg", "jpg", false},
        {"*.jpg", ".jpg", true},          {"*.jpg", "a.JpG", true},       {"*.jpg;*.png", "b.PNG", true},
        {"*.png", "a.jpg", false},        {"*.*", "noext", true},         {"*.*", "a.xyz", true},
        {"*.tar.gz", "a.tar.gz", false},  {"*", "noext", true},           {"*", "a.jpg", false},
        {"*.jpg", "写真.jpg", true},      {"*.jpg", "写真.ＪＰＧ", false},
    };
    for (const Row& r : rows) EXPECT_EQ(ExtensionSet(r.mask).matches(r.name), r.match) << r.mask << " " << r.name;
}

TEST(FilterItems, ParsedFromGraphicFilter) {
    std::vector<FilterItem> items = parseFilterItems("All (*.a;*.b)|*.a;*.b|A (*.a)|*.a|B (*.b)|*.b");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].description, "All (*.a;*.b)");
    EXPECT_EQ(items[0].mask, "*.a;*.b");
    EXPECT_EQ(items[2].mask, "*.b");
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
    for (const char* name : {"a.jpg", "a.JPEG", "a.bmp", "a.gif", "a.ico"}) EXPECT_TRUE(all.matches(name)) << name;
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
        {"EST5", 1614834367, 0x526400C3u},   // 00:06:07 local
        {"EST5", 1614832800, 0x5263BD00u},   // 2021-03-03 23:40:00 local: the date follows the zone
        {"UTC0", 315532800, 0x00210000u},    // 1980-01-01 00:00:00, the first DOS time
        {"UTC0", 315532799, 0x00210000u},    // 1979 clamps to the first
        {"UTC0", 0, 0x00210000u},
        {"UTC0", -86400 * 365, 0x00210000u},
        {"UTC0", 4354819199, 0xFF9FBF7Du},   // 2107-12-31 23:59:59 -> :58
        {"UTC0", 4354819200, 0xFF9FBF7Du},   // 2108 clamps to the last
        {"UTC0", 951782400, 0x285D0000u},    // 2000-02-29
    };
    for (const Row& r : rows) {
        ScopedTimeZone tz(r.tz);
        EXPECT_EQ(packDosDateTime(r.t), r.packed) << r.tz << " " << r.t;
    }
    DosDateTime d = unpackDosDateTime(0x526428C3u);
    EXPECT_EQ(d.year, 2021);
    EXPECT_EQ(d.month, 3);
    EXPECT_EQ(d.day, 4);
    EXPECT_EQ(d.hour, 5);
    EXPECT_EQ(d.minute, 6);
    EXPECT_EQ(d.second, 6);
}

TEST(FileCount, GroupsThousands) {
    struct Row {
        size_t n;
        const char* c;     // C locale: no separator of its own, "," stands in
        const char* de;    // German: "."
    } rows[] = {
        {0, "0Files", "0Files"},
        {7, "7Files", "7Files"},
        {999, "999Files", "999Files"},
        {1000, "1,000Files", "1.000Files"},
        {1234, "1,234Files", "1.234Files"},
        {50000, "50,000Files", "50.000Files"},
        {1234567, "1,234,567Files", "1.234.567Files"},
    };
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
