#include "settings/ShowSettings.h"

#include "base/IniFile.h"

namespace korvel {

namespace {
const char kShow[] = "SWindow";
}

ShowSettings readShowSettings(const IniFile& ini) {
    ShowSettings s;
    s.fullScreen = ini.readBool(kShow, "FullScreen", false);
    s.timeInt = ini.readInteger(kShow, "TimeInt", 3000);
    // A negative interval has no meaning for a timer; it counts as a bad value.
    if (s.timeInt < 0) s.timeInt = 3000;
    s.showColor = unsigned(ini.readInteger(kShow, "ShowColor", 0));
    s.windOption = ini.readBool("Window", "WindOption", true);
    s.state = ini.readString(kShow, "State", "wsMaximized");
    s.left = ini.readInteger(kShow, "Left", 0);
    s.top = ini.readInteger(kShow, "Top", 0);
    s.width = ini.readInteger(kShow, "Width", 480);
    s.height = ini.readInteger(kShow, "Height", 320);
    s.repeatFlg = ini.readBool(kShow, "RepeatFlg", false);
    s.fullScreenCaption = ini.readBool(kShow, "FullScreenCaption", false);
    s.selectStart = ini.readBool(kShow, "SelectStart", false);
    s.pauseStart = ini.readBool(kShow, "PauseStart", false);
    s.sSpeedFlg = ini.readBool(kShow, "sSpeedFlg", false);
    return s;
}

void writeShowPlacement(IniFile& ini, bool maximized, int left, int top, int width, int height) {
    ini.writeString(kShow, "State", maximized ? "wsMaximized" : "wsNormal");
    ini.writeInteger(kShow, "Left", left);
    ini.writeInteger(kShow, "Top", top);
    ini.writeInteger(kShow, "Width", width);
    ini.writeInteger(kShow, "Height", height);
}

}  // namespace korvel
