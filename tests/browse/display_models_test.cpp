// What the grid, the preview and the slideshow show, without a window.
#include <gtest/gtest.h>

#include <clocale>

#include "browse/GridModel.h"
#include "browse/PreviewModel.h"
#include "browse/SlideShow.h"
#include "tests/support/CodecSamples.h"
#include "tests/support/PhotoSamples.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"

using namespace korvel;
using namespace korvel::testing;
using Marked = std::vector<size_t>;

TEST(GridModel, Layout) {
    // Thumbnails of 100 with lines of 1: cells of 105.
    const std::tuple<int, int, size_t, std::tuple<int, int, int>> rows[] = {
        {430, 300, 9, {105, 4, 3}},  // the last row holds one file
        {430, 300, 8, {105, 4, 2}},
        {430, 330, 0, {105, 4, 3}},  // empty list: as many rows as fit
        {50, 50, 0, {105, 1, 1}},    // never below one column or row
    };
    for (const auto& [w, h, files, want] : rows) {
        const GridLayout g = computeGridLayout(100, 1, w, h, files);
        EXPECT_EQ(std::tuple(g.cellSize, g.colCount, g.rowCount), want) << w << "x" << h << ", " << files;
    }
}

TEST(GridModel, PointerMarking) {
    enum Press { Left, ShiftLeft, Right, Outside, NewList };
    // 4 columns x 3 rows; answer: to preview (left) or to move the current cell (right).
    const struct {
        Press press;
        GridCell cell;
        Marked marked;
        bool answer;
    } steps[] = {
        {Left, {1, 0}, {1}, true},
        {Left, {1, 0}, {}, false},                       // a marked cell is unmarked
        {ShiftLeft, {2, 1}, {1, 2, 5, 6}, true},         // the block from the last press
        {Right, {1, 0}, {1, 2, 5, 6}, false},            // a marked cell keeps every mark
        {Right, {3, 2}, {11}, true},                     // an unmarked one becomes the only mark
        {Outside, {-1, -1}, {11}, false},
        {ShiftLeft, {2, 1}, {6, 11}, true},              // no block from outside the cells
        {NewList, {}, {6, 11}, false},
        {ShiftLeft, {1, 1}, {0, 1, 4, 5, 6, 11}, true},  // a new listing anchors at the first cell
    };
    GridMarks marks;
    marks.reset(12);
    GridPointerMarks pointer;
    for (const auto& s : steps) {
        bool answer = false;
        switch (s.press) {
            case Left: answer = pointer.leftPress(marks, s.cell, false, 4); break;
            case ShiftLeft: answer = pointer.leftPress(marks, s.cell, true, 4); break;
            case Right: answer = pointer.rightPress(marks, s.cell, 4); break;
            case Outside: pointer.otherPress(s.cell); break;
            case NewList: pointer.forget(); break;
        }
        EXPECT_EQ(std::pair(marks.markedFiles(12), answer), std::pair(s.marked, s.answer))
            << "press " << s.press << " at " << s.cell.col << "," << s.cell.row;
    }
}

TEST(GridModel, ArrowWrap) {
    const std::tuple<GridCell, bool, GridCell> rows[] = {
        {{3, 0}, true, {-1, 1}},  // last column: continues on the next row
        {{3, 2}, true, {3, 2}},   // last row's last column stays
        {{0, 1}, false, {4, 0}},  // first column: previous row's end
        {{0, 0}, false, {0, 0}},
    };
    for (const auto& [sel, right, want] : rows) EXPECT_EQ(wrapArrow(sel, right, 4, 3), want);
}

