#pragma once
// The options dialog's keys in "Korvel.ini": the values it opens with and what its OK writes.
#include <cstdint>
#include <string>

namespace korvel {

class IniFile;

struct OptionValues {
    // [Window]
    bool windOption = true;
    bool opFolderFlg = false;  // a fixed start folder
    std::string path;          // the fixed start folder
    bool noHideFile = false, changeImFlg = true, pictFitFlg = false;
    bool exifRotate = true, colorManage = true;
    bool turnKeepsTime = false;  // a turn saved into a file keeps the file's modification time
    // [Thumbnil], [SubDir], [OpenFlg], [History]
    bool speedFlg = false, subDirOnce = false, fileOpen = false, historyFlag = false;
    bool sharedCache = true;  // [Thumbnil] SharedCache
    // [SWindow]
    std::string timeInt = "3000";  // as typed; "" leaves the stored interval alone
    uint32_t showColor = 0;        // 0xRRGGBB
    bool repeatFlg = false, fullScreen = false, fullScreenCaption = false, selectStart = false, pauseStart = false,
         sSpeedFlg = false;
};

// The file keeps colours as 0x00BBGGRR; these turn them into 0xRRGGBB and back.
uint32_t rgbFromStoredColor(int stored);
int storedColorFromRgb(uint32_t rgb);

// Every key the dialog shows, with the main window's defaults.
OptionValues readOptionValues(const IniFile& ini);

// Writes what OK stores: the switches in their fixed order, then Path only for a fixed start
// folder (else close rewrites it), the history flag, and the interval as typed unless empty.
void writeOptionValues(IniFile& ini, const OptionValues& v);

}  // namespace korvel
