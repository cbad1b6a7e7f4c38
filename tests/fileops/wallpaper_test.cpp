// The wallpaper bitmap: size arithmetic, rendered pixels, the file written (and kept when a
// render fails) and the values recorded in registry.ini.
#include <gtest/gtest.h>

#include "base/Errors.h"
#include "base/IniFile.h"
#include "fileops/WallpaperBitmap.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"

using namespace korvel;
using namespace korvel::testing;

TEST(Wallpaper, BitmapSizes) {
    struct Row {
        int w, h;
        WallpaperRender render;
        WallpaperSize expect;
    } rows[] = {
        {3000, 2000, WallpaperRender::Fitted, {1024, 682}},  // the width limits: 2000*1024 div 3000
        {1000, 4000, WallpaperRender::Fitted, {192, 768}},   // the height limits
        {640, 480, WallpaperRender::Fitted, {1024, 768}},    // same proportions as the screen
        {10000, 1, WallpaperRender::Fitted, {1024, 1}},      // 1*1024 div 10000 = 0, kept at 1
        {1, 10000, WallpaperRender::Fitted, {1, 768}},
        {3000, 2000, WallpaperRender::OwnSize, {3000, 2000}},
        {3000, 2000, WallpaperRender::ScreenSize, {1024, 768}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.w) + "x" + std::to_string(r.h) + " render " +
                     std::to_string(int(r.render)));
        EXPECT_EQ(wallpaperBitmapSize(r.w, r.h, r.render, 1024, 768), r.expect);
    }
    // Sizes whose products overflow 32 bits still come out right.
    EXPECT_EQ(wallpaperBitmapSize(60000, 50000, WallpaperRender::Fitted, 7680, 4320),
              (WallpaperSize{5184, 4320}));
}

// Own size copies every pixel; the stretches repeat whole pixels without blending.
TEST(Wallpaper, RenderedPixels) {
    const TBitmap src = gradientBitmap(3, 2);
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
        ASSERT_EQ(std::pair(out.width(), out.height()), std::pair(r.expectW, r.expectH));
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                ASSERT_EQ(out.pixel(x, y), src.pixel(x * 3 / r.expectW, y * 2 / r.expectH)) << x << "," << y;
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
    const TBitmap photo = gradientBitmap(30, 20), shown = gradientBitmap(2, 5);
    saveBmp(photo, d / "photo.bmp");
    const std::string out = d / "data/korvel/Korvel_me_WP.bmp";  // the folder does not exist yet
    EXPECT_EQ(MakeWallpaperBitmap(d / "photo.bmp", nullptr, WallpaperRender::Fitted, 60, 60, out), out);
    EXPECT_EQ(pixelDifference(loadBmp(out), renderWallpaper(photo, WallpaperRender::Fitted, 60, 60)), "");
    // Again with a shown (turned) image: the same file is replaced, no temporary file is left.
    EXPECT_EQ(MakeWallpaperBitmap("", &shown, WallpaperRender::OwnSize, 60, 60, out), out);
    EXPECT_EQ(pixelDifference(loadBmp(out), shown), "");
    EXPECT_EQ(d.count("data/korvel"), 1);
}

// Sources the desktop test does not try; a missing or damaged one is tried there.
TEST(Wallpaper, FailedRenderKeepsTheOldFile) {
    TempTree d;
    const std::string out = d.write("Korvel_me_WP.bmp", "the user's current wallpaper");
    saveBmp(gradientBitmap(4, 4), d / "photo.unknownext");
    saveBmp(gradientBitmap(4, 4), d / "ok.bmp");
    d.write("empty.bmp", "");
    d.folder("folder.bmp");
    for (const char* source : {"photo.unknownext", "empty.bmp", "folder.bmp"}) {
        SCOPED_TRACE(source);
        EXPECT_THROW(MakeWallpaperBitmap(d / source, nullptr, WallpaperRender::Fitted, 1024, 768, out),
                     Exception);
        EXPECT_EQ(readFile(out), "the user's current wallpaper");
    }
    // A target folder that cannot be made.
    d.write("plainfile", "x");
    try {
        MakeWallpaperBitmap(d / "ok.bmp", nullptr, WallpaperRender::OwnSize, 9, 9, d / "plainfile/wp.bmp");
        ADD_FAILURE() << "a folder under a plain file was made";
    } catch (const EFileError& e) {
        EXPECT_EQ(e.message(), "Cannot create the folder \"" + (d / "plainfile/") + "\": Not a directory");
    }
    EXPECT_EQ(d.count(), 6);  // nothing left behind
}

// Each mode's flag is checked through the desktop; here a rewrite keeps the other values.
TEST(Wallpaper, RecordedValues) {
    TempTree d;
    const std::string plugins = "HKEY_CURRENT_USER\\Software\\Takechin\\Susie\\Plug-in";
    const std::string reg = d.write("cfg/registry.ini", "[" + plugins + "]\nPath=/opt/spi\n");
    for (WallpaperMode mode : {WallpaperMode::Tile, WallpaperMode::Center}) {
        ASSERT_TRUE(recordWallpaperValues(reg, "/home/me/Korvel_me_WP.bmp", tileFlagOf(mode), 0, 0));
        const IniFile ini = IniFile::load(reg);
        const char* tile = mode == WallpaperMode::Tile ? "1" : "0";
        EXPECT_EQ(ini.readString(kDesktopRegistryKey, "TileWallPaper", "?"), tile);
        EXPECT_EQ(ini.readString(kDesktopRegistryKey, "WallPaper", "?"), "/home/me/Korvel_me_WP.bmp");
        EXPECT_EQ(ini.readString(kDesktopRegistryKey, "WallPaperOriginX", "?"), "0");
        EXPECT_EQ(ini.readString(kDesktopRegistryKey, "WallPaperOriginY", "?"), "0");
        EXPECT_EQ(ini.readString(plugins, "Path", "?"), "/opt/spi");
    }
    // The section is named by the key's path; no style value is written.
    const std::string text = readFile(reg);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Control Panel\\desktop]"), std::string::npos);
    EXPECT_EQ(text.find("WallpaperStyle"), std::string::npos);
    // A registry file that cannot be written reports false and throws nothing.
    d.write("notafolder", "x");
    EXPECT_FALSE(recordWallpaperValues(d / "notafolder/registry.ini", "/x.bmp", true, 0, 0));
}

TEST(Wallpaper, FileLocation) {
    const std::string name = "Korvel_" + loginName() + "_WP.bmp";
    EXPECT_FALSE(loginName().empty());
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
