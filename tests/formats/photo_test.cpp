// Photos shown as the camera meant them: EXIF orientations against pictures turned by hand, and
// embedded colour profiles (built here with Little CMS) converted to sRGB within one level of a
// conversion worked out from the primaries. Limits that hold for the load they are given to;
// damaged photo metadata gives no orientation or profile, never a crash or a read outside the
// data; pipes, devices, folders and huge sparse files go through the thumbnail pipeline in a
// guarded child, so a hang or an endless read fails the row.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/Limits.h"
#include "browse/Thumbnails.h"
#include "codecs/PhotoMeta.h"
#include "codecs/Png.h"
#include "fileops/ExtendedCopy.h"
#include "fileops/WallpaperBitmap.h"
#include "formats/Picture.h"
#include "imaging/ColorManage.h"
#include "imaging/Exif.h"
#include "imaging/Orientation.h"
#include "tests/codecs/BmpBuilders.h"
#include "tests/support/CodecCases.h"
#include "tests/support/CodecSamples.h"
#include "tests/support/ColorSamples.h"
#include "tests/support/Guarded.h"
#include "tests/support/Mutation.h"
#include "tests/support/PhotoSamples.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"
#include "tests/tools/ToolRun.h"

using namespace korvel;
using namespace korvel::testing;
using Bytes = std::vector<uint8_t>;

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
    std::istringstream in(layout);
    for (std::string row; std::getline(in, row, '/');) rows.push_back(row);
    return rows;
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
    if (png) return withPngChunk(pngBytes(stored), "eXIf", exifBlock(orientation, bigEndian));
    return withJpegSegment(encodedJpeg(stored), 0xE1, exifApp1(orientation, bigEndian));
}

DecodeLimits switches(bool exifRotate, bool colorManage = true, bool toDisplay = false) {
    DecodeLimits limits;
    limits.photo = {exifRotate, colorManage, toDisplay};
    return limits;
}

TBitmap loaded(const std::string& path, bool colorManage, bool toDisplay = false) {
    TPicture picture;
    picture.loadFromFile(path, switches(true, colorManage, toDisplay));
    return *picture.graphic()->raster();
}

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
            stored.loadFromFile(path, switches(false, false));
            picture.graphic()->requestDecodeScale(scale);
            stored.graphic()->requestDecodeScale(scale);
            TBitmap want = OrientUpright(*stored.graphic()->raster(), orientation);
            transform->apply(want);
            EXPECT_EQ(pixelDifference(*picture.graphic()->raster(), want), "");
        }
}

// With a monitor profile set, the windows' loads convert to it; files written stay sRGB; a photo
// already in the monitor's space is left as stored.
TEST(PhotoColor, WindowsConvertToTheMonitorProfile) {
    TempTree t;
    const TBitmap noise = randomBitmap(PixelFormat::pf24bit, 40, 24, 11);
    const Space& adobe = kSpaces[0];
    const Space& p3 = kSpaces[1];
    writeFile(t / "p3.png", withPngChunk(pngBytes(noise), "iCCP", iccpData(profileOf(p3))));
    writeFile(t / "adobe.png", withPngChunk(pngBytes(noise), "iCCP", iccpData(profileOf(adobe))));
    SetDisplayProfile(profileOf(adobe));
    // Two levels: a pure power curve's encoding is so steep near black that lcms's 8-bit tables
    // round there differently from the exact curve.
    EXPECT_EQ(withinOne(loaded(t / "p3.png", true, true), reference(noise, p3, adobe), 2), "");
    EXPECT_EQ(withinOne(loaded(t / "p3.png", true, false), reference(noise, p3)), "");
    EXPECT_EQ(pixelDifference(loaded(t / "adobe.png", true, true), noise), "");
    SetDisplayProfile({});
    EXPECT_EQ(withinOne(loaded(t / "p3.png", true, true), reference(noise, p3)), "");
    const std::string info = runTool({"info", t / "p3.png"}).out;
    EXPECT_NE(info.find("\tprofile Display P3 test\n"), std::string::npos) << info;
}

