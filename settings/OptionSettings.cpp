#include "settings/OptionSettings.h"

#include "base/IniFile.h"

namespace korvel {

namespace {
const char kWindow[] = "Window", kSWindow[] = "SWindow";
}  // namespace

uint32_t rgbFromStoredColor(int stored) {
    const auto v = uint32_t(stored);
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

int storedColorFromRgb(uint32_t rgb) { return int(rgbFromStoredColor(int(rgb & 0xFFFFFF))); }

OptionValues readOptionValues(const IniFile& ini) {
    OptionValues v;
    v.windOption = ini.readBool(kWindow, "WindOption", true);
    v.opFolderFlg = ini.readBool(kWindow, "opFolderFlg", false);
    v.path = ini.readString(kWindow, "Path", "");
    v.noHideFile = ini.readBool(kWindow, "NoHideFile", false);
    v.changeImFlg = ini.readBool(kWindow, "ChangeImFlg", true);
    v.pictFitFlg = ini.readBool(kWindow, "PictFitFlg", false);
    v.exifRotate = ini.readBool(kWindow, "ExifRotate", true);
    v.colorManage = ini.readBool(kWindow, "ColorManage", true);
    v.speedFlg = ini.readBool("Thumbnil", "SpeedFlg", false);
    v.sharedCache = ini.readBool("Thumbnil", "SharedCache", true);
    v.subDirOnce = ini.readBool("SubDir", "SubDirOnce", false);
    v.fileOpen = ini.readBool("OpenFlg", "FileOpen", false);
    v.historyFlag = ini.readBool("History", "Flag", false);
    v.timeInt = std::to_string(ini.readInteger(kSWindow, "TimeInt", 3000));
    v.showColor = rgbFromStoredColor(ini.readInteger(kSWindow, "ShowColor", 0));
    v.repeatFlg = ini.readBool(kSWindow, "RepeatFlg", false);
    v.fullScreen = ini.readBool(kSWindow, "FullScreen", false);
    v.fullScreenCaption = ini.readBool(kSWindow, "FullScreenCaption", false);
    v.selectStart = ini.readBool(kSWindow, "SelectStart", false);
    v.pauseStart = ini.readBool(kSWindow, "PauseStart", false);
    v.sSpeedFlg = ini.readBool(kSWindow, "sSpeedFlg", false);
    return v;
}

void writeOptionValues(IniFile& ini, const OptionValues& v) {
    ini.writeBool(kWindow, "WindOption", v.windOption);
    ini.writeBool(kWindow, "opFolderFlg", v.opFolderFlg);
    ini.writeBool(kWindow, "NoHideFile", v.noHideFile);
    ini.writeBool(kWindow, "ChangeImFlg", v.changeImFlg);
    ini.writeBool(kWindow, "ExifRotate", v.exifRotate);
    ini.writeBool(kWindow, "ColorManage", v.colorManage);
    ini.writeBool("SubDir", "SubDirOnce", v.subDirOnce);
    ini.writeBool("Thumbnil", "SpeedFlg", v.speedFlg);
    ini.writeBool("Thumbnil", "SharedCache", v.sharedCache);
    ini.writeBool(kSWindow, "RepeatFlg", v.repeatFlg);
    ini.writeBool(kSWindow, "FullScreen", v.fullScreen);
    ini.writeBool(kSWindow, "FullScreenCaption", v.fullScreenCaption);
    ini.writeBool(kSWindow, "SelectStart", v.selectStart);
    ini.writeBool(kSWindow, "PauseStart", v.pauseStart);
    ini.writeBool(kSWindow, "sSpeedFlg", v.sSpeedFlg);
    ini.writeBool(kWindow, "PictFitFlg", v.pictFitFlg);
    ini.writeBool("OpenFlg", "FileOpen", v.fileOpen);
    ini.writeInteger(kSWindow, "ShowColor", storedColorFromRgb(v.showColor));
    if (v.opFolderFlg) ini.writeString(kWindow, "Path", v.path);
    ini.writeBool("History", "Flag", v.historyFlag);
    if (!v.timeInt.empty()) ini.writeString(kSWindow, "TimeInt", v.timeInt);
}

}  // namespace korvel
