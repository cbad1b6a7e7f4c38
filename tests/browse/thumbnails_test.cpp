// Thumbnail building, the worker pool, the shared thumbnails and the cache file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "base/Errors.h"
#include "base/Md5.h"
#include "base/UserFolders.h"
#include "browse/FileList.h"
#include "browse/SharedThumbs.h"
#include "browse/ThumbCache.h"
#include "browse/ThumbPool.h"
#include "browse/Thumbnails.h"
#include "codecs/Png.h"
#include "formats/MediaFiles.h"
#include "imaging/ColorManage.h"
#include "imaging/PlainStretch.h"
#include "imaging/StretchUtils.h"
#include "tests/support/CodecSamples.h"
#include "tests/support/ColorSamples.h"
#include "tests/support/Mutation.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

// What StretchBitmap makes of src at w x h.
TBitmap stretched(TBitmap src, int w, int h) {
    StretchBitmap(src, w, h);
    return src;
}

TBitmap nearest(const TBitmap& src, int dw, int dh) {
    TBitmap out(dw, dh, PixelFormat::pf24bit);
    stretchCopy(src, Rect{0, 0, src.width(), src.height()}, out, Rect{0, 0, dw, dh});
    return out;
}

ThumbParams params(int size = 100, bool fast = false, int sw = 1920, int sh = 1080) {
    return ThumbParams{size, std::min(size / 5, 20), fast, sw, sh, nullptr, {}};
}

const Color kWhite = makeColor(255, 255, 255), kGreen = makeColor(0, 200, 0);

std::string pngBytes(const TBitmap& b, std::vector<std::pair<std::string, std::string>> texts = {}) {
    TGLDPNG png;
    png.assign(b);
    png.texts = std::move(texts);
    std::ostringstream out;
    png.saveToStream(out);
    return out.str();
}

TBitmap rgb(int w, int h, uint32_t seed) { return randomBitmap(PixelFormat::pf24bit, w, h, seed); }

struct stat lstatOf(const std::string& path) {
    struct stat st{};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

TBitmap solid(int w, int h, Color c) {
    TBitmap b(w, h, PixelFormat::pf24bit);
    for (int i = 0; i < w * h; ++i) b.setRawPixel(i % w, i / w, c);
    return b;
}

}  // namespace

// Each row names the steps the builder must take; the expected pixels are made from the plain
// stretch and StretchBitmap in that order, and noise makes every other choice differ.
TEST(Thumbnails, ChoosesTheReductionSteps) {
    const ThumbMethod R = ThumbMethod::Resampled, P = ThumbMethod::PlainStretch;
    struct Row {
        const char* name;
        int w, h;
        ThumbParams p;
        int iw, ih;  // intermediate: the half-screen reduction, or the image itself
        int tw, th;
        ThumbMethod method;
    } rows[] = {
        {"landscape over the screen", 1600, 1200, params(), 720, 540, 80, 60, R},
        {"fits the screen", 1600, 1200, params(100, false, 1600, 1200), 1600, 1200, 80, 60, R},
        {"speed flag", 1600, 1200, params(100, true), 720, 540, 80, 60, P},
        {"small: enlarged, odd aspect rounded", 7, 3, params(), 7, 3, 80, 34, P},
        {"one row", 3000, 1, params(), 960, 1, 80, 1, R},
        {"one column, tall", 1, 3000, params(), 1, 540, 1, 80, R},
        {"exactly the box", 80, 60, params(), 80, 60, 80, 60, R},
    };
    TempTree t;
    uint32_t seed = 1;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const TBitmap src = randomBitmap(PixelFormat::pf24bit, r.w, r.h, seed++);
        saveBmp(src, t / "in.bmp");
        TBitmap thumb;
        const ThumbReport rep = MakeThumbnail(t / "in.bmp", r.p, thumb);
        EXPECT_EQ(std::tuple(rep.decodedWidth, rep.intermediateWidth, rep.intermediateHeight, rep.method),
                  std::tuple(r.w, r.iw, r.ih, r.method));
        EXPECT_EQ(thumb.pixelFormat(), PixelFormat::pf24bit);
        const TBitmap inter = (r.iw == r.w && r.ih == r.h) ? src : nearest(src, r.iw, r.ih);
        const TBitmap want = r.method == R ? stretched(inter, r.tw, r.th) : nearest(inter, r.tw, r.th);
        EXPECT_EQ(pixelDifference(thumb, want), "");
    }
}

