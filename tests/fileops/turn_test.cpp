// Saving a turn into the file: the pixels of the turned JPEG against the decoded image turned,
// the markers kept, PNG and BMP rewritten pixel for pixel, a failure half way, undo and redo.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "codecs/Jpeg.h"
#include "codecs/JpegTurn.h"
#include "codecs/PhotoMeta.h"
#include "codecs/PhotoMetaThumb.h"
#include "codecs/Png.h"
#include "fileops/TurnFile.h"
#include "fileops/UndoRedo.h"
#include "imaging/Orientation.h"
#include "tests/support/CodecCases.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/PhotoSamples.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

// Smooth ramps with noise: a wrong turn or a lost block moves far more than rounding does.
TBitmap photo(int w, int h) {
    TBitmap b = gradientBitmap(w, h);
    std::mt19937 rng(uint32_t(w * 7919 + h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < 3 * w; ++x) b.scanLine(y)[x] = uint8_t(std::clamp(int(b.scanLine(y)[x]) + int(rng() % 9) - 4, 0, 255));
    return b;
}

TBitmap decoded(const PhotoBytes& jpeg) {
    TJPEGImage j;
    DecodeLimits limits;
    limits.photo.exifRotate = false;
    limits.photo.colorManage = false;
    j.loadFromMemory(jpeg.data(), jpeg.size(), limits);
    return *j.raster();
}

TBitmap cropped(const TBitmap& b, int w, int h) {
    TBitmap c(w, h, b.pixelFormat());
    for (int y = 0; y < h; ++y) std::memcpy(c.scanLine(y), b.scanLine(y), size_t(w * bitsPerPixel(b.pixelFormat()) / 8));
    return c;
}

// The largest difference of one sample; larger than any when the sizes differ.
int maxDifference(const TBitmap& a, const TBitmap& b) {
    if (a.width() != b.width() || a.height() != b.height() || a.pixelFormat() != b.pixelFormat()) return 1000;
    int most = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width() * bitsPerPixel(a.pixelFormat()) / 8; ++x) most = std::max(most, std::abs(a.scanLine(y)[x] - b.scanLine(y)[x]));
    return most;
}

PhotoBytes bytesOf(const std::string& s) { return PhotoBytes(s.begin(), s.end()); }

// A camera's EXIF: IFD0 with the orientation and the Exif IFD pointer, the Exif IFD with the
// pixel size, IFD1 with the thumbnail at the end (kThumbAt); where its offset and length are.
constexpr size_t kThumbAt = 6 + 98, kThumbOffsetAt = kThumbAt - 20, kThumbLengthAt = kThumbAt - 8;
PhotoBytes cameraExif(int orientation, int w, int h, const PhotoBytes& thumb, bool big) {
    PhotoBytes t = big ? PhotoBytes{'M', 'M'} : PhotoBytes{'I', 'I'};
    putU16(t, 42, big), putU32(t, 8, big);
    // IFD0 at 8: 2 entries, 30 bytes.
    putU16(t, 2, big);
    putU16(t, 0x0112, big), putU16(t, 3, big), putU32(t, 1, big);
    putU16(t, uint16_t(orientation), big), putU16(t, 0, big);
    putU16(t, 0x8769, big), putU16(t, 4, big), putU32(t, 1, big), putU32(t, 38, big);
    putU32(t, 68, big);  // IFD1
    // Exif IFD at 38: 2 entries.
    putU16(t, 2, big);
    putU16(t, 0xA002, big), putU16(t, 4, big), putU32(t, 1, big), putU32(t, uint32_t(w), big);
    putU16(t, 0xA003, big), putU16(t, 4, big), putU32(t, 1, big), putU32(t, uint32_t(h), big);
    putU32(t, 0, big);
    // IFD1 at 68: 2 entries, thumbnail at 98.
    putU16(t, 2, big);
    putU16(t, 0x0201, big), putU16(t, 4, big), putU32(t, 1, big), putU32(t, 98, big);
    putU16(t, 0x0202, big), putU16(t, 4, big), putU32(t, 1, big), putU32(t, uint32_t(thumb.size()), big);
    putU32(t, 0, big);
    t.insert(t.end(), thumb.begin(), thumb.end());
    PhotoBytes payload = {'E', 'x', 'i', 'f', 0, 0};
    payload.insert(payload.end(), t.begin(), t.end());
    return payload;
}

}  // namespace

