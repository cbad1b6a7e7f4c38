// The wallpaper bitmap: size arithmetic, rendered pixels, the file written (and kept when a
// render fails) and the values recorded in registry.ini.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "imaging/Bmp.h"
#include "fileops/WallpaperBitmap.h"
#include "imaging/Bitmap.h"
#include "base/Errors.h"
#include "base/IniFile.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"

using namespace korvel;
namespace fs = std::filesystem;
using namespace korvel::testing;

namespace {

Color patternAt(int x, int y) { return makeColor(uint8_t(x * 40 + 7), uint8_t(y * 60 + 3), uint8_t(x * 11 + y * 5)); }

TBitmap pattern(int w, int h) {
    TBitmap b(w, h, PixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setRawPixel(x, y, patternAt(x, y));
    return b;
}

}  // namespace

TEST(Wallpaper, BitmapSizes) {
    struct Row {
        int w, h;
        WallpaperRender render;
        WallpaperSize expect;
    } rows[] = {
        {3000, 2000, WallpaperRender::Fitted, {1024, 682}},  // the width limits: 2000*1024 div 3000
        {1000, 4000, WallpaperRender::Fitted, {192, 768}},   // the height limits
        {640, 480, WallpaperRender::Fitted, {1024, 768}},    // same proportions as the screen
        {100, 50, WallpaperRender::Fitted, {1024, 512}},     // enlarged too
        {10000, 1, WallpaperRender::Fitted, {1024, 1}},      // 1*1024 div 10000 = 0, kept at 1
        {1, 10000, WallpaperRender::Fitted, {1, 768}},
        {3000, 2000, WallpaperRender::OwnSize, {3000, 2000}},
        {3000, 2000, WallpaperRender::ScreenSize, {1024, 768}},
        {5, 5, WallpaperRender::ScreenSize, {1024, 768}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.w) + "x" + std::to_string(r.h) + " render " + std::to_string(int(r.render)));
        EXPECT_EQ(wallpaperBitmapSize(r.w, r.h, r.render, 1024, 768), r.expect);
    }
    // Sizes whose products overflow 32 bits still come out right.
    EXPECT_EQ(wallpaperBitmapSize(60000, 50000, WallpaperRender::Fitted, 7680, 4320), (WallpaperSize{5184, 4320}));
}

// Own size copies every pixel; the stretches repeat whole pixels without blending.
TEST(Wallpaper, RenderedPixels) {
    const TBitmap src = pattern(3, 2);
    struct Row {
        WallpaperRender render;
        int sw, sh;
        int expectW, expectH;
    } rows[] = {
        {WallpaperRender::OwnSize, 100, 100, 3, 2},
        {WallpaperRender::ScreenSize, 6, 6, 6, 6},
        {WallpaperRender::Fitted, 12, 12, 12, 8},
        {WallpaperRender::Fitted, 9, 100, 9, 6},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.sw);
        const TBitmap out = renderWallpaper(src, r.render, r.sw, r.sh);
        ASSERT_EQ(out.width(), r.expectW);
        ASSERT_EQ(out.height(), r.expectH);
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                ASSERT_EQ(out.pixel(x, y), patternAt(x * 3 / r.expectW, y * 2 / r.expectH)) << x << "," << y;
    }
}

TEST(Wallpaper, TransparentAreasBecomeWhite) {
    TBitmap src(2, 1, PixelFormat::pf8bit);
    src.setRawPixel(0, 0, 5);
    src.setRawPixel(1, 0, 9);
    src.setTransparentIndex(9);
    const TBitmap out = renderWallpaper(src, WallpaperRender::OwnSize, 10, 10);
    EXPECT_EQ(out.pixel(0, 0), src.pixel(0, 0));
    EXPECT_EQ(out.pixel(1, 0), makeColor(255, 255, 255));
}

TEST(Wallpaper, MakeWritesTheBitmapFile) {
    TempTree d;
    saveBmp(pattern(30, 20), d / "photo.bmp");
    const std::string out = d / "data/korvel/Korvel_me_WP.bmp";  // the folder does not exist yet
    EXPECT_EQ(MakeWallpaperBitmap(d / "photo.bmp", nullptr, WallpaperRender::Fitted, 60, 60, out), out);
    TBitmap written = loadBmp(out);
    EXPECT_EQ(written.width(), 60);
    EXPECT_EQ(written.height(), 40);
    EXPECT_EQ(written.pixel(59, 39), patternAt(29, 19));

    // The same command again, now with a shown (turned) image: the same file is replaced, and no
    // temporary file is left beside it.
    const TBitmap shown = pattern(2, 5);
    EXPECT_EQ(MakeWallpaperBitmap("", &shown, WallpaperRender::OwnSize, 60, 60, out), out);
    written = loadBmp(out);
    EXPECT_EQ(written.width(), 2);
    EXPECT_EQ(written.height(), 5);
    EXPECT_EQ(written.pixel(1, 4), patternAt(1, 4));
    EXPECT_EQ(d.count("data/korvel"), 1);
}