// The scale itself is the codec's choice; here the cell size, not the box, is what is asked for:
// 1/8 would be 90 x 90, enough for the 80 box but not for the cell's 100.
TEST(Thumbnails, JpegDecodeAsksForTheCellSize) {
    TempTree t;
    writeFile(t / "in.jpg", jpegSample(720, 720, false, false));
    TBitmap thumb;
    const ThumbReport rep = MakeThumbnail(t / "in.jpg", params(), thumb);
    EXPECT_EQ(std::pair(rep.decodedWidth, rep.decodedHeight), std::pair(180, 180));
    EXPECT_EQ(std::pair(thumb.width(), thumb.height()), std::pair(80, 80));
}

TEST(Thumbnails, TransparentImagesOnWhite) {
    TempTree t;
    // 40 x 40 PNG, left half red and opaque, right half fully transparent.
    TBitmap img = solid(40, 40, makeColor(255, 0, 0));
    auto mask = std::make_unique<TBitmap>(40, 40, PixelFormat::pf8bit);
    for (int y = 0; y < 40; ++y) std::memset(mask->scanLine(y) + 20, 255, 20);
    img.setMask(std::move(mask));
    t.write("alpha.png", pngBytes(img));
    TBitmap thumb;
    MakeThumbnail(t / "alpha.png", params(), thumb);
    ASSERT_EQ(std::pair(thumb.width(), thumb.height()), std::pair(80, 80));
    EXPECT_EQ(thumb.mask(), nullptr);
    EXPECT_EQ(std::tuple(thumb.pixel(0, 0), thumb.pixel(39, 79), thumb.pixel(40, 0), thumb.pixel(79, 79)),
              std::tuple(makeColor(255, 0, 0), makeColor(255, 0, 0), kWhite, kWhite));
}

namespace {

// Hands out a 16 x 16 icon (green, top-left pixel transparent) and records the paths asked for.
class FakeIcons : public FileIconSource {
public:
    bool fileIcon(const std::string& path, TBitmap& icon) override {
        asked.push_back(path);
        if (throws) throw std::runtime_error("icon theme broke");
        if (!have) return false;
        icon = solid(16, 16, kGreen);
        auto m = std::make_unique<TBitmap>(16, 16, PixelFormat::pf8bit);
        m->scanLine(0)[0] = 255;
        icon.setMask(std::move(m));
        return true;
    }
    std::vector<std::string> asked;
    bool have = true, throws = false;
};

struct Built {
    TempTree tree;
    FileList list;
    ThumbCache cache;
    ThumbnailBuilder builder{list, cache};
    std::vector<std::pair<size_t, std::string>> failures;
    Built() {
        cache.create(tree.root(), "korvel.tp0");
        builder.onDecodeFailure = [this](size_t i, const std::string& why) { failures.emplace_back(i, why); };
    }
    void add(const std::string& name) { list.append(tree / name, TSeekFile{}); }
    // A random 24-bit bitmap saved and listed under name.
    TBitmap addBmp(const std::string& name, int w, int h, uint32_t seed) {
        TBitmap b = rgb(w, h, seed);
        saveBmp(b, tree / name);
        add(name);
        return b;
    }
};

// What the grid draws for entry i.
TBitmap drawn(ThumbnailBuilder& builder, size_t i) {
    const TBitmap* t = builder.thumbnail(i, params());
    if (!t) ADD_FAILURE() << "entry " << i << " drew nothing";
    return t ? *t : TBitmap();
}

}  // namespace