// Every orientation, sizes of whole 16-pixel blocks and not, trimmed or kept: the turned file
// decodes to the decoded original turned (on the part kept), up to the rounding of the IDCT.
TEST(TurnJpeg, PixelsEqualTheDecodedImageTurned) {
    for (const bool grey : {true, false}) {
        // Blocks are 8 pixels in grey, 16 in colour (4:2:0).
        const int block = grey ? 8 : 16;
        for (const auto [w, h] : {std::pair{64, 48}, std::pair{61, 45}, std::pair{64, 45}}) {
            const PhotoBytes original = jpegBytes(photo(w, h), 95, false, grey);
            const TBitmap before = decoded(original);
            for (int o = 1; o <= 8; ++o) {
                for (const bool trim : {false, true}) {
                    SCOPED_TRACE(std::string(grey ? "grey " : "colour ") + std::to_string(w) + "x" +
                                 std::to_string(h) + " orientation " + std::to_string(o) + (trim ? " trim" : ""));
                    // The edges that end up on the left or top must be whole blocks.
                    const bool cutRight = (o == 2 || o == 3 || o == 7 || o == 8) && w % block;
                    const bool cutBottom = (o == 3 || o == 4 || o == 6 || o == 7) && h % block;
                    const JpegTurn t = turnJpegLossless(original.data(), original.size(), o, trim);
                    if ((cutRight || cutBottom) && !trim) {
                        EXPECT_EQ(t.result, JpegTurnResult::NotPerfect);
                        EXPECT_TRUE(t.bytes.empty());
                        continue;
                    }
                    ASSERT_EQ(t.result, JpegTurnResult::Done) << t.message;
                    const int keptW = cutRight ? w / block * block : w;
                    const int keptH = cutBottom ? h / block * block : h;
                    const TBitmap after = decoded(t.bytes);
                    const TBitmap expected = OrientUpright(cropped(before, keptW, keptH), o);
                    ASSERT_EQ(after.width(), expected.width());
                    ASSERT_EQ(after.height(), expected.height());
                    // Turned back, it is the decoded original. Next to a cut edge the chroma was
                    // smoothed with the pixels cut off, so that one row or column is left out.
                    const int inverse = o == 6 ? 8 : o == 8 ? 6 : o;
                    const TBitmap back = OrientUpright(after, inverse);
                    const int cw = keptW - (cutRight && !grey ? 1 : 0), ch = keptH - (cutBottom && !grey ? 1 : 0);
                    EXPECT_LE(maxDifference(cropped(back, cw, ch), cropped(before, cw, ch)), 3);
                }
            }
        }
    }
}

TEST(TurnJpeg, ComposesOrientations) {
    struct Row {
        int a, b, composed;
    };
    const Row rows[] = {{1, 6, 6}, {6, 6, 3}, {6, 8, 1}, {3, 3, 1}, {8, 3, 6}, {2, 2, 1}, {2, 6, 7}, {6, 2, 5}, {5, 5, 1}};
    for (const Row& r : rows) EXPECT_EQ(composeOrientation(r.a, r.b), r.composed) << r.a << " then " << r.b;
}

// A frame header claiming a huge picture (a file cut or forged) is refused before libjpeg sizes
// its coefficient arrays by it: tens of gigabytes here.
TEST(TurnJpeg, ForgedSizeRefusedBeforeAllocating) {
    PhotoBytes file = jpegBytes(photo(64, 32), 90);
    size_t at = 2;
    for (const JpegSegment& s : jpegHeaderSegments(file.data(), file.size())) {
        if (s.marker >= 0xC0 && s.marker <= 0xC2) break;
        at += s.bytes.size();
    }
    ASSERT_LT(at + 9, file.size());
    for (size_t i : {5u, 7u}) file[at + i] = 0xFD, file[at + i + 1] = 0xE8;  // 65000 x 65000
    const JpegTurn t = turnJpegLossless(file.data(), file.size(), 6, true);
    EXPECT_EQ(t.result, JpegTurnResult::Failed);
    EXPECT_EQ(t.message, "the picture is too large to turn (65000 x 65000)");
}

