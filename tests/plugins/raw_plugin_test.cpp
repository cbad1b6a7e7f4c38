// The camera RAW plug-in through the host, on linear DNG files written here with libtiff: full
// pictures against LibRaw's own converter, the orientation, the embedded preview for small
// sizes, and damaged files refused.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdlib>
#include <tuple>

#include "base/Errors.h"
#include "formats/FormatRegistry.h"
#include "formats/Picture.h"
#include "formats/SpiGraphic.h"
#include "formats/SpiHost.h"
#include "imaging/Bitmap.h"
#include "tests/support/DngFile.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using namespace korvel::testing;
using Bytes = std::vector<uint8_t>;

namespace {

// A smooth 16-bit linear scene: the demosaic and colour pipeline give a picture without edges. With
// previewW, a flat preview far from the picture's colours, so which one was shown is plain.
void writeDng(const std::string& path, int w, int h, int orientation, int previewW = 0, int previewH = 0) {
    const auto scene = [](int x, int y, int c) { return uint16_t(4000 + x * 300 + y * 170 + c * 5000); };
    const auto flat = [](int, int, int c) { return uint8_t(c == 1 ? 200 : c == 0 ? 20 : 40); };
    ASSERT_TRUE(writeLinearDng(path, {w, h, orientation, scene, previewW, previewH, flat}));
}

// LibRaw's converter on path (camera white balance, sRGB, 8 bits), upright.
TBitmap reference(const std::string& path) {
    const std::string cmd = "dcraw_emu -w -T '" + path + "' 2>/dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    TIFF* t = TIFFOpen((path + ".tiff").c_str(), "r");
    if (!t) return TBitmap(1, 1, PixelFormat::pf24bit);
    uint32_t w = 0, h = 0;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
    std::vector<uint32_t> raster(size_t(w) * h);
    TIFFReadRGBAImageOriented(t, w, h, raster.data(), ORIENTATION_TOPLEFT, 0);
    TIFFClose(t);
    TBitmap b(int(w), int(h), PixelFormat::pf24bit);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t v = raster[size_t(y) * w + x];
            uint8_t* d = b.scanLine(int(y)) + 3 * x;  // blue, green, red
            d[0] = uint8_t(TIFFGetB(v)), d[1] = uint8_t(TIFFGetG(v)), d[2] = uint8_t(TIFFGetR(v));
        }
    return b;
}

class RawPlugin : public ::testing::Test {
protected:
    void SetUp() override { host_.Search(std::string(KORVEL_PLUGIN_DIR) + "/korvel-raw.spi"); }
    TPicture load(const std::string& path) {
        TPicture p(formats_);
        p.loadFromFile(path);
        return p;
    }
    TempTree dir_;
    TFileFormatsList formats_;
    TSPIs host_{"", &formats_};
};

TEST_F(RawPlugin, RegistersItsExtensionsForDecodingOnDemand) {
    ASSERT_EQ(host_.Count(), 1);
    for (const char* ext : {"dng", "cr2", "cr3", "nef", "nrw", "arw", "srf", "sr2", "orf", "rw2", "raf", "pef",
                            "srw", "x3f"})
        EXPECT_EQ(formats_.findFormatByExtension(ext), &TSPIGraphic::classInfo) << ext;
}

// Every orientation: the upright picture equals LibRaw's converter's within rounding.
TEST_F(RawPlugin, FullPictureMatchesLibrawConverterInEveryOrientation) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const std::string path = dir_.root() + "o" + std::to_string(orientation) + ".dng";
        writeDng(path, 36, 24, orientation);
        const TBitmap want = reference(path);
        TPicture p = load(path);
        const TBitmap* got = p.graphic()->raster();
        ASSERT_TRUE(got);
        ASSERT_EQ(std::tuple(got->width(), got->height()), std::tuple(want.width(), want.height()));
        ASSERT_EQ(std::tuple(want.width() > want.height()), std::tuple(orientation < 5));
        int worst = 0;
        for (int y = 0; y < want.height(); ++y)
            for (int x = 0; x < want.width(); ++x) {
                const Color a = got->pixel(x, y), b = want.pixel(x, y);
                worst = std::max({worst, std::abs(redOf(a) - redOf(b)), std::abs(greenOf(a) - greenOf(b)),
                                  std::abs(blueOf(a) - blueOf(b))});
            }
        EXPECT_LE(worst, 1);
    }
}

// The preview stands in when it covers the size asked for, never otherwise, turned as its picture
// is; back at scale 1 the demosaiced picture returns.
TEST_F(RawPlugin, EmbeddedPreviewOnlyWhenItCoversTheSize) {
    struct Case {
        int orientation, wantW, wantH;
        bool preview;
        int width, height;  // the preview is decoded reduced as far as it still covers the size
    };
    for (const Case c : {Case{1, 80, 80, true, 120, 80}, Case{1, 120, 80, true, 120, 80}, Case{1, 60, 40, true, 60, 40},
                         Case{1, 100, 100, false, 240, 160}, Case{1, 121, 80, false, 240, 160},
                         Case{1, 200, 50, false, 240, 160}, Case{6, 80, 120, true, 80, 120}}) {
        SCOPED_TRACE(std::to_string(c.orientation) + ": " + std::to_string(c.wantW) + "x" + std::to_string(c.wantH));
        const std::string path = dir_.root() + "preview" + std::to_string(c.orientation) + ".dng";
        writeDng(path, 240, 160, c.orientation, 120, 80);
        TPicture p = load(path);
        TGraphic& g = *p.graphic();
        g.requestDecodeSize(c.wantW, c.wantH);
        const TBitmap* r = g.raster();
        ASSERT_TRUE(r);
        const Color mid = r->pixel(r->width() / 2, r->height() / 2);
        EXPECT_EQ(greenOf(mid) > 150 && redOf(mid) < 80, c.preview);
        EXPECT_EQ(std::tuple(r->width(), r->height(), g.width()), std::tuple(c.width, c.height, c.width));
        g.requestDecodeScale(1);
        const int full = c.orientation < 5 ? 240 : 160;
        EXPECT_EQ(std::tuple(g.width(), g.raster()->width()), std::tuple(full, full));
    }
}

// Cut and damaged files are refused with an error, never a crash or a picture of garbage size.
TEST_F(RawPlugin, DamagedFilesAreRefused) {
    const std::string good = dir_.root() + "good.dng";
    writeDng(good, 36, 24, 1);
    const std::string bytes = readFile(good);
    // libtiff writes the pixels first, the directory after them.
    const size_t ifd = uint8_t(bytes[4]) | uint8_t(bytes[5]) << 8 | uint8_t(bytes[6]) << 16;
    std::string zeroedIfd = bytes, farIfd = bytes;
    for (size_t i = ifd; i < zeroedIfd.size(); ++i) zeroedIfd[i] = '\0';
    farIfd.replace(4, 4, "\xF0\xFF\xFF\x7F");
    for (const auto& [name, data] : std::initializer_list<std::pair<const char*, std::string>>{
             {"header only", bytes.substr(0, 16)}, {"half", bytes.substr(0, bytes.size() / 2)},
             {"no pixels", bytes.substr(0, bytes.size() - 36 * 24 * 6)}, {"zeroed directory", zeroedIfd},
             {"directory past the end", farIfd}}) {
        SCOPED_TRACE(name);
        const std::string path = dir_.write(std::string(name) + ".dng", data);
        EXPECT_THROW(
            {
                TPicture p = load(path);
                p.graphic()->raster();
            },
            std::exception);
    }
}

}  // namespace
