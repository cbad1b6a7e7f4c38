#include "settings/DialogSettings.h"

#include "base/IniFile.h"
#include "settings/SettingsTable.h"

namespace korvel {

namespace {
const char kCopyMove[] = "CopyMove", kOpCopy[] = "OpCopy", kNumber[] = "NumberReName";

template <class T>
bool normalState(const T& s) {
    return s.placement.state == DialogPlacement::Normal;
}

// The state, then the size for a normal window, then the list split.
template <class T>
void declarePlacement(SettingsTable<T>& t, const char* section, DialogPlacement& p) {
    t.add(section, "wState", p.state);
    t.add(section, "Width", p.width).onlyWrittenIf(normalState<T>);
    t.add(section, "Height", p.height).onlyWrittenIf(normalState<T>);
    t.add(section, "Panel", p.panel);
}

// This section has the split between the state and the size.
void declareCopyMove(SettingsTable<CopyMoveSettings>& t, CopyMoveSettings& s) {
    t.add(kCopyMove, "Dir", s.dir);
    t.add(kCopyMove, "wState", s.placement.state);
    t.add(kCopyMove, "Panel", s.placement.panel);
    t.add(kCopyMove, "Width", s.placement.width).onlyWrittenIf(normalState<CopyMoveSettings>);
    t.add(kCopyMove, "Height", s.placement.height).onlyWrittenIf(normalState<CopyMoveSettings>);
}

void declareOpCopy(SettingsTable<OpCopySettings>& t, OpCopySettings& s) {
    t.add(kOpCopy, "SelectFolder", s.selectFolder);
    t.add(kOpCopy, "WidthEdit", s.widthEdit);
    t.add(kOpCopy, "HeightEdit", s.heightEdit);
    t.add(kOpCopy, "SaveFormat", s.saveFormat);
    t.add(kOpCopy, "PNGLevel", s.pngLevel);
    t.add(kOpCopy, "Size", s.size);
    t.add(kOpCopy, "SizeCombo", s.sizeCombo);
    t.add(kOpCopy, "JPEGQuality", s.jpegQuality);
    t.add(kOpCopy, "Turn", s.turn);
    t.add(kOpCopy, "Progre", s.progre);
    t.add(kOpCopy, "Grayscale", s.grayscale);
    t.add(kOpCopy, "SizeCheck", s.sizeCheck);
    t.add(kOpCopy, "Gasitu", s.gasitu);
    t.add(kOpCopy, "Date", s.date);
    declarePlacement(t, kOpCopy, s.placement);
}

void declareNumber(SettingsTable<NumberSettings>& t, NumberSettings& s) {
    t.add(kNumber, "String", s.text);
    t.add(kNumber, "Beams", s.beams);
    t.add(kNumber, "RadioIndex", s.radioIndex);
    declarePlacement(t, kNumber, s.placement);
}
}  // namespace

CopyMoveSettings readCopyMoveSettings(const IniFile& ini) {
    return readSettingsTable<CopyMoveSettings>(ini, declareCopyMove);
}
void writeCopyMoveSettings(IniFile& ini, const CopyMoveSettings& s) {
    writeSettingsTable<CopyMoveSettings>(ini, s, declareCopyMove);
}
OpCopySettings readOpCopySettings(const IniFile& ini) { return readSettingsTable<OpCopySettings>(ini, declareOpCopy); }
void writeOpCopySettings(IniFile& ini, const OpCopySettings& s) {
    writeSettingsTable<OpCopySettings>(ini, s, declareOpCopy);
}
NumberSettings readNumberSettings(const IniFile& ini) { return readSettingsTable<NumberSettings>(ini, declareNumber); }
void writeNumberSettings(IniFile& ini, const NumberSettings& s) {
    writeSettingsTable<NumberSettings>(ini, s, declareNumber);
}

CopyMoveSettings loadCopyMoveSettings(const std::string& path) { return readCopyMoveSettings(IniFile::load(path)); }
void saveCopyMoveSettings(const std::string& path, const CopyMoveSettings& s) {
    updateSettingsFile(path, [&](IniFile& ini) { writeCopyMoveSettings(ini, s); });
}
OpCopySettings loadOpCopySettings(const std::string& path) { return readOpCopySettings(IniFile::load(path)); }
void saveOpCopySettings(const std::string& path, const OpCopySettings& s) {
    updateSettingsFile(path, [&](IniFile& ini) { writeOpCopySettings(ini, s); });
}
NumberSettings loadNumberSettings(const std::string& path) { return readNumberSettings(IniFile::load(path)); }
void saveNumberSettings(const std::string& path, const NumberSettings& s) {
    updateSettingsFile(path, [&](IniFile& ini) { writeNumberSettings(ini, s); });
}

}  // namespace korvel
