// Photos shown as the camera meant them: the eight EXIF orientations in JPEG (both byte orders)
// and PNG against pictures turned by hand, and every caller that loads agreeing on it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "browse/Thumbnails.h"
#include "fileops/ExtendedCopy.h"
#include "fileops/WallpaperBitmap.h"
#include "formats/Picture.h"
#include "imaging/ColorManage.h"
#include "imaging/Orientation.h"
#include "tests/support/ColorSamples.h"
#include "tests/support/PhotoSamples.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"
#include "tests/tools/ToolRun.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

constexpr int kBlock = 32;
// The upright picture: three blocks wide, two high.
const char* const kUpright = "ABC/DEF";
// What a camera stores for each orientation, turned by hand (rows top-down, '/' between rows).
const char* const kStored[9] = {nullptr, "ABC/DEF", "CBA/FED", "FED/CBA", "DEF/ABC",
                                "AD/BE/CF", "CF/BE/AD", "FC/EB/DA", "DA/EB/FC"};

Color blockColor(char c) {
    static const Color colors[] = {0xE02020, 0x20C040, 0x2040E0, 0xE0E020, 0xC020C0, 0x20D0D0};
    return colors[c - 'A'];
}

std::vector<std::string> rowsOf(const char* layout) {
    std::vector<std::string> rows;
    for (std::string s = layout;;) {
        rows.push_back(s.substr(0, s.find('/')));
        if (s.find('/') == std::string::npos) return rows;
        s.erase(0, s.find('/') + 1);
    }
}

TBitmap layoutBitmap(const char* layout) {
    const auto rows = rowsOf(layout);
    TBitmap b(int(rows[0].size()) * kBlock, int(rows.size()) * kBlock, PixelFormat::pf24bit);
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) b.setRawPixel(x, y, blockColor(rows[y / kBlock][x / kBlock]));
    return b;
}

// Empty when the centre of every block of image shows the layout within tolerance.
std::string layoutDiff(const TBitmap& image, const char* layout, int tolerance) {
    const auto rows = rowsOf(layout);
    const int bw = image.width() / int(rows[0].size()), bh = image.height() / int(rows.size());
    if (image.width() != bw * int(rows[0].size()) || image.height() != bh * int(rows.size()))
        return "size " + std::to_string(image.width()) + "x" + std::to_string(image.height());
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c) {
            const Color got = image.pixel(int(c) * bw + bw / 2, int(r) * bh + bh / 2), want = blockColor(rows[r][c]);
            for (int shift : {0, 8, 16})
                if (std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > tolerance)
                    return std::string("block ") + rows[r][c] + " shows " + std::to_string(got);
        }
    return {};
}

PhotoBytes photoFile(int orientation, bool png, bool bigEndian) {
    const TBitmap stored = layoutBitmap(kStored[orientation]);
    if (png) return withPngChunk(encodedPng(stored), "eXIf", exifBlock(orientation, bigEndian));
    return withJpegSegment(encodedJpeg(stored), 0xE1, exifApp1(orientation, bigEndian));
}

DecodeLimits switches(bool exifRotate) {
    DecodeLimits limits;
    limits.photo.exifRotate = exifRotate;
    return limits;
}

}  // namespace

TEST(Photo, EveryOrientationLoadsUprightAndOnlyWhenAsked) {
    TempTree t;
    for (int orientation = 1; orientation <= 8; ++orientation)
        for (const bool png : {false, true})
            for (const bool big : {false, true}) {
                SCOPED_TRACE(std::to_string(orientation) + (png ? " png" : " jpeg") + (big ? " MM" : " II"));
                const std::string path = t.write(png ? "p.png" : "p.jpg", "");
                writeFile(path, photoFile(orientation, png, big));
                TPicture picture;
                picture.loadFromFile(path);
                EXPECT_EQ(picture.graphic()->photoMeta().orientation, orientation);
                EXPECT_EQ(layoutDiff(*picture.graphic()->raster(), kUpright, 8), "");
                if (!png) {
                    // A reduced decode is turned after scaling.
                    picture.graphic()->requestDecodeScale(8);
                    EXPECT_EQ(picture.width(), 3 * kBlock / 8);
                    EXPECT_EQ(layoutDiff(*picture.graphic()->raster(), kUpright, 24), "");
                }
                picture.loadFromFile(path, switches(false));
                EXPECT_EQ(layoutDiff(*picture.graphic()->raster(), kStored[orientation], 8), "");
            }
}

