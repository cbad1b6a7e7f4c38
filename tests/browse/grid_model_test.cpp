// The thumbnail grid without a window: layout, marks by pointer and keys, arrow wrap, cell
// texts, the splitter snap and sorting with marks.
#include <gtest/gtest.h>

#include <clocale>

#include "browse/GridModel.h"

using namespace korvel;

TEST(GridModel, Layout) {
    struct Row {
        int thumb, clientW, clientH;
        size_t files;
        int cell, cols, rows;
    } rows[] = {
        {100, 430, 300, 9, 105, 4, 3},   // the last row holds one file
        {100, 430, 300, 8, 105, 4, 2},
        {100, 430, 330, 0, 105, 4, 3},   // empty list: as many rows as fit
        {100, 50, 50, 0, 105, 1, 1},     // never below one column or row
        {60, 700, 300, 100, 65, 10, 10},
    };
    for (const Row& r : rows) {
        const GridLayout g = computeGridLayout(r.thumb, 1, r.clientW, r.clientH, r.files);
        SCOPED_TRACE(std::to_string(r.clientW) + " " + std::to_string(r.files));
        EXPECT_EQ(std::tuple(g.cellSize, g.colCount, g.rowCount), std::tuple(r.cell, r.cols, r.rows));
    }
}

TEST(GridModel, MarksAndRectangles) {
    GridMarks m;
    m.reset(12);  // 4 columns x 3 rows
    m.markRect({3, 0}, {1, 2}, 4);  // a block, not a reading-order range
    EXPECT_EQ(m.markedFiles(10), (std::vector<size_t>{1, 2, 3, 5, 6, 7, 9}));
    m.markAll();
    EXPECT_EQ(m.markedFiles(3).size(), 3u);  // cells after the last file are ignored
    EXPECT_FALSE(m.marked(99));
}

TEST(GridModel, PointerMarking) {
    enum Press { Left, ShiftLeft, Right, Outside, NewList };
    struct Step {
        Press press;
        GridCell cell;
        std::vector<size_t> marked;
        bool answer;  // to preview (left) or to move the current cell (right)
    };
    // 4 columns x 3 rows.
    const Step steps[] = {
        {Left, {1, 0}, {1}, true},
        {Left, {1, 0}, {}, false},                    // a marked cell is unmarked
        {ShiftLeft, {2, 1}, {1, 2, 5, 6}, true},      // the block from the last press
        {Right, {1, 0}, {1, 2, 5, 6}, false},         // a marked cell keeps every mark
        {Right, {3, 2}, {11}, true},                  // an unmarked one becomes the only mark
        {Outside, {-1, -1}, {11}, false},
        {ShiftLeft, {2, 1}, {6, 11}, true},                 // no block from outside the cells
        {NewList, {}, {6, 11}, false},
        {ShiftLeft, {1, 1}, {0, 1, 4, 5, 6, 11}, true},  // a new listing anchors at the first cell
    };
    GridMarks marks;
    marks.reset(12);
    GridPointerMarks pointer;
    for (const Step& s : steps) {
        bool answer = false;
        switch (s.press) {
            case Left: answer = pointer.leftPress(marks, s.cell, false, 4); break;
            case ShiftLeft: answer = pointer.leftPress(marks, s.cell, true, 4); break;
            case Right: answer = pointer.rightPress(marks, s.cell, 4); break;
            case Outside: pointer.otherPress(s.cell); break;
            case NewList: pointer.forget(); break;
        }
        SCOPED_TRACE(std::to_string(s.cell.col) + "," + std::to_string(s.cell.row));
        EXPECT_EQ(marks.markedFiles(12), s.marked);
        EXPECT_EQ(answer, s.answer);
    }
}

TEST(GridModel, ArrowWrap) {
    struct Row {
        GridCell sel;
        bool right;
        GridCell expected;
    } rows[] = {
        {{3, 0}, true, {-1, 1}},   // last column: continues on the next row
        {{3, 2}, true, {3, 2}},    // last row's last column stays
        {{0, 1}, false, {4, 0}},   // first column: previous row's end
        {{0, 0}, false, {0, 0}},
        {{1, 1}, true, {1, 1}},
    };
    for (const Row& r : rows) EXPECT_EQ(wrapArrow(r.sel, r.right, 4, 3), r.expected);
}

