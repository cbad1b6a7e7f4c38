// The extended copy, its run on worker threads, and the wallpaper bitmap.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <tuple>
#include <thread>

#include "settings/RegistrySettings.h"
#include "base/ErrorReason.h"
#include "base/Errors.h"
#include "base/FileNames.h"
#include "base/SafeWrite.h"
#include "fileops/BatchConvert.h"
#include "fileops/WallpaperBitmap.h"
#include "formats/FormatRegistry.h"
#include "formats/Picture.h"
#include "imaging/PlainStretch.h"
#include "imaging/StretchUtils.h"
#include "tests/support/CodecSamples.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"

using namespace korvel;
using namespace korvel::testing;
namespace fs = std::filesystem;

namespace {

// n bitmaps named name(i) in src, sized by i.
std::vector<std::string> bitmaps(const TempTree& src, int n, const std::function<std::string(int)>& name) {
    std::vector<std::string> files;
    for (int i = 0; i < n; ++i) {
        files.push_back(src / name(i));
        saveBmp(gradientBitmap(20 + i, 20), files.back());
    }
    return files;
}

// A written file's name and a hash of its bytes. The PNG writer stamps the time of writing: two
// runs a second apart differ only there, so the stamp is left out.
std::pair<std::string, size_t> output(const std::string& path) {
    std::string bytes = readFile(path);
    const size_t at = bytes.find("tIME");
    if (at != std::string::npos && at + 15 <= bytes.size())
        std::fill_n(bytes.begin() + ptrdiff_t(at) + 4, 11, 0);
    return {extractFileName(path), std::hash<std::string>()(bytes)};
}

}  // namespace

TEST(ExtendedCopy, UniqueOutputName) {
    TempTree d;
    EXPECT_EQ(UniqueOutputName(d / "a.bmp"), d / "a.bmp");
    d.write("a.bmp", "x");
    EXPECT_EQ(UniqueOutputName(d / "a.bmp"), d / "a_1.bmp");
    for (const char* f : {"a_1.bmp", "a_3.bmp"}) d.write(f, "x");
    EXPECT_EQ(UniqueOutputName(d / "a.bmp"), d / "a_2.bmp");
    d.write("noext", "x");
    EXPECT_EQ(UniqueOutputName(d / "noext"), d / "noext_1");
    // A dangling symbolic link occupies its name too.
    d.link(d / "nowhere", "link.png");
    EXPECT_EQ(UniqueOutputName(d / "link.png"), d / "link_1.png");
}

// Which name a copy of a.jpg as BMP gets, by what the destination already holds. Free and taken
// bitmap names are tried through the dialog; a_1.jpg is free, so a_1.bmp gets its own suffix.
TEST(ExtendedCopy, NamesNeverReplaceAFile) {
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"a.jpg"}, "a_1.bmp"}, {{"a.jpg", "a_1.bmp"}, "a_1_1.bmp"}};
    TempTree src;
    saveBmp(gradientBitmap(3, 2), src / "a.jpg");  // only the name counts: bitmap data stands in
    TFileFormatsList formats;
    formats.registerFormat("jpg", "test", TBitmap::classInfo);
    for (const auto& [present, expected] : rows) {
        TempTree dest;
        for (const std::string& p : present) dest.write(p, "x");
        TPicture picture(formats);
        TBitmap output;
        EXPECT_EQ(ConvertOneFile(src / "a.jpg", dest.root(), {}, picture, output), dest / expected);
        for (const std::string& p : present) EXPECT_EQ(dest.read(p), "x") << "replaced " << p;
    }
}

// A failure leaves nothing; its message, and a failed write, are checked through the dialog. A
// bitmap keeps its pixel format and palette; the BMP writer's formats are tested with it.
TEST(ExtendedCopy, FailureLeavesNoFileAndABmpCopyIsExact) {
    TempTree src, dest;
    src.write("bad.bmp", "x");
    saveBmp(randomBitmap(PixelFormat::pf8bit, 5, 3, 9), src / "img.bmp");
    TPicture picture;
    TBitmap output;
    EXPECT_THROW(ConvertOneFile(src / "bad.bmp", dest.root(), {}, picture, output), Exception);
    EXPECT_EQ(dest.count(), 0);
    const std::string out = ConvertOneFile(src / "img.bmp", dest.root(), {}, picture, output);
    EXPECT_EQ(out, dest / "img.bmp");
    EXPECT_EQ(byteDifference(loadBmp(out), loadBmp(src / "img.bmp")), "");
}

