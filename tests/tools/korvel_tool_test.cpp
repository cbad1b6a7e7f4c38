// Runs the korvel-tool binary as a user would and checks its output, files and exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "imaging/Bitmap.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"
#include "tests/tools/ToolRun.h"

using namespace korvel;
using namespace korvel::testing;
namespace fs = std::filesystem;

TEST(KorvelTool, InfoReportsEachFileAndFailures) {
    TempTree d;
    saveBmp(TBitmap(7, 5, PixelFormat::pf8bit), d / "a.bmp");
    saveBmp(TBitmap(2, 3, PixelFormat::pf24bit), d / "b.dib");
    d.write("c.bmp", "not a bitmap");
    ToolRun ok = runTool({"info", d / "a.bmp", d / "b.dib"});
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, d / "a.bmp" + "\t7x5 8 ビットマップ\n" + d / "b.dib" + "\t2x3 24 ビットマップ\n");
    ToolRun bad = runTool({"info", d / "c.bmp", d / "missing.bmp", d / "x.xyz", d / "a.bmp"});
    EXPECT_EQ(bad.status, 1);
    const std::vector<std::string>& got = bad.lines;
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].rfind(d / "c.bmp" + "\terror: ", 0), 0u);
    EXPECT_NE(got[1].find("No such file or directory"), std::string::npos);
    EXPECT_EQ(got[2], d / "x.xyz" + "\terror: 拡張子 .xyz の画像形式は処理できません");
    EXPECT_EQ(got[3], d / "a.bmp" + "\t7x5 8 ビットマップ");
}

TEST(KorvelTool, InfoRefusesAPipeAtOnce) {
    TempTree d;
    ASSERT_EQ(::mkfifo((d / "x.png").c_str(), 0600), 0);
    saveBmp(TBitmap(2, 3, PixelFormat::pf24bit), d / "b.bmp");
    // A hang ends after 20 seconds with no exit status rather than stalling the run.
    ToolRun r = runTool({"info", d / "x.png", d / "b.bmp"}, {"LC_ALL=C.UTF-8"}, 20);
    EXPECT_EQ(r.status, 1);
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_NE(r.lines[0].find("it is a named pipe, not a regular file"), std::string::npos) << r.lines[0];
    EXPECT_EQ(r.lines[1], d / "b.bmp" + "\t2x3 24 ビットマップ");
}

TEST(KorvelTool, ConvertGoesOnAfterAFailureAndNeverReplaces) {
    TempTree src, dest;
    saveBmp(TBitmap(4, 4, PixelFormat::pf24bit), src / "one.bmp");
    src.write("broken.bmp", "BM");
    saveBmp(TBitmap(2, 2, PixelFormat::pf4bit), src / "two.bmp");
    dest.write("one.bmp", "keep me");
    ToolRun r = runTool({"convert", "--format", "bmp", "-o", dest.dir(), src / "one.bmp", src / "broken.bmp", src / "two.bmp"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, dest / "one_1.bmp" + "\n" + dest / "two.bmp" + "\n");
    EXPECT_EQ(dest.read("one.bmp"), "keep me");
    EXPECT_EQ(loadBmp(dest / "two.bmp").pixelFormat(), PixelFormat::pf4bit);
    EXPECT_FALSE(fs::exists(dest / "broken.bmp"));
    // Bad arguments: usage error, nothing written.
    EXPECT_EQ(runTool({"convert", "--format", "gif", "-o", dest.dir(), src / "one.bmp"}).status, 2);
    EXPECT_EQ(runTool({"convert", "--format", "bmp", "-o", dest / "nofolder", src / "one.bmp"}).status, 1);
}

// Decoding writes 8-bit RGBA, also under names that are not UTF-8 and names a shell would split
// or expand: Latin-1, Shift_JIS holding 0x5C inside a character, spaces, quotes and "$".
TEST(KorvelTool, InfoAndDecodeTakeAnyName) {
    TempTree d;
    TBitmap b(3, 1, PixelFormat::pf8bit);
    b.setPalette({RGBQuad::of(0x102030), RGBQuad::of(0xA0B0C0)});
    b.setRawPixel(1, 0, 1);
    const std::string header = "P7\nWIDTH 3\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    const std::string pixels("\x10\x20\x30\xFF\xA0\xB0\xC0\xFF\x10\x20\x30\xFF", 12);
    for (const std::string name : {std::string("p.bmp"), std::string("caf\xE9.bmp"), std::string("\x83\x65\x83\x5C.bmp"),
                                   std::string("it's a $HOME \"b\".bmp")}) {
        SCOPED_TRACE(name);
        const std::string file = d / name;
        saveBmp(b, file);
        ToolRun info = runTool({"info", file});
        EXPECT_EQ(info.status, 0) << info.err;
        EXPECT_EQ(info.out, file + "\t3x1 8 ビットマップ\n");
        ToolRun decode = runTool({"decode", file, file + ".pam"});
        EXPECT_EQ(decode.status, 0) << decode.err;
        EXPECT_EQ(readFile(file + ".pam"), header + pixels);
    }
    EXPECT_EQ(runTool({"decode", d / "missing.bmp", d / "m.pam"}).status, 1);
    EXPECT_FALSE(fs::exists(d / "m.pam"));
}