TEST(Thumbnails, FilesThatCannotBeDecodedGetTheIconAndAreReported) {
    Built b;
    FakeIcons icons;
    b.builder.iconSource = &icons;
    MediaExtList media;
    media.add(".mp4");
    b.builder.mediaExts = &media;

    writeFile(b.tree / "good.jpg", jpegSample(200, 150, false, false));
    const std::string good = readFile(b.tree / "good.jpg");
    b.add("good.jpg");
    b.list.append(b.tree.write("cut.jpg", good.substr(0, 100)), TSeekFile{});
    b.list.append(b.tree.write("clip.mp4", good), TSeekFile{});  // decodable bytes, but a media file
    b.builder.BuildThumbnails(0, b.list.size(), params());

    // Every entry cached in build order; the icon on white, its transparent pixel the background.
    std::vector<std::string> wantAsked;
    for (size_t i = 0; i < b.list.size(); ++i) {
        SCOPED_TRACE(b.list.path(i));
        TBitmap back;
        ASSERT_TRUE(b.cache.read(b.list.seek(i).ThumbPos, back));
        EXPECT_EQ(back.width(), i == 0 ? 80 : 16);
        if (i == 0) continue;
        EXPECT_GT(b.list.seek(i).ThumbPos, b.list.seek(i - 1).ThumbPos);
        EXPECT_EQ(std::pair(back.pixel(0, 0), back.pixel(5, 5)), std::pair(kWhite, kGreen));
        wantAsked.push_back(b.list.path(i));
    }
    // The icon was asked for each failed file and the media file; only decoding failures are
    // reported, each with its reason.
    EXPECT_EQ(icons.asked, wantAsked);
    std::vector<size_t> failed;
    for (const auto& [i, why] : b.failures) failed.push_back(why.empty() ? size_t(-1) : i);
    EXPECT_EQ(failed, (std::vector<size_t>{1}));

    // Built entries are not tried again.
    icons.asked.clear();
    const int64_t size = b.cache.size();
    b.builder.BuildThumbnails(0, b.list.size(), params());
    EXPECT_TRUE(icons.asked.empty());
    EXPECT_EQ(b.cache.size(), size);
}

TEST(Thumbnails, BuiltinIconWhenTheWindowsHaveNone) {
    TBitmap builtin;
    DrawBuiltinFileIcon(builtin);
    struct Row {
        const char* name;
        bool source, have, throws;
    } rows[] = {{"no icon source", false, true, false}, {"source has none", true, false, false},
                {"source throws", true, true, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Built b;
        FakeIcons icons;
        icons.have = r.have;
        icons.throws = r.throws;
        if (r.source) b.builder.iconSource = &icons;
        b.tree.write("bad.gif", "GIF");
        b.add("bad.gif");
        bool busyInside = false;
        b.builder.onDecodeFailure = [&](size_t, const std::string&) { busyInside = b.builder.ThumbBusy(); };
        const TBitmap* t = b.builder.thumbnail(0, params());
        ASSERT_NE(t, nullptr);
        EXPECT_TRUE(busyInside);
        EXPECT_FALSE(b.builder.ThumbBusy());
        ASSERT_EQ(std::pair(t->width(), t->height()), std::pair(32, 32));
        // Outside the page is white, the page's edge is drawn, and it matches the built-in icon on white.
        EXPECT_EQ(t->pixel(0, 0), kWhite);
        EXPECT_EQ(t->pixel(6, 16), makeColor(0x60, 0x60, 0x60));
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                if (builtin.alphaAt(x, y) == 255) {
                    ASSERT_EQ(t->pixel(x, y), builtin.pixel(x, y)) << x << "," << y;
                }
    }
}

TEST(Thumbnails, BuildRangeStopsAtTheListEndAndSkipsBuiltEntries) {
    Built b;
    for (int i = 0; i < 3; ++i) b.addBmp("f" + std::to_string(i) + ".bmp", 30 + i, 20, uint32_t(i));
    b.builder.BuildThumbnails(1, 100, params());
    EXPECT_EQ(b.list.seek(0).ThumbPos, -1);
    EXPECT_EQ(b.list.seek(1).ThumbPos, 0);
    EXPECT_GT(b.list.seek(2).ThumbPos, 0);
    b.builder.BuildThumbnails(0, 0, params());
    b.builder.BuildThumbnails(size_t(-1), 5, params());  // no wrap-around to entry 0
    EXPECT_EQ(b.list.seek(0).ThumbPos, -1);
    EXPECT_EQ(b.builder.thumbnail(3, params()), nullptr);
    // Entry 0 is built when the grid draws it, after the others.
    const TBitmap t = drawn(b.builder, 0);
    EXPECT_EQ(std::pair(t.width(), t.height()), std::pair(80, 53));  // 30 x 20 enlarged
    EXPECT_GT(b.list.seek(0).ThumbPos, b.list.seek(2).ThumbPos);
}

// A full disk, damaged cache bytes or no cache at all: thumbnails are still drawn.
TEST(Thumbnails, CacheFaultsStillDraw) {
    Built b;
    const TBitmap a = b.addBmp("a.bmp", 160, 120, 7), c = b.addBmp("b.bmp", 120, 160, 8);
    drawn(b.builder, 0);
    // A full disk: drawn, not cached. The cache's own roll-back is tested with the cache.
    b.cache.setWriteFunction([](int, const void*, size_t, off_t) -> ssize_t { return errno = ENOSPC, -1; });
    EXPECT_EQ(pixelDifference(drawn(b.builder, 1), stretched(c, 60, 80)), "");
    EXPECT_EQ(b.list.seek(1).ThumbPos, -1);
    // A damaged entry is built again.
    b.cache.setWriteFunction(::pwrite);
    std::fstream(b.cache.path(), std::ios::in | std::ios::out | std::ios::binary).write("XX", 2);
    EXPECT_EQ(pixelDifference(drawn(b.builder, 0), stretched(a, 80, 60)), "");
    EXPECT_GT(b.list.seek(0).ThumbPos, 0);
}

namespace {

// Takes what the pool finished until it is idle, storing each as the window does.
std::vector<PoolThumbnail> drain(ThumbnailPool& pool, ThumbnailBuilder* into = nullptr) {
    std::vector<PoolThumbnail> all;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (bool last = false; !last;) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "the pool never became idle";
            break;
        }
        last = pool.idle();
        for (PoolThumbnail& r : pool.take()) {
            if (into) into->storeBuilt(r.index, TBitmap(r.thumb), r.failure);
            all.push_back(std::move(r));
        }
        if (!last) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return all;
}

std::vector<size_t> drainOrder(ThumbnailPool& pool) {
    std::vector<size_t> order;
    for (const PoolThumbnail& r : drain(pool)) order.push_back(r.index);
    return order;
}

std::vector<bool> allNeeded(const std::vector<std::string>& p) { return std::vector<bool>(p.size(), true); }

}  // namespace

