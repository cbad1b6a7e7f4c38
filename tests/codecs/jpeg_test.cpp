#include <gtest/gtest.h>

#include <jpeglib.h>

#include <sstream>

#include "tests/support/CodecCases.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

std::unique_ptr<TJPEGImage> load(const Bytes& file) {
    auto j = std::make_unique<TJPEGImage>();
    j->loadFromMemory(file.data(), file.size());
    return j;
}

// A four-component file written by libjpeg itself; the components are given as stored.
Bytes writeFourComponentJpeg(int w, int h, const uint8_t cmyk[4], J_COLOR_SPACE stored, bool adobeMarker) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, stored);
    cinfo.write_Adobe_marker = adobeMarker ? TRUE : FALSE;
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(size_t(w) * 4);
    for (int x = 0; x < w; ++x)
        for (int k = 0; k < 4; ++k) row[size_t(x) * 4 + k] = cmyk[k];
    JSAMPROW rows[1] = {row.data()};
    while (cinfo.next_scanline < cinfo.image_height) jpeg_write_scanlines(&cinfo, rows, 1);
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes bytes(out, out + outSize);
    std::free(out);
    return bytes;
}

}  // namespace

// One object through every scale and back: the header gives each size, and a raster decoded at
// another scale is dropped.
TEST(Jpeg, HeaderGivesScaledSizesWithoutDecoding) {
    const Bytes file = jpegBytes(rampImage(33, 17));
    struct {
        JpegScale scale;
        int w, h;
    } rows[] = {{JpegScale::jsFullSize, 33, 17}, {JpegScale::jsHalf, 17, 9}, {JpegScale::jsQuarter, 9, 5},
                {JpegScale::jsEighth, 5, 3}, {JpegScale::jsFullSize, 33, 17}};
    const auto j = load(file);
    for (const auto& r : rows) {
        SCOPED_TRACE(int(r.scale));
        j->setScale(r.scale);
        EXPECT_EQ(j->width(), r.w);
        EXPECT_EQ(j->height(), r.h);
        const TBitmap& b = j->bitmap();
        EXPECT_EQ(b.width(), r.w);
        EXPECT_EQ(b.height(), r.h);
        EXPECT_EQ(b.pixelFormat(), PixelFormat::pf24bit);
        // The ramp survives every scale: red grows to the right, green downwards.
        EXPECT_GT(redOf(b.pixel(r.w - 1, 0)), redOf(b.pixel(0, 0)) + 120);
        EXPECT_GT(greenOf(b.pixel(0, r.h - 1)), greenOf(b.pixel(0, 0)) + 120);
        EXPECT_NEAR(blueOf(b.pixel(r.w / 2, r.h / 2)), 96, 4);
    }
}

TEST(Jpeg, ChooseJpegScalePicksTheCoarsestCoveringScale) {
    struct {
        int reqW, reqH;
        JpegScale expected;
    } rows[] = {
        {0, 0, JpegScale::jsEighth},       {500, 375, JpegScale::jsEighth},  {501, 10, JpegScale::jsQuarter},
        {10, 376, JpegScale::jsQuarter},   {1920, 1080, JpegScale::jsHalf}, {2001, 1, JpegScale::jsFullSize},
    };
    const auto j = load(jpegBytes(flatImage(4000, 3000, 0x336699), 50));
    for (const auto& r : rows) {
        j->setScale(JpegScale::jsHalf);
        ChooseJpegScale(*j, r.reqW, r.reqH);
        EXPECT_EQ(j->scale(), r.expected) << r.reqW << "x" << r.reqH;
    }
}

// The grey option, not a grey picture, gives 8 bits with a grey palette; pure red at luminance 0.299.
TEST(Jpeg, GreyscaleFilesDecodeToEightBitsWithAGreyPalette) {
    const auto colour = load(jpegBytes(flatImage(24, 16, 0x808080), 95));
    EXPECT_FALSE(colour->isGrayscale());
    EXPECT_EQ(colour->bitmap().pixelFormat(), PixelFormat::pf24bit);
    const auto j = load(jpegBytes(flatImage(24, 16, 0xFF0000), 95, false, true));
    EXPECT_TRUE(j->isGrayscale());
    const TBitmap& b = j->bitmap();
    ASSERT_EQ(b.pixelFormat(), PixelFormat::pf8bit);
    ASSERT_EQ(b.palette().size(), 256u);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(b.palette()[i].color(), makeColor(i, i, i)) << i;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) ASSERT_NEAR(int(b.rawPixel(x, y)), 76, 2);
}