// A profile at or so near sRGB that no colour would move by more than a level is not applied
// (many phone photos carry one); one a little further off is.
TEST(PhotoColor, ProfilesNearSrgbAreNotApplied) {
    const TBitmap noise = randomBitmap(PixelFormat::pf24bit, 40, 24, 5);
    const struct {
        Space space;
        bool applied;
    } cases[] = {{{"sRGB", kSrgb, true}, false},
                 {{"sRGB, primaries rounded", {0.6401, 0.3300, 0.3000, 0.5999, 0.1500, 0.0600}, true}, false},
                 {{"sRGB, green moved", {0.64, 0.33, 0.31, 0.60, 0.15, 0.06}, true}, true},
                 {{"sRGB primaries, power curve", kSrgb, false}, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.space.name);
        TBitmap got = noise;
        const auto transform = TransformForProfile(profileOf(c.space));
        EXPECT_EQ(transform != nullptr, c.applied);
        if (transform) transform->apply(got);
        EXPECT_EQ(withinOne(got, reference(noise, c.space)), "");
    }
}

// A full-size photo is converted in bands on several threads: every row exactly once.
TEST(PhotoColor, BigPicturesConvertEveryRowOnce) {
    const TBitmap tile = randomBitmap(PixelFormat::pf32bit, 64, 61, 3);
    const auto transform = TransformForProfile(profileOf(kSpaces[1]));
    ASSERT_TRUE(transform);
    TBitmap small = tile, big(2048, 1037, PixelFormat::pf32bit);
    transform->apply(small);
    for (int y = 0; y < big.height(); ++y)
        for (int x = 0; x < big.width(); ++x) big.setRawPixel(x, y, tile.pixel(x % 64, y % 61));
    transform->apply(big);
    for (int y = 0; y < big.height(); ++y)
        for (int x = 0; x < big.width(); ++x)
            if (big.pixel(x, y) != small.pixel(x % 64, y % 61)) FAIL() << "pixel " << x << "," << y;
}

// 6 x 5 pixels; small IDAT chunks give the file many chunks, the comment one large tEXt chunk.
Bytes png() {
    return pngBytes(randomBitmap(PixelFormat::pf24bit, 6, 5, 1), [](TGLDPNG& p) {
        p.setIdatSize(TGLDPNG::kMinIdatSize);
        p.compressionLevel = 0;
        p.comment = std::string(600, 'c');
    });
}

// A 1 x 1 GIF with `comments` comment extensions before its image.
Bytes gif(int comments) {
    Bytes b{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
    for (int i = 0; i < comments; ++i) b.insert(b.end(), {0x21, 0xFE, 1, 'x', 0});
    b.insert(b.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3B});
    return b;
}

// Loads the file through the registry as the windows do, the raster included (JPEG decodes late).
bool loads(const std::string& path, const DecodeLimits& limits) {
    try {
        TPicture picture;
        picture.loadFromFile(path, limits);
        LoadPictureAsBitmap(picture, limits.maxPixels);
        return picture.width() > 0;
    } catch (const EImageTooLarge&) {
        return false;
    }
}