TEST(ThumbnailPool, BuildsTheSameBytesAsOneThread) {
    Built one, pool;
    writeFile(one.tree / "big.jpg", jpegSample(1600, 1200, false, false));
    one.tree.write("cut.jpg", one.tree.read("big.jpg").substr(0, 300));
    std::vector<std::string> paths;
    const char* names[] = {"big.jpg", "cut.jpg"};
    for (const char* name : names) {
        one.add(name);
        pool.list.append(one.tree / name, TSeekFile{});
        paths.push_back(one.tree / name);
    }
    const ThumbParams p = params(100, false, 640, 480);
    one.builder.BuildThumbnails(0, one.list.size(), p);

    ThumbnailPool workers(3);
    workers.setListing(paths, allNeeded(paths), p);
    drain(workers, &pool.builder);
    EXPECT_EQ(pool.failures, one.failures);
    for (size_t i = 0; i < one.list.size(); ++i) {
        SCOPED_TRACE(one.list.path(i));
        ASSERT_NE(one.builder.cachedThumbnail(i), nullptr);
        const TBitmap expected = one.builder.ThumbBitmap();
        const TBitmap* got = pool.builder.cachedThumbnail(i);
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(byteDifference(*got, expected), "");
    }
}

TEST(ThumbnailPool, ScreenThenNextScreenInScrollDirectionThenTheRest) {
    // Missing files fail at once, so the order taken is the order finished with one worker.
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i) paths.push_back("/nonexistent/" + std::to_string(i) + ".bmp");
    std::vector<size_t> expected;
    for (size_t i = 20; i <= 29; ++i) expected.push_back(i);  // on screen
    for (size_t i = 20; i-- > 0;) expected.push_back(i);      // upward: next screen, then the rest
    for (size_t i = 30; i < 40; ++i) expected.push_back(i);   // then below
    ThumbnailPool pool(1);
    pool.setView(20, 29, -1);
    pool.setListing(paths, allNeeded(paths), params());
    EXPECT_EQ(drainOrder(pool), expected);

    // A wish from a dialog goes next, while untaken results hold the worker back; entries
    // that need nothing are never taken.
    const size_t held = ThumbnailPool::kMaxWaiting, last = held + 20;
    while (paths.size() <= last) paths.push_back("/nonexistent/" + std::to_string(paths.size()) + ".bmp");
    std::vector<bool> needed = allNeeded(paths);
    needed[5] = false;
    pool.setView(0, 9, 1);
    pool.setListing(paths, needed, params());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    pool.want(last, paths[last]);
    const std::vector<size_t> order = drainOrder(pool);
    ASSERT_EQ(order.size(), paths.size() - 1);
    EXPECT_LT(std::find(order.begin(), order.end(), last) - order.begin(),
              std::find(order.begin(), order.end(), held + 1) - order.begin());  // 5 is skipped
    EXPECT_EQ(std::count(order.begin(), order.end(), 5), 0);
}