// Every marker byte for byte, but the orientation (1 now), the pixel size (swapped) and the
// thumbnail (turned too, whole: compressed again when its blocks cannot move), in either byte order.
TEST(TurnJpeg, KeepsEveryMarkerButTheOrientation) {
    const PhotoBytes icc(3000, 0x5A);
    const std::string xmpText = std::string("http://ns.adobe.com/xap/1.0/") + '\0' + "<x:xmpmeta/>";
    const std::tuple<bool, int, int, int> rows[] = {{false, 32, 16, 2}, {true, 32, 16, 2}, {false, 30, 18, 48}};
    for (const auto& [big, thumbW, thumbH, tolerance] : rows) {
        SCOPED_TRACE(::testing::Message() << (big ? "big-endian" : "little-endian") << " " << thumbW << "x" << thumbH);
        const PhotoBytes thumb = jpegBytes(photo(thumbW, thumbH), 90);
                PhotoBytes file = jpegBytes(photo(64, 32), 90);
        file = withJpegSegment(file, 0xFE, bytesOf("a comment"));
        file = withJpegSegment(file, 0xE1, bytesOf(xmpText));
        file = withJpegIcc(file, icc, 1000);
        file = withJpegSegment(file, 0xE1, cameraExif(6, 64, 32, thumb, big));
        const JpegTurn t = turnJpegLossless(file.data(), file.size(), 6, false);
        ASSERT_EQ(t.result, JpegTurnResult::Done) << t.message;

        const auto kept = [](std::vector<JpegSegment> all) {  // the APPn and COM segments
            std::erase_if(all, [](const JpegSegment& s) {
                return (s.marker < 0xE0 || s.marker > 0xEF) && s.marker != 0xFE;
            });
            return all;
        };
        const auto before = kept(jpegHeaderSegments(file.data(), file.size()));
        const auto after = kept(jpegHeaderSegments(t.bytes.data(), t.bytes.size()));
        ASSERT_EQ(after.size(), before.size());
        for (size_t i = 1; i < before.size(); ++i) EXPECT_EQ(after[i].bytes, before[i].bytes) << "segment " << i;

        // The EXIF (after four header bytes) up to the thumbnail is made again with orientation 1 and
        // the size swapped; only the thumbnail's place and length may change.
        PhotoBytes now(after[0].bytes.begin() + 4, after[0].bytes.end());
        PhotoBytes want = cameraExif(1, 32, 64, thumb, big);
        ASSERT_GE(now.size(), kThumbAt);
        const ExifThumbnailSpan span = FindJpegExifThumbnail(t.bytes.data(), t.bytes.size());
        ASSERT_TRUE(span.found());
        const TBitmap turnedThumb = decoded(PhotoBytes(t.bytes.begin() + ptrdiff_t(span.offset),
                                                       t.bytes.begin() + ptrdiff_t(span.offset + span.size)));
        EXPECT_LE(maxDifference(turnedThumb, OrientUpright(decoded(thumb), 6)), tolerance);
        EXPECT_GT(maxDifference(turnedThumb, OrientUpright(decoded(thumb), 8)), 2 * tolerance);  // tells turns apart
        for (const size_t at : {kThumbOffsetAt, kThumbLengthAt})
            std::fill_n(now.begin() + ptrdiff_t(at), 4, 0), std::fill_n(want.begin() + ptrdiff_t(at), 4, 0);
        EXPECT_TRUE(std::equal(want.begin(), want.begin() + ptrdiff_t(kThumbAt), now.begin()));
    }
}