// Thumbnails, the extended copy, the wallpaper and korvel-tool all show the photo
// upright, and none of them changes the file.
TEST(Photo, EveryCallerShowsItUprightAndNoneWritesTheFile) {
    TempTree t, out;
    const std::string path = t / "phone.jpg";
    writeFile(path, photoFile(6, false, true));
    const std::string before = readFile(path);

    TBitmap thumb;
    ThumbParams params;
    params.thumbSize = 68, params.infoHeight = 20;
    MakeThumbnail(path, params, thumb);
    EXPECT_EQ(layoutDiff(thumb, kUpright, 24), "");

    ExtendedCopyOptions options;
    options.format = OutputFormat::Jpeg;
    options.jpegQuality = 100;
    options.turn = 1;  // the user's own turn adds to the upright picture
    TPicture picture;
    TBitmap output;
    const std::string copy = ConvertOneFile(path, out.dir() + "/", options, picture, output);
    picture.loadFromFile(copy, switches(false));
    EXPECT_EQ(picture.graphic()->photoMeta().orientation, 1);
    EXPECT_EQ(layoutDiff(*picture.graphic()->raster(), "DA/EB/FC", 8), "");

    TBitmap wallpaper;
    wallpaper.loadFromFile(MakeWallpaperBitmap(path, nullptr, WallpaperRender::OwnSize, 96, 64, out / "wp.bmp"));
    EXPECT_EQ(layoutDiff(wallpaper, kUpright, 8), "");

    ToolRun info = runTool({"info", path});
    EXPECT_EQ(info.out, path + "\t96x64 24 JPEG イメージファイル\torientation 6\n") << info.err;
    EXPECT_EQ(runTool({"info", "--no-orientation", path}).out.find("\t64x96 24"), path.size());
    ASSERT_EQ(runTool({"thumb", "--size", "68", "-o", out.dir(), path}).status, 0);

    EXPECT_EQ(readFile(path), before);
}

// A photo big enough to be turned and converted on another core while it decodes, and at 1/2
// (on the decoder's thread in bands), gives the same bytes as turning and converting the whole
// decoded raster afterwards.
TEST(Photo, RowsTurnedAndConvertedDuringTheDecodeMatchTheWholeRaster) {
    const std::vector<uint8_t> p3 = profileOf(kSpaces[1]);
    const auto transform = TransformForProfile(p3);
    ASSERT_TRUE(transform);
    const PhotoBytes plain = encodedJpeg(randomBitmap(PixelFormat::pf24bit, 1280, 1000, 7), 90);
    TempTree t;
    for (const int orientation : {1, 3, 6, 8})
        for (const int scale : {1, 2}) {
            SCOPED_TRACE("orientation " + std::to_string(orientation) + " at 1/" + std::to_string(scale));
            const std::string path = t / "big.jpg";
            writeFile(path, withJpegIcc(withJpegSegment(plain, 0xE1, exifApp1(orientation, false)), p3));
            TPicture picture, stored;
            picture.loadFromFile(path);
            DecodeLimits asStored = switches(false);
            asStored.photo.colorManage = false;
            stored.loadFromFile(path, asStored);
            picture.graphic()->requestDecodeScale(scale);
            stored.graphic()->requestDecodeScale(scale);
            TBitmap want = OrientUpright(*stored.graphic()->raster(), orientation);
            transform->apply(want);
            const TBitmap& got = *picture.graphic()->raster();
            ASSERT_EQ(got.width(), want.width());
            ASSERT_EQ(got.height(), want.height());
            for (int y = 0; y < got.height(); ++y)
                ASSERT_EQ(std::memcmp(got.scanLine(y), want.scanLine(y), size_t(got.width()) * 3), 0) << "row " << y;
        }
}
