// Runs "korvel-tool thumb" as a script would: the thumbnails it writes, its errors and exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/Md5.h"
#include "browse/SharedThumbs.h"
#include "codecs/Jpeg.h"
#include "imaging/Bitmap.h"
#include "imaging/StretchUtils.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"
#include "tests/tools/ToolRun.h"

using namespace korvel;
using namespace korvel::testing;
using Args = std::vector<std::string>;

namespace {

ToolRun thumb(Args args, const std::vector<std::string>& env = {}) {
    args.insert(args.begin(), "thumb");
    return runTool(args, env);
}

}  // namespace

TEST(KorvelToolThumb, WritesThumbnailsAndReportsFailures) {
    TempTree t;
    t.folder("out");
    const TBitmap big = gradientBitmap(1600, 1200);
    saveBmp(big, t / "big.bmp");
    saveBmp(gradientBitmap(40, 10), t / "small.bmp");
    t.write("broken.jpg", "not a jpeg");
    TJPEGImage j;
    j.assign(gradientBitmap(800, 600));
    j.compress();
    j.saveToFile(t / "photo.jpg");

    // A private runtime folder of this test, so the cache file can be checked afterwards.
    t.folder("run");
    ::chmod((t / "run").c_str(), 0700);
    ToolRun r = thumb({"-o", t / "out", t / "big.bmp", t / "broken.jpg", t / "small.bmp", t / "photo.jpg"},
                      {"XDG_RUNTIME_DIR=" + t / "run"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(t / "broken.jpg"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("big.bmp"), std::string::npos) << r.err;
    EXPECT_EQ(r.lines, (std::vector<std::string>{t / "out/big.bmp", t / "out/small.bmp", t / "out/photo.bmp"}));
    EXPECT_FALSE(std::filesystem::exists(t / "out/broken.bmp"));
    // The cache file went with the program.
    EXPECT_TRUE(std::filesystem::is_empty(t / "run"));
    // The shared thumbnails only with the switch, in the folder XDG_CACHE_HOME names.
    EXPECT_EQ(thumb({"-o", t / "out", "--shared-cache", t / "small.bmp"}, {"XDG_CACHE_HOME=" + t / "xdg"}).status, 0);
    EXPECT_TRUE(std::filesystem::exists(t / "xdg/thumbnails/normal/" + md5Hex(fileUri(t / "small.bmp")) + ".png"));

    // The pipeline's pixels are checked in the core tests; here the sizes show the settings arrived.
    EXPECT_EQ(loadBmp(t / "out/big.bmp").height(), 60);
    const TBitmap gotSmall = loadBmp(t / "out/small.bmp");
    EXPECT_EQ(gotSmall.width(), 80);
    EXPECT_EQ(gotSmall.height(), 20);
    EXPECT_EQ(loadBmp(t / "out/photo.bmp").width(), 80);

    // Again: the names are taken, so new ones are made and nothing is replaced.
    r = thumb({"--size", "60", "--fast", "-o", t / "out", t / "big.bmp"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.lines, (std::vector<std::string>{t / "out/big_1.bmp"}));
    const TBitmap sized = loadBmp(t / "out/big_1.bmp");
    EXPECT_EQ(sized.width(), 48);
    EXPECT_EQ(sized.height(), 36);
    EXPECT_EQ(loadBmp(t / "out/big.bmp").width(), 80);

    // A screen as large as the image: no first reduction, so the result differs.
    r = thumb({"--screen", "1600x1200", "-o", t / "out", t / "big.bmp"});
    EXPECT_EQ(r.status, 0) << r.err;
    TBitmap direct = big;
    StretchBitmap(direct, 80, 60);
    const TBitmap gotDirect = loadBmp(t / "out/big_2.bmp");
    ASSERT_EQ(gotDirect.width(), 80);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x) ASSERT_EQ(gotDirect.pixel(x, y), direct.pixel(x, y)) << x << "," << y;
}

TEST(KorvelToolThumb, BadArguments) {
    TempTree t;
    struct Row {
        Args args;
        int status;
        const char* says;
    } rows[] = {
        {{}, 2, "-o DIR is required"},
        {{"-o", t.root()}, 2, "no input files"},
        {{"--size", "0", "-o", t.root(), "x.bmp"}, 2, "--size"},
        {{"--screen", "100", "-o", t.root(), "x.bmp"}, 2, "--screen"},
        {{"--bogus", "-o", t.root(), "x.bmp"}, 2, "unknown option"},
        {{"-o", t / "missing", "x.bmp"}, 1, "does not exist"},
        {{"-o", t.root(), t / "missing.bmp"}, 1, "missing.bmp"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::PrintToString(r.args));
        ToolRun got = thumb(r.args);
        EXPECT_EQ(got.status, r.status);
        EXPECT_NE(got.err.find(r.says), std::string::npos) << got.err;
    }
}