TEST(ExtendedCopy, CopyFileTimesCopiesModificationTime) {
    TempTree d;
    for (const char* f : {"src", "copy"}) d.write(f, "x");
    fs::last_write_time(d / "src", fs::file_time_type() + std::chrono::hours(24 * 365 * 40));
    CopyFileTimes(d / "src", d / "copy");
    EXPECT_EQ(fs::last_write_time(d / "src"), fs::last_write_time(d / "copy"));
    // Failures are reported, root or not.
    EXPECT_THROW(CopyFileTimes(d / "missing", d / "copy"), EFileError);
    EXPECT_THROW(CopyFileTimes(d / "src", d / "missing"), EFileError);
}

// Each side truncated, at least 1, and no 32-bit overflow.
TEST(ExtendedCopy, ScaledFittedAndWallpaperSizes) {
    const auto wh = [](auto s) { return std::pair(s.width, s.height); };
    const auto wp = [&](int w, int h, WallpaperRender render, int screenW = 1024, int screenH = 768) {
        return wh(wallpaperBitmapSize(w, h, render, screenW, screenH));
    };
    const std::pair<std::pair<int, int>, std::pair<int, int>> rows[] = {
        {wh(fittedSize(1000, 500, 80)), {80, 40}},    // landscape: the width becomes 80
        {wh(fittedSize(500, 1000, 80)), {40, 80}},    // portrait: the height becomes 80
        {wh(fittedSize(1000, 3, 80)), {80, 1}},       // 3*80 div 1000 = 0, at least 1
        {wh(fittedSize(333, 1000, 100)), {33, 100}},  // truncated, not rounded (33.3)
        {wh(fittedSize(640, 480, 0)), {1, 1}},        // a length below 1 counts as 1
        {wh(fittedSize(0, 5, 80)), {80, 80}},         // no pixels: no aspect ratio, no division by zero
        {wh(fittedSize(5, 0, 80)), {80, 80}},
        {wh(scaledSize(3, 3, 25)), {1, 1}},  // 0.75 truncates to 0, then at least 1
        {wh(scaledSize(199, 99, 50)), {99, 49}},
        {wh(scaledSize(100000, 50000, 200)), {200000, 100000}},
        {wp(3000, 2000, WallpaperRender::Fitted), {1024, 682}},  // the width limits: 2000*1024 div 3000
        {wp(10000, 1, WallpaperRender::Fitted), {1024, 1}},      // 1*1024 div 10000 = 0, kept at 1
        {wp(1, 10000, WallpaperRender::Fitted), {1, 768}},       // the height limits
        {wp(3000, 2000, WallpaperRender::OwnSize), {3000, 2000}},
        {wp(3000, 2000, WallpaperRender::ScreenSize), {1024, 768}},
        {wp(60000, 50000, WallpaperRender::Fitted, 7680, 4320), {5184, 4320}},
    };
    for (size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(rows[i].first, rows[i].second) << "row " << i;
}

// Each mode of a 40 x 30 source ends in the size it states, made by the resampler it states.
TEST(ExtendedCopy, ResizeModes) {
    struct Row {
        SizeMode mode;
        int percent, width, height;
        bool keepAspect, quality;
        int wantW, wantH;
    } rows[] = {
        {SizeMode::Original, 0, 0, 0, true, true, 40, 30},
        // The size and the resampler are chosen apart: each size branch once, each resampler once.
        {SizeMode::Scale, 50, 0, 0, true, true, 20, 15},
        {SizeMode::Given, 0, 16, 0, true, false, 16, 12},
        {SizeMode::Given, 0, 30, 7, false, true, 30, 7},
        {SizeMode::Given, 0, 0, -3, false, false, 1, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.wantW << "x" << r.wantH << (r.quality ? " good" : " plain"));
        TPicture picture;
        picture.setGraphic(std::make_unique<TBitmap>(gradientBitmap(40, 30)));
        TBitmap output;
        PrepareOutputFormat(*picture.graphic(), "a.bmp", output);
        const ExtendedCopyOptions o{.sizeMode = r.mode, .percent = r.percent, .width = r.width,
                                    .height = r.height, .keepAspect = r.keepAspect,
                                    .qualityResample = r.quality, .photo = {}};
        ResizeIntoOutput(picture, o, output);
        EXPECT_EQ(picture.graphic(), nullptr);  // the decoded graphic is released
        TBitmap want = gradientBitmap(40, 30);
        if (r.mode != SizeMode::Original && r.quality) StretchBitmap(want, r.wantW, r.wantH);
        if (r.mode != SizeMode::Original && !r.quality) {
            want = TBitmap(r.wantW, r.wantH, PixelFormat::pf24bit);
            stretchCopy(gradientBitmap(40, 30), Rect{0, 0, 40, 30}, want, Rect{0, 0, r.wantW, r.wantH});
        }
        EXPECT_EQ(output.pixelFormat(), want.pixelFormat());
        EXPECT_EQ(pixelDifference(output, want), "");
    }
}

// A GIF with no white in its palette and a transparent index: its transparent area comes out
// white and its colours as they were, in BMP and PNG copies, at its own size and halved.
TEST(ExtendedCopy, TransparentAreasComeOutWhite) {
    TBitmap indexed(40, 40, PixelFormat::pf8bit);
    indexed.setPalette({RGBQuad::of(0x000000), RGBQuad::of(0xFF0000), RGBQuad::of(0x00FF00), RGBQuad::of(0x202020)});
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)  // a red circle, a green band, transparent black around
            indexed.setRawPixel(x, y, (x - 20) * (x - 20) + (y - 20) * (y - 20) < 144 ? 1 : x < 8 ? 2 : 0);
    TempTree src, dst;
    writeFile(src / "c.gif", paletteGif(indexed, 0));
    const std::tuple<OutputFormat, int, bool> rows[] = {  // format, reduced by, quality resampling
        {OutputFormat::Bmp, 1, true}, {OutputFormat::Png, 1, true},
        {OutputFormat::Bmp, 2, false}, {OutputFormat::Png, 2, true}};
    for (const auto& [format, s, quality] : rows) {
        SCOPED_TRACE(::testing::Message() << "format " << int(format) << ", by " << s << ", quality " << quality);
        const ExtendedCopyOptions o{.format = format, .sizeMode = s == 1 ? SizeMode::Original : SizeMode::Scale,
                                    .percent = 50, .qualityResample = quality, .photo = {}};
        TPicture picture, copy;
        TBitmap output;
        copy.loadFromFile(ConvertOneFile(src / "c.gif", dst.root(), o, picture, output));
        const TBitmap& got = *copy.graphic()->raster();
        ASSERT_EQ(got.width(), 40 / s);
        for (const auto& [x, y, want] : {std::tuple(36, 36, 0xFFFFFFu), std::tuple(20, 4, 0xFFFFFFu),
                                         std::tuple(20, 20, 0xFF0000u), std::tuple(2, 36, 0x00FF00u)})
            EXPECT_EQ(got.pixel(x / s, y / s), want) << "at " << x << "," << y << " of the source";
    }
}

