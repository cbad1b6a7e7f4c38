// Limits that hold for the load they are given to, and hostile photo metadata: EXIF blocks and
// JPEG/PNG metadata built here, then damaged. Any damage gives "no orientation" or no profile,
// never a crash or a read outside the data (run under the sanitizers with the decoder label).
// Files that are not ordinary images: pipes, devices, folders and huge sparse files, each taken
// through the thumbnail pipeline in a guarded child, so a hang or an endless read fails the row.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/Limits.h"
#include "browse/Thumbnails.h"
#include "codecs/PhotoMeta.h"
#include "codecs/Png.h"
#include "formats/Picture.h"
#include "imaging/Exif.h"
#include "imaging/Bitmap.h"
#include "tests/codecs/BmpBuilders.h"
#include "tests/support/CodecSamples.h"
#include "tests/support/Guarded.h"
#include "tests/support/Mutation.h"
#include "tests/support/PhotoSamples.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"

using namespace korvel;
using namespace korvel::testing;
using Bytes = std::vector<uint8_t>;

namespace {

// 6 x 5 pixels; small IDAT chunks give the file many chunks, the comment one large tEXt chunk.
Bytes png() {
    TGLDPNG p;
    p.assign(korvel::testing::randomBitmap(PixelFormat::pf24bit, 6, 5, 1));
    p.setIdatSize(TGLDPNG::kMinIdatSize);
    p.compressionLevel = 0;
    p.comment = std::string(600, 'c');
    return savedBytes(p);
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

}  // namespace

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
        {"JPEG pixels", ".jpg", korvel::testing::jpegSample(6, 5, false, false), {.maxPixels = 29}, {.maxPixels = 30}},
        {"JPEG scans", ".jpg", korvel::testing::jpegSample(6, 5, true, false), {.maxJpegScans = 2}, {}},
        {"GIF records", ".gif", gif(3), {.maxGifRecords = 2}, {.maxGifRecords = 3}},
    };
    korvel::testing::TempTree t;
    for (const Row& r : rows) {
        const std::string path = t.write(std::string("f") + r.ext, std::string(r.file.begin(), r.file.end()));
        EXPECT_TRUE(loads(path, DecodeLimits{})) << r.name;
        EXPECT_FALSE(loads(path, r.tight)) << r.name;
        EXPECT_TRUE(loads(path, r.enough)) << r.name;
        EXPECT_FALSE(loads(path, r.tight)) << r.name;
    }
}

namespace {

PhotoBytes patched(PhotoBytes b, std::initializer_list<std::pair<size_t, uint8_t>> patches) {
    for (auto [at, value] : patches) b[at] = value;
    return b;
}

}  // namespace

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
        {"cut inside the entry", PhotoBytes(good.begin(), good.begin() + 30)},
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

namespace {

constexpr int64_t kGiB = int64_t(1) << 30;

// A solid 64 x 48 JPEG followed by zeros up to size bytes (a sparse file).
void paddedJpeg(const std::string& path, int64_t size) {
    TBitmap b(64, 48, PixelFormat::pf24bit);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) b.setRawPixel(x, y, 0xC86432);
    writeFile(path, encodedJpeg(b));
    ASSERT_EQ(::truncate(path.c_str(), size), 0);
}

void sparse(const std::string& path, int64_t size) {
    std::ofstream(path).close();
    ASSERT_EQ(::truncate(path.c_str(), size), 0);
}

}  // namespace

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
        EXPECT_EQ(g.outcome, Guarded::Finished) << describe(g.outcome);
        if (g.outcome == Guarded::Finished) EXPECT_NE(g.result.find(r.expect), std::string::npos) << g.result;
    }
}
