// Shared thumbnails: names, the files written, which ones are trusted, and how close their cells stay.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "base/Md5.h"
#include "browse/SharedThumbs.h"
#include "browse/Thumbnails.h"
#include "codecs/Png.h"
#include "imaging/ColorManage.h"
#include "tests/support/CodecSamples.h"
#include "tests/support/ColorSamples.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

std::string pngBytes(const TBitmap& b, std::vector<std::pair<std::string, std::string>> texts = {}) {
    TGLDPNG png;
    png.assign(b);
    png.texts = std::move(texts);
    std::ostringstream out;
    png.saveToStream(out);
    return out.str();
}

TBitmap solid(int w, int h, Color c) {
    TBitmap b(w, h, PixelFormat::pf24bit);
    for (int i = 0; i < w * h; ++i) b.setRawPixel(i % w, i / w, c);
    return b;
}
ThumbParams params(int size, const SharedThumbs* shared) {
    ThumbParams p{size, std::min(size / 5, 20)};
    p.sharedThumbs = shared;
    return p;
}
std::string mtimeOf(const std::string& path) {
    struct stat st {};
    return std::to_string(::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_mtime) : -1);
}

}  // namespace

TEST(SharedThumbs, NamesAreTheMd5OfTheEscapedUri) {
    // Digests computed independently (python3 hashlib) when the test was written.
    struct Row { const char *path, *uri, *md5; } rows[] = {
        {"/home/jens/photos/me.png", "file:///home/jens/photos/me.png", "c6ee772d9e49320e97ec29a7eb5b1697"},
        {"/tmp/a b/\xC3\xA9#%?.png", "file:///tmp/a%20b/%C3%A9%23%25%3F.png", "c62b9b1a227b689bec74c3bd1bb010c2"},
        {"/x/!$&'()*+,;=:@-._~", "file:///x/!$&'()*+,;=:@-._~", "8f490c7ae185e2c6219f15bf4d7557dd"}};
    const SharedThumbs shared("/c/thumbnails/");
    for (const Row& r : rows) {
        EXPECT_EQ(fileUri(r.path), r.uri);
        EXPECT_EQ(shared.thumbnailPath(r.path, 256), std::string("/c/thumbnails/large/") + r.md5 + ".png");
    }
    // The padding's edges: 0, 55, 56 and 64 bytes.
    for (auto [n, md5] : {std::pair{0, "d41d8cd98f00b204e9800998ecf8427e"}, {55, "ef1772b6dff9a122358552954ad0df65"},
                          {56, "3b0c8ac703f828b04c6c197006d17218"}, {64, "014842d480b571495a4a0363793f7367"}})
        EXPECT_EQ(md5Hex(std::string(size_t(n), 'a')), md5) << n;

}

TEST(SharedThumbs, WrittenThumbnailsFollowTheStandard) {
    struct Row { int cell, w, h; const char* folder; int tw, th; };  // folder null: nothing written
    for (const Row& r : {Row{100, 1024, 768, "normal/", 128, 96}, {100, 300, 1000, "normal/", 38, 128},
                         {200, 1024, 768, "large/", 256, 192}, {100, 40, 30, "normal/", 40, 30},
                         {300, 1024, 768, nullptr, 0, 0}}) {
        TempTree t;
        const std::string file = t.write("a b.png", pngBytes(gradientBitmap(r.w, r.h)));
        const SharedThumbs shared(t / "cache/thumbnails/");
        TBitmap thumb;
        EXPECT_FALSE(MakeThumbnail(file, params(r.cell, &shared), thumb).fromSharedThumb);
        EXPECT_EQ(std::filesystem::exists(t / "cache"), r.folder != nullptr) << r.cell;
        if (!r.folder) continue;
        const std::string path = t / "cache/thumbnails/" + r.folder + md5Hex(fileUri(file)) + ".png";
        struct stat st {};
        EXPECT_TRUE(::lstat(path.c_str(), &st) == 0 && st.st_mode == (S_IFREG | 0600)) << r.cell;
        for (const std::string& f : {std::string("cache/thumbnails"), std::string("cache/thumbnails/") + r.folder}) {
            EXPECT_TRUE(::stat((t / f).c_str(), &st) == 0 && (st.st_mode & 0777) == 0700) << f;
        }
        EXPECT_EQ(entryCount(t / "cache/thumbnails/" + r.folder), 1);  // no temporary file left
        const std::string bytes = readFile(path);
        EXPECT_EQ(bytes.substr(24, 5), std::string("\x08\x06\x00\x00\x00", 5));  // 8-bit RGBA, not interlaced
        TGLDPNG png;
        png.loadFromMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        EXPECT_EQ(std::pair(png.width(), png.height()), std::pair(r.tw, r.th));
        EXPECT_EQ(png.texts, (decltype(png.texts){{"Thumb::URI", "file://" + t.dir() + "/a%20b.png"},
                                    {"Thumb::MTime", mtimeOf(file)},
                                    {"Thumb::Size", std::to_string(std::filesystem::file_size(file))}}));
    }
}