TEST(ExtendedCopy, RotateOutputTurnsClockwise) {
    const struct {
        int turn, wantW, wantH;
        int x, y;  // where the top-left source pixel lands
    } rows[] = {{0, 4, 2, 0, 0}, {1, 2, 4, 1, 0}, {2, 4, 2, 3, 1}, {3, 2, 4, 0, 3}};
    for (const auto& r : rows) {
        TBitmap out = gradientBitmap(4, 2);
        out.setRawPixel(0, 0, 0xABCDEF);
        RotateOutput(r.turn, out);
        ASSERT_EQ(std::pair(out.width(), out.height()), std::pair(r.wantW, r.wantH)) << r.turn;
        EXPECT_EQ(out.pixel(r.x, r.y), 0xABCDEFu) << "turn " << r.turn;
    }
}

TEST(BatchConvert, SameNamesFilesAndFailuresInListOrderAsOneAtATime) {
    for (OutputFormat fmt : {OutputFormat::Bmp, OutputFormat::Jpeg, OutputFormat::Png}) {
        SCOPED_TRACE("format " + std::to_string(int(fmt)));
        TempTree src, seq, par;
        const ExtendedCopyOptions o{.format = fmt, .sizeMode = SizeMode::Scale, .percent = 60, .photo = {}};
        for (const TempTree* d : {&seq, &par}) d->write("a.png", "taken");
        std::vector<std::pair<std::string, size_t>> want, got;
        TPicture picture;
        TBitmap bitmap;
        // Sources with clashing names (some listed twice), unreadable files and different sizes.
        std::vector<std::string> files;
        for (int i = 0; i < 14; ++i) {
            std::string name = i % 2 ? "one/" : "two/";
            name += i % 3 ? std::string{'p', char('0' + i % 5)} : std::string("a");
            files.push_back(src.write(name + ".bmp", "not an image"));
            if (i % 7 != 3) saveBmp(randomBitmap(PixelFormat::pf24bit, 20 + 7 * i, 11 + i, i), files.back());
        }
        for (const std::string& f : files) {
            try {
                want.push_back(output(ConvertOneFile(f, seq.root(), o, picture, bitmap)));
            } catch (const std::exception&) {
                want.push_back(output(""));
            }
        }
        ConvertBatch(files, par.root(), &o, 4, [&](const ConvertResult& r) {
            EXPECT_EQ(r.index, got.size()) << "out of list order";
            EXPECT_EQ(r.source, files[r.index]);
            EXPECT_NE(r.ok(), !r.error.empty());
            got.push_back(output(r.written));  // written is empty for a failure
        });
        EXPECT_EQ(got, want);
        EXPECT_EQ(par.count(), seq.count());
    }
}

