#include "settings/MainSettings.h"

#include "base/IniFile.h"
#include "settings/SettingsTable.h"

#include <algorithm>

namespace korvel {

namespace {
const char kThumb[] = "Thumbnil", kWindow[] = "Window", kSubDir[] = "SubDir", kHistory[] = "History",
           kFavorites[] = "Favorites", kQFolder[] = "QFolder";

std::string n(const char* key, int i) { return key + std::to_string(i); }

using Main = const MainSettings&;
// The window's geometry, bars and buttons are restored only when [Window] WindOption is on.
bool windowed(Main s) { return s.windOption; }
bool notMaximized(Main s) { return s.state != "wsMaximized"; }
bool placed(Main s) { return windowed(s) && notMaximized(s); }

// In the order the window writes them at close; the keys it only reads come last.
void declareMain(SettingsTable<MainSettings>& t, MainSettings& s) {
    t.add(kThumb, "Size", s.thumbSize);
    t.add(kWindow, "Left", s.left).onlyReadIf(placed).onlyWrittenIf(notMaximized);
    t.add(kWindow, "Top", s.top).onlyReadIf(placed).onlyWrittenIf(notMaximized);
    t.add(kWindow, "Width", s.width).onlyReadIf(placed).onlyWrittenIf(notMaximized);
    t.add(kWindow, "Height", s.height).onlyReadIf(placed).onlyWrittenIf(notMaximized);
    t.add(kWindow, "SGHeight", s.sgHeight).onlyReadIf(windowed);
    t.add(kWindow, "TreeWidth", s.treeWidth).onlyReadIf([](Main v) { return windowed(v) && !v.showDirBtn; });
    t.add(kWindow, "NameView", s.nameView).onlyReadIf(windowed);
    t.add(kWindow, "ShowCaption", s.showCaption).onlyReadIf(windowed);
    t.add(kWindow, "StretchBtn", s.stretchBtn).onlyReadIf(windowed);
    t.add(kWindow, "DirViewBtn", s.dirViewBtn).onlyReadIf(windowed);
    t.add(kWindow, "ShowDirBtn", s.showDirBtn).onlyReadIf(windowed);
    t.add(kSubDir, "Find", s.subDirFind).onlyReadIf(windowed);
    t.add(kWindow, "NoHideFile", s.noHideFile);
    t.add(kWindow, "ChangeImFlg", s.changeImFlg);
    t.add(kThumb, "SpeedFlg", s.speedFlg);
    t.add(kThumb, "SharedCache", s.sharedCache);
    t.add(kWindow, "PictFitFlg", s.pictFitFlg);
    t.add(kWindow, "ExifRotate", s.exifRotate);
    t.add(kWindow, "ColorManage", s.colorManage);
    for (int i = 0; i < kBandCount; ++i) t.add(kWindow, n("CoolID", i), s.coolId[i]).onlyReadIf(windowed);
    for (int i = 0; i < kBandCount; ++i)
        t.add(kWindow, n("CoolWidth", i), s.coolWidth[i]).onlyReadIf(windowed);
    for (int i = 1; i < kBandCount; ++i) t.add(kWindow, n("CoolBreak", i), s.coolBreak[i]).onlyReadIf(windowed);
    t.add(kWindow, "State", s.state).onlyReadIf(windowed);
    // A fixed start folder (the options dialog's) is not replaced by the last one shown.
    t.add(kWindow, "Path", s.path).onlyWrittenIf([](Main v) { return !v.opFolderFlg; });
    for (int i = 0; i < kQuickFolderCount; ++i) {
        t.add(kQFolder, n("Folder", i + 1), s.quickFolder[i]);
        t.add(kQFolder, n("Caption", i + 1), s.quickCaption[i]);
    }
    for (int i = 0; i < kHistoryCount; ++i) t.add(kHistory, n("Path", i), s.history[i]);
    for (int i = 0; i < kHistoryCount; ++i) t.add(kFavorites, n("Path", i), s.favorites[i]);
    t.add(kWindow, "WindOption", s.windOption).readOnly();
    t.add(kWindow, "opFolderFlg", s.opFolderFlg).readOnly();
    t.add(kWindow, "TurnKeepsTime", s.turnKeepsTime).readOnly();
    t.add(kSubDir, "SubDirOnce", s.subDirOnce).readOnly();
    t.add("OpenFlg", "FileOpen", s.fileOpen).readOnly();
    t.add(kHistory, "Flag", s.historyFlag).readOnly();
}
}  // namespace

int InfoHeightFor(int thumbSize) { return thumbSize >= 100 ? 20 : thumbSize / 5; }

std::array<int, kBandCount> bandOrder(const std::array<int, kBandCount>& ids) {
    std::array<bool, kBandCount> used{};
    std::array<int, kBandCount> order{};
    int n = 0;
    for (int id : ids)
        if (id >= 0 && id < kBandCount && !used[size_t(id)]) used[size_t(id)] = true, order[size_t(n++)] = id;
    for (int id = 0; id < kBandCount; ++id)
        if (!used[size_t(id)]) order[size_t(n++)] = id;
    return order;
}

BandRows fitBandRows(const std::array<bool, kBandCount>& breaks, const std::array<int, kBandCount>& widths,
                     const std::array<int, kBandCount>& contents, int available) {
    BandRows rows;
    rows.breaks = breaks;
    rows.breaks[0] = false;
    long used = 0;  // contents of the row so far
    for (size_t i = 0; i < size_t(kBandCount); ++i) {
        if (i > 0 && used + contents[i] > available) rows.breaks[i] = true;
        if (rows.breaks[i]) used = 0;
        used += contents[i];
    }
    for (size_t first = 0; first < size_t(kBandCount);) {
        size_t end = first + 1;
        while (end < size_t(kBandCount) && !rows.breaks[end]) ++end;
        long room = available;  // for this band and the contents of those after it
        for (size_t i = first; i < end; ++i) {
            long after = 0;
            for (size_t j = i + 1; j < end; ++j) after += contents[j];
            const long most = std::max<long>(contents[i], room - after);
            rows.widths[i] = int(std::clamp<long>(widths[i], contents[i], most));
            room -= rows.widths[i];
        }
        first = end;
    }
    return rows;
}

void storeBands(MainSettings& s, const std::array<BandPlace, kBandCount>& places) {
    std::array<int, kBandCount> ids{0, 1, 2, 3, 4};
    std::sort(ids.begin(), ids.end(), [&](int a, int b) {
        const BandPlace &pa = places[size_t(a)], &pb = places[size_t(b)];
        return pa.y != pb.y ? pa.y < pb.y : pa.x < pb.x;
    });
    for (size_t i = 0; i < size_t(kBandCount); ++i) {
        s.coolId[i] = ids[i];
        s.coolWidth[i] = places[size_t(ids[i])].width;
        if (i > 0) s.coolBreak[i] = places[size_t(ids[i])].y != places[size_t(ids[i - 1])].y;
    }
}

MainSettings readMainSettings(const IniFile& ini) {
    MainSettings s = readSettingsTable<MainSettings>(ini, declareMain);
    // A hand-edited size that no grid can show counts as a bad value; the dialog offers 40 to 300.
    if (s.thumbSize < kMinThumbSize || s.thumbSize > kMaxThumbSize) s.thumbSize = MainSettings().thumbSize;
    for (int i = 0; i < kQuickFolderCount; ++i) {
        // A relative folder would be taken from wherever Korvel was started, and a copy there
        // would create it: such a button stays unbound.
        if (s.quickFolder[i].rfind('/', 0) != 0) {
            s.quickFolder[i].clear();
            s.quickCaption[i].clear();
        }
    }
    return s;
}

void writeMainSettings(IniFile& ini, const MainSettings& values) {
    MainSettings s = values;
    // The file's own switches decide, whatever the window last read.
    const MainSettings onFile = readMainSettings(ini);
    s.opFolderFlg = onFile.opFolderFlg;
    if (onFile.historyFlag) s.history.fill({});
    if (!s.sgHeight) s.sgHeight = s.thumbSize;
    if (!s.treeWidth) s.treeWidth = s.width / 4;
    writeSettingsTable<MainSettings>(ini, s, declareMain);
}

void storeBoxItems(MainSettings& s, const std::vector<std::string>& history, const std::vector<std::string>& favorites) {
    for (size_t i = 0; i < size_t(kHistoryCount); ++i) {
        s.history[i] = i < history.size() ? history[i] : std::string();
        s.favorites[i] = i < favorites.size() ? favorites[i] : std::string();
    }
}

PanelSizes panelSizes(const MainSettings& s, int windowWidth) {
    PanelSizes p;
    p.sgHeight = std::max(1, s.sgHeight.value_or(s.thumbSize));
    p.treeWidth = std::max(1, s.treeWidth.value_or(windowWidth / 4));
    for (size_t i = 0; i < size_t(kBandCount); ++i) p.bandWidths[i] = s.coolWidth[i].value_or(windowWidth / 3);
    return p;
}

const MainSettings& MainSettingsBinder::load() {
    const IniFile ini = IniFile::load(path_);
    unreadable_ = ini.readFailed();
    loaded_ = readMainSettings(ini);
    return loaded_;
}

bool MainSettingsBinder::save(const MainSettings& s) const {
    if (unreadable_) return false;
    // Read again: the options dialog and other windows write their keys into the same file.
    return updateSettingsFile(path_, [&](IniFile& ini) { writeMainSettings(ini, s); });
}

}  // namespace korvel