TEST(ThumbnailPool, FolderChangeLeavesNothingOfTheOldFolderInTheNewCache) {
    Built b, ref;
    std::vector<std::string> oldFolder, newFolder;
    for (int i = 0; i < 12; ++i) {
        oldFolder.push_back(b.tree / ("old" + std::to_string(i) + ".bmp"));
        saveBmp(gradientBitmap(1600, 1200), oldFolder.back());
        b.addBmp("new" + std::to_string(i) + ".bmp", 30 + i, 20, uint32_t(i));
        newFolder.push_back(b.list.path(size_t(i)));
        ref.list.append(newFolder.back(), TSeekFile{});
    }
    ThumbnailPool pool(2);
    pool.setListing(oldFolder, allNeeded(oldFolder), params());
    // Wait until the workers are well into the old folder, then switch as a listing does.
    for (std::vector<PoolThumbnail> early; early.empty();) {
        early = pool.take();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    b.cache.truncate();
    pool.setListing(newFolder, allNeeded(newFolder), params());
    for (const PoolThumbnail& r : drain(pool, &b.builder)) EXPECT_EQ(r.path, newFolder[r.index]);
    // The cache holds exactly what a one-thread build of the new folder writes.
    ref.builder.BuildThumbnails(0, ref.list.size(), params());
    for (size_t i = 0; i < b.list.size(); ++i) EXPECT_NE(b.list.seek(i).ThumbPos, -1);
    EXPECT_EQ(b.cache.size(), ref.cache.size());
}

namespace {

ThumbParams sharedParams(int size, const SharedThumbs* shared) {
    ThumbParams p = params(size);
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
        {"/tmp/a b/\xC3\xA9#%?.png", "file:///tmp/a%20b/%C3%A9%23%25%3F.png",
         "c62b9b1a227b689bec74c3bd1bb010c2"},
        {"/x/!$&'()*+,;=:@-._~", "file:///x/!$&'()*+,;=:@-._~", "8f490c7ae185e2c6219f15bf4d7557dd"}};
    const SharedThumbs shared("/c/thumbnails/");
    for (const Row& r : rows) {
        EXPECT_EQ(fileUri(r.path), r.uri);
        EXPECT_EQ(shared.thumbnailPath(r.path, 256), std::string("/c/thumbnails/large/") + r.md5 + ".png");
    }
    // The padding's edges: 0, 55, 56 and 64 bytes.
    const std::pair<int, const char*> pads[] = {{0, "d41d8cd98f00b204e9800998ecf8427e"},
                                                {55, "ef1772b6dff9a122358552954ad0df65"},
                                                {56, "3b0c8ac703f828b04c6c197006d17218"},
                                                {64, "014842d480b571495a4a0363793f7367"}};
    for (auto [n, md5] : pads) EXPECT_EQ(md5Hex(std::string(size_t(n), 'a')), md5) << n;
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
        EXPECT_FALSE(MakeThumbnail(file, sharedParams(r.cell, &shared), thumb).fromSharedThumb);
        EXPECT_EQ(std::filesystem::exists(t / "cache"), r.folder != nullptr) << r.cell;
        if (!r.folder) continue;
        const std::string path = t / "cache/thumbnails/" + r.folder + md5Hex(fileUri(file)) + ".png";
        struct stat st {};
        EXPECT_TRUE(::lstat(path.c_str(), &st) == 0 && st.st_mode == (S_IFREG | 0600)) << r.cell;
        const std::string sub = std::string("cache/thumbnails/") + r.folder;
        for (const std::string& f : {std::string("cache/thumbnails"), sub})
            EXPECT_TRUE(::stat((t / f).c_str(), &st) == 0 && (st.st_mode & 0777) == 0700) << f;
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
    enum Damage { None, Stale, WrongUri, NoIend, Link, OtherOwner, TooSmall, LargeOnly };
    for (Damage d : {None, Stale, WrongUri, NoIend, Link, OtherOwner, TooSmall, LargeOnly}) {
        TempTree t;
        const std::string file = t.write("photo.png", pngBytes(solid(400, 300, makeColor(0, 0, 255))));
        SharedThumbs shared(t / "thumbnails/");
        if (d == OtherOwner) shared.user = ::geteuid() + 1;
        const int edge = d == LargeOnly ? 256 : 128, w = d == TooSmall ? 64 : edge;
        std::string png = pngBytes(solid(w, w * 3 / 4, makeColor(255, 0, 0)),
                                   {{"Thumb::URI", d == WrongUri ? "file:///elsewhere.png" : fileUri(file)},
                                    {"Thumb::MTime", d == Stale ? "1" : mtimeOf(file)}});
        if (d == NoIend) png.pop_back();
        const std::string rel = shared.thumbnailPath(file, edge).substr(t.root().size());
        t.write(d == Link ? "real.png" : rel, png);
        if (d == Link) t.link(t / "real.png", rel);
        TBitmap thumb;
        const bool trusted = d == None || d == LargeOnly;
        EXPECT_EQ(MakeThumbnail(file, sharedParams(100, &shared), thumb).fromSharedThumb, trusted) << d;
        EXPECT_EQ(thumb.pixel(40, 30), trusted ? makeColor(255, 0, 0) : makeColor(0, 0, 255)) << d;
        EXPECT_EQ(std::pair(thumb.width(), thumb.height()), std::pair(80, 60)) << d;
    }
}

TEST(SharedThumbs, OnlyUprightSrgbBuildsAreShared) {
    // A build turned off from upright or converted to a monitor profile neither writes nor reads
    // the cache other programs share.
    struct Row {
        const char* name;
        PhotoSwitches photo;
        bool monitorProfile, shared;
    } rows[] = {{"on screen, no monitor profile", {true, true, true}, false, true},
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
        ThumbParams p = sharedParams(100, &shared);
        p.photo = r.photo;
        TBitmap thumb;
        MakeThumbnail(file, p, thumb);
        EXPECT_EQ(std::filesystem::exists(t / "thumbnails/normal"), r.shared) << r.name;
        // One written by a default build stands in only where sharing is on.
        MakeThumbnail(file, sharedParams(100, &shared), thumb);
        EXPECT_EQ(MakeThumbnail(file, p, thumb).fromSharedThumb, r.shared) << r.name;
    }
    SetDisplayProfile({});
}

// Appended images read back only from where each starts.
TEST(ThumbCache, ReadsOnlyAtTheStartOfAnImage) {
    TempTree t;
    ThumbCache cache;
    cache.create(t.root(), "korvel.tp0");
    const TBitmap first = rgb(80, 60, 1), second = randomBitmap(PixelFormat::pf1bit, 17, 3, 5);
    EXPECT_EQ(cache.append(first), 0);
    const int64_t at = cache.append(second);
    EXPECT_EQ(at, int64_t(bmpFileSize(first)));
    EXPECT_EQ(lstatOf(cache.path()).st_size, cache.size());
    TBitmap back;
    ASSERT_TRUE(cache.read(at, back));
    EXPECT_EQ(byteDifference(back, second), "");
    for (int64_t bad : {int64_t(-1), int64_t(1), at + 14, cache.size(), int64_t(1) << 40})
        EXPECT_FALSE(cache.read(bad, back)) << bad;
}

TEST(ThumbCache, CreatedPrivateAndNewReplacingWhateverStoodThere) {
    enum Planted { Nothing, StaleFile, LinkToVictim, DanglingLink, LinkToFolder };
    const char* linkTarget[] = {nullptr, nullptr, "elsewhere/victim.txt", "elsewhere/new.txt", "elsewhere"};
    for (Planted planted : {Nothing, StaleFile, LinkToVictim, DanglingLink, LinkToFolder}) {
        SCOPED_TRACE(int(planted));
        TempTree t;
        const std::string victim = t.write("elsewhere/victim.txt", "precious"), at = t / "private/Korvel.tp0";
        t.folder("private");
        ino_t staleIno = 0;
        if (planted == StaleFile) {
            t.write("private/Korvel.tp0", "left by a crashed run");
            ::chmod(at.c_str(), 0666);
            // A second name keeps the stale inode alive: it must be left as it was, not reused.
            ASSERT_EQ(::link(at.c_str(), (t / "elsewhere/stale").c_str()), 0);
            staleIno = lstatOf(at).st_ino;
        }
        if (linkTarget[planted]) t.link(t / linkTarget[planted], "private/Korvel.tp0");
        {
            ThumbCache cache;
            cache.create(t / "private", "Korvel.tp0");
            ASSERT_TRUE(cache.isOpen());
            EXPECT_EQ(cache.path(), at);
            struct stat st = lstatOf(at);
            EXPECT_TRUE(S_ISREG(st.st_mode));
            EXPECT_EQ(st.st_mode & 0777, 0600u);
            EXPECT_EQ(st.st_size, 0);
            if (planted == StaleFile) {
                EXPECT_NE(st.st_ino, staleIno);
                EXPECT_EQ(readFile(t / "elsewhere/stale"), "left by a crashed run");
            }
            ASSERT_GE(cache.append(rgb(8, 8, 9)), 0);
            EXPECT_EQ(readFile(victim), "precious");
            EXPECT_FALSE(std::filesystem::exists(t / "elsewhere/new.txt"));
        }
        // Closed: truncated and deleted; the link's target was never touched.
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(at)));
        EXPECT_EQ(readFile(victim), "precious");
        EXPECT_TRUE(std::filesystem::is_directory(t / "elsewhere"));
    }
}

