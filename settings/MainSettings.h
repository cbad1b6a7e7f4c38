#pragma once
// The main window's settings in "Korvel.ini": declared once here, read at start and written at close.
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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
    bool sharedCache = true;  // [Thumbnil] SharedCache: read and write the freedesktop thumbnails
    std::string path;
    bool opFolderFlg = false;
    bool noHideFile = false;
    bool changeImFlg = true;
    bool pictFitFlg = false;
    bool exifRotate = true;   // turn photos as their EXIF orientation says
    bool colorManage = true;  // apply embedded colour profiles
    bool turnKeepsTime = false;  // the options dialog's: a saved turn keeps the file's time
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
// when [Window] WindOption is on. A quick folder that is not a full path reads as unbound.
MainSettings readMainSettings(const IniFile& ini);

// The bands in a stored order: each identifier once, in the order given; identifiers that are
// missing, repeated or out of range leave their places to the rest in design order.
std::array<int, kBandCount> bandOrder(const std::array<int, kBandCount>& ids);
// Rows and widths (by position) that leave every band room for its contents in a bar `available`
// wide: a band that does not fit beside the ones before it in its row starts a new row, and a
// stored width is cut so that the bands after it in the row keep their contents' width. A width
// under the contents' width becomes that width.
struct BandRows {
    std::array<bool, kBandCount> breaks{};
    std::array<int, kBandCount> widths{};
};
BandRows fitBandRows(const std::array<bool, kBandCount>& breaks, const std::array<int, kBandCount>& widths,
                     const std::array<int, kBandCount>& contents, int available);
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

// Stores the boxes' items: the first twenty of each, "" beyond the last.
void storeBoxItems(MainSettings& s, const std::vector<std::string>& history, const std::vector<std::string>& favorites);

// Panel and band sizes to restore, with the window's own defaults for the keys the file lacks.
struct PanelSizes {
    int sgHeight = 1, treeWidth = 1;  // at least 1: a panel never vanishes
    std::array<int, kBandCount> bandWidths{};
};
PanelSizes panelSizes(const MainSettings& s, int windowWidth);

// The main window's keys of one settings file: read at start into a MainSettings, written from
// one at close. A file that exists but could not be read is never written: the window then runs
// on defaults, which must not replace what the file holds.
class MainSettingsBinder {
public:
    MainSettingsBinder() = default;
    explicit MainSettingsBinder(std::string path) : path_(std::move(path)) {}
    // Reads every key with its default; kept as loaded().
    const MainSettings& load();
    // What load read; keys the window never changes are written back from here.
    const MainSettings& loaded() const { return loaded_; }
    bool unreadable() const { return unreadable_; }
    // Writes s into the file as it stands now, leaving other sections and keys alone, and
    // replaces the file safely. False when nothing was written; a failed write is not reported.
    bool save(const MainSettings& s) const;

private:
    std::string path_;
    MainSettings loaded_;
    bool unreadable_ = false;
};

}  // namespace korvel
