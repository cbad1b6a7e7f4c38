// Stand-in thumbnails from the EXIF picture of a JPEG: which embedded pictures are used, how
// bars are cropped, how the result is sized and turned, and hostile heads.
#include <gtest/gtest.h>

#include <tuple>

#include "browse/EmbeddedThumbs.h"
#include "codecs/PhotoMetaThumb.h"
#include "tests/support/ExifThumbSamples.h"
#include "tests/support/Mutation.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

constexpr Color kRed = makeColor(220, 30, 30), kBlue = makeColor(30, 30, 220), kBlack = 0,
                kWhite = makeColor(255, 255, 255);

// Left half red, right half blue, inside optional bars: shows where the picture went.
TBitmap twoHalves(int w, int h, int barRows = 0, int barCols = 0, Color bar = kBlack) {
    TBitmap b = barredBitmap(w, h, kRed, barRows, barCols, bar);
    for (int y = barRows; y < h - barRows; ++y)
        for (int x = std::max(w / 2, barCols); x < w - barCols; ++x) b.setRawPixel(x, y, kBlue);
    return b;
}

bool near(Color c, Color want) {
    auto d = [](int a, int b) { return std::abs(a - b); };
    return d(redOf(c), redOf(want)) < 50 && d(greenOf(c), greenOf(want)) < 50 && d(blueOf(c), blueOf(want)) < 50;
}

}  // namespace