TEST(Jpeg, QualityOrdersFileSizesAndIsClamped) {
    const TBitmap src = korvel::testing::randomBitmap(PixelFormat::pf24bit, 64, 64, 12345);
    const Bytes q1 = jpegBytes(src, 1), q100 = jpegBytes(src, 100);
    EXPECT_LT(q1.size(), q100.size());
    EXPECT_EQ(jpegBytes(src, 0), q1);
    EXPECT_EQ(jpegBytes(src, 400), q100);
}

TEST(Jpeg, FourComponentFilesConvertToRgb) {
    // Ink amounts 0..255: full cyan, then 50% black, then red (magenta + yellow).
    struct {
        uint8_t ink[4];
        Color expected;
    } colours[] = {{{255, 0, 0, 0}, 0x00FFFF}, {{0, 0, 0, 128}, 0x7F7F7F}, {{0, 255, 255, 0}, 0xFF0000}};
    struct {
        J_COLOR_SPACE stored;
        bool adobe;  // Adobe files store inverted ink; libjpeg adds the marker for CMYK
    } kinds[] = {{JCS_CMYK, true}, {JCS_CMYK, false}, {JCS_YCCK, true}};
    for (const auto& k : kinds)
        for (const auto& c : colours) {
            uint8_t stored[4];
            for (int i = 0; i < 4; ++i) stored[i] = k.adobe ? uint8_t(255 - c.ink[i]) : c.ink[i];
            const auto j = load(writeFourComponentJpeg(20, 12, stored, k.stored, k.adobe));
            const TBitmap& b = j->bitmap();
            ASSERT_EQ(b.pixelFormat(), PixelFormat::pf24bit);
            EXPECT_EQ(b.width(), 20);
            EXPECT_LE(worstDistance(b, c.expected), 4) << "space " << k.stored << " adobe " << k.adobe
                                                       << std::hex << " expected " << c.expected;
        }
}

TEST(Jpeg, TruncatedFileStillDecodesItsTopRows) {
    const Bytes file = jpegBytes(rampImage(128, 128), 90);
    const auto whole = load(file);
    const TBitmap& reference = whole->bitmap();
    for (size_t percent : {95, 60}) {
        const auto j = load(Bytes(file.begin(), file.begin() + file.size() * percent / 100));
        const TBitmap& b = j->bitmap();
        ASSERT_EQ(b.width(), 128);
        ASSERT_EQ(b.height(), 128);
        // The rows the cut file still holds decode exactly as from the whole file.
        for (int y = 0; y < 16; ++y)
            ASSERT_EQ(Bytes(b.scanLine(y), b.scanLine(y) + 3 * 128),
                      Bytes(reference.scanLine(y), reference.scanLine(y) + 3 * 128))
                << percent << "% row " << y;
    }
}

TEST(Jpeg, SavingWritesLoadedDataUnchangedAndCompressedDataAfterCompress) {
    const Bytes original = jpegBytes(rampImage(40, 40), 75);
    const auto j = load(original);  // saved unchanged: see the failed loads in codec_bad_input_test
    EXPECT_FALSE(j->progressive());

    // Compressing another picture replaces the data and the image the object shows.
    j->assign(flatImage(12, 8, 0x0000FF, PixelFormat::pf32bit));
    j->compressionQuality = 100;
    j->progressiveEncoding = true;
    j->compress();
    const Bytes saved = savedBytes(*j);
    EXPECT_NE(saved, original);
    EXPECT_TRUE(j->progressive());
    EXPECT_EQ(j->width(), 12);
    EXPECT_EQ(j->height(), 8);
    EXPECT_LE(worstDistance(j->bitmap(), 0x0000FF), 3);

    // Progressive data decodes as the picture.
    EXPECT_EQ(load(saved)->width(), 12);
    EXPECT_LE(worstDistance(load(saved)->bitmap(), 0x0000FF), 3);

    // An assigned picture saved without compress() is compressed on the way out.
    TJPEGImage direct;
    direct.assign(flatImage(9, 9, 0xFF00FF));
    EXPECT_LE(worstDistance(load(savedBytes(direct))->bitmap(), 0xFF00FF), 3);

    // Nothing to compress or save.
    TJPEGImage none;
    EXPECT_THROW(none.compress(), EInvalidGraphic);
    std::ostringstream out;
    EXPECT_THROW(none.saveToStream(out), EInvalidGraphic);
    none.assign(TBitmap());
    EXPECT_THROW(none.compress(), EInvalidGraphic);
}
