// Hostile photo metadata: EXIF blocks and JPEG/PNG metadata built here, then damaged. Any damage
// gives "no orientation" or no profile, never a crash or a read outside the data (run under the
// sanitizers with the decoder label).
#include <gtest/gtest.h>

#include <string>

#include "codecs/PhotoMeta.h"
#include "imaging/Exif.h"
#include "tests/support/Mutation.h"
#include "tests/support/PhotoSamples.h"

using namespace korvel;
using namespace korvel::testing;

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