TEST(ThumbCache, CreateFailsCleanlyWhenTheNameCannotBeFreed) {
    TempTree t;
    t.folder("d/Korvel.tp0/inner");  // a folder with content at the name
    ThumbCache cache;
    EXPECT_THROW(cache.create(t / "d", "Korvel.tp0"), EFileError);
    EXPECT_FALSE(cache.isOpen());
    EXPECT_THROW(cache.append(rgb(4, 4, 1)), EFileError);
    EXPECT_TRUE(std::filesystem::is_directory(t / "d/Korvel.tp0/inner"));
    EXPECT_THROW(cache.create(t / "missing", "Korvel.tp0"), EFileError);
    EXPECT_EQ(thumbCacheFileName("/o/Korvel.bin"), "Korvel.tp0");  // named after the program
}

TEST(ThumbCache, CloseLeavesAFileThatReplacedOursAlone) {
    TempTree t;
    ThumbCache cache;
    cache.create(t.root(), "k.tp0");
    ASSERT_GE(cache.append(rgb(8, 8, 1)), 0);
    // A second program took the name over (as create does).
    ThumbCache second;
    second.create(t.root(), "k.tp0");
    ASSERT_GE(second.append(rgb(4, 4, 2)), 0);
    // The first still reads its own image from its own (now nameless) file.
    TBitmap back;
    EXPECT_TRUE(cache.read(0, back));
    EXPECT_EQ(back.width(), 8);
    cache.close();
    EXPECT_TRUE(std::filesystem::exists(t / "k.tp0"));
    EXPECT_EQ(lstatOf(t / "k.tp0").st_size, second.size());
    second.close();
    EXPECT_FALSE(std::filesystem::exists(t / "k.tp0"));
}