// A failed file keeps why, for the line under its message: a full disk's or a missing file's
// errno, or a marked text. Nothing is written.
TEST(BatchConvert, FailuresKeepTheirReason) {
    TempTree src, dst;
    saveBmp(gradientBitmap(8, 8), src / "a.bmp");
    SafeWriteSteps full;
    full.write = [](int, const void*, size_t) -> ssize_t { return errno = ENOSPC, -1; };
    setSafeWriteSteps(full);
    std::vector<std::string> reasons;
    const ExtendedCopyOptions o;
    ConvertBatch({src / "a.bmp", src.write("b.xyz", "x"), src / "gone.bmp"}, dst.root(), &o, 1,
                 [&](const ConvertResult& c) { reasons.push_back(c.ok() ? "written" : c.reason.str()); });
    setSafeWriteSteps({});
    EXPECT_EQ(reasons, (std::vector<std::string>{errorReason(ENOSPC), "拡張子 .xyz の画像形式は処理できません",
                                                 errorReason(ENOENT)}));
    EXPECT_EQ(dst.count(), 0);
}

TEST(BatchConvert, TwoRunsIntoOneFolderLeaveEveryOutput) {
    TempTree src, dst;
    const auto files = bitmaps(src, 13, [](int i) {
        return i < 12 ? "f" + std::to_string(i % 4) + "_" + std::to_string(i) + ".bmp" : "f.bmp";
    });
    ExtendedCopyOptions o;
    std::vector<std::string> written[2];
    std::thread runs[2];
    for (int k = 0; k < 2; ++k)
        runs[k] = std::thread([&, k] {
            ConvertBatch(files, dst.root(), &o, 2, [&, k](const ConvertResult& r) {
                if (r.ok()) written[k].push_back(r.written);
            });
        });
    for (std::thread& t : runs) t.join();
    EXPECT_EQ(dst.count(), long(2 * files.size()));
    // Each run's copy of a file holds that file's pixels, whichever name it got.
    for (int k = 0; k < 2; ++k) {
        ASSERT_EQ(written[k].size(), files.size());
        for (size_t i = 0; i < files.size(); ++i)
            EXPECT_EQ(pixelDifference(loadBmp(written[k][i]), loadBmp(files[i])), "") << written[k][i];
    }
}

// The listener plays the user at the box of a broken file in the middle: while a file is being
// reported nothing after it is on disk; a stop answered there writes no later file; a turn chosen
// there applies to every later file, also those the workers prepared before.
TEST(BatchConvert, TheReportedFileHoldsTheFilesBehindIt) {
    TempTree src;
    const std::vector<std::string> files = nineBitmaps(src.dir(), 3);
    const std::tuple<bool, int, const char*> rows[] = {  // stop, turn, what arrives
        {true, 0, "f0=30x20 f1=30x20 f2=30x20"},
        {false, 1, "f0=30x20 f1=30x20 f2=30x20 f4=20x30 f5=20x30 f6=20x30 f7=20x30 f8=20x30"},
    };
    for (const auto& [stopThere, turnThere, want] : rows) {
        TempTree dst;
        std::atomic<bool> stop{false};
        std::atomic<int> turn{0};
        long written = 0;
        const ExtendedCopyOptions o;
        ConvertBatch(files, dst.root(), &o, 4, [&](const ConvertResult& c) {
            written += c.ok();
            EXPECT_EQ(dst.count(), written) << "a later file was written while file " << c.index << " was reported";
            if (c.ok()) return;
            // The user reads the box; the other workers take and prepare the files behind it.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            stop = stopThere;
            turn = turnThere;
        }, &stop, &turn);
        EXPECT_EQ(bitmapSizes(dst.dir()), want);
    }
}

