#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "imaging/Bmp.h"
#include "fileops/ExtendedCopy.h"
#include "base/SafeWrite.h"
#include "imaging/Bitmap.h"
#include "base/Errors.h"
#include "formats/FormatRegistry.h"
#include "formats/Picture.h"
#include "tests/support/TempTree.h"

using namespace korvel;
namespace fs = std::filesystem;
using korvel::testing::TempTree;

namespace {

void touch(const std::string& p) { korvel::testing::writeFile(p, "x"); }

void writeTestBmp(const std::string& path, int w, int h, PixelFormat pf = PixelFormat::pf24bit) {
    TBitmap b(w, h, pf);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setRawPixel(x, y, isPaletteFormat(pf) ? uint32_t((x + y) % 2) : uint32_t(0x010203 * (x + 3 * y)));
    std::ofstream out(path, std::ios::binary);
    writeBmp(b, out);
}

}  // namespace

TEST(ExtendedCopy, UniqueOutputName) {
    TempTree d;
    EXPECT_EQ(UniqueOutputName(d / "a.bmp"), d / "a.bmp");
    touch(d / "a.bmp");
    EXPECT_EQ(UniqueOutputName(d / "a.bmp"), d / "a_1.bmp");
    touch(d / "a_1.bmp");
    touch(d / "a_3.bmp");
    EXPECT_EQ(UniqueOutputName(d / "a.bmp"), d / "a_2.bmp");
    touch(d / "noext");
    EXPECT_EQ(UniqueOutputName(d / "noext"), d / "noext_1");
    // A dangling symbolic link occupies its name too.
    fs::create_symlink(d / "nowhere", d / "link.png");
    EXPECT_EQ(UniqueOutputName(d / "link.png"), d / "link_1.png");
}

// Which name a copy of a.jpg as BMP gets, by what the destination already holds.
TEST(ExtendedCopy, NamesNeverReplaceAFile) {
    struct Row {
        std::vector<std::string> present;
        std::string expected;
    } rows[] = {
        {{}, "a.bmp"},
        {{"a.jpg"}, "a_1.bmp"},
        {{"a.bmp"}, "a_1.bmp"},
        {{"a.jpg", "a_1.bmp"}, "a_1_1.bmp"},  // a_1.jpg is free, so a_1.bmp gets its own suffix
        {{"a.bmp", "a_1.bmp", "a_1.jpg"}, "a_2.bmp"},
    };
    TempTree src;
    writeTestBmp(src / "a.jpg", 3, 2);
    // The names depend on the file names only, so bitmap data stands in for the JPEG.
    TFileFormatsList formats;
    formats.registerFormat("jpg", "test", TBitmap::classInfo);
    for (const Row& r : rows) {
        TempTree dest;
        for (const std::string& p : r.present) touch(dest / p);
        TPicture picture(formats);
        TBitmap output;
        EXPECT_EQ(ConvertOneFile(src / "a.jpg", dest.root(), ExtendedCopyOptions{}, picture, output),
                  dest / r.expected);
        for (const std::string& p : r.present) EXPECT_EQ(fs::file_size(dest / p), 1u) << "replaced " << p;
    }
}

TEST(ExtendedCopy, OriginalSizeBmpCopyIsPixelExact) {
    TempTree src, dest;
    for (PixelFormat pf : {PixelFormat::pf1bit, PixelFormat::pf8bit, PixelFormat::pf24bit, PixelFormat::pf32bit}) {
        const std::string in = src / ("img" + std::to_string(bitsPerPixel(pf)) + ".bmp");
        writeTestBmp(in, 5, 3, pf);
        TPicture picture;
        TBitmap output;
        std::string out = ConvertOneFile(in, dest.root(), ExtendedCopyOptions{}, picture, output);
        EXPECT_EQ(out, dest / fs::path(in).filename().string());
        TBitmap a, b;
        a.loadFromFile(in);
        b.loadFromFile(out);
        ASSERT_EQ(b.pixelFormat(), pf);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) EXPECT_EQ(a.pixel(x, y), b.pixel(x, y));
    }
}

TEST(ExtendedCopy, FailureLeavesNoFileAndNamesTheSource) {
    TempTree src, dest;
    touch(src / "bad.bmp");
    TPicture picture;
    TBitmap output;
    EXPECT_THROW(ConvertOneFile(src / "bad.bmp", dest.root(), ExtendedCopyOptions{}, picture, output), Exception);
    EXPECT_TRUE(dest.count() == 0);
    EXPECT_EQ(ConvertFailureMessage("/x/y/bad.bmp"), "\"bad.bmp\"は処理出来ませんでした。");
    // A writer that fails removes its claim and its temporary file.
    const std::string target = dest / "claimed.bmp";
    ASSERT_TRUE(claimNewFile(target));
    EXPECT_FALSE(claimNewFile(target));
    EXPECT_THROW(fillClaimedFile(target, [](std::ostream&) { throw EFileError("disk full"); }), EFileError);
    EXPECT_TRUE(dest.count() == 0);
}

TEST(ExtendedCopy, CopyFileTimesCopiesModificationTime) {
    TempTree d;
    touch(d / "src");
    touch(d / "copy");
    fs::last_write_time(d / "src", fs::file_time_type() + std::chrono::hours(24 * 365 * 40));
    CopyFileTimes(d / "src", d / "copy");
    EXPECT_EQ(fs::last_write_time(d / "src"), fs::last_write_time(d / "copy"));
    // Failures are reported, root or not.
    EXPECT_THROW(CopyFileTimes(d / "missing", d / "copy"), EFileError);
    EXPECT_THROW(CopyFileTimes(d / "src", d / "missing"), EFileError);
}
