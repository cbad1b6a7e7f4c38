// Settings: the main window's keys read and written, the option values, stored window
// rectangles fitted to the screens, the command line, and the folder history.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "base/IniFile.h"
#include "nav/QuickFolders.h"
#include "settings/CommandLine.h"
#include "settings/MainSettings.h"
#include "settings/OptionSettings.h"
#include "settings/WindowGeometry.h"
#include "tests/support/SettingsSeam.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using namespace korvel::testing;

// Unusable sizes read as the default; the text band under the picture grows to 20 at 100.
TEST(MainSettings, UnusableThumbnailSizesReadAsDefault) {
    struct Row {
        const char* text;
        int size, info;
    } rows[] = {{"99", 99, 19},  {"16", 16, 3},    {"1024", 1024, 20},  {"0", 100, 20},
                {"15", 100, 20}, {"100000", 100, 20}, {"junk", 100, 20}};
    for (const Row& r : rows) {
        const IniFile ini = IniFile::fromText(std::string("[Thumbnil]\nSize=") + r.text + "\n");
        const int size = readMainSettings(ini).thumbSize;
        EXPECT_EQ(std::pair(size, InfoHeightFor(size)), std::pair(r.size, r.info)) << r.text;
    }
}

TEST(MainSettings, WindOptionOffKeepsDefaultsAndMaximizedIgnoresGeometry) {
    const MainSettings off = readMainSettings(IniFile::fromText(
        "[Window]\nWindOption=0\nWidth=900\nState=wsMaximized\nShowDirBtn=1\nNameView=2\n"
        "[SubDir]\nFind=1\nSubDirOnce=1\n[History]\nPath0=/a/\n[QFolder]\nFolder3=/q/\nCaption3=Q\n"));
    EXPECT_EQ(std::tuple(off.width, off.state, off.showDirBtn, off.nameView, off.subDirFind),
              std::tuple(640, "wsNormal", false, 0, false));
    // Read whatever WindOption says.
    EXPECT_EQ(std::tuple(off.subDirOnce, off.history[0], off.quickFolder[2], off.quickCaption[2]),
              std::tuple(true, "/a/", "/q/", "Q"));

    IniFile ini = IniFile::fromText("[Window]\nState=wsMaximized\nLeft=10\nWidth=900\nNameView=7\n");
    const MainSettings s = readMainSettings(ini);
    EXPECT_EQ(std::tuple(s.left.has_value(), s.width, s.nameView), std::tuple(false, 640, 7));
    writeMainSettings(ini, s);
    // Maximised: the stored geometry is not rewritten.
    EXPECT_EQ(std::tuple(ini.readInteger("Window", "NameView", 0), ini.readInteger("Window", "Width", 0),
                         ini.readInteger("Window", "Left", 0)),
              std::tuple(7, 900, 10));
}

TEST(MainSettings, WriteOrderAndFileOwnedFlags) {
    MainSettings s;
    s.path = "/pics/";
    s.history[0] = "/h0/";
    s.favorites[1] = "/f1/";
    s.left = 5;
    s.top = 6;
    IniFile fresh;
    writeMainSettings(fresh, s);
    const std::string text = fresh.toText();
    // Sections appear in the order of their first write.
    const char* order[] = {"[Thumbnil]", "[Window]", "Left=5", "SGHeight=", "CoolBreak4=", "State=wsNormal",
                           "[SubDir]",   "[QFolder]", "[History]", "[Favorites]"};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        EXPECT_LT(text.find(order[i]), text.find(order[i + 1])) << order[i];
    EXPECT_EQ(std::tuple(fresh.readString("Window", "Path", ""), fresh.readString("Favorites", "Path1", ""),
                         fresh.readString("History", "Path0", "")),
              std::tuple("/pics/", "/f1/", "/h0/"));
    EXPECT_TRUE(fresh.hasKey("History", "Path19"));

    IniFile flagged =
        IniFile::fromText("[Window]\nopFolderFlg=1\nPath=/fixed/\n[History]\nFlag=1\nPath0=/old/\n");
    writeMainSettings(flagged, s);
    EXPECT_EQ(flagged.readString("Window", "Path", ""), "/fixed/");
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(flagged.readString("History", "Path" + std::to_string(i), "x"), "") << i;
}

TEST(MainSettings, BandOrderAndPlaces) {
    struct Row {
        std::array<int, kBandCount> ids, order;
    } rows[] = {
        {{4, 3, 2, 1, 0}, {4, 3, 2, 1, 0}},
        {{2, 2, 9, -1, 0}, {2, 0, 1, 3, 4}},  // repeats and strays give way to design order
    };
    for (const Row& r : rows) EXPECT_EQ(bandOrder(r.ids), r.order);
    // Two rows: the tool bar alone on top, the others below it from left to right.
    MainSettings s;
    storeBands(s, {BandPlace{300, 30, 200}, {0, 0, 700}, {0, 30, 290}, {600, 30, 100}, {500, 30, 90}});
    EXPECT_EQ(s.coolId, (std::array<int, kBandCount>{1, 2, 0, 4, 3}));
    EXPECT_EQ(s.coolBreak, (std::array<bool, kBandCount>{false, true, false, false, false}));
    EXPECT_EQ(std::pair(s.coolWidth[0], s.coolWidth[4]), std::pair(std::optional(700), std::optional(100)));
}

