// SCRATCH: today's dialog and show writes, copied line for line, to generate the expected files.
#include "base/IniFile.h"
#include "settings/DialogSettings.h"
#include "settings/ShowSettings.h"
#include <algorithm>
namespace korvel {
void writeShowPlacement(IniFile& ini, const ShowSettings& s) {
    writeShowPlacement(ini, s.state == "wsMaximized", s.left, s.top, s.width, s.height);
}
static std::optional<int> opt(const IniFile& ini, const char* sec, const char* key) {
    int a = ini.readInteger(sec, key, 0), b = ini.readInteger(sec, key, 1);
    return a == b ? std::optional<int>(a) : std::nullopt;
}
static void readPlacement(const IniFile& ini, const char* section, DialogPlacement& p) {
    p.width = ini.readInteger(section, "Width", p.width);
    p.height = ini.readInteger(section, "Height", p.height);
    p.panel = opt(ini, section, "Panel");
    p.state = ini.readInteger(section, "wState", 0);
}
static void storeWindowState(IniFile& ini, const char* section, const DialogPlacement& p) {
    const int state = p.state;
    ini.writeInteger(section, "wState", state);
    if (state == 0) {
        ini.writeInteger(section, "Width", p.width);
        ini.writeInteger(section, "Height", p.height);
    }
}
CopyMoveSettings readCopyMoveSettings(const IniFile& ini) {
    const char kSection[] = "CopyMove";
    CopyMoveSettings s;
    s.dir = ini.readString(kSection, "Dir", "");
    readPlacement(ini, kSection, s.placement);
    return s;
}
void writeCopyMoveSettings(IniFile& ini, const CopyMoveSettings& s) {
    const char kSection[] = "CopyMove";
    ini.writeString(kSection, "Dir", s.dir);
    const int state = s.placement.state;
    ini.writeInteger(kSection, "wState", state);
    ini.writeInteger(kSection, "Panel", s.placement.panel.value_or(0));
    if (state == 0) {
        ini.writeInteger(kSection, "Width", s.placement.width);
        ini.writeInteger(kSection, "Height", s.placement.height);
    }
}
OpCopySettings readOpCopySettings(const IniFile& ini) {
    const char kSection[] = "OpCopy";
    OpCopySettings s;
    s.selectFolder = ini.readString(kSection, "SelectFolder", "");
    s.widthEdit = ini.readString(kSection, "WidthEdit", "80");
    s.heightEdit = ini.readString(kSection, "HeightEdit", "80");
    s.saveFormat = ini.readInteger(kSection, "SaveFormat", 0);
    s.pngLevel = ini.readInteger(kSection, "PNGLevel", 0);
    s.size = ini.readInteger(kSection, "Size", 0);
    s.sizeCombo = ini.readInteger(kSection, "SizeCombo", 20);
    s.jpegQuality = ini.readInteger(kSection, "JPEGQuality", 15);
    s.turn = ini.readInteger(kSection, "Turn", 0);
    s.progre = ini.readBool(kSection, "Progre", false);
    s.grayscale = ini.readBool(kSection, "Grayscale", false);
    s.sizeCheck = ini.readBool(kSection, "SizeCheck", true);
    s.gasitu = ini.readBool(kSection, "Gasitu", true);
    s.date = ini.readBool(kSection, "Date", false);
    readPlacement(ini, kSection, s.placement);
    return s;
}
void writeOpCopySettings(IniFile& ini, const OpCopySettings& s) {
    const char kSection[] = "OpCopy";
    ini.writeString(kSection, "SelectFolder", s.selectFolder);
    ini.writeString(kSection, "WidthEdit", s.widthEdit);
    ini.writeString(kSection, "HeightEdit", s.heightEdit);
    ini.writeInteger(kSection, "SaveFormat", s.saveFormat);
    ini.writeInteger(kSection, "PNGLevel", s.pngLevel);
    ini.writeInteger(kSection, "Size", s.size);
    ini.writeInteger(kSection, "SizeCombo", s.sizeCombo);
    ini.writeInteger(kSection, "JPEGQuality", s.jpegQuality);
    ini.writeInteger(kSection, "Turn", s.turn);
    ini.writeBool(kSection, "Progre", s.progre);
    ini.writeBool(kSection, "Grayscale", s.grayscale);
    ini.writeBool(kSection, "SizeCheck", s.sizeCheck);
    ini.writeBool(kSection, "Gasitu", s.gasitu);
    ini.writeBool(kSection, "Date", s.date);
    storeWindowState(ini, kSection, s.placement);
    ini.writeInteger(kSection, "Panel", s.placement.panel.value_or(0));
}
NumberSettings readNumberSettings(const IniFile& ini) {
    const char kSection[] = "NumberReName";
    NumberSettings s;
    s.text = ini.readString(kSection, "String", "");
    s.beams = ini.readString(kSection, "Beams", "2");
    s.radioIndex = ini.readInteger(kSection, "RadioIndex", 0);
    readPlacement(ini, kSection, s.placement);
    return s;
}
void writeNumberSettings(IniFile& ini, const NumberSettings& s) {
    const char kSection[] = "NumberReName";
    ini.writeString(kSection, "String", s.text);
    ini.writeString(kSection, "Beams", s.beams);
    ini.writeInteger(kSection, "RadioIndex", s.radioIndex);
    storeWindowState(ini, kSection, s.placement);
    ini.writeInteger(kSection, "Panel", s.placement.panel.value_or(0));
}
}