// Each limit is honoured by the load it is given to: loads with the defaults and with the tight
// limit alternate in one process, so a limit that leaked into later loads, or was never read,
// fails a row.
TEST(DecodeLimits, EachLimitHoldsForItsOwnLoad) {
    using namespace bmptest;
    const Bytes bmp = bmpFile(infoHeader(Info{.width = 6, .height = 5, .bpp = 24}), Bytes(5 * 20, 0x40));
    const Bytes ico = iconFile({{0, 0, 32, png()}});
    const Bytes pngFile = png();
    struct Row {
        const char* name;
        const char* ext;
        Bytes file;
        DecodeLimits tight, enough;
    };
    const Row rows[] = {
        {"BMP pixels", ".bmp", bmp, {.maxPixels = 29}, {.maxPixels = 30}},
        {"BMP file bytes", ".bmp", bmp, {.maxFileBytes = bmp.size() - 1}, {.maxFileBytes = bmp.size()}},
        {"PNG chunk count", ".png", pngFile, {.maxPngChunks = 3}, {}},
        {"PNG chunk bytes", ".png", pngFile, {.maxPngChunkBytes = 500}, {.maxPngChunkBytes = 700}},
        {"icon's PNG pixels", ".ico", ico, {.maxPixels = 29}, {.maxPixels = 30}},
        {"JPEG pixels", ".jpg", jpegSample(6, 5, false, false), {.maxPixels = 29}, {.maxPixels = 30}},
        {"JPEG scans", ".jpg", jpegSample(6, 5, true, false), {.maxJpegScans = 2}, {}},
        {"GIF records", ".gif", gif(3), {.maxGifRecords = 2}, {.maxGifRecords = 3}},
    };
    TempTree t;
    for (const Row& r : rows) {
        const std::string path = t.write(std::string("f") + r.ext, std::string(r.file.begin(), r.file.end()));
        EXPECT_TRUE(loads(path, DecodeLimits{})) << r.name;
        EXPECT_FALSE(loads(path, r.tight)) << r.name;
        EXPECT_TRUE(loads(path, r.enough)) << r.name;
        EXPECT_FALSE(loads(path, r.tight)) << r.name;
    }
}

PhotoBytes patched(PhotoBytes b, std::initializer_list<std::pair<size_t, uint8_t>> patches) {
    for (auto [at, value] : patches) b[at] = value;
    return b;
}

// Little-endian block: IFD0 at 8 with 2 entries, Orientation's entry at 22, IFD1 at 38.
TEST(PhotoMutation, DamagedExifGivesNoOrientation) {
    const PhotoBytes good = exifBlock(6, false);
    ASSERT_EQ(ExifOrientation(good.data(), good.size()), 6);
    ASSERT_EQ(ExifOrientation(exifBlock(8, true).data(), good.size()), 8);
    struct Case {
        const char* what;
        PhotoBytes bytes;
    } cases[] = {
        {"IFD0 past the end", patched(good, {{4, 0xF0}, {5, 0xFF}, {6, 0xFF}, {7, 0xFF}})},
        {"IFD0 inside the header", patched(good, {{4, 2}})},
        {"entry count past the end", patched(good, {{8, 0xFF}, {9, 0xFF}})},
        {"orientation 0", patched(good, {{30, 0}})},
        {"orientation 9", patched(good, {{30, 9}})},
        {"orientation as LONG", patched(good, {{24, 4}})},
        {"orientation count 2", patched(good, {{26, 2}})},
        {"wrong magic", patched(good, {{2, 43}})},
        {"mixed byte order", patched(good, {{1, 'M'}})},
        {"cut inside the header", PhotoBytes(good.begin(), good.begin() + 7)},
    };
    for (const Case& c : cases) EXPECT_EQ(ExifOrientation(c.bytes.data(), c.bytes.size()), 1) << c.what;
    // IFD1 pointing back at IFD0 (a loop) does not matter: only IFD0 is read.
    EXPECT_EQ(ExifOrientation(patched(good, {{34, 8}}).data(), good.size()), 6);
    forEachMutation(good, 4000, [](const PhotoBytes& m) {
        const int o = ExifOrientation(m.data(), m.size());
        EXPECT_TRUE(o >= 1 && o <= 8);
    });
}

