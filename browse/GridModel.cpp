#include "browse/GridModel.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <set>

#include "base/FileNames.h"
#include "browse/FileSort.h"
#include "browse/TakenTimes.h"

namespace korvel {

GridLayout computeGridLayout(int thumbSize, int lineWidth, int clientWidth, int clientHeight, size_t fileCount) {
    GridLayout g;
    g.cellSize = thumbSize + lineWidth + 4;
    if (g.cellSize < 1) g.cellSize = 1;
    g.colCount = std::max(1, (clientWidth - 10) / g.cellSize);
    if (fileCount == 0) {
        g.rowCount = std::max(1, clientHeight / g.cellSize);
    } else {
        size_t rows = fileCount / size_t(g.colCount) + (fileCount % size_t(g.colCount) ? 1 : 0);
        g.rowCount = int(std::max<size_t>(1, rows));
    }
    return g;
}

void GridMarks::markRect(GridCell a, GridCell b, int colCount) {
    const int c0 = std::min(a.col, b.col), c1 = std::max(a.col, b.col);
    const int r0 = std::min(a.row, b.row), r1 = std::max(a.row, b.row);
    for (int r = std::max(0, r0); r <= r1; ++r)
        for (int c = std::max(0, c0); c <= c1 && c < colCount; ++c) set(size_t(r) * colCount + c, true);
}

std::vector<size_t> GridMarks::markedFiles(size_t fileCount) const {
    std::vector<size_t> out;
    for (size_t i = 0; i < marks_.size() && i < fileCount; ++i)
        if (marks_[i]) out.push_back(i);
    return out;
}

MarkedSort sortKeepingMarks(FileList& list, GridMarks& marks, int nameView, bool descending,
                            const std::string& shownPath) {
    MarkedSort result;
    // Paths are unique in a listing, so a mark can travel by its file's path.
    std::set<std::string> markedPaths;
    for (size_t i : marks.markedFiles(list.size())) markedPaths.insert(list.path(i));
    result.sorted = sortByNameView(list, nameView, descending);
    if (!result.sorted) return result;
    marks.clear();
    for (size_t i = 0; i < list.size(); ++i) {
        if (markedPaths.count(list.path(i))) marks.set(i, true);
        if (!shownPath.empty() && list.path(i) == shownPath) result.shownIndex = i;
    }
    return result;
}

bool GridPointerMarks::leftPress(GridMarks& marks, GridCell cell, bool shift, int colCount) {
    const GridCell previous = last_;
    last_ = cell;
    const size_t index = size_t(cell.row) * size_t(colCount) + size_t(cell.col);
    const bool nowMarked = !marks.marked(index);
    marks.set(index, nowMarked);
    if (shift && previous.col >= 0 && previous.row >= 0) marks.markRect(previous, cell, colCount);
    return nowMarked;
}

bool GridPointerMarks::rightPress(GridMarks& marks, GridCell cell, int colCount) {
    last_ = cell;
    const size_t index = size_t(cell.row) * size_t(colCount) + size_t(cell.col);
    if (marks.marked(index)) return false;
    marks.clear();
    marks.set(index, true);
    return true;
}

void markRange(GridMarks& marks, const GridRange& range, int colCount) {
    marks.clear();
    marks.markRect(range.anchor, range.current, colCount);
}

GridCell wrapArrow(GridCell sel, bool rightKey, int colCount, int rowCount) {
    if (rightKey && sel.col == colCount - 1 && sel.row < rowCount - 1) sel = GridCell{-1, sel.row + 1};
    if (!rightKey && sel.col == 0 && sel.row > 0) sel = GridCell{colCount, sel.row - 1};
    return sel;
}

std::string groupThousands(uint64_t value) {
    const lconv* lc = std::localeconv();
    std::string sep = lc && lc->thousands_sep && *lc->thousands_sep ? lc->thousands_sep : ",";
    std::string digits = std::to_string(value), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += sep;
        out += digits[i];
    }
    return out;
}

std::string formatKiloBytes(int32_t size) {
    // Negative sizes never reach the list; keep the arithmetic of the size as stored.
    int64_t kb = int64_t(size) / 1024 + 1;
    return (kb < 0 ? "-" + groupThousands(uint64_t(-kb)) : groupThousands(uint64_t(kb))) + "KB";
}

std::string formatDosTime(uint32_t packed) {
    const DosDateTime t = unpackDosDateTime(packed);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d %02d:%02d", t.year % 100, t.month, t.day, t.hour, t.minute);
    return buf;
}

std::string cellInfoText(int nameView, const std::string& path, const TSeekFile& seek) {
    const std::string name = extractFileName(path);
    switch (nameView) {
        case 0: return name;
        case 1: return formatKiloBytes(seek.Size) + "\n\r( " + name + " )";
        case 2: return formatDosTime(seek.Time) + "\n\r( " + name + " )";
        case 4: return formatDosTime(TakenTimes::shared().shownTime(path, seek)) + "\n\r( " + name + " )";
        case 3: return seek.Ext + " FILE\n\r( " + name.substr(0, name.size() - extractFileExt(name).size()) + " )";
        default: return {};
    }
}

GridSnap snapGridPanel(int gridHeight, int panel2Height, int thumbSize, int lineWidth, bool shiftHeld) {
    GridSnap snap;
    const int pitch = thumbSize + lineWidth + 5;
    if (pitch <= 0 || (!shiftHeld && gridHeight >= pitch + 3)) return snap;
    snap.snapped = true;
    int n = int(std::lround(double(gridHeight) / pitch));
    int h = n * pitch + 3;
    while (h >= panel2Height && h > 3) {
        --n;
        h = n * pitch + 3;
    }
    if (h <= 3) {
        snap.collapsed = true;
        snap.height = 1;
    } else {
        snap.height = std::min(h, panel2Height - 5);
    }
    return snap;
}

}  // namespace korvel