TEST(ThumbCache, FailedWritesRollBackAndTruncateStartsClean) {
    struct Row {
        const char* name;
        size_t goodBytes;  // written before the failure
        int err;
    } rows[] = {{"nothing written", 0, ENOSPC}, {"all but one", 14453, EIO}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TempTree t;
        ThumbCache cache;
        cache.create(t.root(), "k.tp0");
        const TBitmap first = rgb(80, 60, 1);
        ASSERT_EQ(cache.append(first), 0);
        const int64_t before = cache.size();
        size_t written = 0;
        cache.setWriteFunction([&](int fd, const void* p, size_t n, off_t at) -> ssize_t {
            if (written >= r.goodBytes) {
                errno = r.err;
                return -1;
            }
            // Short writes: at most 7 bytes per call, as a slow device may do.
            size_t take = std::min({n, r.goodBytes - written, size_t(7)});
            ssize_t w = ::pwrite(fd, p, take, at);
            if (w > 0) written += size_t(w);
            return w;
        });
        EXPECT_THROW(cache.append(rgb(80, 60, 2)), EFileError);
        EXPECT_EQ(cache.size(), before);
        EXPECT_EQ(lstatOf(cache.path()).st_size, before);
        TBitmap back;
        ASSERT_TRUE(cache.read(0, back));
        EXPECT_EQ(byteDifference(back, first), "");
        EXPECT_FALSE(cache.read(before, back));

        // A later listing starts clean, and writes work again once the disk has room.
        cache.setWriteFunction(::pwrite);
        cache.truncate();
        EXPECT_EQ(cache.size(), 0);
        EXPECT_EQ(lstatOf(cache.path()).st_size, 0);
        EXPECT_FALSE(cache.read(0, back));
        const TBitmap again = rgb(60, 80, 3);
        EXPECT_EQ(cache.append(again), 0);
        ASSERT_TRUE(cache.read(0, back));
        EXPECT_EQ(byteDifference(back, again), "");
    }
}