TEST(Wallpaper, FailedRenderKeepsTheOldFile) {
    TempTree d;
    const std::string out = d / "Korvel_me_WP.bmp";
    writeFile(out, "the user's current wallpaper");
    writeFile(d / "damaged.bmp", "BM\x10\0\0\0 not really");
    saveBmp(pattern(4, 4), d / "photo.unknownext");
    writeFile(d / "empty.bmp", "");
    d.folder("folder.bmp");
    for (const char* source : {"missing.bmp", "damaged.bmp", "photo.unknownext", "empty.bmp", "folder.bmp"}) {
        SCOPED_TRACE(source);
        EXPECT_THROW(MakeWallpaperBitmap(d / source, nullptr, WallpaperRender::Fitted, 1024, 768, out), Exception);
        EXPECT_EQ(readFile(out), "the user's current wallpaper");
    }
    // An empty shown image, and a target folder that cannot be made.
    const TBitmap empty;
    EXPECT_THROW(MakeWallpaperBitmap("", &empty, WallpaperRender::OwnSize, 1024, 768, out), Exception);
    saveBmp(pattern(4, 4), d / "ok.bmp");
    writeFile(d / "plainfile", "x");
    try {
        MakeWallpaperBitmap(d / "ok.bmp", nullptr, WallpaperRender::OwnSize, 1024, 768, d / "plainfile/wp.bmp");
        ADD_FAILURE() << "a folder under a plain file was made";
    } catch (const EFileError& e) {
        EXPECT_EQ(e.message(), "Cannot create the folder \"" + (d / "plainfile/") + "\": Not a directory");
    }
    EXPECT_EQ(readFile(out), "the user's current wallpaper");
    EXPECT_EQ(d.count(), 7);  // nothing left behind
}

TEST(Wallpaper, RecordedValues) {
    TempTree d;
    const std::string reg = d / "cfg/registry.ini";
    d.folder("cfg");
    writeFile(reg, "[HKEY_CURRENT_USER\\Software\\Takechin\\Susie\\Plug-in]\nPath=/opt/spi\n");
    struct Row {
        WallpaperMode mode;
        const char* tile;
    } rows[] = {{WallpaperMode::Tile, "1"}, {WallpaperMode::Center, "0"}, {WallpaperMode::Stretch, "0"},
                {WallpaperMode::Fit, "0"}, {WallpaperMode::Tile, "1"}};
    for (const Row& r : rows) {
        ASSERT_TRUE(recordWallpaperValues(reg, "/home/me/.local/share/korvel/Korvel_me_WP.bmp", tileFlagOf(r.mode), 0, 0));
        const IniFile ini = IniFile::load(reg);
        EXPECT_EQ(ini.readString(kDesktopRegistryKey, "TileWallPaper", "?"), r.tile);
        EXPECT_EQ(ini.readString(kDesktopRegistryKey, "WallPaper", "?"), "/home/me/.local/share/korvel/Korvel_me_WP.bmp");
        EXPECT_EQ(ini.readString(kDesktopRegistryKey, "WallPaperOriginX", "?"), "0");
        EXPECT_EQ(ini.readString(kDesktopRegistryKey, "WallPaperOriginY", "?"), "0");
        EXPECT_EQ(ini.readString("HKEY_CURRENT_USER\\Software\\Takechin\\Susie\\Plug-in", "Path", "?"), "/opt/spi");
    }
    // The section is named by the key's path; no style value is written.
    const std::string text = readFile(reg);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Control Panel\\desktop]"), std::string::npos);
    EXPECT_EQ(text.find("WallpaperStyle"), std::string::npos);

    // A registry file that cannot be written reports false and throws nothing.
    writeFile(d / "notafolder", "x");
    EXPECT_FALSE(recordWallpaperValues(d / "notafolder/registry.ini", "/x.bmp", true, 0, 0));
}

TEST(Wallpaper, FileLocation) {
    const std::string name = "Korvel_" + loginName() + "_WP.bmp";
    EXPECT_FALSE(loginName().empty());
    {
        ScopedEnv data("XDG_DATA_HOME", "/srv/data");
        EXPECT_EQ(wallpaperFilePath(), "/srv/data/korvel/" + name);
    }
    {
        ScopedEnv data("XDG_DATA_HOME", "relative/ignored");
        ScopedEnv home("HOME", "/home/someone");
        EXPECT_EQ(wallpaperFilePath(), "/home/someone/.local/share/korvel/" + name);
    }
    {
        ScopedEnv data("XDG_DATA_HOME", nullptr);
        ScopedEnv home("HOME", "/home/someone/");
        EXPECT_EQ(wallpaperFolder(), "/home/someone/.local/share/korvel/");
    }
}
