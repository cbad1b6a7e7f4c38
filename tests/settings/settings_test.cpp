// The settings file (lenient reading, rewrites that keep what they do not own, atomic saves, an
// unreadable file never replaced), the values kept in it, window fitting, the command line, history.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <functional>
#include <optional>
#include <tuple>

#include "settings/RegistrySettings.h"
#include "base/Errors.h"
#include "base/IniFile.h"
#include "base/SafeWrite.h"
#include "fileops/WallpaperBitmap.h"
#include "formats/SpiExclusion.h"
#include "settings/CommandLine.h"
#include "settings/MainSettings.h"
#include "settings/OptionSettings.h"
#include "settings/WindowGeometry.h"
#include "tests/support/SettingsSeam.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using namespace korvel::testing;
namespace fs = std::filesystem;

TEST(IniFile, ReadsWindowsSyntaxLeniently) {
    IniFile ini = IniFile::fromText(
        "\xEF\xBB\xBF; comment\r\n[Window]\r\n  Width = 800 \r\nwidth=999\r\n"  // the first duplicate wins
        "Path=\"/home/u/写真\"\r\nFlag=7\r\nNeg=-3\r\nHex=$FF\r\nHuge=99999999999\r\nText=abc\r\nEmpty=\r\n"
        "[thumbnil]\nSize=60\n");
    const std::tuple<const char*, const char*, int, int> ints[] = {
        {"window", "WIDTH", 0, 800}, {"Window", "Neg", 0, -3},   {"Window", "Hex", 0, 255},
        {"Window", "Huge", 5, 5},    {"Window", "Text", 5, 5},   {"Window", "Empty", 5, 5},
        {"Window", "Missing", 9, 9}, {"Nowhere", "Width", 1, 1}, {"Thumbnil", "Size", 100, 60}};
    for (const auto& [section, key, def, expected] : ints)
        EXPECT_EQ(ini.readInteger(section, key, def), expected) << key;
    EXPECT_EQ(std::tuple(ini.readBool("Window", "Flag", false), ini.readBool("Window", "Neg", false),
                         ini.readBool("Window", "Text", true), ini.readBool("Window", "Text", false)),
              std::tuple(true, true, true, false));
    EXPECT_EQ(std::tuple(ini.readString("WINDOW", "path", ""), ini.readString("Window", "Missing", "def"),
                         ini.readString("Window", "Empty", "def")),
              std::tuple("/home/u/写真", "def", ""));
}

TEST(IniFile, RewriteKeepsWhatItDoesNotOwn) {
    IniFile ini = IniFile::fromText("; Korvel settings\n[Window]\nWidth=800\nUnknown=keep me\n\n"
                                    "[NumberReName]\nString=img\\###\n; trailing comment\n");
    ini.writeInteger("window", "width", 1024);
    ini.writeBool("Window", "NewFlag", true);
    ini.writeString("History", "Path0", "/a/b/");
    // The stored spelling of a key stays; a new key goes to the end of its section.
    EXPECT_EQ(ini.toText(), "; Korvel settings\n[Window]\nWidth=1024\nUnknown=keep me\nNewFlag=1\n\n"
                            "[NumberReName]\nString=img\\###\n; trailing comment\n[History]\nPath0=/a/b/\n");
    // A value with a line break cannot inject a key.
    ini.writeString("History", "Path1", "x\n[Window]\nWidth=1");
    EXPECT_EQ(IniFile::fromText(ini.toText()).readInteger("Window", "Width", 0), 1024);
    // Behind a second byte-order mark the first line is still a header, so a rewrite reads back.
    IniFile marked = IniFile::fromText("\xEF\xBB\xBF\xEF\xBB\xBF[Window]\nWidth=1\n[Window]\nWidth=2\n");
    marked.writeInteger("Window", "Width", 3);
    EXPECT_EQ(IniFile::fromText(marked.toText()).readInteger("Window", "Width", 0), 3);
}

