// What the grid, the preview and the slideshow show, without a window.
#include <gtest/gtest.h>

#include <clocale>

#include "browse/GridModel.h"
#include "browse/PreviewModel.h"
#include "browse/SlidePrefetch.h"
#include "browse/SlideShow.h"
#include <map>
#include <sstream>
#include "tests/support/CodecCases.h"
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
    // 4 columns x 3 rows; the marks after each press, and the answer: to preview (left) or to move
    // the current cell (right).
    const std::tuple<Press, GridCell, Marked, bool> steps[] = {
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
    for (const auto& [press, cell, marked, want] : steps) {
        bool answer = false;
        switch (press) {
            case Left: answer = pointer.leftPress(marks, cell, false, 4); break;
            case ShiftLeft: answer = pointer.leftPress(marks, cell, true, 4); break;
            case Right: answer = pointer.rightPress(marks, cell, 4); break;
            case Outside: pointer.otherPress(cell); break;
            case NewList: pointer.forget(); break;
        }
        EXPECT_EQ(std::pair(marks.markedFiles(12), answer), std::pair(marked, want))
            << "press " << press << " at " << cell.col << "," << cell.row;
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
    // Name view, descending, the previewed file; the names after the sort, the marks of b and d at
    // their new places and the previewed file's new place.
    const std::tuple<int, bool, std::string, std::string, Marked, std::optional<size_t>> rows[] = {
        {1, false, "/p/c", "dacb", {0, 3}, 2},  // by size
        {0, true, "/p/gone", "dcba", {0, 2}, std::nullopt},
        {7, false, "/p/a", "abcd", {1, 3}, std::nullopt},  // no key: untouched
    };
    for (const auto& [nameView, desc, shown, wantOrder, marked, shownAt] : rows) {
        SCOPED_TRACE(std::to_string(nameView) + (desc ? " descending" : ""));
        FileList list;
        for (auto [name, size] : {std::pair{"/p/a", 20}, {"/p/b", 40}, {"/p/c", 30}, {"/p/d", 10}})
            list.append(name, TSeekFile{size, 0, 0, ""});
        GridMarks marks;
        marks.reset(6);
        marks.set(1, true);
        marks.set(3, true);
        const MarkedSort s = sortKeepingMarks(list, marks, nameView, desc, shown);
        std::string order;
        for (const FileEntry& e : list) order += e.path.substr(3);
        EXPECT_EQ(std::tuple(s.sorted, order, marks.markedFiles(list.size()), s.shownIndex),
                  std::tuple(nameView != 7, wantOrder, marked, shownAt));
    }
}

TEST(PreviewModel, LoaderRequests) {
    using Load = PreviewModel::Load;
    TempTree t;
    saveBmp(TBitmap(30, 20, PixelFormat::pf24bit), t / "a.bmp");
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
    // Image and pane sizes, full size, enlarge; the size painted.
    const std::tuple<int, int, int, int, bool, bool, int, int> rows[] = {
        {20, 10, 200, 200, false, false, 20, 10},     // small: its own size
        {20, 10, 200, 200, false, true, 200, 100},    // enlarged on request, aspect kept
        {1000, 10, 300, 200, false, false, 300, 3},   // wide: width-bound
        {10, 1000, 300, 200, false, false, 2, 200},   // tall: height-bound
        {3000, 1, 300, 200, false, false, 300, 1},    // never thinner than a pixel
        {1000, 10, 300, 200, true, false, 1000, 10},  // full size draws the image itself
    };
    for (const auto& [iw, ih, pw, ph, fullSize, enlarge, sw, sh] : rows) {
        SCOPED_TRACE(std::to_string(iw) + "x" + std::to_string(ih));
        saveBmp(TBitmap(iw, ih, PixelFormat::pf24bit), t / "i.bmp");
        PreviewModel p, early;
        ASSERT_EQ(p.load(t / "i.bmp", p.begin(t / "i.bmp")), PreviewModel::Load::Loaded);
        const TBitmap* shown = p.shown(pw, ph, fullSize, enlarge, true);
        ASSERT_TRUE(shown);
        EXPECT_EQ(std::pair(shown->width(), shown->height()), std::pair(sw, sh));
        // Before the layout is final no copy is made: the image itself is painted.
        early.load(t / "i.bmp", early.begin(t / "i.bmp"));
        EXPECT_EQ(early.shown(pw, ph, fullSize, enlarge, false), early.bitmap());
    }
}

// A large JPEG shown fitted is decoded only as far as the pane needs, looks as the fitted copy
// of the full decode does, and still gives its full pixels to full size and turns.
TEST(PreviewModel, LargeJpegFitsFromAReducedDecode) {
    TempTree t;
    // Smooth ramps, as a photo is at the scale of a pane; a turned or mirrored decode would show.
    const PhotoBytes jpeg = encodedJpeg(rampImage(1600, 1200), 95);
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
    // The window asks before it fits: another pane size needs a decode (which it runs off its
    // thread), the same one or a pane the picture fits in does not; the copy in hand stays.
    EXPECT_FALSE(reduced.fitNeedsDecode(300, 200, false));
    EXPECT_TRUE(reduced.fitNeedsDecode(200, 300, false));
    EXPECT_FALSE(reduced.fitNeedsDecode(1600, 1200, false));
    EXPECT_FALSE(reduced.fitNeedsDecode(200, 300, true));
    EXPECT_EQ(reduced.shown(200, 300, false, false, false), got);
    EXPECT_FALSE(full.fitNeedsDecode(200, 300, false)) << "a full decode is stretched, not decoded again";
    // Another pane size refits from the file; full size and a turn get every pixel.
    const TBitmap* tall = reduced.shown(200, 300, false, false, true);
    const TBitmap* tallFull = full.shown(200, 300, false, false, true);
    EXPECT_EQ(std::pair(tall->width(), tall->height()), std::pair(tallFull->width(), tallFull->height()));
    EXPECT_EQ(reduced.shown(300, 200, true, false, true)->width(), 1600);
    const TBitmap* turnable = reduced.editableBitmap();
    EXPECT_EQ(turnable ? turnable->height() : 0, 1200);
    // Before the pane is laid out nothing is decoded; its first fitting decodes reduced.
    ASSERT_EQ(early.load(path, early.begin(path), -1, 0), PreviewModel::Load::Loaded);
    EXPECT_TRUE(early.fitNeedsDecode(300, 200, false));
    EXPECT_FALSE(early.shown(300, 200, false, false, false));
    EXPECT_EQ(early.shown(300, 200, false, false, true)->width(), 266);
    EXPECT_FALSE(dynamic_cast<const TBitmap*>(early.picture().graphic()));
}

// Slides, the 1-based slide on screen (the index has moved past it), the jump and the command;
// the 1-based slide it loads.
TEST(SlidePlaylist, NavigationWrapsAndShiftJumpsOneGridRow) {
    using Nav = SlidePlaylist::Nav;
    const std::tuple<int, int, int, Nav, size_t> rows[] = {
        {10, 1, 0, Nav::Previous, 10},  // left on the first shows the last
        {10, 10, 0, Nav::Next, 1},      // right on the last shows the first
        {10, 10, 0, Nav::Previous, 9},
        {10, 2, 3, Nav::Next, 6},       // Shift+Right with four columns
        {10, 9, 3, Nav::Next, 3},
        {1, 1, 0, Nav::Previous, 1},
    };
    for (const auto& [count, shown, jump, nav, loads] : rows) {
        SlidePlaylist list;
        list.build({}, std::vector<std::string>(size_t(count)));
        for (int i = 0; i < shown; ++i) list.advance();
        list.jump(jump);
        list.navigate(nav);
        EXPECT_EQ(list.index() + 1, loads) << count << " slides, on " << shown << "+" << jump;
    }
}

// Wheel reports in turn, and the slides each one moves (on positive). Notches of 120 move one
// slide each; a touch pad's small deltas add up; turning back drops what was gathered the other way.
TEST(WheelSteps, NotchesAndSmallDeltasAddUp) {
    const std::pair<const char*, std::vector<std::pair<int, int>>> rows[] = {
        {"a notch down, then up", {{-120, 1}, {120, -1}}},
        {"three notches at once", {{-360, 3}}},
        {"touch pad", {{-40, 0}, {-40, 0}, {-40, 1}, {-50, 0}}},
        {"turned back halfway", {{-100, 0}, {30, 0}, {90, -1}}},
        {"a notch and a half, then half", {{180, -1}, {60, -1}}},
        {"nothing vertical", {{0, 0}}},
        {"absurd report", {{-2147483647 - 1, 100}}},
    };
    for (const auto& [name, reports] : rows) {
        WheelSteps wheel;
        for (const auto& [delta, steps] : reports) EXPECT_EQ(wheel.add(delta), steps) << name << ", " << delta;
    }
}

TEST(SlidePlace, NeverEnlargesAndCentresTheReducedSize) {
    const std::tuple<int, int, int, int, SlidePlace> rows[] = {
        {4000, 3000, 800, 600, {0, 0, 800, 600, true}},
        {300, 200, 800, 600, {250, 200, 300, 200, false}},
        {301, 200, 800, 600, {250, 200, 301, 200, false}},  // 249.5 rounds away from zero
        {1000, 3000, 800, 600, {300, 0, 200, 600, true}},
        {800, 600, 800, 600, {0, 0, 800, 600, false}},
        {5000, 1, 100, 100, {0, 50, 100, 1, true}},  // never thinner than one pixel
    };
    for (const auto& [w, h, W, H, place] : rows)
        EXPECT_EQ(placeSlide(w, h, W, H), place) << w << "x" << h << " in " << W;
}

// A slide decoded ahead is shown only while its file is the one decoded: a new time alone, or
// another file renamed over it with the same size and time, counts as a change.
TEST(SlideStamp, ChangedFilesAreNotCurrent) {
    for (const int change : {0, 1, 2}) {
        TempTree d;
        for (const char* name : {"s.bmp", "new.bmp"}) d.write(name, "abcd"), d.mtime(name, 1700000000);
        const SlideStamp decoded = stampSlideFile(d / "s.bmp");
        if (change == 1) d.mtime("s.bmp", 1700000001);
        if (change == 2) std::filesystem::rename(d / "new.bmp", d / "s.bmp");
        EXPECT_EQ(slideIsCurrent(decoded, d / "s.bmp"), change == 0) << change;
    }
}

// The decode-ahead as a script of what happens, against what the window is told to do: "dN:p@w"
// decode order N of file p for a box w wide, "sN" show the result of order N, "wait" for the
// decode in hand, "keep" the result as the next slide, "drop" it. A file's stamp is the version
// it had when its decode was ordered; "change p" makes a new version.
TEST(SlidePrefetch, DecodesAheadAndKnowsWhatAResultMeans) {
    const std::pair<const char*, const char*> rows[] = {
        {"due a; arrive 1; shown; ahead b; arrive 2; due b", "d1:a@100 s1 tick d2:b@100 keep s2"},
        {"due a; arrive 1; shown; ahead b; due b; arrive 2", "d1:a@100 s1 tick d2:b@100 wait s2"},
        // The file changed before its turn: once decoded, or while its decode was in hand.
        {"ahead b; arrive 1; change b; due b; arrive 2", "d1:b@100 keep d2:b@100 s2"},
        {"ahead b; due b; change b; arrive 1; arrive 2", "d1:b@100 wait d2:b@100 s2"},
        // A change after the decode of the slide's turn began is not checked.
        {"due b; change b; arrive 1", "d1:b@100 s1"},
        // The box changed: what was kept and what is wanted are decoded for the new size; a
        // failed decode or one that is not fitted is shown as it is.
        {"ahead b; arrive 1; box 50; outdated; due b; arrive 2", "d1:b@100 keep yes d2:b@50 s2"},
        {"ahead b; outdated; box 50; outdated", "d1:b@100 no yes"},
        {"due a; box 50; arrive 1; arrive 2", "d1:a@100 d2:a@50 s2"},
        {"due a; box 50; fail 1", "d1:a@100 s1"},
        {"unfit a; box 50; arrive 1", "d1:a@100 s1"},
        // Another slide is wanted: results of older orders and of a replaced ahead are dropped.
        {"nav a; nav c; arrive 1; arrive 2; shown", "d1:a@100 d2:c@100 drop s2 nav"},
        {"ahead b; ahead c; arrive 1; arrive 2; due b", "d1:b@100 d2:c@100 drop keep d3:b@100"},
        {"due a; arrive 1; shown; arrive 1", "d1:a@100 s1 tick drop"},
        // A slide kept ahead for another file is not shown at the turn of this one.
        {"ahead b; arrive 1; due c; arrive 1", "d1:b@100 keep d2:c@100 drop"},
    };
    for (const auto& [script, expected] : rows) {
        std::map<std::string, long long> version;
        SlidePrefetch prefetch([&](const SlideStamp& s, const std::string& p) { return s.size == version[p]; });
        std::map<uint64_t, SlideOrder> ordered;
        std::map<uint64_t, long long> stampOf;
        SlideBox box{100, 80};
        std::vector<std::string> seen;
        auto told = [&](SlidePrefetch::Step step, const char* otherwise) {
            if (step.show) return seen.push_back("s" + std::to_string(step.show->order.id));
            if (!step.decode) return seen.push_back(otherwise);
            const SlideOrder& o = *step.decode;
            ordered[o.id] = o;
            stampOf[o.id] = version[o.path];
            seen.push_back("d" + std::to_string(o.id) + ":" + o.path + "@" + std::to_string(o.box.width));
        };
        std::istringstream in(script);
        for (std::string op; std::getline(in >> std::ws, op, ';');) {
            std::istringstream words(op);
            std::string verb, arg;
            words >> verb >> arg;
            if (verb == "due" || verb == "nav" || verb == "unfit") {
                const auto kind = verb == "nav" ? SlidePrefetch::Pending::Navigation : SlidePrefetch::Pending::Tick;
                told(prefetch.due(kind, arg, box, verb != "unfit"), "wait");
            } else if (verb == "ahead") {
                told({nullptr, prefetch.ahead(arg, box, true)}, "");
            } else if (verb == "arrive" || verb == "fail") {
                auto r = std::make_shared<DecodedSlide>();
                r->order = ordered.at(std::stoull(arg));
                r->ok = verb == "arrive";
                r->stamp.size = stampOf.at(r->order.id);
                const DecodedSlide* raw = r.get();
                SlidePrefetch::Step step = prefetch.arrived(std::move(r), box);
                told(std::move(step), prefetch.kept() == raw ? "keep" : "drop");
            } else if (verb == "shown") {
                seen.push_back(prefetch.shown() == SlidePrefetch::Pending::Navigation ? "nav" : "tick");
                EXPECT_EQ(prefetch.pending(), SlidePrefetch::Pending::None);
            } else if (verb == "change") {
                ++version[arg];
            } else if (verb == "box") {
                box.width = std::stoi(arg);
            } else if (verb == "outdated") {
                seen.push_back(prefetch.aheadOutdated(box) ? "yes" : "no");
            } else {
                FAIL() << op;
            }
        }
        std::string got;
        for (const std::string& w : seen) got += (got.empty() ? "" : " ") + w;
        EXPECT_EQ(got, expected) << script;
    }
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
