// Every section written the way the program writes it, compared byte for byte with files kept
// beside the tests: from a fixed state, from defaults, and hand-edited files read and written back.
#include <gtest/gtest.h>

#include "base/IniFile.h"
#include "settings/DialogSettings.h"
#include "settings/MainSettings.h"
#include "settings/OptionSettings.h"
#include "settings/ShowSettings.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

struct AllSettings {
    OptionValues options;
    MainSettings main;
    ShowSettings show;
    CopyMoveSettings copyMove;
    OpCopySettings opCopy;
    NumberSettings number;
};

// Options OK, then the main window's close, the slideshow's close and the three dialogs'.
void writeAll(IniFile& ini, const AllSettings& a) {
    writeOptionValues(ini, a.options);
    writeMainSettings(ini, a.main);
    writeShowPlacement(ini, a.show);
    writeCopyMoveSettings(ini, a.copyMove);
    writeOpCopySettings(ini, a.opCopy);
    writeNumberSettings(ini, a.number);
}

AllSettings readAll(const IniFile& ini) {
    return {readOptionValues(ini), readMainSettings(ini),       readShowSettings(ini),
            readCopyMoveSettings(ini), readOpCopySettings(ini), readNumberSettings(ini)};
}

AllSettings fixedState() {
    AllSettings a;
    OptionValues& o = a.options;
    o.windOption = false, o.noHideFile = true, o.changeImFlg = false, o.pictFitFlg = true;
    o.exifRotate = false, o.colorManage = false, o.turnKeepsTime = true, o.speedFlg = true, o.subDirOnce = true, o.fileOpen = true;
    o.sharedCache = false, o.timeInt = "250", o.showColor = 0x102030, o.repeatFlg = true, o.fullScreen = true;
    o.fullScreenCaption = true, o.selectStart = true, o.pauseStart = true, o.sSpeedFlg = true;
    MainSettings& m = a.main;
    m.thumbSize = 120, m.speedFlg = true, m.sharedCache = false, m.path = "/home/u/Bilder/\xe6\x97\xa5 \xff";
    m.noHideFile = true, m.changeImFlg = false, m.pictFitFlg = true, m.exifRotate = false, m.colorManage = false;
    m.subDirFind = true, m.left = -8, m.top = 30, m.width = 900, m.height = 700, m.sgHeight = 150;
    m.showDirBtn = true, m.coolId = {4, 3, 2, 1, 0}, m.coolWidth = {100, std::nullopt, 300, 50, 60};
    m.coolBreak = {false, false, true, true, false}, m.showCaption = true, m.stretchBtn = true, m.nameView = 2;
    m.dirViewBtn = true;
    m.history[0] = "/h/0", m.history[1] = "/h/\x81\x40", m.history[19] = "/h/19";
    m.favorites[0] = "/f/0", m.favorites[5] = "/f/5";
    m.quickFolder[0] = "/q/1", m.quickCaption[0] = "One", m.quickFolder[19] = "/q/20";
    a.show.state = "wsNormal", a.show.left = 10, a.show.top = -20, a.show.width = 800, a.show.height = 600;
    a.copyMove.dir = "/to/\xfe", a.copyMove.placement = {DialogPlacement::Normal, 700, 500, 250};
    OpCopySettings& c = a.opCopy;
    c.selectFolder = "/out", c.widthEdit = "640", c.heightEdit = "x", c.saveFormat = 2, c.pngLevel = 1, c.size = 2;
    c.sizeCombo = 3, c.jpegQuality = -1, c.turn = 3, c.progre = true, c.grayscale = true, c.sizeCheck = false;
    c.gasitu = false, c.date = true, c.placement = {DialogPlacement::Minimized, 1, 1, 90};
    a.number.text = "img\\", a.number.beams = "04", a.number.radioIndex = 1;
    a.number.placement = {DialogPlacement::Maximized, 800, 600, 300};
    return a;
}

// Values the slideshow only reads, appended so that the comparison covers them too.
void appendShowReading(IniFile& ini, const ShowSettings& s) {
    const std::string text = "fullScreen=" + std::to_string(s.fullScreen) + " timeInt=" + std::to_string(s.timeInt) +
                             " showColor=" + std::to_string(s.showColor) + " windOption=" +
                             std::to_string(s.windOption) + " repeat=" + std::to_string(s.repeatFlg) +
                             " caption=" + std::to_string(s.fullScreenCaption) + " select=" +
                             std::to_string(s.selectStart) + " pause=" + std::to_string(s.pauseStart) +
                             " speed=" + std::to_string(s.sSpeedFlg);
    ini.writeString("ShowReading", "Values", text);
}

}  // namespace

TEST(SettingsFiles, WrittenByteForByte) {
    struct Case {
        const char* input;     // "" for a new file
        const char* expected;  // under the test data
        bool fixed;            // write fixedState(); else what the input reads as
    };
    const Case cases[] = {
        {"", "fixed.ini", true},
        {"", "defaults.ini", false},
        {"hand-edited.ini", "hand-edited.out", false},
        {"window-off.ini", "window-off.out", false},
    };
    const std::string data = std::string(KORVEL_TEST_DATA) + "/settings/";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        IniFile ini = *c.input ? IniFile::load(data + c.input) : IniFile();
        const AllSettings read = readAll(ini);
        writeAll(ini, c.fixed ? fixedState() : read);
        if (!c.fixed) appendShowReading(ini, read.show);
        const std::string actual = ini.toText();
        const std::string expected = readFile(data + c.expected);
        // What was written stays for a diff.
        const std::string kept = (std::filesystem::temp_directory_path() / c.expected).string();
        if (actual != expected) writeFile(kept, actual);
        EXPECT_EQ(actual, expected) << "written to " << kept;
    }
}
