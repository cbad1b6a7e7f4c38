#include "settings/OptionSettings.h"

#include "base/IniFile.h"
#include "settings/SettingsTable.h"

namespace korvel {

namespace {
const char kWindow[] = "Window", kSWindow[] = "SWindow";

// In the order OK writes them.
void declareOptions(SettingsTable<OptionValues>& t, OptionValues& v) {
    t.add(kWindow, "WindOption", v.windOption);
    t.add(kWindow, "opFolderFlg", v.opFolderFlg);
    t.add(kWindow, "NoHideFile", v.noHideFile);
    t.add(kWindow, "ChangeImFlg", v.changeImFlg);
    t.add(kWindow, "ExifRotate", v.exifRotate);
    t.add(kWindow, "ColorManage", v.colorManage);
    t.add(kWindow, "TurnKeepsTime", v.turnKeepsTime);
    t.add("SubDir", "SubDirOnce", v.subDirOnce);
    t.add("Thumbnil", "SpeedFlg", v.speedFlg);
    t.add("Thumbnil", "SharedCache", v.sharedCache);
    t.add(kSWindow, "RepeatFlg", v.repeatFlg);
    t.add(kSWindow, "FullScreen", v.fullScreen);
    t.add(kSWindow, "FullScreenCaption", v.fullScreenCaption);
    t.add(kSWindow, "SelectStart", v.selectStart);
    t.add(kSWindow, "PauseStart", v.pauseStart);
    t.add(kSWindow, "sSpeedFlg", v.sSpeedFlg);
    t.add(kWindow, "PictFitFlg", v.pictFitFlg);
    t.add("OpenFlg", "FileOpen", v.fileOpen);
    t.add(kSWindow, "ShowColor", v.showColor).spelled(Spelling::BgrColor);
    // Without a fixed start folder the main window writes the folder it closes on.
    t.add(kWindow, "Path", v.path).onlyWrittenIf([](const OptionValues& o) { return o.opFolderFlg; });
    t.add("History", "Flag", v.historyFlag);
    t.add(kSWindow, "TimeInt", v.timeInt).spelled(Spelling::NumberText).onlyWrittenIf([](const OptionValues& o) {
        return !o.timeInt.empty();
    });
}
}  // namespace

uint32_t rgbFromStoredColor(int stored) {
    const auto v = uint32_t(stored);
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

int storedColorFromRgb(uint32_t rgb) { return int(rgbFromStoredColor(int(rgb & 0xFFFFFF))); }

OptionValues readOptionValues(const IniFile& ini) {
    return readSettingsTable<OptionValues>(ini, declareOptions);
}

void writeOptionValues(IniFile& ini, const OptionValues& v) {
    writeSettingsTable<OptionValues>(ini, v, declareOptions);
}

}  // namespace korvel
