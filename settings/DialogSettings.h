#pragma once
// The copy/move, extended copy and serial rename dialogs' keys in the program-named settings
// file: each dialog's own section, read when it opens and written when it closes.
#include <optional>
#include <string>

namespace korvel {

class IniFile;

// Where a two-list dialog stood when it closed.
struct DialogPlacement {
    enum State { Normal = 0, Minimized = 1, Maximized = 2 };
    int state = Normal;        // "wState"; the size is stored only for Normal
    int width = 0, height = 0;  // the dialog's own default size until one is stored
    std::optional<int> panel;  // the left list's width; none: a third of the dialog
};

// [CopyMove]
struct CopyMoveSettings {
    std::string dir;  // path bytes
    DialogPlacement placement{DialogPlacement::Normal, 620, 470, {}};
};

// [OpCopy]; the choices are stored as the dialog's indices.
struct OpCopySettings {
    std::string selectFolder;  // path bytes
    std::string widthEdit = "80", heightEdit = "80";  // as typed
    int saveFormat = 0, pngLevel = 0, size = 0;
    int sizeCombo = 20, jpegQuality = 15, turn = 0;
    bool progre = false, grayscale = false, sizeCheck = true, gasitu = true, date = false;
    DialogPlacement placement{DialogPlacement::Normal, 630, 470, {}};
};

// [NumberReName]
struct NumberSettings {
    std::string text;  // "String": the name pattern, path bytes
    std::string beams = "2";  // the digits, as typed
    int radioIndex = 0;
    DialogPlacement placement{DialogPlacement::Normal, 540, 471, {}};
};

// Each section's keys with their defaults; a state other than Normal writes no size.
CopyMoveSettings readCopyMoveSettings(const IniFile& ini);
void writeCopyMoveSettings(IniFile& ini, const CopyMoveSettings& s);
OpCopySettings readOpCopySettings(const IniFile& ini);
void writeOpCopySettings(IniFile& ini, const OpCopySettings& s);
NumberSettings readNumberSettings(const IniFile& ini);
void writeNumberSettings(IniFile& ini, const NumberSettings& s);

// The settings file at path as a dialog opens and closes: read with defaults for what it lacks
// (all of them when it cannot be read), then written back leaving other keys alone. A failed
// write is not reported, as for every settings write.
CopyMoveSettings loadCopyMoveSettings(const std::string& path);
void saveCopyMoveSettings(const std::string& path, const CopyMoveSettings& s);
OpCopySettings loadOpCopySettings(const std::string& path);
void saveOpCopySettings(const std::string& path, const OpCopySettings& s);
NumberSettings loadNumberSettings(const std::string& path);
void saveNumberSettings(const std::string& path, const NumberSettings& s);

}  // namespace korvel
