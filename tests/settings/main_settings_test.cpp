#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/IniFile.h"
#include "settings/MainSettings.h"
#include "settings/OptionSettings.h"
#include "tests/support/SettingsSeam.h"
#include "tests/support/TempTree.h"

using namespace korvel;

TEST(MainSettings, InfoHeightRule) {
    struct Row {
        int size, info;
    } rows[] = {{60, 12}, {99, 19}, {100, 20}, {150, 20}, {4, 0}};
    for (const Row& r : rows) EXPECT_EQ(InfoHeightFor(r.size), r.info) << r.size;
}

TEST(MainSettings, UnusableThumbnailSizesReadAsDefault) {
    struct Row {
        const char* text;
        int size;
    } rows[] = {{"60", 60}, {"300", 300}, {"16", 16}, {"1024", 1024}, {"0", 100}, {"-40", 100}, {"15", 100},
                {"100000", 100}, {"junk", 100}};
    for (const Row& r : rows)
        EXPECT_EQ(readMainSettings(IniFile::fromText(std::string("[Thumbnil]\nSize=") + r.text + "\n")).thumbSize, r.size)
            << r.text;
}

TEST(MainSettings, WindOptionOffKeepsDefaultsButStillLoadsLists) {
    IniFile ini = IniFile::fromText(
        "[Window]\nWindOption=0\nWidth=900\nState=wsMaximized\nShowDirBtn=1\nNameView=2\n"
        "[SubDir]\nFind=1\nSubDirOnce=1\n[History]\nPath0=/a/\n[QFolder]\nFolder3=/q/\nCaption3=Q\n");
    MainSettings s = readMainSettings(ini);
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.state, "wsNormal");
    EXPECT_FALSE(s.showDirBtn);
    EXPECT_EQ(s.nameView, 0);
    EXPECT_FALSE(s.subDirFind);
    EXPECT_TRUE(s.subDirOnce);  // read whatever WindOption says
    EXPECT_EQ(s.history[0], "/a/");
    EXPECT_EQ(s.quickFolder[2], "/q/");
    EXPECT_EQ(s.quickCaption[2], "Q");
}

TEST(MainSettings, MaximizedIgnoresGeometryAndNameViewSevenSurvives) {
    IniFile ini = IniFile::fromText("[Window]\nState=wsMaximized\nLeft=10\nWidth=900\nNameView=7\n");
    MainSettings s = readMainSettings(ini);
    EXPECT_FALSE(s.left.has_value());
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.nameView, 7);
    writeMainSettings(ini, s);
    EXPECT_EQ(ini.readInteger("Window", "NameView", 0), 7);
    // Maximised: the stored geometry is not rewritten.
    EXPECT_EQ(ini.readInteger("Window", "Width", 0), 900);
    EXPECT_EQ(ini.readInteger("Window", "Left", 0), 10);
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
    EXPECT_LT(text.find("[Thumbnil]"), text.find("[Window]"));
    EXPECT_LT(text.find("[Window]"), text.find("[SubDir]"));
    EXPECT_LT(text.find("[SubDir]"), text.find("[QFolder]"));
    EXPECT_LT(text.find("[QFolder]"), text.find("[History]"));
    EXPECT_LT(text.find("[History]"), text.find("[Favorites]"));
    EXPECT_LT(text.find("Left=5"), text.find("SGHeight="));
    EXPECT_LT(text.find("CoolBreak4="), text.find("State=wsNormal"));
    EXPECT_EQ(fresh.readString("Window", "Path", ""), "/pics/");
    EXPECT_EQ(fresh.readString("Favorites", "Path1", ""), "/f1/");
    EXPECT_EQ(fresh.readString("History", "Path0", ""), "/h0/");
    EXPECT_TRUE(fresh.hasKey("History", "Path19"));

    IniFile flagged = IniFile::fromText("[Window]\nopFolderFlg=1\nPath=/fixed/\n[History]\nFlag=1\nPath0=/old/\n");
    writeMainSettings(flagged, s);
    EXPECT_EQ(flagged.readString("Window", "Path", ""), "/fixed/");
    for (int i = 0; i < 20; ++i) EXPECT_EQ(flagged.readString("History", "Path" + std::to_string(i), "x"), "");
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
    EXPECT_EQ(s.coolWidth[0], 700);
    EXPECT_EQ(s.coolWidth[4], 100);
}

// The binder reads a file once and writes it back with the window's changes, leaving what other
// windows keep alone; a file it could not read stays as it was.
TEST(MainSettings, BinderRoundTrip) {
    korvel::testing::TempTree tree;
    const std::string path = tree / "Korvel.ini";
    const std::string original =
        "[Options]\nFoo=1\n[Window]\nWidth=900\nNameView=7\n[History]\nPath0=/a/\nPath1=/b/\nPath2=/a/\n"
        "[Favorites]\nPath0=\nPath1=/f/\n";
    korvel::testing::writeFile(path, original);

    MainSettingsBinder binder(path);
    const MainSettings& read = binder.load();
    EXPECT_EQ(read.width, 900);
    EXPECT_EQ(read.nameView, 7);
    EXPECT_TRUE(read.sharedCache);  // on unless the file says 0
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
    EXPECT_EQ(korvel::testing::readFile(path), expected.toText());

    MainSettingsBinder again(path);
    const MainSettings& back = again.load();
    EXPECT_EQ(back.thumbSize, 60);
    EXPECT_FALSE(back.sharedCache);
    EXPECT_EQ(back.left, std::optional<int>(3));
    EXPECT_EQ(back.nameView, 7);
    EXPECT_EQ(historyItems(back), (std::vector<std::string>{"/c/", "/a/"}));
    EXPECT_TRUE(favoriteItems(back).empty());
    EXPECT_EQ(IniFile::load(path).readInteger("Options", "Foo", 0), 1);

    // Unreadable at start, readable again at close: still not written over with defaults.
    MainSettingsBinder blind(path);
    {
        korvel::testing::UnreadableSettings seam([&](const std::string& p) { return p == path; });
        EXPECT_EQ(blind.load().thumbSize, 100);
    }
    EXPECT_TRUE(blind.unreadable());
    EXPECT_FALSE(blind.save(blind.loaded()));
    EXPECT_EQ(korvel::testing::readFile(path), expected.toText());
}

TEST(MainSettings, PanelSizesFallBackToTheWindow) {
    MainSettings s;
    s.thumbSize = 60;
    PanelSizes p = panelSizes(s, 803);
    EXPECT_EQ(p.sgHeight, 60);
    EXPECT_EQ(p.treeWidth, 200);
    EXPECT_EQ(p.bandWidths, (std::array<int, kBandCount>{267, 267, 267, 267, 267}));
    s.sgHeight = 0, s.treeWidth = -5, s.coolWidth[2] = 40;
    p = panelSizes(s, 803);
    EXPECT_EQ(p.sgHeight, 1);  // a panel never vanishes
    EXPECT_EQ(p.treeWidth, 1);
    EXPECT_EQ(p.bandWidths[2], 40);
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
