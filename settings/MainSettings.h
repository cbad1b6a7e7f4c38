#pragma once
// The main window's settings in "Korvel.ini": declared once here, read at start and written at close.
#include <array>
#include <optional>
#include <string>

namespace korvel {

class IniFile;

constexpr int kBandCount = 5;
constexpr int kHistoryCount = 20;
constexpr int kQuickFolderCount = 20;
// Thumbnail sizes outside this range are read as the default.
constexpr int kMinThumbSize = 16;
constexpr int kMaxThumbSize = 1024;

struct MainSettings {
    int thumbSize = 100;
    bool speedFlg = false;
    std::string path;
    bool opFolderFlg = false;
    bool noHideFile = false;
    bool changeImFlg = true;
    bool pictFitFlg = false;
    bool windOption = true;

    // Restored only when windOption is on; an empty optional means "use the live default".
    bool subDirFind = false;
    std::string state = "wsNormal";
    std::optional<int> left, top;
    int width = 640, height = 460;
    std::optional<int> sgHeight, treeWidth;
    bool showDirBtn = false;
    std::array<int, kBandCount> coolId{0, 1, 2, 3, 4};
    std::array<std::optional<int>, kBandCount> coolWidth{};
    std::array<bool, kBandCount> coolBreak{false, true, true, false, false};  // [0] unused
    bool showCaption = false;
    bool stretchBtn = false;
    int nameView = 0;
    bool dirViewBtn = false;

    bool subDirOnce = false;
    bool fileOpen = false;      // [OpenFlg] FileOpen
    bool historyFlag = false;   // [History] Flag
    std::array<std::string, kHistoryCount> history{}, favorites{};
    std::array<std::string, kQuickFolderCount> quickFolder{}, quickCaption{};
};

// Height of the information text under a thumbnail: ThumbSize div 5, at most 20.
int InfoHeightFor(int thumbSize);

// Reads every key with its default. Window geometry, bars and button states are read only
// when [Window] WindOption is on.
MainSettings readMainSettings(const IniFile& ini);

// The bands in a stored order: each identifier once, in the order given; identifiers that are
// missing, repeated or out of range leave their places to the rest in design order.
std::array<int, kBandCount> bandOrder(const std::array<int, kBandCount>& ids);
// Where a band (by identifier) stands in the window.
struct BandPlace {
    int x = 0, y = 0, width = 0;
};
// Stores the bands as the user left them: top to bottom, left to right, each with its width and
// a break where it starts a row of its own.
void storeBands(MainSettings& s, const std::array<BandPlace, kBandCount>& places);

// Writes the keys the main window owns at close, in their fixed order. Path is written unless
// [Window] opFolderFlg in the file is on; history is written empty when [History] Flag is on.
void writeMainSettings(IniFile& ini, const MainSettings& s);

}  // namespace korvel
