#include "settings/ShowSettings.h"

#include "base/IniFile.h"
#include "settings/SettingsTable.h"

namespace korvel {

namespace {
const char kShow[] = "SWindow";

// The placement first, in the order the window writes it at close; the keys it only reads after.
void declareShow(SettingsTable<ShowSettings>& t, ShowSettings& s) {
    t.add(kShow, "State", s.state);
    t.add(kShow, "Left", s.left);
    t.add(kShow, "Top", s.top);
    t.add(kShow, "Width", s.width);
    t.add(kShow, "Height", s.height);
    t.add(kShow, "FullScreen", s.fullScreen).readOnly();
    t.add(kShow, "TimeInt", s.timeInt).readOnly();
    t.add(kShow, "ShowColor", s.showColor).readOnly();
    t.add("Window", "WindOption", s.windOption).readOnly();
    t.add(kShow, "RepeatFlg", s.repeatFlg).readOnly();
    t.add(kShow, "FullScreenCaption", s.fullScreenCaption).readOnly();
    t.add(kShow, "SelectStart", s.selectStart).readOnly();
    t.add(kShow, "PauseStart", s.pauseStart).readOnly();
    t.add(kShow, "sSpeedFlg", s.sSpeedFlg).readOnly();
}
}  // namespace

ShowSettings readShowSettings(const IniFile& ini) {
    ShowSettings s = readSettingsTable<ShowSettings>(ini, declareShow);
    // A negative interval has no meaning for a timer; it counts as a bad value.
    if (s.timeInt < 0) s.timeInt = ShowSettings().timeInt;
    return s;
}

void writeShowPlacement(IniFile& ini, const ShowSettings& s) { writeSettingsTable<ShowSettings>(ini, s, declareShow); }

}  // namespace korvel