TEST(GridModel, KeyRangeFromAnchor) {
    // 4 columns x 3 rows; each step moves the current cell, extending or not.
    const std::tuple<GridCell, bool, Marked> steps[] = {
        {{1, 0}, false, {1}},
        {{2, 1}, true, {1, 2, 5, 6}},
        {{0, 1}, true, {0, 1, 4, 5}},  // back past the anchor: the block flips
        {{1, 0}, true, {1}},           // back on the anchor
        {{3, 2}, false, {11}},         // a plain move takes the anchor along
        {{3, 1}, true, {7, 11}},
    };
    GridRange range;
    GridMarks marks;
    marks.reset(12);
    marks.set(9, true);  // marks from before the keys do not survive
    for (const auto& [to, extend, marked] : steps) {
        range.moveTo(to, extend);
        markRange(marks, range, 4);
        EXPECT_EQ(marks.markedFiles(12), marked) << to.col << "," << to.row;
    }
    marks.markAll();
    EXPECT_EQ(marks.markedFiles(3).size(), 3u);  // cells after the last file are ignored
}

TEST(GridModel, InfoTexts) {
    std::setlocale(LC_ALL, "C");
    for (auto [size, text] : {std::pair{1023, "1KB"}, {1024, "2KB"}, {1500000, "1,465KB"}})
        EXPECT_EQ(formatKiloBytes(size), text);
    const uint32_t time = (uint32_t(2006 - 1980) << 25) | (7u << 21) | (9u << 16) | (13u << 11) | (5u << 5);
    const TSeekFile seek{1024, time, -1, "JPEG"};
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
    const struct {
        int nameView;
        bool desc;
        std::string shown;
        std::string order;  // names after the sort
        Marked marked;      // the marks of b and d at their new places
        std::optional<size_t> shownAt;
    } rows[] = {
        {1, false, "/p/c", "dacb", {0, 3}, 2},  // by size
        {0, true, "/p/gone", "dcba", {0, 2}, std::nullopt},
        {7, false, "/p/a", "abcd", {1, 3}, std::nullopt},  // no key: untouched
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.nameView) + (r.desc ? " descending" : ""));
        FileList list;
        for (auto [name, size] : {std::pair{"/p/a", 20}, {"/p/b", 40}, {"/p/c", 30}, {"/p/d", 10}})
            list.append(name, TSeekFile{size, 0, 0, ""});
        GridMarks marks;
        marks.reset(6);
        marks.set(1, true);
        marks.set(3, true);
        const MarkedSort s = sortKeepingMarks(list, marks, r.nameView, r.desc, r.shown);
        std::string order;
        for (const FileEntry& e : list) order += e.path.substr(3);
        EXPECT_EQ(std::tuple(s.sorted, order, marks.markedFiles(list.size()), s.shownIndex),
                  std::tuple(r.nameView != 7, r.order, r.marked, r.shownAt));
    }
}

namespace {
void writeImage(const std::string& path, int w, int h) { saveBmp(TBitmap(w, h, PixelFormat::pf24bit), path); }
}  // namespace

TEST(PreviewModel, LoaderRequests) {
    using Load = PreviewModel::Load;
    TempTree t;
    writeImage(t / "a.bmp", 30, 20);
    t.write("bad.bmp", "BM not a bitmap");
    PreviewModel p;
    const uint64_t first = p.begin(t / "a.bmp");
    const uint64_t second = p.begin(t / "a.bmp");
    EXPECT_TRUE(p.loading());
    EXPECT_EQ(p.load(t / "a.bmp", first), Load::Stopped);  // superseded
    EXPECT_FALSE(p.bitmap());
    EXPECT_EQ(p.load(t / "a.bmp", second), Load::Loaded);
    EXPECT_EQ(p.bitmap() ? p.bitmap()->width() : 0, 30);
    p.loaded();
    EXPECT_FALSE(p.loading());
    const uint64_t third = p.begin(t / "bad.bmp");
    EXPECT_EQ(p.load(t / "bad.bmp", third), Load::Failed);
    EXPECT_FALSE(p.bitmap());
    EXPECT_EQ(p.load(t / "a.bmp", third), Load::Stopped);  // a failure stops the request
    const uint64_t fourth = p.begin(t / "a.bmp");
    p.stop();  // the window closes
    EXPECT_EQ(p.load(t / "a.bmp", fourth), Load::Stopped);
}