TEST(IniFile, SaveIsAtomicAndRoundTrips) {
    TempTree t;
    const std::string path = t / "sub/Korvel.ini";
    IniFile ini;
    ini.writeInteger("Thumbnil", "Size", 150);
    ini.writeString("Window", "Path", "/tmp/ä b/");
    ini.save(path);  // creates the folder
    const IniFile back = IniFile::load(path);
    EXPECT_EQ(std::pair(back.readInteger("Thumbnil", "Size", 0), back.readString("Window", "Path", "")),
              std::pair(150, std::string("/tmp/ä b/")));
    const std::string before = "Korvel.ini=" + ini.toText();
    EXPECT_EQ(listing(t / "sub"), before);
    // A write, flush or rename that fails (a full disk, an I/O error): the save throws, the old
    // file stays whole and no temporary file is left.
    const SafeWriteSteps failing[] = {
        {[](int, const void*, size_t) { return errno = ENOSPC, ssize_t(-1); }, {}, {}},
        {{}, [](int) { return errno = EIO, -1; }, {}},
        {{}, {}, [](const char*, const char*) { return errno = EXDEV, -1; }},
    };
    ini.writeInteger("Thumbnil", "Size", 60);
    for (const SafeWriteSteps& steps : failing) {
        setSafeWriteSteps(steps);
        EXPECT_THROW(ini.save(path), EFileError);
        setSafeWriteSteps({});
        EXPECT_EQ(listing(t / "sub"), before);
    }
    // The folder is flushed after the rename, so the new name lasts; a failed flush is reported.
    std::string calls;
    setSafeWriteSteps({{}, [&](int fd) { return calls += "sync ", ::fsync(fd); },
                       [&](const char* from, const char* to) { return calls += "rename ", ::rename(from, to); },
                       [&](const char* folder) { return calls += std::string("folder ") + folder, errno = EIO, -1; }});
    ini.writeInteger("Thumbnil", "Size", 70);
    EXPECT_THROW(ini.save(path), EFileError);
    setSafeWriteSteps({});
    EXPECT_EQ(calls, "sync rename folder " + t / "sub/");
    EXPECT_EQ(IniFile::load(path).readInteger("Thumbnil", "Size", 0), 70);
    // A path that is a folder cannot be replaced.
    EXPECT_THROW(ini.save(t / "sub"), EFileError);
    EXPECT_EQ(IniFile::load(t / "missing.ini").toText(), "");
}

// A settings file that exists but cannot be read loads as defaults and is never replaced by
// any of the settings writers; only a missing one is created.
TEST(IniFile, FileThatCannotBeReadIsNeverReplaced) {
    TempTree t;
    const std::string file = t / "Korvel.ini", stored = "[Window]\nNameView=2\n[History]\nPath0=/keep/\n";
    const auto saved = [](const std::function<void()>& save) {
        try {
            save();
            return true;
        } catch (const EFileError&) {
            return false;
        }
    };
    const std::pair<const char*, std::function<bool()>> writers[] = {
        {"ini", [&] {
             IniFile ini = IniFile::load(file);
             ini.writeInteger("Window", "NameView", 0);
             return saved([&] { ini.save(file); });
         }},
        {"spd", [&] { return saved([&] { writeExclusionFile(file, {}); }); }},
        {"registry", [&] { return recordWallpaperValues(file, "/w.bmp", false, 0, 0); }},
    };
    // What is on disk beforehand ("" none, "fifo" a pipe) and whether reading it fails with an I/O error.
    const std::tuple<const char*, std::string, bool> causes[] = {
        {"missing", "", false},
        {"io error", stored, true},
        {"too large", stored + std::string(kMaxSettingsFileBytes, ';'), false},
        {"fifo", "fifo", false},
    };
    for (const auto& [cause, content, ioError] : causes)
        for (const auto& [name, write] : writers) {
            SCOPED_TRACE(std::string(name) + ", " + cause);
            fs::remove(file);
            if (content == "fifo") {
                ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
            }
            else if (!content.empty()) writeFile(file, content);
            const bool failRead = ioError;
            UnreadableSettings seam([&](const std::string& p) { return failRead && p == file; });
            const IniFile loaded = IniFile::load(file);
            EXPECT_EQ(std::pair(loaded.readInteger("Window", "NameView", 0), loaded.readFailed()),
                      std::pair(0, !content.empty()));
            EXPECT_EQ(write(), content.empty());
            if (!content.empty()) {
                EXPECT_EQ(fs::is_fifo(file) ? "fifo" : readFile(file), content);
            }
            EXPECT_EQ(t.count(), 1);  // no temporary left
        }
}