// The binder reads a file once and writes it back with the window's changes, leaving what other
// windows keep alone; a file it could not read stays as it was.
TEST(MainSettings, BinderRoundTrip) {
    TempTree tree;
    const std::string path = tree / "Korvel.ini";
    const std::string original =
        "[Options]\nFoo=1\n[Window]\nWidth=900\nNameView=7\n[History]\nPath0=/a/\nPath1=/b/\nPath2=/a/\n"
        "[Favorites]\nPath0=\nPath1=/f/\n";
    writeFile(path, original);

    MainSettingsBinder binder(path);
    const MainSettings& read = binder.load();
    // The shared cache is on unless the file says 0.
    EXPECT_EQ(std::tuple(read.width, read.nameView, read.sharedCache), std::tuple(900, 7, true));
    EXPECT_EQ(historyItems(read), (std::vector<std::string>{"/a/", "/b/"}));  // each once
    EXPECT_EQ(favoriteItems(read), (std::vector<std::string>{"/f/"}));

    MainSettings changed = binder.loaded();
    changed.thumbSize = 60;
    changed.sharedCache = false;
    changed.left = 3, changed.top = 4;
    storeBoxItems(changed, {"/c/", "/a/"}, {});
    EXPECT_TRUE(binder.save(changed));
    IniFile expected = IniFile::fromText(original);
    writeMainSettings(expected, changed);
    EXPECT_EQ(readFile(path), expected.toText());

    MainSettingsBinder again(path);
    const MainSettings& back = again.load();
    EXPECT_EQ(std::tuple(back.thumbSize, back.sharedCache, back.left, back.nameView),
              std::tuple(60, false, std::optional<int>(3), 7));
    EXPECT_EQ(historyItems(back), (std::vector<std::string>{"/c/", "/a/"}));
    EXPECT_TRUE(favoriteItems(back).empty());
    EXPECT_EQ(IniFile::load(path).readInteger("Options", "Foo", 0), 1);

    // Unreadable at start, readable again at close: still not written over with defaults.
    MainSettingsBinder blind(path);
    {
        UnreadableSettings seam([&](const std::string& p) { return p == path; });
        EXPECT_EQ(blind.load().thumbSize, 100);
    }
    EXPECT_TRUE(blind.unreadable());
    EXPECT_FALSE(blind.save(blind.loaded()));
    EXPECT_EQ(readFile(path), expected.toText());
}

TEST(OptionSettings, ColourIsStoredBlueGreenRedAndPathOnlyForAFixedFolder) {
    IniFile ini = IniFile::fromText("[SWindow]\nShowColor=255\n[Window]\nPath=/kept/\n");
    OptionValues v = readOptionValues(ini);
    EXPECT_EQ(v.showColor, 0xFF0000u);  // 255 is pure red
    v.showColor = 0x102030;
    v.path = "/typed/";
    v.timeInt = "";
    writeOptionValues(ini, v);
    EXPECT_EQ(ini.readInteger("SWindow", "ShowColor", 0), 0x302010);
    EXPECT_EQ(ini.readString("Window", "Path", ""), "/kept/");  // rewritten at close instead
    EXPECT_FALSE(ini.hasKey("SWindow", "TimeInt"));             // an empty interval is not stored
    v.opFolderFlg = true;
    writeOptionValues(ini, v);
    EXPECT_EQ(ini.readString("Window", "Path", ""), "/typed/");
}