TEST(PreviewModel, FitsThePane) {
    TempTree t;
    const struct {
        int iw, ih, pw, ph;
        bool fullSize, enlarge;
        int sw, sh;  // the size painted
    } rows[] = {
        {20, 10, 200, 200, false, false, 20, 10},     // small: its own size
        {20, 10, 200, 200, false, true, 200, 100},    // enlarged on request, aspect kept
        {1000, 10, 300, 200, false, false, 300, 3},   // wide: width-bound
        {10, 1000, 300, 200, false, false, 2, 200},   // tall: height-bound
        {3000, 1, 300, 200, false, false, 300, 1},    // never thinner than a pixel
        {1000, 10, 300, 200, true, false, 1000, 10},  // full size draws the image itself
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.iw) + "x" + std::to_string(r.ih));
        writeImage(t / "i.bmp", r.iw, r.ih);
        PreviewModel p, early;
        ASSERT_EQ(p.load(t / "i.bmp", p.begin(t / "i.bmp")), PreviewModel::Load::Loaded);
        const TBitmap* shown = p.shown(r.pw, r.ph, r.fullSize, r.enlarge, true);
        ASSERT_TRUE(shown);
        EXPECT_EQ(std::pair(shown->width(), shown->height()), std::pair(r.sw, r.sh));
        // Before the layout is final no copy is made: the image itself is painted.
        early.load(t / "i.bmp", early.begin(t / "i.bmp"));
        EXPECT_EQ(early.shown(r.pw, r.ph, r.fullSize, r.enlarge, false), early.bitmap());
    }
}

// A large JPEG shown fitted is decoded only as far as the pane needs, looks as the fitted copy
// of the full decode does, and still gives its full pixels to full size and turns.
TEST(PreviewModel, LargeJpegFitsFromAReducedDecode) {
    TempTree t;
    // Smooth ramps, as a photo is at the scale of a pane; a turned or mirrored decode would show.
    TBitmap image(1600, 1200, PixelFormat::pf24bit);
    for (int y = 0; y < 1200; ++y)
        for (int x = 0; x < 1600; ++x)
            image.setRawPixel(x, y, makeColor(uint8_t(x * 255 / 1599), uint8_t(y * 255 / 1199),
                                              uint8_t((x + y) / 11)));
    const PhotoBytes jpeg = encodedJpeg(image, 95);
    const std::string path = t.write("big.jpg", std::string(jpeg.begin(), jpeg.end()));
    // The scale is the codec's choice; one 300 x 200 pane shows the preview asks for its own size.
    PreviewModel full, reduced, early;
    ASSERT_EQ(full.load(path, full.begin(path)), PreviewModel::Load::Loaded);
    ASSERT_EQ(reduced.load(path, reduced.begin(path), 300, 200), PreviewModel::Load::Loaded);
    EXPECT_FALSE(dynamic_cast<const TBitmap*>(reduced.picture().graphic())) << "decoded at full size";
    EXPECT_EQ(reduced.picture().width(), 1600);
    const TBitmap* want = full.shown(300, 200, false, false, true);
    const TBitmap* got = reduced.shown(300, 200, false, false, true);
    ASSERT_TRUE(want && got);
    ASSERT_EQ(std::pair(got->width(), got->height()), std::pair(266, 200));
    std::vector<uint8_t> a(266 * 3), b(a.size());
    double sum = 0;
    for (int y = 0; y < 200; ++y) {
        want->rowToBgr(y, a.data());
        got->rowToBgr(y, b.data());
        for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
    }
    EXPECT_LT(sum / double(a.size() * 200), 1.0);
    // Another pane size refits from the file; full size and a turn get every pixel.
    const TBitmap* turned = reduced.shown(200, 300, false, false, true);
    const TBitmap* turnedFull = full.shown(200, 300, false, false, true);
    EXPECT_EQ(std::pair(turned->width(), turned->height()), std::pair(turnedFull->width(), turnedFull->height()));
    EXPECT_EQ(reduced.shown(300, 200, true, false, true)->width(), 1600);
    const TBitmap* turnable = reduced.editableBitmap();
    EXPECT_EQ(turnable ? turnable->height() : 0, 1200);
    // Before the pane is laid out nothing is decoded; its first fitting decodes reduced.
    ASSERT_EQ(early.load(path, early.begin(path), -1, 0), PreviewModel::Load::Loaded);
    EXPECT_FALSE(early.shown(300, 200, false, false, false));
    EXPECT_EQ(early.shown(300, 200, false, false, true)->width(), 266);
    EXPECT_FALSE(dynamic_cast<const TBitmap*>(early.picture().graphic()));
}

