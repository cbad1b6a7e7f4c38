#include "settings/MainSettings.h"

#include "base/Errors.h"
#include "base/IniFile.h"

#include <algorithm>

namespace korvel {

namespace {
const char kThumb[] = "Thumbnil", kWindow[] = "Window", kSubDir[] = "SubDir", kHistory[] = "History",
           kFavorites[] = "Favorites", kQFolder[] = "QFolder";

std::optional<int> readOptional(const IniFile& ini, const char* section, const std::string& key) {
    if (!ini.hasKey(section, key)) return std::nullopt;
    const int sentinel = INT32_MIN;
    int v = ini.readInteger(section, key, sentinel);
    return v == sentinel ? std::nullopt : std::optional<int>(v);
}
std::string n(const char* key, int i) { return key + std::to_string(i); }
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
    MainSettings s;
    s.thumbSize = ini.readInteger(kThumb, "Size", 100);
    // A hand-edited size that no grid can show counts as a bad value; the dialog offers 40 to 300.
    if (s.thumbSize < kMinThumbSize || s.thumbSize > kMaxThumbSize) s.thumbSize = 100;
    s.speedFlg = ini.readBool(kThumb, "SpeedFlg", false);
    s.sharedCache = ini.readBool(kThumb, "SharedCache", true);
    s.noHideFile = ini.readBool(kWindow, "NoHideFile", false);
    s.changeImFlg = ini.readBool(kWindow, "ChangeImFlg", true);
    s.pictFitFlg = ini.readBool(kWindow, "PictFitFlg", false);
    s.exifRotate = ini.readBool(kWindow, "ExifRotate", true);
    s.colorManage = ini.readBool(kWindow, "ColorManage", true);
    s.path = ini.readString(kWindow, "Path", "");
    s.opFolderFlg = ini.readBool(kWindow, "opFolderFlg", false);
    for (int i = 0; i < kHistoryCount; ++i) s.history[i] = ini.readString(kHistory, n("Path", i), "");
    for (int i = 0; i < kHistoryCount; ++i) s.favorites[i] = ini.readString(kFavorites, n("Path", i), "");
    for (int i = 0; i < kQuickFolderCount; ++i) {
        s.quickFolder[i] = ini.readString(kQFolder, n("Folder", i + 1), "");
        s.quickCaption[i] = ini.readString(kQFolder, n("Caption", i + 1), "");
        // A relative folder would be taken from wherever Korvel was started, and a copy there
        // would create it: such a button stays unbound.
        if (s.quickFolder[i].rfind('/', 0) != 0) {
            s.quickFolder[i].clear();
            s.quickCaption[i].clear();
        }
    }
    s.windOption = ini.readBool(kWindow, "WindOption", true);
    if (s.windOption) {
        s.subDirFind = ini.readBool(kSubDir, "Find", false);
        s.state = ini.readString(kWindow, "State", "wsNormal");
        if (s.state != "wsMaximized") {
            s.left = readOptional(ini, kWindow, "Left");
            s.top = readOptional(ini, kWindow, "Top");
            s.width = ini.readInteger(kWindow, "Width", 640);
            s.height = ini.readInteger(kWindow, "Height", 460);
        }
        s.sgHeight = readOptional(ini, kWindow, "SGHeight");
        s.showDirBtn = ini.readBool(kWindow, "ShowDirBtn", false);
        if (!s.showDirBtn) s.treeWidth = readOptional(ini, kWindow, "TreeWidth");
        for (int i = 0; i < kBandCount; ++i) s.coolId[i] = ini.readInteger(kWindow, n("CoolID", i), i);
        for (int i = 1; i < kBandCount; ++i) s.coolBreak[i] = ini.readBool(kWindow, n("CoolBreak", i), i <= 2);
        for (int i = 0; i < kBandCount; ++i) s.coolWidth[i] = readOptional(ini, kWindow, n("CoolWidth", i));
        s.showCaption = ini.readBool(kWindow, "ShowCaption", false);
        s.stretchBtn = ini.readBool(kWindow, "StretchBtn", false);
        s.nameView = ini.readInteger(kWindow, "NameView", 0);
        s.dirViewBtn = ini.readBool(kWindow, "DirViewBtn", false);
    }
    s.subDirOnce = ini.readBool(kSubDir, "SubDirOnce", false);
    s.fileOpen = ini.readBool("OpenFlg", "FileOpen", false);
    return s;
}

void writeMainSettings(IniFile& ini, const MainSettings& s) {
    const bool maximized = s.state == "wsMaximized";
    ini.writeInteger(kThumb, "Size", s.thumbSize);
    if (!maximized) {
        ini.writeInteger(kWindow, "Left", s.left.value_or(0));
        ini.writeInteger(kWindow, "Top", s.top.value_or(0));
        ini.writeInteger(kWindow, "Width", s.width);
        ini.writeInteger(kWindow, "Height", s.height);
    }
    ini.writeInteger(kWindow, "SGHeight", s.sgHeight.value_or(s.thumbSize));
    ini.writeInteger(kWindow, "TreeWidth", s.treeWidth.value_or(s.width / 4));
    ini.writeInteger(kWindow, "NameView", s.nameView);
    ini.writeBool(kWindow, "ShowCaption", s.showCaption);
    ini.writeBool(kWindow, "StretchBtn", s.stretchBtn);
    ini.writeBool(kWindow, "DirViewBtn", s.dirViewBtn);
    ini.writeBool(kWindow, "ShowDirBtn", s.showDirBtn);
    ini.writeBool(kSubDir, "Find", s.subDirFind);
    ini.writeBool(kWindow, "NoHideFile", s.noHideFile);
    ini.writeBool(kWindow, "ChangeImFlg", s.changeImFlg);
    ini.writeBool(kThumb, "SpeedFlg", s.speedFlg);
    ini.writeBool(kThumb, "SharedCache", s.sharedCache);
    ini.writeBool(kWindow, "PictFitFlg", s.pictFitFlg);
    ini.writeBool(kWindow, "ExifRotate", s.exifRotate);
    ini.writeBool(kWindow, "ColorManage", s.colorManage);
    for (int i = 0; i < kBandCount; ++i) ini.writeInteger(kWindow, n("CoolID", i), s.coolId[i]);
    for (int i = 0; i < kBandCount; ++i) ini.writeInteger(kWindow, n("CoolWidth", i), s.coolWidth[i].value_or(0));
    for (int i = 1; i < kBandCount; ++i) ini.writeBool(kWindow, n("CoolBreak", i), s.coolBreak[i]);
    ini.writeString(kWindow, "State", s.state);
    if (!ini.readBool(kWindow, "opFolderFlg", false)) ini.writeString(kWindow, "Path", s.path);
    for (int i = 0; i < kQuickFolderCount; ++i) {
        ini.writeString(kQFolder, n("Folder", i + 1), s.quickFolder[i]);
        ini.writeString(kQFolder, n("Caption", i + 1), s.quickCaption[i]);
    }
    const bool clearHistory = ini.readBool(kHistory, "Flag", false);
    for (int i = 0; i < kHistoryCount; ++i) ini.writeString(kHistory, n("Path", i), clearHistory ? "" : s.history[i]);
    for (int i = 0; i < kHistoryCount; ++i) ini.writeString(kFavorites, n("Path", i), s.favorites[i]);
}

std::vector<std::string> historyItems(const MainSettings& s) {
    std::vector<std::string> items;
    for (const std::string& h : s.history)
        if (!h.empty() && std::find(items.begin(), items.end(), h) == items.end()) items.push_back(h);
    return items;
}

std::vector<std::string> favoriteItems(const MainSettings& s) {
    std::vector<std::string> items;
    for (const std::string& f : s.favorites)
        if (!f.empty()) items.push_back(f);
    return items;
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
    IniFile ini = IniFile::load(path_);
    writeMainSettings(ini, s);
    try {
        ini.save(path_);
    } catch (const Exception&) {
        return false;  // the old file stays whole
    }
    return true;
}

}  // namespace korvel
