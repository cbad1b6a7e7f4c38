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
#include "tests/support/TempTree.h"

using namespace korvel;
using namespace korvel::testing;
using Bytes = std::vector<uint8_t>;

namespace {

// A smooth 16-bit linear scene: the demosaic and colour pipeline give a picture without edges.
uint16_t sample(int x, int y, int c) { return uint16_t(4000 + x * 300 + y * 170 + c * 5000); }

// A linear (already demosaiced) DNG: 16-bit RGB, identity colour matrix, neutral white balance.
// With previewW, a JPEG-compressed preview of that size as a second, reduced image.
void writeDng(const std::string& path, int w, int h, int orientation, int previewW = 0, int previewH = 0) {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    ASSERT_TRUE(t);
    static const uint8_t version[4] = {1, 4, 0, 0};
    static const float matrix[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    static const float neutral[3] = {1, 1, 1};
    TIFFSetField(t, TIFFTAG_SUBFILETYPE, 0);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, 34892);  // LinearRaw
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, h);
    TIFFSetField(t, TIFFTAG_ORIENTATION, orientation);
    TIFFSetField(t, TIFFTAG_MAKE, "Korvel");
    TIFFSetField(t, TIFFTAG_MODEL, "Test");
    TIFFSetField(t, TIFFTAG_DNGVERSION, version);
    TIFFSetField(t, TIFFTAG_UNIQUECAMERAMODEL, "Korvel Test");
    TIFFSetField(t, TIFFTAG_COLORMATRIX1, 9, matrix);
    TIFFSetField(t, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
    std::vector<uint16_t> pixels;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) pixels.push_back(sample(x, y, c));
    TIFFWriteEncodedStrip(t, 0, pixels.data(), tmsize_t(pixels.size() * 2));
    if (previewW > 0) {
        TIFFWriteDirectory(t);
        TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, previewW);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, previewH);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
        TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        // Tables in the strip, as cameras write their previews: the strip is a whole JPEG file.
        TIFFSetField(t, TIFFTAG_JPEGTABLESMODE, 0);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, previewH);
        // A flat colour far from the raw picture's, so which one was shown is plain.
        std::vector<uint8_t> rgb(size_t(previewW) * previewH * 3);
        for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = 20, rgb[i + 1] = 200, rgb[i + 2] = 40;
        TIFFWriteEncodedStrip(t, 0, rgb.data(), tmsize_t(rgb.size()));
    }
    TIFFClose(t);
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

// The preview stands in when it covers the size asked for, never otherwise; back at scale 1
// the demosaiced picture returns.
TEST_F(RawPlugin, EmbeddedPreviewOnlyWhenItCoversTheSize) {
    const std::string path = dir_.root() + "preview.dng";
    writeDng(path, 240, 160, 1, 120, 80);
    struct Case {
        int wantW, wantH;
        bool preview;
        int width;  // the preview is decoded reduced as far as it still covers the size
    };
    for (const Case c : {Case{80, 80, true, 120}, Case{120, 80, true, 120}, Case{60, 40, true, 60},
                         Case{100, 100, false, 240}, Case{121, 80, false, 240}, Case{200, 50, false, 240}}) {
        SCOPED_TRACE(std::to_string(c.wantW) + "x" + std::to_string(c.wantH));
        TPicture p = load(path);
        TGraphic& g = *p.graphic();
        g.requestDecodeSize(c.wantW, c.wantH);
        const TBitmap* r = g.raster();
        ASSERT_TRUE(r);
        const Color mid = r->pixel(r->width() / 2, r->height() / 2);
        const bool green = greenOf(mid) > 150 && redOf(mid) < 80;
        EXPECT_EQ(green, c.preview);
        EXPECT_EQ(std::tuple(r->width(), g.width()), std::tuple(c.width, c.width));
        g.requestDecodeScale(1);
        EXPECT_EQ(std::tuple(g.width(), g.raster()->width()), std::tuple(240, 240));
    }
}

// A turned file's preview is turned as its picture is: the upright size, asked for upright.
TEST_F(RawPlugin, PreviewOfTurnedFileIsUpright) {
    const std::string path = dir_.root() + "turned.dng";
    writeDng(path, 240, 160, 6, 120, 80);
    TPicture p = load(path);
    TGraphic& g = *p.graphic();
    ASSERT_EQ(std::tuple(g.width(), g.height()), std::tuple(160, 240));
    g.requestDecodeSize(80, 120);
    const TBitmap* r = g.raster();
    ASSERT_TRUE(r);
    EXPECT_EQ(std::tuple(r->width(), r->height()), std::tuple(80, 120));
    EXPECT_GT(greenOf(r->pixel(40, 60)), 150);
}

// Cut and damaged files are refused with an error, never a crash or a picture of garbage size.
TEST_F(RawPlugin, DamagedFilesAreRefused) {
    const std::string good = dir_.root() + "good.dng";
    writeDng(good, 36, 24, 1);
    const std::string bytes = readFile(good);
    struct Case {
        const char* name;
        std::string data;
    };
    // libtiff writes the pixels first, the directory after them.
    const size_t ifd = uint8_t(bytes[4]) | uint8_t(bytes[5]) << 8 | uint8_t(bytes[6]) << 16;
    std::string zeroedIfd = bytes, farIfd = bytes;
    for (size_t i = ifd; i < zeroedIfd.size(); ++i) zeroedIfd[i] = '\0';
    farIfd.replace(4, 4, "\xF0\xFF\xFF\x7F");
    for (const Case& c : {Case{"header only", bytes.substr(0, 16)}, Case{"half", bytes.substr(0, bytes.size() / 2)},
                          Case{"no pixels", bytes.substr(0, bytes.size() - 36 * 24 * 6)},
                          Case{"zeroed directory", zeroedIfd}, Case{"directory past the end", farIfd}}) {
        SCOPED_TRACE(c.name);
        const std::string path = dir_.write(std::string(c.name) + ".dng", c.data);
        EXPECT_THROW(
            {
                TPicture p = load(path);
                p.graphic()->raster();
            },
            std::exception);
    }
}

}  // namespace
