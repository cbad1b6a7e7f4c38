// Runs the korvel-tool binary as a user would and checks its output, files and exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "imaging/Bmp.h"
#include "tests/tools/ToolRun.h"
#include "imaging/Bitmap.h"

using namespace korvel;
using korvel::testing::ToolRun;
namespace fs = std::filesystem;

namespace {

ToolRun tool(const std::string& args) { return korvel::testing::runTool(args, "LC_ALL=C.UTF-8"); }

struct Folder {
    fs::path path;
    Folder() {
        path = fs::temp_directory_path() / ("korvel-tool-" + std::to_string(::getpid()) + "-" +
                                            std::to_string(reinterpret_cast<uintptr_t>(this)));
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~Folder() { fs::remove_all(path); }
    std::string operator/(const std::string& n) const { return (path / n).string(); }
};

void save(const TBitmap& b, const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    writeBmp(b, out);
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace

TEST(KorvelTool, InfoReportsEachFileAndFailures) {
    Folder d;
    save(TBitmap(7, 5, PixelFormat::pf8bit), d / "a.bmp");
    save(TBitmap(2, 3, PixelFormat::pf24bit), d / "b.dib");
    std::ofstream(d / "c.bmp") << "not a bitmap";
    ToolRun ok = tool("info " + d / "a.bmp" + " " + d / "b.dib");
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, d / "a.bmp" + "\t7x5 8 ビットマップ\n" + d / "b.dib" + "\t2x3 24 ビットマップ\n");
    ToolRun bad = tool("info " + d / "c.bmp" + " " + d / "missing.bmp" + " " + d / "x.xyz" + " " + d / "a.bmp");
    EXPECT_EQ(bad.status, 1);
    const std::vector<std::string>& got = bad.lines;
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].rfind(d / "c.bmp" + "\terror: ", 0), 0u);
    EXPECT_NE(got[1].find("No such file or directory"), std::string::npos);
    EXPECT_EQ(got[2], d / "x.xyz" + "\terror: 拡張子 .xyz の画像形式は処理できません");
    EXPECT_EQ(got[3], d / "a.bmp" + "\t7x5 8 ビットマップ");
}

TEST(KorvelTool, InfoRefusesAPipeAtOnce) {
    Folder d;
    ASSERT_EQ(::mkfifo((d / "x.png").c_str(), 0600), 0);
    save(TBitmap(2, 3, PixelFormat::pf24bit), d / "b.bmp");
    // timeout turns a hang into status 124 rather than a stalled test.
    ToolRun r = korvel::testing::runTool("info " + d / "x.png" + " " + d / "b.bmp", "LC_ALL=C.UTF-8 timeout 20");
    EXPECT_EQ(r.status, 1);
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_NE(r.lines[0].find("it is a named pipe, not a regular file"), std::string::npos) << r.lines[0];
    EXPECT_EQ(r.lines[1], d / "b.bmp" + "\t2x3 24 ビットマップ");
}

TEST(KorvelTool, DecodeWritesPamWithAlpha) {
    Folder d;
    TBitmap b(3, 1, PixelFormat::pf8bit);
    b.setPalette({RGBQuad::of(0x102030), RGBQuad::of(0xA0B0C0)});
    b.setRawPixel(1, 0, 1);
    save(b, d / "p.bmp");
    ASSERT_EQ(tool("decode " + d / "p.bmp" + " " + d / "p.pam").status, 0);
    const std::string header = "P7\nWIDTH 3\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    const std::string pixels("\x10\x20\x30\xFF\xA0\xB0\xC0\xFF\x10\x20\x30\xFF", 12);
    EXPECT_EQ(readAll(d / "p.pam"), header + pixels);
    EXPECT_EQ(tool("decode " + d / "missing.bmp" + " " + d / "m.pam").status, 1);
    EXPECT_FALSE(fs::exists(d / "m.pam"));
}

TEST(KorvelTool, ConvertGoesOnAfterAFailureAndNeverReplaces) {
    Folder src, dest;
    save(TBitmap(4, 4, PixelFormat::pf24bit), src / "one.bmp");
    std::ofstream(src / "broken.bmp") << "BM";
    save(TBitmap(2, 2, PixelFormat::pf4bit), src / "two.bmp");
    std::ofstream(dest / "one.bmp") << "keep me";
    ToolRun r = tool("convert --format bmp -o " + dest.path.string() + " " + src / "one.bmp" + " " + src / "broken.bmp" +
                 " " + src / "two.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, dest / "one_1.bmp" + "\n" + dest / "two.bmp" + "\n");
    EXPECT_EQ(readAll(dest / "one.bmp"), "keep me");
    TBitmap two;
    two.loadFromFile(dest / "two.bmp");
    EXPECT_EQ(two.pixelFormat(), PixelFormat::pf4bit);
    EXPECT_FALSE(fs::exists(dest / "broken.bmp"));
    // Bad arguments: usage error, nothing written.
    EXPECT_EQ(tool("convert --format gif -o " + dest.path.string() + " " + src / "one.bmp").status, 2);
    EXPECT_EQ(tool("convert --format bmp -o " + dest / "nofolder" + " " + src / "one.bmp").status, 1);
}

TEST(KorvelTool, InfoAndDecodeTakeNamesThatAreNotUtf8) {
    Folder d;
    // Latin-1 and Shift_JIS bytes, the second holding 0x5C inside a character.
    for (const std::string name : {std::string("caf\xE9.bmp"), std::string("\x83\x65\x83\x5C.bmp")}) {
        const std::string file = d / name;
        save(TBitmap(6, 4, PixelFormat::pf24bit), file);
        ToolRun info = tool("info '" + file + "'");
        EXPECT_EQ(info.status, 0) << info.err;
        EXPECT_EQ(info.out, file + "\t6x4 24 ビットマップ\n");
        ToolRun decode = tool("decode '" + file + "' '" + file + ".pam'");
        EXPECT_EQ(decode.status, 0) << decode.err;
        const std::string header = "P7\nWIDTH 6\nHEIGHT 4\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
        std::string pixels;
        for (int i = 0; i < 6 * 4; ++i) pixels += std::string("\0\0\0\xFF", 4);
        EXPECT_EQ(readAll(file + ".pam"), header + pixels);
    }
}