// A linked settings file stays a link with its target replaced in the target's folder; a new
// file follows the umask and a replaced one keeps its permissions.
TEST(IniFile, SaveKeepsLinksAndPermissions) {
    TempTree t;
    t.folder("real");
    t.folder("config");
    const std::string link = t / "config/Korvel.ini", target = t / "real/settings.ini";
    // Whether the target exists (with its mode), the umask, the mode after saving.
    const std::tuple<bool, int, mode_t, int> rows[] = {{true, 0640, 022, 0640}, {true, 0644, 077, 0644},
                                                       {false, 0, 002, 0664}};
    for (const auto& [exists, mode, umask, expectedMode] : rows) {
        SCOPED_TRACE(std::to_string(expectedMode));
        fs::remove(link);
        fs::remove(target);
        fs::create_symlink("../real/settings.ini", link);
        if (exists) {
            writeFile(target, "[Window]\nWidth=1\n");
            fs::permissions(target, fs::perms(mode));
        }
        const mode_t old = ::umask(umask);
        IniFile ini = IniFile::load(link);
        ini.writeInteger("Window", "Height", 2);
        ini.save(link);
        ::umask(old);
        const IniFile back = IniFile::load(target);
        EXPECT_EQ(std::tuple(fs::is_symlink(link), back.readInteger("Window", "Height", 0),
                             back.readInteger("Window", "Width", 0), int(fs::status(target).permissions()),
                             t.count("real"), t.count("config")),
                  std::tuple(true, 2, exists ? 1 : 0, expectedMode, 1L, 1L));
    }
}

// Unusable sizes read as the default; the text band under the picture grows to 20 at 100.
TEST(MainSettings, UnusableThumbnailSizesReadAsDefault) {
    const std::tuple<std::string, int, int> rows[] = {{"99", 99, 19},  {"16", 16, 3},    {"1024", 1024, 20},
                                                      {"0", 100, 20},  {"15", 100, 20}, {"100000", 100, 20},
                                                      {"junk", 100, 20}};
    for (const auto& [text, size, info] : rows) {
        const int read = readMainSettings(IniFile::fromText("[Thumbnil]\nSize=" + text + "\n")).thumbSize;
        EXPECT_EQ(std::pair(read, InfoHeightFor(read)), std::pair(size, info)) << text;
    }
}

TEST(MainSettings, BandOrderAndPlaces) {
    EXPECT_EQ(bandOrder({4, 3, 2, 1, 0}), (std::array<int, kBandCount>{4, 3, 2, 1, 0}));
    // Repeats and strays give way to design order.
    EXPECT_EQ(bandOrder({2, 2, 9, -1, 0}), (std::array<int, kBandCount>{2, 0, 1, 3, 4}));
    // Two rows: the tool bar alone on top, the others below it from left to right.
    MainSettings s;
    storeBands(s, {BandPlace{300, 30, 200}, {0, 0, 700}, {0, 30, 290}, {600, 30, 100}, {500, 30, 90}});
    EXPECT_EQ(s.coolId, (std::array<int, kBandCount>{1, 2, 0, 4, 3}));
    EXPECT_EQ(s.coolBreak, (std::array<bool, kBandCount>{false, true, false, false, false}));
    EXPECT_EQ(std::pair(s.coolWidth[0], s.coolWidth[4]), std::pair(std::optional(700), std::optional(100)));
}