// The size is chosen as above and the stretch is the bitmap's own; here they are wired together,
// on white.
TEST(Wallpaper, RenderedOnWhiteAtTheChosenSize) {
    TBitmap src(2, 1, PixelFormat::pf8bit);
    src.setRawPixel(0, 0, 5);
    src.setRawPixel(1, 0, 9);
    src.setTransparentIndex(9);
    const TBitmap out = renderWallpaper(src, WallpaperRender::ScreenSize, 4, 3);
    ASSERT_EQ(std::pair(out.width(), out.height()), std::pair(4, 3));
    EXPECT_EQ(std::pair(out.pixel(1, 2), out.pixel(2, 0)), std::pair(src.pixel(0, 0), Color(0xFFFFFF)));
}

// Sources the desktop test does not try; a missing or damaged one is tried there.
TEST(Wallpaper, FailedRenderKeepsTheOldFile) {
    TempTree d;
    const std::string out = d.write("Korvel_me_WP.bmp", "the user's current wallpaper");
    // A name no decoder takes, and content none recognises.
    d.write("photo.unknownext", "not a picture");
    saveBmp(gradientBitmap(4, 4), d / "ok.bmp");
    EXPECT_THROW(MakeWallpaperBitmap(d / "photo.unknownext", nullptr, WallpaperRender::Fitted, 9, 9, out),
                 Exception);
    EXPECT_EQ(readFile(out), "the user's current wallpaper");
    // A target folder that cannot be made.
    d.write("plainfile", "x");
    try {
        MakeWallpaperBitmap(d / "ok.bmp", nullptr, WallpaperRender::OwnSize, 9, 9, d / "plainfile/wp.bmp");
        ADD_FAILURE() << "a folder under a plain file was made";
    } catch (const EFileError& e) {
        EXPECT_EQ(e.message(), "Cannot create the folder \"" + (d / "plainfile/") + "\": Not a directory");
    }
    EXPECT_EQ(d.count(), 4);  // nothing left behind
}

// Each mode's flag is checked through the desktop; here the values land and the others stay.
TEST(Wallpaper, RecordedValues) {
    TempTree d;
    const std::string plugins = "[HKEY_CURRENT_USER\\Software\\Takechin\\Susie\\Plug-in]\nPath=/opt/spi\n";
    const std::string reg = d.write("cfg/registry.ini", plugins);
    ASSERT_TRUE(recordWallpaperValues(reg, "/home/me/Korvel_me_WP.bmp", true, 3, 5));
    // The other section stays, the section is named by the key's path, no style value is written.
    EXPECT_EQ(readFile(reg), plugins + "[HKEY_CURRENT_USER\\Control Panel\\desktop]\n"
                                       "WallPaper=/home/me/Korvel_me_WP.bmp\nTileWallPaper=1\n"
                                       "WallPaperOriginX=5\nWallPaperOriginY=3\n");
    // A registry file that cannot be written reports false and throws nothing.
    d.write("notafolder", "x");
    EXPECT_FALSE(recordWallpaperValues(d / "notafolder/registry.ini", "/x.bmp", true, 0, 0));
}

TEST(Wallpaper, FileLocation) {
    EXPECT_FALSE(loginName().empty());
    // A relative data folder is ignored; a home with or without its trailing "/".
    const char* rows[][2] = {{"relative/ignored", "/home/someone"}, {nullptr, "/home/someone/"}};
    for (const auto& [dataHome, home] : rows) {
        ScopedEnv data("XDG_DATA_HOME", dataHome), h("HOME", home);
        EXPECT_EQ(wallpaperFilePath(), "/home/someone/.local/share/korvel/Korvel_" + loginName() + "_WP.bmp");
    }
}
