// Pictures for display without a window. The preview: a stale loader does nothing, a bad file
// leaves no picture, and the fitted copy keeps the aspect within the pane. The slideshow:
// navigation and its wrap, the Shift jumps, where a slide is drawn, and decoding for the screen.
#include <gtest/gtest.h>

#include "browse/PreviewModel.h"
#include "browse/SlideShow.h"
#include "tests/support/CodecSamples.h"
#include "tests/support/PhotoSamples.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"

using namespace korvel;
using namespace korvel::testing;

namespace {
void writeImage(const std::string& path, int w, int h) { saveBmp(TBitmap(w, h, PixelFormat::pf24bit), path); }
}  // namespace

TEST(PreviewModel, LoaderRequests) {
    TempTree t;
    writeImage(t / "a.bmp", 30, 20);
    t.write("bad.bmp", "BM not a bitmap");
    PreviewModel p;
    const uint64_t first = p.begin(t / "a.bmp");
    const uint64_t second = p.begin(t / "a.bmp");
    EXPECT_TRUE(p.loading());
    EXPECT_EQ(p.load(t / "a.bmp", first), PreviewModel::Load::Stopped);  // superseded
    EXPECT_FALSE(p.bitmap());
    EXPECT_EQ(p.load(t / "a.bmp", second), PreviewModel::Load::Loaded);
    ASSERT_TRUE(p.bitmap());
    EXPECT_EQ(p.bitmap()->width(), 30);
    p.loaded();
    EXPECT_FALSE(p.loading());
    const uint64_t third = p.begin(t / "bad.bmp");
    EXPECT_EQ(p.load(t / "bad.bmp", third), PreviewModel::Load::Failed);
    EXPECT_FALSE(p.bitmap());
    EXPECT_EQ(p.load(t / "a.bmp", third), PreviewModel::Load::Stopped);  // a failure stops the request
    const uint64_t fourth = p.begin(t / "a.bmp");
    p.stop();  // the window closes
    EXPECT_EQ(p.load(t / "a.bmp", fourth), PreviewModel::Load::Stopped);
}

TEST(PreviewModel, FitsThePane) {
    TempTree t;
    struct Row {
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
    for (const Row& r : rows) {
        writeImage(t / "i.bmp", r.iw, r.ih);
        PreviewModel p;
        ASSERT_EQ(p.load(t / "i.bmp", p.begin(t / "i.bmp")), PreviewModel::Load::Loaded);
        const TBitmap* shown = p.shown(r.pw, r.ph, r.fullSize, r.enlarge, true);
        ASSERT_TRUE(shown);
        EXPECT_EQ(std::pair(shown->width(), shown->height()), std::pair(r.sw, r.sh)) << r.iw << "x" << r.ih;
        // Before the layout is final no copy is made: the image itself is painted.
        PreviewModel early;
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
    struct Row {
        int pw, ph, fw, fh;  // pane, fitted size
    } rows[] = {{300, 200, 266, 200}, {800, 700, 800, 600}, {150, 150, 150, 112}};
    for (const Row& r : rows) {
        PreviewModel full, reduced;
        ASSERT_EQ(full.load(path, full.begin(path)), PreviewModel::Load::Loaded);
        ASSERT_EQ(reduced.load(path, reduced.begin(path), r.pw, r.ph), PreviewModel::Load::Loaded);
        EXPECT_FALSE(dynamic_cast<const TBitmap*>(reduced.picture().graphic())) << "decoded at full size";
        EXPECT_EQ(reduced.picture().width(), 1600);
        const TBitmap* want = full.shown(r.pw, r.ph, false, false, true);
        const TBitmap* got = reduced.shown(r.pw, r.ph, false, false, true);
        ASSERT_TRUE(want && got);
        ASSERT_EQ(std::pair(got->width(), got->height()), std::pair(r.fw, r.fh));
        std::vector<uint8_t> a(size_t(r.fw) * 3), b(a.size());
        double sum = 0;
        for (int y = 0; y < r.fh; ++y) {
            want->rowToBgr(y, a.data());
            got->rowToBgr(y, b.data());
            for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
        }
        EXPECT_LT(sum / double(a.size() * size_t(r.fh)), 1.0) << r.pw << "x" << r.ph;
        // Another pane size refits from the file; full size and a turn get every pixel.
        const TBitmap* turnedPane = reduced.shown(r.ph, r.pw, false, false, true);
        EXPECT_EQ(turnedPane->width(), full.shown(r.ph, r.pw, false, false, true)->width());
        EXPECT_EQ(turnedPane->height(), full.fitted().height());
        EXPECT_EQ(reduced.shown(r.pw, r.ph, true, false, true)->width(), 1600);
        TBitmap* turnable = reduced.editableBitmap();
        ASSERT_TRUE(turnable);
        EXPECT_EQ(turnable->height(), 1200);
    }
    // Before the pane is laid out nothing is decoded; its first fitting decodes reduced.
    PreviewModel early;
    ASSERT_EQ(early.load(path, early.begin(path), -1, 0), PreviewModel::Load::Loaded);
    EXPECT_FALSE(early.shown(300, 200, false, false, false));
    EXPECT_EQ(early.shown(300, 200, false, false, true)->width(), 266);
    EXPECT_FALSE(dynamic_cast<const TBitmap*>(early.picture().graphic()));
}

// shown: the 1-based slide on screen (the index has moved past it); the expected slide a
// command loads, 1-based.
TEST(SlidePlaylist, NavigationWrapsAndShiftJumpsOneGridRow) {
    using Nav = SlidePlaylist::Nav;
    const struct {
        int count, shown, jump;
        Nav nav;
        int loads;
    } rows[] = {
        {10, 1, 0, Nav::Previous, 10},  // left on the first shows the last
        {10, 10, 0, Nav::Next, 1},      // right on the last shows the first
        {10, 10, 0, Nav::Previous, 9},
        {10, 2, 3, Nav::Next, 6},       // Shift+Right with four columns
        {10, 9, 3, Nav::Next, 3},
        {1, 1, 0, Nav::Previous, 1},
        {2, 1, 0, Nav::Previous, 2},
    };
    for (const auto& r : rows) {
        SlidePlaylist list;
        list.build({}, std::vector<std::string>(size_t(r.count)));
        for (int i = 0; i < r.shown; ++i) list.advance();
        list.jump(r.jump);
        list.navigate(r.nav);
        EXPECT_EQ(list.index() + 1, size_t(r.loads)) << r.count << " slides, on " << r.shown << "+" << r.jump;
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

TEST(DecodeSlide, JpegAtTheCoarsestScaleCoveringTheScreenThenFitted) {
    TempTree dir;
    const std::string path = dir / "big.jpg";
    writeFile(path, jpegSample(1600, 1200, false, false));
    const struct {
        int screenW, screenH, decodedW;
    } rows[] = {{400, 300, 400}, {401, 300, 800}, {1600, 1200, 1600}, {200, 100, 200}};
    for (const auto& r : rows)
        EXPECT_EQ(decodeSlide(path, r.screenW, r.screenH).width(), r.decodedW) << r.screenW;

    TBitmap slide = decodeSlide(path, 800, 600);
    EXPECT_TRUE(fitSlide(slide, 640, 400));
    EXPECT_EQ(slide.width(), 533);
    EXPECT_EQ(slide.height(), 400);
    EXPECT_FALSE(fitSlide(slide, 640, 400));

    writeFile(dir / "bad.jpg", std::string("\xFF\xD8\xFF\xE0 not a picture", 20));
    EXPECT_ANY_THROW(decodeSlide(dir / "bad.jpg", 800, 600));
}