// shown: the 1-based slide on screen (the index has moved past it); loads: the 1-based slide a
// command loads.
TEST(SlidePlaylist, NavigationWrapsAndShiftJumpsOneGridRow) {
    using Nav = SlidePlaylist::Nav;
    const struct {
        int count, shown, jump;
        Nav nav;
        size_t loads;
    } rows[] = {
        {10, 1, 0, Nav::Previous, 10},  // left on the first shows the last
        {10, 10, 0, Nav::Next, 1},      // right on the last shows the first
        {10, 10, 0, Nav::Previous, 9},
        {10, 2, 3, Nav::Next, 6},       // Shift+Right with four columns
        {10, 9, 3, Nav::Next, 3},
        {1, 1, 0, Nav::Previous, 1},
    };
    for (const auto& r : rows) {
        SlidePlaylist list;
        list.build({}, std::vector<std::string>(size_t(r.count)));
        for (int i = 0; i < r.shown; ++i) list.advance();
        list.jump(r.jump);
        list.navigate(r.nav);
        EXPECT_EQ(list.index() + 1, r.loads) << r.count << " slides, on " << r.shown << "+" << r.jump;
    }
}

TEST(SlidePlace, NeverEnlargesAndCentresTheReducedSize) {
    const struct {
        int w, h, W, H;
        SlidePlace place;
    } rows[] = {
        {4000, 3000, 800, 600, {0, 0, 800, 600, true}},
        {300, 200, 800, 600, {250, 200, 300, 200, false}},
        {301, 200, 800, 600, {250, 200, 301, 200, false}},  // 249.5 rounds away from zero
        {1000, 3000, 800, 600, {300, 0, 200, 600, true}},
        {800, 600, 800, 600, {0, 0, 800, 600, false}},
        {5000, 1, 100, 100, {0, 50, 100, 1, true}},  // never thinner than one pixel
    };
    for (const auto& r : rows)
        EXPECT_EQ(placeSlide(r.w, r.h, r.W, r.H), r.place) << r.w << "x" << r.h << " in " << r.W;
}

TEST(DecodeSlide, JpegAtAScaleCoveringTheScreenThenFitted) {
    TempTree dir;
    const std::string path = dir / "big.jpg";
    writeFile(path, jpegSample(1600, 1200, false, false));
    // The scale is the codec's choice; 1/4 just covers a 400 x 300 screen, not a 300 x 400 one.
    EXPECT_EQ(decodeSlide(path, 400, 300).width(), 400);

    TBitmap slide = decodeSlide(path, 800, 600);
    EXPECT_TRUE(fitSlide(slide, 640, 400));
    EXPECT_EQ(std::pair(slide.width(), slide.height()), std::pair(533, 400));
    EXPECT_FALSE(fitSlide(slide, 640, 400));

    writeFile(dir / "bad.jpg", std::string("\xFF\xD8\xFF\xE0 not a picture", 20));
    EXPECT_ANY_THROW(decodeSlide(dir / "bad.jpg", 800, 600));
}