TEST(PhotoMutation, DamagedJpegAndPngMetadataNeverCrash) {
    TBitmap b(16, 8, PixelFormat::pf24bit);
    PhotoBytes icc(3000);
    for (size_t i = 0; i < icc.size(); ++i) icc[i] = uint8_t(i * 7);
    PhotoBytes jpeg = withJpegSegment(encodedJpeg(b, 80), 0xE1, exifApp1(3, true));
    // Two ICC chunks stored out of order: reassembled by sequence number.
    auto iccChunk = [&](int seq, size_t from, size_t to) {
        PhotoBytes p{'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, uint8_t(seq), 2};
        p.insert(p.end(), icc.begin() + ptrdiff_t(from), icc.begin() + ptrdiff_t(to));
        return p;
    };
    jpeg = withJpegSegment(jpeg, 0xE2, iccChunk(2, 1000, 3000));
    jpeg = withJpegSegment(jpeg, 0xE2, iccChunk(1, 0, 1000));
    const PhotoMeta meta = ReadJpegPhotoMeta(jpeg.data(), jpeg.size());
    EXPECT_EQ(meta.orientation, 3);
    EXPECT_EQ(meta.iccProfile, icc);
    // A missing chunk gives no profile.
    const PhotoBytes half = withJpegSegment(encodedJpeg(b, 80), 0xE2, iccChunk(2, 1000, 3000));
    EXPECT_TRUE(ReadJpegPhotoMeta(half.data(), half.size()).iccProfile.empty());

    forEachMutation(jpeg, 1500, [&](const PhotoBytes& m) {
        const PhotoMeta got = ReadJpegPhotoMeta(m.data(), m.size());
        EXPECT_TRUE(got.orientation >= 1 && got.orientation <= 8);
        EXPECT_LE(got.iccProfile.size(), icc.size());
    }, 6000);
}

constexpr int64_t kGiB = int64_t(1) << 30;

// A solid 64 x 48 JPEG followed by zeros up to size bytes (a sparse file).
void paddedJpeg(const std::string& path, int64_t size) {
    writeFile(path, encodedJpeg(flatImage(64, 48, 0xC86432)));
    ASSERT_EQ(::truncate(path.c_str(), size), 0);
}

void sparse(const std::string& path, int64_t size) {
    std::ofstream(path).close();
    ASSERT_EQ(::truncate(path.c_str(), size), 0);
}

TEST(SpecialFiles, RefusedOrReadWithoutHangingOrGrowing) {
    TempTree t;
    struct Row {
        const char* name;
        std::function<void(const std::string&)> make;
        const char* expect;  // start of "ok ..." or a part of the error
    };
    const Row rows[] = {
        {"pipe.png", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, "it is a named pipe"},
        {"zero.png", [](const std::string& p) { ASSERT_EQ(::symlink("/dev/zero", p.c_str()), 0); },
         "it is a character device"},
        {"folder.jpg", [](const std::string& p) { ASSERT_EQ(::mkdir(p.c_str(), 0700), 0); }, "it is a folder"},
        {"huge.jpg", [](const std::string& p) { sparse(p, 4 * kGiB); }, "bytes, more than the"},
        {"huge.bmp", [](const std::string& p) { sparse(p, int64_t(fileByteLimit(DecodeLimits{}, 4)) + 1); }, "bytes, more than the"},
        // Within the bound: mapped, and the decoder stops at the end of the image data.
        {"padded.jpg", [](const std::string& p) { paddedJpeg(p, kGiB); }, "ok 80x60 200,100,50"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string path = t / r.name;
        r.make(path);
        const Guarded g = runGuarded([&] {
            try {
                TBitmap thumb;
                MakeThumbnail(path, ThumbParams{}, thumb);
                const uint8_t* p = thumb.scanLine(30) + 3 * 40;
                return "ok " + std::to_string(thumb.width()) + "x" + std::to_string(thumb.height()) + " " +
                       std::to_string((p[2] + 2) / 5 * 5) + "," + std::to_string((p[1] + 2) / 5 * 5) + "," +
                       std::to_string((p[0] + 2) / 5 * 5);
            } catch (const std::exception& e) {
                return std::string(e.what());
            }
        });
        EXPECT_EQ(g.outcome, Guarded::Finished) << "outcome " << g.outcome;
        if (g.outcome == Guarded::Finished) EXPECT_NE(g.result.find(r.expect), std::string::npos) << g.result;
    }
}

}  // namespace