TEST(GridModel, KeyRangeFromAnchor) {
    // 4 columns x 3 rows; each step moves the current cell, extending or not.
    struct Step {
        GridCell to;
        bool extend;
        std::vector<size_t> marked;
    } steps[] = {
        {{1, 0}, false, {1}},
        {{2, 1}, true, {1, 2, 5, 6}},
        {{0, 1}, true, {0, 1, 4, 5}},     // back past the anchor: the block flips
        {{1, 0}, true, {1}},              // back on the anchor
        {{3, 2}, false, {11}},            // a plain move takes the anchor along
        {{3, 1}, true, {7, 11}},
    };
    GridRange range;
    GridMarks marks;
    marks.reset(12);
    marks.set(9, true);  // marks from before the keys do not survive
    for (const Step& s : steps) {
        range.moveTo(s.to, s.extend);
        markRange(marks, range, 4);
        EXPECT_EQ(marks.markedFiles(12), s.marked) << s.to.col << "," << s.to.row;
    }
}

TEST(GridModel, InfoTexts) {
    std::setlocale(LC_ALL, "C");
    struct Row {
        int32_t size;
        const char* text;
    } sizes[] = {{0, "1KB"}, {1023, "1KB"}, {1024, "2KB"}, {1500000, "1,465KB"}};
    for (const Row& r : sizes) EXPECT_EQ(formatKiloBytes(r.size), r.text);
    const uint32_t time = (uint32_t(2006 - 1980) << 25) | (7u << 21) | (9u << 16) | (13u << 11) | (5u << 5);
    const TSeekFile seek{1024, time, -1, "JPEG"};
    EXPECT_EQ(formatDosTime(seek.Time), "06/07/09 13:05");
    EXPECT_EQ(cellInfoText(0, "/p/a.b.jpeg", seek), "a.b.jpeg");
    EXPECT_EQ(cellInfoText(1, "/p/a.b.jpeg", seek), "2KB\n\r( a.b.jpeg )");
    EXPECT_EQ(cellInfoText(2, "/p/a.b.jpeg", seek), "06/07/09 13:05\n\r( a.b.jpeg )");
    EXPECT_EQ(cellInfoText(3, "/p/a.b.jpeg", seek), "JPEG FILE\n\r( a.b )");
    EXPECT_EQ(cellInfoText(7, "/p/a.jpeg", seek), "");
}

TEST(GridModel, SplitterSnap) {
    // Pitch 106 for ThumbSize 100.
    EXPECT_FALSE(snapGridPanel(300, 500, 100, 1, false).snapped);
    const GridSnap shift = snapGridPanel(300, 500, 100, 1, true);
    EXPECT_EQ(std::pair(shift.snapped, shift.height), std::pair(true, 3 * 106 + 3));
    const GridSnap small = snapGridPanel(50, 500, 100, 1, false);  // lower than a row: rounds to 0 rows
    EXPECT_EQ(std::pair(small.collapsed, small.height), std::pair(true, 1));
    EXPECT_EQ(snapGridPanel(480, 400, 100, 1, true).height, 3 * 106 + 3);  // never as high as the whole area
    EXPECT_EQ(snapGridPanel(104, 500, 100, 1, false).height, 109);
}

// A sort moves each mark with its file and reports where the previewed file went; a mode with no
// sort key leaves the list and its marks as they were.
TEST(GridModel, SortKeepsMarksWithTheirFiles) {
    struct Row {
        int nameView;
        bool desc;
        std::string shown;
        std::vector<std::string> order;  // names after the sort
        std::vector<size_t> marked;      // the marks of b and d at their new places
        std::optional<size_t> shownAt;
    } rows[] = {
        {1, false, "/p/c", {"d", "a", "c", "b"}, {0, 3}, 2},  // by size
        {1, true, "/p/a", {"b", "c", "a", "d"}, {0, 3}, 2},
        {0, true, "/p/gone", {"d", "c", "b", "a"}, {0, 2}, std::nullopt},
        {7, false, "/p/a", {"a", "b", "c", "d"}, {1, 3}, std::nullopt},  // no key: untouched
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.nameView) + (r.desc ? " descending" : ""));
        FileList list;
        for (auto [name, size] : {std::pair{"/p/a", 20}, {"/p/b", 40}, {"/p/c", 30}, {"/p/d", 10}})
            list.append(name, TSeekFile{size, 0, 0, ""});
        GridMarks marks;
        marks.reset(6);
        marks.set(1, true);
        marks.set(3, true);
        const MarkedSort s = sortKeepingMarks(list, marks, r.nameView, r.desc, r.shown);
        std::vector<std::string> order;
        for (const FileEntry& e : list) order.push_back(e.path.substr(3));
        EXPECT_EQ(s.sorted, r.nameView != 7);
        EXPECT_EQ(order, r.order);
        EXPECT_EQ(marks.markedFiles(list.size()), r.marked);
        EXPECT_EQ(s.shownIndex, r.shownAt);
    }
}
