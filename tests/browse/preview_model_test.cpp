// The preview's loader and fitting without a window: a stale loader does nothing, a bad file
// leaves no picture, and the fitted copy keeps the aspect within the pane.
#include <gtest/gtest.h>

#include <fstream>

#include "browse/PreviewModel.h"
#include "imaging/Bmp.h"
#include "tests/support/TempTree.h"

using korvel::PreviewModel;

namespace {
void writeImage(const std::string& path, int w, int h) {
    korvel::TBitmap b(w, h, korvel::PixelFormat::pf24bit);
    std::ofstream out(path, std::ios::binary);
    korvel::writeBmp(b, out);
}
}  // namespace

TEST(PreviewModel, LoaderRequests) {
    korvel::testing::TempTree t;
    writeImage(t / "a.bmp", 30, 20);
    std::ofstream(t / "bad.bmp") << "BM not a bitmap";
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
    korvel::testing::TempTree t;
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
        const korvel::TBitmap* shown = p.shown(r.pw, r.ph, r.fullSize, r.enlarge, true);
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->width(), r.sw) << r.iw << "x" << r.ih;
        EXPECT_EQ(shown->height(), r.sh) << r.iw << "x" << r.ih;
        // Before the layout is final no copy is made: the image itself is painted.
        PreviewModel early;
        early.load(t / "i.bmp", early.begin(t / "i.bmp"));
        EXPECT_EQ(early.shown(r.pw, r.ph, r.fullSize, r.enlarge, false), early.bitmap());
    }
}