TEST(SharedThumbs, OnlyValidThumbnailsStandIn) {
    enum Damage { None, Stale, WrongUri, Truncated, NoIend, Link, OtherOwner, TooSmall, LargeOnly };
    for (Damage d : {None, Stale, WrongUri, Truncated, NoIend, Link, OtherOwner, TooSmall, LargeOnly}) {
        TempTree t;
        const std::string file = t.write("photo.png", pngBytes(solid(400, 300, makeColor(0, 0, 255))));
        SharedThumbs shared(t / "thumbnails/");
        if (d == OtherOwner) shared.user = ::geteuid() + 1;
        const int edge = d == LargeOnly ? 256 : 128, w = d == TooSmall ? 64 : edge;
        std::string png = pngBytes(solid(w, w * 3 / 4, makeColor(255, 0, 0)),
                                   {{"Thumb::URI", d == WrongUri ? "file:///elsewhere.png" : fileUri(file)},
                                    {"Thumb::MTime", d == Stale ? "1" : mtimeOf(file)}});
        if (d == Truncated || d == NoIend) png.resize(d == Truncated ? png.size() / 2 : png.size() - 1);
        const std::string rel = shared.thumbnailPath(file, edge).substr(t.root().size());
        t.write(d == Link ? "real.png" : rel, png);
        if (d == Link) t.link(t / "real.png", rel);
        TBitmap thumb;
        EXPECT_EQ(MakeThumbnail(file, params(100, &shared), thumb).fromSharedThumb, d == None || d == LargeOnly) << d;
        EXPECT_EQ(thumb.pixel(40, 30), d == None || d == LargeOnly ? makeColor(255, 0, 0) : makeColor(0, 0, 255)) << d;
    }
}

TEST(SharedThumbs, OnlyUprightSrgbBuildsAreShared) {
    // A build turned off from upright or converted to a monitor profile neither writes nor reads
    // the cache other programs share.
    struct Row {
        const char* name;
        PhotoSwitches photo;
        bool monitorProfile, shared;
    } rows[] = {{"defaults", {}, false, true},
                {"on screen, no monitor profile", {true, true, true}, false, true},
                {"on screen, monitor profile", {true, true, true}, true, false},
                {"monitor profile, written as sRGB", {true, true, false}, true, true},
                {"not turned upright", {false, true, false}, false, false},
                {"colours as stored", {true, false, false}, false, false}};
    for (const Row& r : rows) {
        TempTree t;
        const std::string file = t / "p.png";
        writeFile(file, pngBytes(gradientBitmap(400, 300)));
        const SharedThumbs shared(t / "thumbnails/");
        SetDisplayProfile(r.monitorProfile ? profileOf(kSpaces[0]) : std::vector<uint8_t>{});
        ThumbParams p = params(100, &shared);
        p.photo = r.photo;
        TBitmap thumb;
        MakeThumbnail(file, p, thumb);
        EXPECT_EQ(std::filesystem::exists(t / "thumbnails/normal"), r.shared) << r.name;
        // One written by a default build stands in only where sharing is on.
        MakeThumbnail(file, params(100, &shared), thumb);
        EXPECT_EQ(MakeThumbnail(file, p, thumb).fromSharedThumb, r.shared) << r.name;
    }
    SetDisplayProfile({});
}

TEST(SharedThumbs, CellsFromASharedThumbnailStayCloseToKorvelsOwn) {
    // The shared thumbnail is at least as large as the cell, so the cell is always a reduction.
    for (auto [cell, w, h, jpeg] : {std::tuple{100, 1600, 1200, false}, {100, 700, 1000, false},
                                    {200, 1024, 768, false}, {100, 2000, 1500, true}}) {
        TempTree t;
        const std::string file = t / (jpeg ? "p.jpg" : "p.png");
        jpeg ? writeFile(file, jpegSample(w, h, false, false)) : writeFile(file, pngBytes(gradientBitmap(w, h)));
        const SharedThumbs shared(t / "thumbnails/");
        TBitmap own, viaShared;
        MakeThumbnail(file, params(cell, nullptr), own);
        EXPECT_FALSE(MakeThumbnail(file, params(cell, &shared), viaShared).fromSharedThumb);  // writes it
        ASSERT_TRUE(MakeThumbnail(file, params(cell, &shared), viaShared).fromSharedThumb);
        // The shared thumbnail's own rounding can make the cell one pixel narrower or lower.
        ASSERT_LE(std::abs(viaShared.width() - own.width()) + std::abs(viaShared.height() - own.height()), 1);
        const int cw = std::min(own.width(), viaShared.width()), ch = std::min(own.height(), viaShared.height());
        int worst = 0, total = 0;
        for (int i = 0, n = cw * 3; i < n * ch; ++i) {
            const int diff = std::abs(own.scanLine(i / n)[i % n] - viaShared.scanLine(i / n)[i % n]);
            worst = std::max(worst, diff), total += diff;
        }
        // The JPEG's 8-pixel checker is one pixel wide after the 1/8 decode: the hardest case for
        // resampling twice. Smooth content stays within a few levels.
        EXPECT_LT(total / (cw * 3.0 * ch), jpeg ? 8 : 3) << w;
        EXPECT_LE(worst, jpeg ? 48 : 16) << w;
    }
}