namespace {

struct TurnTree {
    TempTree t;
    std::string trash = t / "Trash";
    TurnRequest request(int orientation, bool trim = false, bool keepTime = false) const {
        return {orientation, trim, keepTime, trash};
    }
    // The names in the Trash, one after another.
    std::string trashed() const {
        std::string names;
        if (std::filesystem::exists(trash + "/files"))
            for (const auto& e : std::filesystem::directory_iterator(trash + "/files")) names += e.path().filename().string();
        return names;
    }
};

}  // namespace

// PNG and BMP come back pixel for pixel turned; other files are refused and left as they are.
TEST(TurnFile, RewritesPngAndBmpAndRefusesTheRest) {
    struct Row {
        const char* name;
        PixelFormat pf;
        bool mask;
        int orientation;
    };
    const Row rows[] = {{"a.png", PixelFormat::pf24bit, true, 6},  {"b.png", PixelFormat::pf8bit, false, 3},
                        {"c.bmp", PixelFormat::pf24bit, false, 8}, {"d.bmp", PixelFormat::pf8bit, false, 6},
                        {"e.bmp", PixelFormat::pf4bit, false, 3}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TurnTree tree;
        const std::string path = tree.t / r.name;
        const TBitmap image = randomBitmap(r.pf, 13, 7, 5, r.mask);
        const bool png = std::string(r.name).ends_with(".png");
        if (png) writeFile(path, pngBytes(image));
        else saveBmp(image, path);
        const TurnOutcome outcome = turnFile(path, tree.request(r.orientation));
        ASSERT_EQ(outcome.status, TurnStatus::Turned) << outcome.message(path);
        const TBitmap after = png ? loaded<TGLDPNG>(bytesOf(readFile(path))).image() : loadBmp(path);
        const TBitmap expected = OrientUpright(image, r.orientation);
        EXPECT_EQ(pixelDifference(after, expected), "");
        EXPECT_EQ(alphaDifference(after, expected), "");
        EXPECT_EQ(tree.trashed(), r.name);
    }
    TurnTree tree;
    const std::string gif = tree.t / "f.gif";
    writeFile(gif, std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14));
    EXPECT_EQ(turnFile(gif, tree.request(6)).status, TurnStatus::Unsupported);
    EXPECT_EQ(readFile(gif).size(), 14u);
    EXPECT_EQ(tree.trashed(), "");
}

// auto takes the photo's orientation; an upright photo is left alone; a size of partial blocks
// is left alone unless trimmed; the time is kept only when asked.
TEST(TurnFile, AutoTrimAndTime) {
    struct Row {
        int stored, asked, w, h;
        bool trim, keepTime;
        TurnStatus status;
        int width, height;  // after
    };
    const Row rows[] = {
        {6, 0, 64, 32, false, false, TurnStatus::Turned, 32, 64},
        {1, 0, 64, 32, false, false, TurnStatus::Upright, 64, 32},
        {6, 8, 64, 32, false, true, TurnStatus::Turned, 64, 32},  // right by EXIF, left asked: upright
        {1, 6, 64, 40, false, true, TurnStatus::NotPerfect, 64, 40},
        {1, 6, 64, 40, true, false, TurnStatus::Turned, 32, 64},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.stored) + " " + std::to_string(r.asked));
        TurnTree tree;
        const std::string path = tree.t / "p.jpg";
        const PhotoBytes original = withJpegSegment(jpegBytes(photo(r.w, r.h), 90), 0xE1, exifApp1(r.stored, false));
        writeFile(path, original);
        tree.t.mtime("p.jpg", 1000000000);
        const TurnOutcome outcome = turnFile(path, tree.request(r.asked, r.trim, r.keepTime));
        EXPECT_EQ(outcome.status, r.status) << outcome.message(path);
        const PhotoBytes after = bytesOf(readFile(path));
        const TBitmap image = decoded(after);
        EXPECT_EQ(image.width(), r.width);
        EXPECT_EQ(image.height(), r.height);
        struct stat st;
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        if (r.status != TurnStatus::Turned) {
            EXPECT_EQ(after, original);
            EXPECT_EQ(tree.trashed(), "");
            continue;
        }
        EXPECT_EQ(ReadJpegPhotoMeta(after.data(), after.size()).orientation, 1);
        EXPECT_EQ(st.st_mtim.tv_sec == 1000000000, r.keepTime);
    }
}

