#pragma once
// The slideshow's settings in "Korvel.ini" (section "SWindow", and [Window] WindOption): read
// when a show opens, the window's placement written when it closes.
#include <string>

namespace korvel {

class IniFile;

struct ShowSettings {
    bool fullScreen = false;
    int timeInt = 3000;          // milliseconds; 0 runs the timer at 1
    unsigned showColor = 0;      // a Windows colour value, 0x00BBGGRR
    bool windOption = true;      // [Window] WindOption: restore the placement at all
    std::string state = "wsMaximized";
    int left = 0, top = 0, width = 480, height = 320;
    bool repeatFlg = false;
    bool fullScreenCaption = false;  // on: no caption drawn over the image in full screen
    bool selectStart = false;
    bool pauseStart = false;
    bool sSpeedFlg = false;  // the plain stretch instead of the quality resampler

    // The timer's interval: "TimeInt", with 0 taken as 1.
    int interval() const { return timeInt == 0 ? 1 : timeInt; }
    // The window opens maximised: a stored maximised state, or full screen.
    bool maximized() const { return state == "wsMaximized" || fullScreen; }
};

// Reads every key. A file that could not be read loads empty (IniFile), so every
// setting keeps its default, and it refuses to be saved, so the placement never replaces it.
ShowSettings readShowSettings(const IniFile& ini);

// Stores the placement the window closed with: state, left, top, width and height.
void writeShowPlacement(IniFile& ini, const ShowSettings& s);

}  // namespace korvel
