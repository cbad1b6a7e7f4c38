#pragma once
// The thumbnail grid's arithmetic and marks, free of any window: cell geometry, marks kept as
// the cells' " " texts, the arrow wrap, the info texts under a thumbnail and the splitter snap.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "browse/FileList.h"
#include "browse/SeekFile.h"

namespace korvel {

struct GridCell {
    int col = 0, row = 0;
    bool operator==(const GridCell&) const = default;
};

struct GridLayout {
    int cellSize = 0;  // default column width and row height
    int colCount = 1;
    int rowCount = 1;
};

// Cell size = size + line width + 4; columns from the client width; rows from the file count,
// or, for an empty list, as many as fit the client height.
GridLayout computeGridLayout(int thumbSize, int lineWidth, int clientWidth, int clientHeight, size_t fileCount);

// The marks of the cells ("marked" = the cell's text is " "), indexed row by row.
class GridMarks {
public:
    void reset(size_t cellCount) { marks_.assign(cellCount, false); }
    size_t cellCount() const { return marks_.size(); }
    bool marked(size_t index) const { return index < marks_.size() && marks_[index]; }
    void set(size_t index, bool mark) {
        if (index < marks_.size()) marks_[index] = mark;
    }
    void clear() { marks_.assign(marks_.size(), false); }
    void markAll() { marks_.assign(marks_.size(), true); }
    // Marks the block spanned by two cells (all columns and all rows between them).
    void markRect(GridCell a, GridCell b, int colCount);
    // Indices of the marked cells below fileCount, in index order.
    std::vector<size_t> markedFiles(size_t fileCount) const;

private:
    std::vector<bool> marks_;
};

// The grid's range selection by keys: Shift with an arrow key moves the current cell while the
// anchor stays; any other move takes the anchor along.
struct GridRange {
    GridCell anchor, current;
    void moveTo(GridCell cell, bool extend) {
        current = cell;
        if (!extend) anchor = cell;
    }
};
// A sort of the listed files by the key of an info mode (FileSort.h) with the marks moved along:
// a marked file stays marked at its new place. shownIndex is where the previewed file (shownPath)
// now stands; none when it is not listed or nothing was sorted.
struct MarkedSort {
    bool sorted = false;
    std::optional<size_t> shownIndex;
};
MarkedSort sortKeepingMarks(FileList& list, GridMarks& marks, int nameView, bool descending,
                            const std::string& shownPath);

// After an arrow key exactly the block between the anchor and the current cell is marked.
void markRange(GridMarks& marks, const GridRange& range, int colCount);

// The grid's marking by the pointer. Every press is remembered as the corner of the next
// Shift+press's block; presses outside the cells are remembered too and anchor no block.
class GridPointerMarks {
public:
    // A left press on a cell: an unmarked cell becomes marked (true: it is to be previewed), a
    // marked one unmarked; with Shift the block from the previously pressed cell is marked too.
    bool leftPress(GridMarks& marks, GridCell cell, bool shift, int colCount);
    // A right press on a file's cell: an unmarked cell becomes the only mark (true: the current
    // cell moves there); a marked cell keeps every mark.
    bool rightPress(GridMarks& marks, GridCell cell, int colCount);
    // A press outside the cells, or on a cell a drag starts from.
    void otherPress(GridCell cell) { last_ = cell; }
    // A new listing: the next Shift+press reaches back to the first cell.
    void forget() { last_ = {}; }

private:
    GridCell last_;
};

// Whether the pointer at (x, y) lies on the drag handle of a cell at (left, top), size pixels
// wide: its bottom-right 8 x 6 corner.
inline bool inCornerMark(int x, int y, int left, int top, int size) {
    return x >= left + size - 8 && x <= left + size && y >= top + size - 6 && y <= top + size;
}

// Where the selection goes before an arrow key's own move, so that Right in the last column
// continues on the next row and Left in column 0 on the previous row.
GridCell wrapArrow(GridCell selection, bool rightKey, int colCount, int rowCount);

// Digits grouped by three with the locale's thousands separator ("," when it has none).
std::string groupThousands(uint64_t value);
// (size div 1024) + 1 grouped, then "KB": 1 byte -> "1KB", 1024 bytes -> "2KB".
std::string formatKiloBytes(int32_t size);
// A packed DOS date-time as "yy/mm/dd hh:mm".
std::string formatDosTime(uint32_t packed);
// The text under a thumbnail for an info mode; the two lines are separated by LF then CR. The
// taken mode shows the date taken once the sort has read it.
std::string cellInfoText(int nameView, const std::string& path, const TSeekFile& seek);

// Result of snapping the grid panel after the splitter moved.
struct GridSnap {
    bool snapped = false;    // false: the free position stays
    bool collapsed = false;  // no whole row fits: the grid panel becomes 1 pixel high
    int height = 0;          // the new grid panel height when snapped and not collapsed
};
// With Shift held, or when the grid is lower than one row + 3, the grid panel snaps to whole rows.
GridSnap snapGridPanel(int gridHeight, int panel2Height, int thumbSize, int lineWidth, bool shiftHeld);

}  // namespace korvel
