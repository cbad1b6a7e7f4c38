// Files that are not ordinary images: pipes, devices, folders and huge sparse files. Each is taken
// through the thumbnail pipeline in a guarded child, so a hang or an endless read fails the row.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>

#include "browse/Thumbnails.h"
#include "codecs/Jpeg.h"
#include "imaging/Bitmap.h"
#include "base/Limits.h"
#include "tests/support/TempTree.h"
#include "tests/support/Guarded.h"

using namespace korvel;
using korvel::testing::Guarded;
using korvel::testing::TempTree;

namespace {

constexpr int64_t kGiB = int64_t(1) << 30;

// A solid 64 x 48 JPEG followed by zeros up to size bytes (a sparse file).
void paddedJpeg(const std::string& path, int64_t size) {
    TBitmap b(64, 48, PixelFormat::pf24bit);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            uint8_t* p = b.scanLine(y) + 3 * x;
            p[0] = 50, p[1] = 100, p[2] = 200;
        }
    TJPEGImage j;
    j.assign(b);
    j.compress();
    j.saveToFile(path);
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
        {"huge.png", [](const std::string& p) { sparse(p, 4 * kGiB); }, "bytes, more than the"},
        // Within the bound: mapped, and the decoder stops at the end of the image data.
        {"padded.jpg", [](const std::string& p) { paddedJpeg(p, kGiB); }, "ok 80x60 200,100,50"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string path = t / r.name;
        r.make(path);
        const Guarded g = korvel::testing::runGuarded([&] {
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