// Restored bands: each keeps room for its contents, in a new row when its own is full.
TEST(MainSettings, BandRowsLeaveEveryBandItsContents) {
    using A = std::array<int, kBandCount>;
    using B = std::array<bool, kBandCount>;
    const std::tuple<const char*, B, A, A, B, A> rows[] = {
        // what, stored breaks, stored widths, contents (bar 750 wide), breaks, widths
        {"tool bar beside the menus", {0, 0, 1, 0, 0}, {250, 250, 211, 312, 215}, {300, 600, 220, 310, 230},
         {0, 1, 1, 0, 1}, {300, 600, 220, 312, 230}},
        {"widths that leave no room", {0, 0, 0, 0, 0}, {99999, 99999, 5, -3, 0}, {100, 100, 100, 100, 100},
         {0, 0, 0, 0, 0}, {350, 100, 100, 100, 100}},
        {"wider than the bar", {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {900, 100, 100, 100, 100},
         {0, 1, 0, 0, 0}, {900, 100, 100, 100, 100}},
    };
    for (const auto& [what, breaks, widths, contents, fittedBreaks, fittedWidths] : rows) {
        const BandRows fitted = fitBandRows(breaks, widths, contents, 750);
        EXPECT_EQ(std::pair(fitted.breaks, fitted.widths), std::pair(fittedBreaks, fittedWidths)) << what;
    }
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
    // Slots as stored; the lists drop empty slots and repeats themselves.
    EXPECT_EQ((std::vector<std::string>{read.history[0], read.history[1], read.history[2], read.history[3]}),
              (std::vector<std::string>{"/a/", "/b/", "/a/", ""}));
    EXPECT_EQ(std::pair(read.favorites[0], read.favorites[1]), std::pair(std::string(), std::string("/f/")));

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
    EXPECT_EQ((std::vector<std::string>{back.history[0], back.history[1], back.history[2], back.favorites[0]}),
              (std::vector<std::string>{"/c/", "/a/", "", ""}));

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

// The colour's byte order is checked with the written settings files.
TEST(OptionSettings, PathOnlyForAFixedFolderAndNoEmptyInterval) {
    IniFile ini = IniFile::fromText("[Window]\nPath=/kept/\n");
    OptionValues v = readOptionValues(ini);
    v.path = "/typed/";
    v.timeInt = "";
    writeOptionValues(ini, v);
    // The path is rewritten at close instead; an empty interval is not stored.
    EXPECT_EQ(std::pair(ini.readString("Window", "Path", ""), ini.hasKey("SWindow", "TimeInt")),
              std::pair(std::string("/kept/"), false));
    v.opFolderFlg = true;
    writeOptionValues(ini, v);
    EXPECT_EQ(ini.readString("Window", "Path", ""), "/typed/");
}

TEST(WindowGeometry, StoredRectanglesAreFittedToTheWorkArea) {
    // A 1280 x 1000 work area below a 24-pixel panel, and a second screen to its right.
    const std::vector<WindowRect> one = {{0, 24, 1280, 1000}};
    const std::vector<WindowRect> two = {{0, 24, 1280, 1000}, {1280, 0, 1920, 1080}};
    const std::tuple<const char*, WindowRect, std::vector<WindowRect>, WindowRect> rows[] = {
        {"too wide", {0, 24, 100000, 460}, one, {0, 24, 1280, 460}},
        {"largest ints", {0, 0, INT_MAX, INT_MAX}, one, {0, 24, 1280, 1000}},
        {"left overflows", {2147483000, 100, 640, 460}, one, {640, 100, 640, 460}},
        {"smallest ints", {INT_MIN, INT_MIN, 640, 460}, one, {0, 24, 640, 460}},
        {"10 x 10 showing", {1270, 1014, 640, 460}, one, {640, 564, 640, 460}},
        {"big window may hang out", {-500, 100, 1000, 700}, one, {-250, 100, 1000, 700}},
        {"above the panel", {100, -50, 640, 460}, one, {100, 24, 640, 460}},
        {"too small gets the default", {100, 100, -3, 5}, one, {100, 100, 640, 460}},
        {"one side too small", {100, 100, 800, 99}, one, {100, 100, 800, 460}},
        {"stays on the second screen", {1500, 100, 800, 600}, two, {1500, 100, 800, 600}},
        {"fitted to the screen it is on", {3000, 900, 800, 600}, two, {2450, 482, 800, 600}},
        {"off every screen goes to the first", {-90000, 100000, 640, 460}, two, {0, 564, 640, 460}},
        {"no screens", {5, 6, 700, 500}, {}, {5, 6, 700, 500}},
    };
    for (const auto& [what, stored, areas, expected] : rows)
        EXPECT_EQ(fitWindowToWorkAreas(stored, areas, {750, 598}, {640, 460}), expected) << what;
}

// A dialog is centred on its screen's work area; a hand-edited size or split never hides a
// control or runs off the screen.
TEST(WindowGeometry, DialogsAreCentredAndSplitsKeepBothPanes) {
    const std::vector<WindowRect> one = {{0, 24, 1280, 1000}}, two = {{1280, 0, 1920, 1080}, {0, 24, 1280, 1000}};
    const std::tuple<const char*, WindowSize, std::vector<WindowRect>, WindowRect> rows[] = {
        {"too high", {620, 99999}, one, {330, 24, 620, 1000}},
        {"garbage height takes the default, centred", {620, -50}, one, {330, 289, 620, 470}},
        {"raised to the minimum", {300, 470}, one, {370, 289, 540, 470}},
        {"on the owner's screen", {620, 470}, two, {1930, 305, 620, 470}},
        {"no screens", {620, 470}, {}, {0, 0, 620, 470}},
    };
    for (const auto& [what, stored, areas, expected] : rows)
        EXPECT_EQ(fitDialogToWorkAreas(stored, areas, {620, 470}, {540, 300}), expected) << what;
    const std::tuple<int, int, int> splits[] = {  // stored, total, fitted
        {-50, 620, 100}, {206, 620, 206}, {5000, 620, 520}, {INT_MIN, 620, 100}, {90, 150, 75}};
    for (const auto& [stored, total, fitted] : splits) EXPECT_EQ(fitSplit(stored, total, 100), fitted) << stored;
}

TEST(CommandLine, Modes) {
    using M = StartMode;
    const std::tuple<std::vector<std::string>, M, size_t> rows[] = {
        {{}, M::Normal, 0}, {{"/S", "x"}, M::Slideshow, 1}, {{"/se", "/s"}, M::SlideshowThenQuit, 0},
        {{"/SE"}, M::SlideshowThenQuit, 0}, {{"/sx"}, M::Normal, 1}};
    for (const auto& [args, mode, paths] : rows) {
        const CommandLine cl = parseCommandLine(args);
        EXPECT_EQ(std::pair(cl.startMode, cl.paths.size()), std::pair(mode, paths))
            << ::testing::PrintToString(args);
    }
}

// A second start's message comes back byte for byte, Latin-1 and Shift_JIS names and empty
// arguments included; every cut-off beginning asks for more; bad bytes never pass as a message.
TEST(CommandLine, HandOverRoundTripAndBadInput) {
    const HandOver rows[] = {
        {"/tmp/caf\xe9", {"caf\xe9.jpg", "\x89\xe6\x91\x9c.jpg", "/s", "", "/abs/x"}},
        {"", {"a"}},
    };
    for (const HandOver& h : rows) {
        const std::string m = encodeHandOver(h).value();
        HandOver back;
        EXPECT_EQ(decodeHandOver(m, back), HandOverRead::Complete) << h.cwd;
        EXPECT_EQ(back, h);
        for (size_t n = 0; n < m.size(); ++n)
            EXPECT_EQ(decodeHandOver(std::string_view(m).substr(0, n), back), HandOverRead::Incomplete) << n;
        EXPECT_EQ(decodeHandOver(m + "x", back), HandOverRead::Bad);
    }
    EXPECT_FALSE(encodeHandOver({"/", {std::string(kMaxHandOver, 'a')}}));
    const auto n32 = [](uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    const std::pair<const char*, std::string> bad[] = {
        {"the old plain request", "activate\n"},
        {"another version", "KVH2"},
        {"no strings, not even the folder", "KVH1" + n32(0)},
        {"more strings than the bound holds", "KVH1" + n32(0xFFFFFFFF)},
        {"a string past the bound", "KVH1" + n32(1) + n32(0xFFFFFFFF)},
        {"a NUL inside", "KVH1" + n32(2) + n32(1) + "/" + n32(3) + std::string("a\0b", 3)},
    };
    for (const auto& [what, bytes] : bad) {
        HandOver out{"kept", {"kept"}};
        EXPECT_EQ(decodeHandOver(bytes, out), HandOverRead::Bad) << what;
        EXPECT_EQ(out, (HandOver{"kept", {"kept"}})) << what;
    }
}

// A display in the environment, or a Qt platform chosen there or by Qt's own options, lets the
// windows start; empty values and an option without its value name nothing.
TEST(CommandLine, DisplayGiven) {
    using Args = std::vector<std::string>;
    const std::tuple<const char*, const char*, const char*, Args, bool> rows[] = {
        {"", "", "", {}, false},   {":0", "", "", {}, true},
        {"", "wayland-0", "", {}, true},   {"", "", "offscreen", {}, true},
        {"", "", "", {"--platform", "offscreen", "a.jpg"}, true},   {"", "", "", {"a.jpg", "-display", ":1"}, true},
        {"", "", "", {"a.jpg", "-platform"}, false},  // no value: Qt ignores it
        {"", "", "", {"-platformtheme", "x"}, false},
    };
    for (const auto& [display, wayland, qpa, args, given] : rows)
        EXPECT_EQ(displayGiven(display, wayland, qpa, args), given)
            << display << "|" << wayland << "|" << qpa << "|" << ::testing::PrintToString(args);
}

TEST(CommandLine, ExpandLongPathSpellsComponentsAsStored) {
    TempTree t;
    t.file("Photos/Trip/IMG.jpg", 1);
    const std::string base = t.dir();
    EXPECT_EQ(ExpandLongPath(base + "/photos/TRIP/img.JPG", "/"), base + "/Photos/Trip/IMG.jpg");
    EXPECT_EQ(ExpandLongPath("Photos/./x/../Trip", base), base + "/Photos/Trip");
    EXPECT_EQ(ExpandLongPath(base + "//Photos/missing", "/"), base + "/Photos/missing");
    const PathTarget file = resolveArgument("photos/trip/img.jpg", base);
    const PathTarget folder = resolveArgument(base + "/Photos", "/");
    EXPECT_EQ(std::tuple(file.exists, file.isFile, file.folder, folder.exists, folder.isFile, folder.folder),
              std::tuple(true, true, base + "/Photos/Trip/", true, false, base + "/Photos/"));
    EXPECT_FALSE(resolveArgument("nothing-here", base).exists);
    // Two entries that differ only in case: none is chosen.
    t.folder("ab");
    t.folder("AB");
    EXPECT_EQ(ExpandLongPath(base + "/Ab", "/"), base + "/Ab");
}

