// The slideshow's core: navigation and its wrap, the Shift jumps, where a slide is drawn, and
// decoding for the screen.
#include <gtest/gtest.h>

#include "browse/SlideShow.h"
#include "tests/support/CodecSamples.h"
#include "tests/support/TempTree.h"

namespace korvel {
namespace {

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
        EXPECT_EQ(list.index() + 1, size_t(r.loads)) << r.count << " slides, on " << r.shown << " jump " << r.jump;
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
        EXPECT_EQ(placeSlide(r.w, r.h, r.W, r.H), r.place) << r.w << "x" << r.h << " in " << r.W << "x" << r.H;
}

TEST(DecodeSlide, JpegAtTheCoarsestScaleCoveringTheScreenThenFitted) {
    testing::TempTree dir;
    const std::string path = dir / "big.jpg";
    testing::writeFile(path, testing::jpegSample(1600, 1200, false, false));
    const struct {
        int screenW, screenH, decodedW;
    } rows[] = {{400, 300, 400}, {401, 300, 800}, {1600, 1200, 1600}, {200, 100, 200}};
    for (const auto& r : rows) EXPECT_EQ(decodeSlide(path, r.screenW, r.screenH).width(), r.decodedW) << r.screenW;

    TBitmap slide = decodeSlide(path, 800, 600);
    EXPECT_TRUE(fitSlide(slide, 640, 400));
    EXPECT_EQ(slide.width(), 533);
    EXPECT_EQ(slide.height(), 400);
    EXPECT_FALSE(fitSlide(slide, 640, 400));

    testing::writeFile(dir / "bad.jpg", std::string("\xFF\xD8\xFF\xE0 not a picture", 20));
    EXPECT_ANY_THROW(decodeSlide(dir / "bad.jpg", 800, 600));
}

}  // namespace
}  // namespace korvel
