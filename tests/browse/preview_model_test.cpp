// The preview's loader and fitting without a window: a stale loader does nothing, a bad file
// leaves no picture, and the fitted copy keeps the aspect within the pane.
#include <gtest/gtest.h>

#include <fstream>

#include "browse/PreviewModel.h"
#include "imaging/Bmp.h"
#include "tests/support/PhotoSamples.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"

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

// A large JPEG shown fitted is decoded only as far as the pane needs, looks as the fitted copy
// of the full decode does, and still gives its full pixels to full size and turns.
TEST(PreviewModel, LargeJpegFitsFromAReducedDecode) {
    korvel::testing::TempTree t;
    const std::string path = t / "big.jpg";
    // Smooth ramps, as a photo is at the scale of a pane; a turned or mirrored decode would show.
    korvel::TBitmap image(1600, 1200, korvel::PixelFormat::pf24bit);
    for (int y = 0; y < 1200; ++y)
        for (int x = 0; x < 1600; ++x)
            image.setRawPixel(x, y, korvel::makeColor(uint8_t(x * 255 / 1599), uint8_t(y * 255 / 1199), uint8_t((x + y) / 11)));
    const korvel::testing::PhotoBytes jpeg = korvel::testing::encodedJpeg(image, 95);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
    struct Row {
        int pw, ph, fw, fh;  // pane, fitted size
    } rows[] = {{300, 200, 266, 200}, {800, 700, 800, 600}, {150, 150, 150, 112}};
    for (const Row& r : rows) {
        PreviewModel full, reduced;
        ASSERT_EQ(full.load(path, full.begin(path)), PreviewModel::Load::Loaded);
        ASSERT_EQ(reduced.load(path, reduced.begin(path), r.pw, r.ph), PreviewModel::Load::Loaded);
        EXPECT_FALSE(dynamic_cast<const korvel::TBitmap*>(reduced.picture().graphic())) << "decoded at full size";
        EXPECT_EQ(reduced.picture().width(), 1600);
        const korvel::TBitmap* want = full.shown(r.pw, r.ph, false, false, true);
        const korvel::TBitmap* got = reduced.shown(r.pw, r.ph, false, false, true);
        ASSERT_TRUE(want && got);
        ASSERT_EQ(got->width(), r.fw);
        ASSERT_EQ(got->height(), r.fh);
        std::vector<uint8_t> a(size_t(r.fw) * 3), b(a.size());
        double sum = 0;
        for (int y = 0; y < r.fh; ++y) {
            want->rowToBgr(y, a.data());
            got->rowToBgr(y, b.data());
            for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
        }
        EXPECT_LT(sum / double(a.size() * size_t(r.fh)), 1.0) << r.pw << "x" << r.ph;
        // Another pane size refits from the file; full size and a turn get every pixel.
        const korvel::TBitmap* turnedPane = reduced.shown(r.ph, r.pw, false, false, true);
        EXPECT_EQ(turnedPane->width(), full.shown(r.ph, r.pw, false, false, true)->width());
        EXPECT_EQ(turnedPane->height(), full.fitted().height());
        EXPECT_EQ(reduced.shown(r.pw, r.ph, true, false, true)->width(), 1600);
        korvel::TBitmap* turnable = reduced.editableBitmap();
        ASSERT_TRUE(turnable);
        EXPECT_EQ(turnable->height(), 1200);
    }
    // Before the pane is laid out nothing is decoded; its first fitting decodes reduced.
    PreviewModel early;
    ASSERT_EQ(early.load(path, early.begin(path), -1, 0), PreviewModel::Load::Loaded);
    EXPECT_FALSE(early.shown(300, 200, false, false, false));
    EXPECT_EQ(early.shown(300, 200, false, false, true)->width(), 266);
    EXPECT_FALSE(dynamic_cast<const korvel::TBitmap*>(early.picture().graphic()));
}