TEST(ThumbCache, PrivateFolderChoice) {
    TempTree t;
    t.folder("run");
    t.folder("open-run");
    t.folder("tmp");
    ::chmod((t / "run").c_str(), 0700);
    ::chmod((t / "open-run").c_str(), 0755);
    {
        ScopedEnv run("XDG_RUNTIME_DIR", t / "run");
        ScopedEnv tmp("TMPDIR", t / "tmp");
        EXPECT_EQ(privateTempFolder(), t / "run/");
    }
    const std::string ours = "tmp/korvel-" + std::to_string(::geteuid());
    enum Plant { Nothing, LooseFolder, Link, ForeignFolder };  // what stands there beforehand
    struct Row {
        const char* name;
        Plant plant;
        bool refused;
    } rows[] = {{"made fresh", Nothing, false},
                {"ours, loose mode tightened", LooseFolder, false},
                {"a link is refused", Link, true},
                {"someone else's folder is refused", ForeignFolder, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        if (r.plant == ForeignFolder && ::geteuid() != 0) continue;  // needs chown
        std::filesystem::remove_all(t / "tmp");
        t.folder("tmp");
        if (r.plant == LooseFolder || r.plant == ForeignFolder) {
            t.folder(ours);
            ::chmod((t / ours).c_str(), r.plant == LooseFolder ? 0777 : 0700);
        }
        if (r.plant == ForeignFolder) ASSERT_EQ(::chown((t / ours).c_str(), ::geteuid() + 1, ::getegid()), 0);
        if (r.plant == Link) {
            t.folder("tmp/target");
            ::chmod((t / "tmp/target").c_str(), 0700);
            t.link(t / "tmp/target", ours);
        }
        // A runtime folder that others may enter is not private: the fallback is used.
        ScopedEnv run("XDG_RUNTIME_DIR", t / "open-run");
        ScopedEnv tmp("TMPDIR", t / "tmp/");
        const std::string got = privateTempFolder();
        EXPECT_EQ(got, t / ours + (r.refused ? "-1/" : "/"));
        const struct stat st = lstatOf(got.substr(0, got.size() - 1));
        EXPECT_EQ(std::tuple(S_ISDIR(st.st_mode), st.st_uid, st.st_mode & 0777),
                  std::tuple(true, ::geteuid(), 0700u));
    }
}

// The cache is a file on disk another program of the user could damage: reading every image
// of a damaged cache must fail or succeed cleanly, never crash or read out of bounds.
TEST(ThumbCache, DamagedCacheBytesReadSafely) {
    TempTree t;
    ThumbCache cache;
    cache.create(t.root(), "k.tp0");
    const int64_t a = cache.append(rgb(9, 5, 1));
    const int64_t b = cache.append(randomBitmap(PixelFormat::pf8bit, 6, 4, 2));
    const std::string good = readFile(cache.path());
    int mutants = 0;
    forEachMutation(
        Bytes(good.begin(), good.end()), 400,
        [&](const Bytes& m) {
            std::ofstream(cache.path(), std::ios::binary | std::ios::trunc)
                .write(reinterpret_cast<const char*>(m.data()), std::streamsize(m.size()));
            TBitmap out;
            for (int64_t pos : {a, b, int64_t(2), int64_t(m.size())}) {
                if (cache.read(pos, out)) {
                    EXPECT_GT(out.width(), 0);
                    EXPECT_LE(int64_t(out.width()) * out.height(), 4096);
                }
            }
            ++mutants;
        },
        54);
    EXPECT_GT(mutants, 400);
}