TEST(WindowGeometry, StoredRectanglesAreFittedToTheWorkArea) {
    // A 1280 x 1000 work area below a 24-pixel panel, and a second screen to its right.
    const std::vector<WindowRect> one = {{0, 24, 1280, 1000}};
    const std::vector<WindowRect> two = {{0, 24, 1280, 1000}, {1280, 0, 1920, 1080}};
    struct Row {
        const char* what;
        WindowRect stored;
        const std::vector<WindowRect>* areas;
        WindowRect expected;
    } rows[] = {
        {"inside stays", {100, 100, 640, 460}, &one, {100, 100, 640, 460}},
        {"too wide", {0, 24, 100000, 460}, &one, {0, 24, 1280, 460}},
        {"largest ints", {0, 0, INT_MAX, INT_MAX}, &one, {0, 24, 1280, 1000}},
        {"left overflows", {2147483000, 100, 640, 460}, &one, {640, 100, 640, 460}},
        {"smallest ints", {INT_MIN, INT_MIN, 640, 460}, &one, {0, 24, 640, 460}},
        {"10 x 10 showing", {1270, 1014, 640, 460}, &one, {640, 564, 640, 460}},
        {"mostly off the left", {-600, 100, 640, 460}, &one, {0, 100, 640, 460}},
        {"big window may hang out", {-500, 100, 1000, 700}, &one, {-250, 100, 1000, 700}},
        {"above the panel", {100, -50, 640, 460}, &one, {100, 24, 640, 460}},
        {"too small gets the default", {100, 100, -3, 5}, &one, {100, 100, 640, 460}},
        {"stays on the second screen", {1500, 100, 800, 600}, &two, {1500, 100, 800, 600}},
        {"fitted to the screen it is on", {3000, 900, 800, 600}, &two, {2450, 482, 800, 600}},
        {"off every screen goes to the first", {-90000, 100000, 640, 460}, &two, {0, 564, 640, 460}},
        {"no screens", {5, 6, 700, 500}, nullptr, {5, 6, 700, 500}},
    };
    const std::vector<WindowRect> none;
    for (const Row& r : rows)
        EXPECT_EQ(fitWindowToWorkAreas(r.stored, r.areas ? *r.areas : none, {750, 598}, {640, 460}),
                  r.expected)
            << r.what;
}

TEST(CommandLine, Modes) {
    struct Row {
        std::vector<std::string> args;
        int mode;
        size_t paths;
    } rows[] = {{{}, 0, 0}, {{"/S", "x"}, 1, 1}, {{"/se", "/s"}, 2, 0}, {{"/SE"}, 2, 0}, {{"/sx"}, 0, 1}};
    for (const Row& r : rows) {
        const CommandLine cl = parseCommandLine(r.args);
        EXPECT_EQ(std::pair(cl.startMode, cl.paths.size()), std::pair(r.mode, r.paths)) << r.args.size();
    }
}

TEST(CommandLine, ExpandLongPathSpellsComponentsAsStored) {
    TempTree t;
    t.file("Photos/Trip/IMG.jpg", 1);
    const std::string base = t.dir();
    EXPECT_EQ(ExpandLongPath(base + "/photos/TRIP/img.JPG", "/"), base + "/Photos/Trip/IMG.jpg");
    EXPECT_EQ(ExpandLongPath("Photos/./x/../Trip", base), base + "/Photos/Trip");
    EXPECT_EQ(ExpandLongPath(base + "//Photos/missing", "/"), base + "/Photos/missing");
    PathTarget file = resolveArgument("photos/trip/img.jpg", base);
    EXPECT_TRUE(file.exists && file.isFile);
    EXPECT_EQ(file.folder, base + "/Photos/Trip/");
    PathTarget folder = resolveArgument(base + "/Photos", "/");
    EXPECT_TRUE(folder.exists && !folder.isFile);
    EXPECT_EQ(folder.folder, base + "/Photos/");
    EXPECT_FALSE(resolveArgument("nothing-here", base).exists);
    // Two entries that differ only in case: none is chosen.
    t.folder("ab");
    t.folder("AB");
    EXPECT_EQ(ExpandLongPath(base + "/Ab", "/"), base + "/Ab");
}

TEST(QuickFolders, HistoryMovesDuplicatesUpAndKeepsTwenty) {
    std::vector<std::string> h;
    for (int i = 0; i < 20; ++i) AddToHistory(h, "/f" + std::to_string(i) + "/");
    EXPECT_EQ(h.size(), 20u);
    EXPECT_EQ(h.front(), "/f19/");
    AddToHistory(h, "/f5/");
    EXPECT_EQ(h.size(), 20u);
    EXPECT_EQ(h.front(), "/f5/");
    EXPECT_EQ(std::count(h.begin(), h.end(), "/f5/"), 1);
    AddToHistory(h, "/new/");
    EXPECT_EQ(h.size(), 20u);
    EXPECT_EQ(std::find(h.begin(), h.end(), "/f0/"), h.end());  // the oldest went
    AddToHistory(h, "/F5/");  // exact comparison: another folder
    EXPECT_EQ(std::count(h.begin(), h.end(), "/f5/"), 1);
}

TEST(QuickFolders, CaptionRule) {
    struct Row {
        const char* path;
        const char* caption;
    } rows[] = {
        {"/Photos/", "/Photos"},
        {"/123456789", "/123456789"},
        {"/home/u/Barbecue2006/", "/../Barbecue.."},
        {"/Barbecue2006", "/Barbecue.."},
        {"/a/b/写真フォルダ", "/../写真フォ.."},
        {"/a/b/ｼｬｼﾝﾌｫﾙﾀﾞ", "/../ｼｬｼﾝﾌｫﾙﾀ.."},
        {"/a/bb/short", "/../short"},  // 11 cells: the rule applies, nothing is cut
    };
    for (const Row& r : rows) EXPECT_EQ(MakeQuickFolderCaption(r.path), r.caption) << r.path;
}