// A failure at any step leaves the original as it was, no temporary file and nothing in the Trash.
TEST(TurnFile, FailureHalfWayLeavesTheOriginal) {
    const Fault faults[] = {
        {"open", ".korvel-turn", ENOSPC},  {"write", ".korvel-turn", ENOSPC},
        {"fsync", ".korvel-turn", EIO},    {"renameNoReplace", "p.jpg", EIO},
        {"renameNoReplace", ".korvel-turn", EIO}, {"read", "p.jpg", EIO},
    };
    for (const Fault& f : faults) {
        SCOPED_TRACE(std::string(f.call) + " " + f.under);
        TurnTree tree;
        const std::string path = tree.t / "p.jpg";
        const PhotoBytes original = jpegBytes(photo(64, 32), 90);
        writeFile(path, original);
        FaultyFileSystem faulty;
        inject(faulty, tree.t.root(), {f});
        const TurnOutcome outcome = turnFile(path, tree.request(6), faulty);
        EXPECT_EQ(outcome.status, TurnStatus::Failed);
        EXPECT_EQ(outcome.err, f.err);
        EXPECT_EQ(bytesOf(readFile(path)), original);
        EXPECT_EQ(entryCount(tree.t.dir()), std::filesystem::exists(tree.trash) ? 2 : 1);
        EXPECT_EQ(tree.trashed(), "");
    }
}

// Undo brings back the very original (bytes and time), redo the turned file, and again.
TEST(TurnFile, UndoAndRedo) {
    TurnTree tree;
    const std::string path = tree.t / "p.jpg";
    const PhotoBytes original = withJpegSegment(jpegBytes(photo(64, 32), 90), 0xE1, exifApp1(6, true));
    writeFile(path, original);
    struct stat was;
    ASSERT_EQ(::stat(path.c_str(), &was), 0);
    const TurnOutcome outcome = turnFile(path, tree.request(0));
    ASSERT_EQ(outcome.status, TurnStatus::Turned);
    const PhotoBytes turned = bytesOf(readFile(path));
    const std::string journal = tree.t / "journal";
    ASSERT_EQ(recordStep(StepKind::Turn, {outcome.entry}, systemFileSystem(), journal), 0);
    const auto run = [&](UndoDirection d) {
        auto job = std::make_unique<UndoJob>(d, 1, journal);
        job->homeTrash = tree.trash;
        JobControl control({});
        job->run(control);
        return job;
    };
    for (int round = 0; round < 2; ++round) {
        for (const UndoDirection d : {UndoDirection::Undo, UndoDirection::Redo}) {
            const auto job = run(d);
            ASSERT_TRUE(job->leftAlone().empty()) << job->leftAlone().front().message();
            ASSERT_EQ(job->worked().size(), 1u);
            EXPECT_EQ(bytesOf(readFile(path)), d == UndoDirection::Undo ? original : turned);
            struct stat st;
            ASSERT_EQ(::stat(path.c_str(), &st), 0);
            if (d == UndoDirection::Undo) {
                EXPECT_EQ(std::tuple(st.st_ino, st.st_mtim.tv_nsec), std::tuple(was.st_ino, was.st_mtim.tv_nsec));
            }
            // One version in the Trash: "p.jpg", or "p.jpg.2" while the other still had the name.
            EXPECT_TRUE(tree.trashed() == "p.jpg" || tree.trashed() == "p.jpg.2") << tree.trashed();
        }
    }
    // A file changed since the turn is left alone.
    writeFile(path, std::string("changed"));
    const auto job = run(UndoDirection::Undo);
    ASSERT_EQ(job->leftAlone().size(), 1u);
    EXPECT_EQ(job->leftAlone().front().why, LeftAlone::Why::Changed);
    EXPECT_EQ(readFile(path), "changed");
}