TEST(EmbeddedThumbs, UsesOnlyPicturesOfThePhotosAspect) {
    struct Case {
        const char* name;
        int photoW, photoH;
        PhotoBytes thumb;
        int orientation;
        bool used;
        int wantW, wantH;         // the stand-in's size, that of the real thumbnail
        Color topLeft, topRight;  // inside the stand-in, after cropping and turning
        bool exifRotate = true;
    };
    const PhotoBytes t43 = jpegBytes(twoHalves(160, 120), 95);
    const PhotoBytes bands = jpegBytes(twoHalves(160, 120, 15), 95);
    const PhotoBytes white = jpegBytes(twoHalves(160, 120, 15, 0, kWhite), 95);
    const PhotoBytes black = jpegBytes(barredBitmap(160, 120, kBlack), 95);
    const Case cases[] = {
        {"4:3 in 4:3", 64, 48, t43, 1, true, 80, 60, kRed, kBlue},
        {"16:9 letterboxed in black", 64, 36, bands, 1, true, 80, 45, kRed, kBlue},
        {"16:9 letterboxed in white", 64, 36, white, 1, true, 80, 45, kRed, kBlue},
        {"3:4 pillarboxed", 48, 64, jpegBytes(twoHalves(160, 120, 0, 35), 95), 1, true, 60, 80, kRed, kBlue},
        {"4:3 for a 3:2 photo", 48, 32, t43, 1, false},
        {"4:3 for a 16:9 photo, no bars", 64, 36, t43, 1, false},
        {"bars that leave the wrong aspect", 64, 36, jpegBytes(twoHalves(160, 120, 30), 95), 1, false},
        // The whole picture has the photo's aspect: dark bands are taken as the photo's own.
        {"bands in a picture that fits", 64, 48, bands, 1, true, 80, 60, kBlack, kBlack},
        {"all black, right aspect", 64, 48, black, 1, true, 80, 60, kBlack, kBlack},
        // Orientation 6: stored rows become columns, turned a quarter clockwise.
        {"turned a quarter", 64, 48, t43, 6, true, 60, 80, kRed, kRed},
        {"turned half", 64, 48, t43, 3, true, 80, 60, kBlue, kRed},
        {"orientation off", 64, 48, t43, 6, true, 80, 60, kRed, kBlue, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PhotoBytes file = cameraJpeg(barredBitmap(c.photoW, c.photoH, kRed), c.thumb, c.orientation);
        ThumbParams params;  // box 80
        params.photo.exifRotate = c.exifRotate;
        TBitmap thumb;
        ASSERT_EQ(EmbeddedThumbnail(file.data(), file.size(), params, thumb), c.used);
        if (!c.used) continue;
        ASSERT_EQ(thumb.width(), c.wantW);
        ASSERT_EQ(thumb.height(), c.wantH);
        // Corners one pixel in: no bar survived the crop.
        EXPECT_TRUE(near(thumb.pixel(1, 1), c.topLeft));
        EXPECT_TRUE(near(thumb.pixel(thumb.width() - 2, 1), c.topRight));
        EXPECT_TRUE(near(thumb.pixel(1, thumb.height() - 2), c.exifRotate && c.orientation == 6 ? kBlue : c.topLeft));
    }
}

TEST(EmbeddedThumbs, DamagedOrMisplacedPicturesAreIgnored) {
    const PhotoBytes photo = jpegBytes(barredBitmap(64, 48, kRed), 95);
    const auto withExif = [&](const PhotoBytes& payload) { return withJpegSegment(photo, 0xE1, payload); };
    const PhotoBytes good = jpegBytes(twoHalves(160, 120), 95);
    PhotoBytes padded = good;
    padded.insert(padded.end(), 6, 0);  // zeros after the end marker, as some cameras write
    struct Case {
        const char* name;
        PhotoBytes file;
        bool used;
    };
    const Case cases[] = {
        {"whole", withExif(exifWithThumbnail(good, 1, true)), true},
        {"zero padded", withExif(exifWithThumbnail(padded, 1, false)), true},
        {"truncated", withExif(exifWithThumbnail(PhotoBytes(good.begin(), good.end() - 40), 1, false)), false},
        {"not a JPEG", withExif(exifWithThumbnail(PhotoBytes(400, 0x55), 1, false)), false},
        {"offset past the segment", withExif(exifWithThumbnail(good, 1, false, 100)), false},
        {"length past the segment", withExif(exifWithThumbnail(good, 1, false, 0, 1)), false},
        {"length short of the end", withExif(exifWithThumbnail(good, 1, false, 0, -9)), false},
        {"no thumbnail in IFD1", withExif(exifApp1(1, false)), false},
        {"no Exif at all", photo, false},
    };
    for (const Case& c : cases) {
        TBitmap thumb;
        EXPECT_EQ(EmbeddedThumbnail(c.file.data(), c.file.size(), ThumbParams{}, thumb), c.used) << c.name;
    }
}

TEST(EmbeddedThumbs, LetterboxContentFindsEachEdge) {
    struct Case {
        const char* name;
        TBitmap picture;
        Rect want;
    };
    const Case cases[] = {
        {"none", twoHalves(40, 30), {0, 0, 40, 30}},
        {"top and bottom", twoHalves(40, 30, 5), {0, 5, 40, 25}},
        {"sides in white", twoHalves(40, 30, 0, 7, kWhite), {7, 0, 33, 30}},
        {"all four", twoHalves(40, 30, 3, 4), {4, 3, 36, 27}},
        {"only bar colour", barredBitmap(40, 30, kBlack), {0, 0, 40, 30}},
    };
    for (const Case& c : cases) {
        const Rect r = LetterboxContent(c.picture);
        const Rect& w = c.want;
        EXPECT_EQ(std::tuple(r.left, r.top, r.right, r.bottom), std::tuple(w.left, w.top, w.right, w.bottom)) << c.name;
    }
}

TEST(EmbeddedThumbs, OnlyTheFilesHeadIsRead) {
    // The thumbnail past the first 64 KB (a large APP segment before the Exif one) is not reached.
    TempTree tree;
    const PhotoBytes close = cameraJpeg(barredBitmap(64, 48, kRed), jpegBytes(twoHalves(160, 120), 95));
    PhotoBytes far = withJpegSegment(close, 0xE3, PhotoBytes(65000, 0x11));
    far = withJpegSegment(far, 0xE4, PhotoBytes(20000, 0x22));
    const std::string a = tree.write("near.jpg", std::string(close.begin(), close.end()));
    const std::string b = tree.write("far.jpg", std::string(far.begin(), far.end()));
    TBitmap out;
    EXPECT_TRUE(ReadEmbeddedThumbnail(a, ThumbParams{}, out));
    EXPECT_FALSE(ReadEmbeddedThumbnail(b, ThumbParams{}, out));
    EXPECT_FALSE(ReadEmbeddedThumbnail(tree / "missing.jpg", ThumbParams{}, out));
}

TEST(EmbeddedThumbs, HostileHeadsStayInBounds) {
    const PhotoBytes good = cameraJpeg(barredBitmap(64, 48, kRed), jpegBytes(twoHalves(160, 120), 80), 6, true);
    const PhotoBytes big = cameraJpeg(barredBitmap(64, 48, kRed), jpegBytes(twoHalves(160, 120), 80), 1, false);
    for (const PhotoBytes* base : {&good, &big}) {
        forEachMutation(*base, 3000, [](const Bytes& m) {
            const ExifThumbnailSpan s = FindJpegExifThumbnail(m.data(), m.size());
            if (s.size) {
                ASSERT_LE(s.offset, m.size());
                ASSERT_LE(s.size, m.size() - s.offset);
            }
            TBitmap out;
            if (EmbeddedThumbnail(m.data(), m.size(), ThumbParams{}, out)) {
                ASSERT_GE(out.width(), 1);
                ASSERT_LE(out.width(), 80);
                ASSERT_LE(out.height(), 80);
            }
        }, 120);
    }
}
