// Thumbnail building, the worker pool, the shared thumbnails and the cache file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "base/Errors.h"
#include "base/Md5.h"
#include "base/UserFolders.h"
#include "browse/FileList.h"
#include "browse/RewrittenFiles.h"
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

TBitmap stretched(TBitmap src, int w, int h) {
    StretchBitmap(src, w, h);
    return src;
}

TBitmap nearest(const TBitmap& src, int dw, int dh) {
    TBitmap out(dw, dh, PixelFormat::pf24bit);
    stretchCopy(src, Rect{0, 0, src.width(), src.height()}, out, Rect{0, 0, dw, dh});
    return out;
}

ThumbParams params(int size = 100, bool fast = false, int sw = 1920, int sh = 1080,
                   const SharedThumbs* shared = nullptr) {
    return ThumbParams{size, std::min(size / 5, 20), fast, sw, sh, shared, {}};
}

ThumbParams sharedParams(int size, const SharedThumbs* shared) { return params(size, false, 1920, 1080, shared); }

const Color kWhite = makeColor(255, 255, 255), kGreen = makeColor(0, 200, 0), kRed = makeColor(255, 0, 0);

std::string pngBytes(const TBitmap& b, std::vector<std::pair<std::string, std::string>> texts = {}) {
    TGLDPNG png;
    png.assign(b);
    png.texts = std::move(texts);
    std::ostringstream out;
    png.saveToStream(out);
    return out.str();
}

TBitmap rgb(int w, int h, uint32_t seed) { return randomBitmap(PixelFormat::pf24bit, w, h, seed); }

// w x h of colour c; with holes, its pixels left of x0 and above y0 are transparent.
TBitmap solid(int w, int h, Color c, int x0 = 0, int y0 = 0) {
    TBitmap b(w, h, PixelFormat::pf24bit);
    auto mask = std::make_unique<TBitmap>(w, h, PixelFormat::pf8bit);
    for (int i = 0; i < w * h; ++i) {
        b.setRawPixel(i % w, i / w, c);
        mask->scanLine(i / w)[i % w] = i % w < x0 && i / w < y0 ? 255 : 0;
    }
    if (x0 > 0) b.setMask(std::move(mask));
    return b;
}

std::string mtimeOf(const std::string& path) {
    struct stat st {};
    return std::to_string(::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_mtime) : -1);
}

// The entry itself, links not followed: "file 600 <size>", "dir 700", "link 777" or "missing",
// with " foreign" when another user owns it.
std::string entryOf(const std::string& path) {
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) return "missing";
    std::ostringstream s;
    s << (S_ISREG(st.st_mode) ? "file " : S_ISDIR(st.st_mode) ? "dir " : "link ") << std::oct
      << (st.st_mode & 0777);
    if (S_ISREG(st.st_mode)) s << std::dec << " " << st.st_size;
    if (st.st_uid != ::geteuid()) s << " foreign";
    return s.str();
}

// Where the cache's image at pos differs from want; "unreadable" when it does not read back.
std::string readBack(const ThumbCache& cache, int64_t pos, const TBitmap& want) {
    TBitmap back;
    return cache.read(pos, back) ? byteDifference(back, want) : "unreadable";
}

// A copy of *t; a failure naming what when t is null.
TBitmap copyOf(const TBitmap* t, const std::string& what) {
    if (!t) ADD_FAILURE() << what << " has no thumbnail";
    return t ? *t : TBitmap();
}

// Fills in a 16 x 16 icon (green, top-left pixel transparent) yet answers have; records the paths.
class FakeIcons : public FileIconSource {
public:
    explicit FakeIcons(bool have = true, bool throws = false) : have(have), throws(throws) {}
    bool fileIcon(const std::string& path, TBitmap& icon) override {
        asked.push_back(path);
        if (throws) throw std::runtime_error("icon theme broke");
        icon = solid(16, 16, kGreen, 1, 1);
        return have;
    }
    std::vector<std::string> asked;
    bool have, throws;
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
    TBitmap addBmp(const std::string& name, int w, int h, uint32_t seed) {
        TBitmap b = rgb(w, h, seed);
        saveBmp(b, tree / name);
        list.append(tree / name, TSeekFile{});
        return b;
    }
    // The entries with a cached thumbnail, in the order they were stored.
    std::vector<size_t> stored() const {
        std::vector<size_t> in;
        for (size_t i = 0; i < list.size(); ++i)
            if (list.seek(i).ThumbPos >= 0) in.push_back(i);
        std::sort(in.begin(), in.end(),
                  [&](size_t x, size_t y) { return list.seek(x).ThumbPos < list.seek(y).ThumbPos; });
        return in;
    }
};

// Takes what the pool finished until it is idle, storing each as the window does.
std::vector<PoolThumbnail> drain(ThumbnailPool& pool, ThumbnailBuilder* into = nullptr) {
    std::vector<PoolThumbnail> all;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (bool last = false; !last; std::this_thread::sleep_for(std::chrono::milliseconds(2))) {
        last = pool.idle() || std::chrono::steady_clock::now() > deadline;
        for (PoolThumbnail& r : pool.take()) {
            if (into) into->storeBuilt(r.index, TBitmap(r.thumb), r.failure);
            all.push_back(std::move(r));
        }
    }
    EXPECT_TRUE(pool.idle()) << "the pool never became idle";
    return all;
}

std::vector<size_t> drainOrder(ThumbnailPool& pool) {
    std::vector<size_t> order;
    for (const PoolThumbnail& r : drain(pool)) order.push_back(r.index);
    return order;
}

}  // namespace

// Each row names the steps the builder must take; the expected pixels are made from the plain
// stretch and StretchBitmap in that order, and noise makes every other choice differ.
TEST(Thumbnails, ChoosesTheReductionSteps) {
    const ThumbMethod R = ThumbMethod::Resampled, P = ThumbMethod::PlainStretch;
    // iw x ih: the intermediate, the half-screen reduction or the image itself.
    struct Row { const char* name; int w, h; ThumbParams p; int iw, ih, tw, th; ThumbMethod method; };
    const Row rows[] = {
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
        const TBitmap src = rgb(r.w, r.h, seed++);
        saveBmp(src, t / "in.bmp");
        TBitmap thumb;
        const ThumbReport rep = MakeThumbnail(t / "in.bmp", r.p, thumb);
        EXPECT_EQ(std::tuple(rep.decodedWidth, rep.intermediateWidth, rep.intermediateHeight, rep.method,
                             thumb.pixelFormat()),
                  std::tuple(r.w, r.iw, r.ih, r.method, PixelFormat::pf24bit));
        const TBitmap inter = (r.iw == r.w && r.ih == r.h) ? src : nearest(src, r.iw, r.ih);
        const TBitmap want = r.method == R ? stretched(inter, r.tw, r.th) : nearest(inter, r.tw, r.th);
        EXPECT_EQ(pixelDifference(thumb, want), "");
    }
}

// A JPEG's scale is the codec's choice; here the cell size, not the box, is what is asked for:
// 1/8 would be 90 x 90, enough for the 80 box but not for the cell's 100. Transparency on white.
TEST(Thumbnails, JpegDecodeAsksForTheCellSizeAndTransparentImagesOnWhite) {
    TempTree t;
    TBitmap thumb;
    writeFile(t / "in.jpg", jpegSample(720, 720, false, false));
    const ThumbReport rep = MakeThumbnail(t / "in.jpg", params(), thumb);
    EXPECT_EQ(std::tuple(rep.decodedWidth, rep.decodedHeight, thumb.width(), thumb.height()),
              std::tuple(180, 180, 80, 80));
    // 40 x 40 red, its left half fully transparent; enlarged to 80 x 80.
    TBitmap halves = solid(2, 1, kRed);
    halves.setRawPixel(0, 0, kWhite);
    MakeThumbnail(t.write("alpha.png", pngBytes(solid(40, 40, kRed, 20, 40))), params(), thumb);
    EXPECT_EQ(thumb.mask(), nullptr);
    EXPECT_EQ(pixelDifference(thumb, nearest(halves, 80, 80)), "");
}

TEST(Thumbnails, FilesThatCannotBeDecodedGetTheIconAndAreReported) {
    Built b;
    FakeIcons icons;
    b.builder.iconSource = &icons;
    MediaExtList media;
    media.add(".mp4");
    b.builder.mediaExts = &media;
    const std::vector<uint8_t> jpeg = jpegSample(200, 150, false, false);
    const std::string good(jpeg.begin(), jpeg.end());
    // The media file holds decodable bytes: its extension alone makes it an icon.
    for (const auto& [name, bytes] : {std::pair<std::string, std::string>{"good.jpg", good},
                                      {"cut.jpg", good.substr(0, 100)}, {"clip.mp4", good}})
        b.list.append(b.tree.write(name, bytes), TSeekFile{});
    b.builder.BuildThumbnails(0, b.list.size(), params());

    // Every entry cached in build order; the icon on white, its transparent pixel the background.
    std::vector<std::string> cached;
    for (size_t i = 0; i < b.list.size(); ++i) {
        TBitmap back;
        const bool read = b.cache.read(b.list.seek(i).ThumbPos, back);
        const bool icon = read && back.pixel(0, 0) == kWhite && back.pixel(5, 5) == kGreen;
        cached.push_back(read ? std::to_string(back.width()) + (icon ? " icon" : "") : "unreadable");
    }
    EXPECT_EQ(cached, (std::vector<std::string>{"80", "16 icon", "16 icon"}));
    EXPECT_EQ(b.stored(), (std::vector<size_t>{0, 1, 2}));
    // The icon was asked for each failed file and the media file; only decoding failures are
    // reported, each with its reason.
    EXPECT_EQ(icons.asked, (std::vector<std::string>{b.list.path(1), b.list.path(2)}));
    std::vector<size_t> failed;
    for (const auto& [i, why] : b.failures) failed.push_back(why.empty() ? size_t(-1) : i);
    EXPECT_EQ(failed, (std::vector<size_t>{1}));

    // Built entries are not tried again.
    const int64_t size = b.cache.size();
    b.builder.BuildThumbnails(0, b.list.size(), params());
    EXPECT_EQ(std::pair(icons.asked.size(), b.cache.size()), std::pair(size_t(2), size));
}

TEST(Thumbnails, BuiltinIconWhenTheWindowsHaveNone) {
    // The built-in icon on white, its page edge drawn.
    TBitmap want;
    DrawBuiltinFileIcon(want);
    for (int i = 0; i < 32 * 32; ++i)
        if (want.alphaAt(i % 32, i / 32) == 0) want.setRawPixel(i % 32, i / 32, kWhite);
    EXPECT_EQ(want.pixel(6, 16), makeColor(0x60, 0x60, 0x60));
    struct Row { const char* name; bool source, have, throws; } rows[] = {
        {"no icon source", false, true, false}, {"source has none", true, false, false},
        {"source throws", true, true, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Built b;
        FakeIcons icons(r.have, r.throws);
        b.builder.iconSource = r.source ? &icons : nullptr;
        b.list.append(b.tree.write("bad.gif", "GIF"), TSeekFile{});
        bool busyInside = false;
        b.builder.onDecodeFailure = [&](size_t, const std::string&) { busyInside = b.builder.ThumbBusy(); };
        EXPECT_EQ(pixelDifference(copyOf(b.builder.thumbnail(0, params()), "bad.gif"), want), "");
        EXPECT_EQ(std::pair(busyInside, b.builder.ThumbBusy()), std::pair(true, false));
    }
}

// Building stops at the list end and skips built entries; with a full disk or damaged cache
// bytes thumbnails are still drawn.
TEST(Thumbnails, BuildRangeSkipsBuiltEntriesAndCacheFaultsStillDraw) {
    Built b;
    const std::vector<TBitmap> src{b.addBmp("f0.bmp", 30, 20, 0), b.addBmp("f1.bmp", 30, 21, 1),
                                   b.addBmp("f2.bmp", 30, 22, 2)};
    for (const auto& [first, count] : {std::pair<size_t, size_t>{1, 100}, {0, 0}, {size_t(-1), 5}})
        b.builder.BuildThumbnails(first, count, params());  // the last: no wrap-around to entry 0
    EXPECT_EQ(b.stored(), (std::vector<size_t>{1, 2}));
    EXPECT_EQ(b.builder.thumbnail(3, params()), nullptr);
    // Entry 0 is built when the grid draws it, after the others.
    EXPECT_EQ(pixelDifference(copyOf(b.builder.thumbnail(0, params()), "f0"), nearest(src[0], 80, 53)), "");
    EXPECT_EQ(b.stored(), (std::vector<size_t>{1, 2, 0}));
    // A full disk: drawn, not cached. The cache's own roll-back is tested with the cache.
    const TBitmap late = b.addBmp("late.bmp", 120, 160, 8);
    b.cache.setWriteFunction([](int, const void*, size_t, off_t) -> ssize_t { return errno = ENOSPC, -1; });
    EXPECT_EQ(pixelDifference(copyOf(b.builder.thumbnail(3, params()), "late"), stretched(late, 60, 80)), "");
    EXPECT_EQ(b.list.seek(3).ThumbPos, -1);
    // A damaged entry (the first stored) is built and stored again.
    b.cache.setWriteFunction(::pwrite);
    std::fstream(b.cache.path(), std::ios::in | std::ios::out | std::ios::binary).write("XX", 2);
    EXPECT_EQ(pixelDifference(copyOf(b.builder.thumbnail(1, params()), "f1"), nearest(src[1], 80, 56)), "");
    EXPECT_EQ(b.stored(), (std::vector<size_t>{2, 0, 1}));
}

TEST(ThumbnailPool, ScreenThenNextScreenInScrollDirectionThenTheRest) {
    // Missing files fail at once, so the order taken is the order finished with one worker.
    const size_t held = ThumbnailPool::kMaxWaiting, last = held + 20;
    std::vector<std::string> paths;
    for (size_t i = 0; i <= last; ++i) paths.push_back("/nonexistent/" + std::to_string(i) + ".bmp");
    std::vector<size_t> expected;
    for (size_t i = 20; i <= 29; ++i) expected.push_back(i);    // on screen
    for (size_t i = 20; i-- > 0;) expected.push_back(i);        // upward: next screen, then the rest
    for (size_t i = 30; i <= last; ++i) expected.push_back(i);  // then below
    ThumbnailPool pool(1);
    pool.setView(20, 29, -1);
    pool.setListing(paths, std::vector<bool>(paths.size(), true), params());
    EXPECT_EQ(drainOrder(pool), expected);

    // A wish from a dialog goes next, while untaken results hold the worker back; entries
    // that need nothing are never taken.
    std::vector<bool> needed(paths.size(), true);
    needed[5] = false;
    pool.setView(0, 9, 1);
    pool.setListing(paths, needed, params());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    pool.want(last, paths[last]);
    const std::vector<size_t> order = drainOrder(pool);
    const auto at = [&](size_t i) { return std::find(order.begin(), order.end(), i) - order.begin(); };
    EXPECT_EQ(std::pair(order.size(), at(5)), std::pair(last, std::ptrdiff_t(last)));  // all but 5
    EXPECT_LT(at(last), at(held + 1));
}

// Results of a replaced listing never reach the new cache, and what the workers build is byte
// for byte what one thread builds, failures included.
TEST(ThumbnailPool, FolderChangeKeepsOnlyTheNewFolderBuiltAsOneThreadBuildsIt) {
    Built b, ref;
    writeFile(b.tree / "big.jpg", jpegSample(1600, 1200, false, false));
    b.tree.write("cut.jpg", b.tree.read("big.jpg").substr(0, 300));
    std::vector<std::string> oldFolder, newFolder{b.tree / "big.jpg", b.tree / "cut.jpg"};
    for (int i = 0; i < 12; ++i) {
        oldFolder.push_back(b.tree / ("old" + std::to_string(i) + ".bmp"));
        saveBmp(gradientBitmap(1600, 1200), oldFolder.back());
        newFolder.push_back(b.tree / ("new" + std::to_string(i) + ".bmp"));
        saveBmp(rgb(30 + i, 20, uint32_t(i)), newFolder.back());
    }
    for (Built* x : {&b, &ref})
        for (const std::string& path : newFolder) x->list.append(path, TSeekFile{});
    const ThumbParams p = params(100, false, 640, 480);
    ThumbnailPool pool(3);
    pool.setListing(oldFolder, std::vector<bool>(oldFolder.size(), true), p);
    // Wait until the workers are well into the old folder, then switch as a listing does.
    while (pool.take().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    b.cache.truncate();
    pool.setListing(newFolder, std::vector<bool>(newFolder.size(), true), p);
    for (const PoolThumbnail& r : drain(pool, &b.builder)) EXPECT_EQ(r.path, newFolder[r.index]);
    ref.builder.BuildThumbnails(0, ref.list.size(), p);
    EXPECT_EQ(std::pair(b.failures, b.cache.size()), std::pair(ref.failures, ref.cache.size()));
    for (size_t i = 0; i < newFolder.size(); ++i) {
        const TBitmap want = copyOf(ref.builder.cachedThumbnail(i), "one thread: " + newFolder[i]);
        EXPECT_EQ(byteDifference(copyOf(b.builder.cachedThumbnail(i), "pool: " + newFolder[i]), want), "");
    }
}

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
    const std::pair<int, const char*> pads[] = {
        {0, "d41d8cd98f00b204e9800998ecf8427e"}, {55, "ef1772b6dff9a122358552954ad0df65"},
        {56, "3b0c8ac703f828b04c6c197006d17218"}, {64, "014842d480b571495a4a0363793f7367"}};
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
        const std::string dir = t / "cache/thumbnails/" + r.folder;
        const std::string path = dir + md5Hex(fileUri(file)) + ".png", bytes = readFile(path);
        EXPECT_EQ(entryOf(t / "cache/thumbnails") + ", " + entryOf(dir), "dir 700, dir 700");
        EXPECT_EQ(entryOf(path), "file 600 " + std::to_string(bytes.size()));
        EXPECT_EQ(entryCount(dir), 1);  // no temporary file left
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
        std::string png = pngBytes(solid(w, w * 3 / 4, kRed),
                                   {{"Thumb::URI", d == WrongUri ? "file:///elsewhere.png" : fileUri(file)},
                                    {"Thumb::MTime", d == Stale ? "1" : mtimeOf(file)}});
        if (d == NoIend) png.pop_back();
        const std::string rel = shared.thumbnailPath(file, edge).substr(t.root().size());
        t.write(d == Link ? "real.png" : rel, png);
        if (d == Link) t.link(t / "real.png", rel);
        TBitmap thumb;
        const bool trusted = d == None || d == LargeOnly;
        EXPECT_EQ(MakeThumbnail(file, sharedParams(100, &shared), thumb).fromSharedThumb, trusted) << d;
        EXPECT_EQ(pixelDifference(thumb, solid(80, 60, trusted ? kRed : makeColor(0, 0, 255))), "") << d;
    }
}

TEST(SharedThumbs, OnlyUprightSrgbBuildsAreShared) {
    // A build turned off from upright or converted to a monitor profile neither writes nor reads
    // the cache other programs share.
    struct Row { const char* name; PhotoSwitches photo; bool monitorProfile, shared; } rows[] = {
                {"on screen, no monitor profile", {true, true, true}, false, true},
                {"on screen, monitor profile", {true, true, true}, true, false},
                {"monitor profile, written as sRGB", {true, true, false}, true, true},
                {"not turned upright", {false, true, false}, false, false},
                {"colours as stored", {true, false, false}, false, false}};
    for (const Row& r : rows) {
        TempTree t;
        const std::string file = t.write("p.png", pngBytes(gradientBitmap(400, 300)));
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

// A file whose bytes changed in place (a saved turn, its undo) loses every picture made of the
// old bytes: its cached thumbnail and its shared ones of every size, even when its time was kept
// and the old ones would still pass as valid. The other files keep theirs.
TEST(RewrittenFiles, PicturesOfTheOldBytesGo) {
    struct Row { const char *name, *rewritten, *previewed; bool keepTime; std::vector<size_t> cells; bool preview; } rows[] = {
        {"time kept, previewed", "a.png", "a.png", true, {0}, true},
        {"time changed, another file previewed", "a.png", "b.png", false, {0}, false},
        {"not listed, nothing previewed", "c.png", "", true, {}, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Built b;
        const SharedThumbs shared(b.tree / "thumbnails/");
        const ThumbParams p = sharedParams(100, &shared);
        for (const char* name : {"a.png", "b.png", "c.png"}) b.tree.write(name, pngBytes(solid(80, 60, kRed)));
        for (const char* name : {"a.png", "b.png"}) b.list.append(b.tree / name, TSeekFile{});
        TBitmap thumb;
        for (size_t i = 0; i < 2; ++i) ASSERT_NE(b.builder.thumbnail(i, p), nullptr);
        MakeThumbnail(b.tree / "c.png", p, thumb);
        const std::string file = b.tree / r.rewritten;
        const std::string xLarge = "thumbnails/x-large/" + md5Hex(fileUri(file)) + ".png";  // another program's
        b.tree.write(xLarge, pngBytes(solid(80, 60, kRed)));
        const auto before = std::filesystem::last_write_time(file);
        b.tree.write(r.rewritten, pngBytes(solid(60, 80, kGreen)));
        if (r.keepTime) std::filesystem::last_write_time(file, before);

        const RewriteFollowUp up = forgetRewritten(b.list, {file}, *r.previewed ? b.tree / r.previewed : "", &shared);
        EXPECT_EQ(up.cells, r.cells);
        EXPECT_EQ(up.preview, r.preview);
        EXPECT_EQ(entryOf(shared.thumbnailPath(file, 128)) + " " + entryOf(b.tree / xLarge), "missing missing");
        EXPECT_NE(entryOf(shared.thumbnailPath(b.tree / "b.png", 128)), "missing");
        EXPECT_EQ(b.stored(), (r.cells.empty() ? std::vector<size_t>{0, 1} : std::vector<size_t>{1}));
        // Made again from the new bytes, the entry with the file's new size.
        EXPECT_FALSE(MakeThumbnail(file, p, thumb).fromSharedThumb);
        EXPECT_EQ(pixelDifference(thumb, solid(60, 80, kGreen)), "");
        for (size_t i : r.cells) {
            EXPECT_EQ(pixelDifference(copyOf(b.builder.thumbnail(i, p), file), solid(60, 80, kGreen)), "");
            EXPECT_EQ(b.list.seek(i).Size, int32_t(std::filesystem::file_size(file)));
        }
    }
}

// Appended images read back only from where each starts, and from our own file even when
// another program took its name over.
TEST(ThumbCache, ReadsOnlyAtTheStartOfAnImageOfItsOwnFile) {
    Built b;
    const TBitmap first = rgb(80, 60, 1), second = randomBitmap(PixelFormat::pf1bit, 17, 3, 5);
    const int64_t at0 = b.cache.append(first), at = b.cache.append(second);
    EXPECT_EQ(std::tuple(at0, at, entryOf(b.cache.path())),
              std::tuple(0, int64_t(bmpFileSize(first)), "file 600 " + std::to_string(b.cache.size())));
    for (int64_t bad : {int64_t(-1), int64_t(1), at + 14, b.cache.size(), int64_t(1) << 40})
        EXPECT_EQ(readBack(b.cache, bad, second), "unreadable") << bad;
    // A second program takes the name over (as create does); closing leaves its file alone.
    ThumbCache other;
    other.create(b.tree.root(), "korvel.tp0");
    ASSERT_GE(other.append(rgb(4, 4, 2)), 0);
    EXPECT_EQ(readBack(b.cache, at, second), "");
    b.cache.close();
    EXPECT_EQ(entryOf(other.path()), "file 600 " + std::to_string(other.size()));
    other.close();
    EXPECT_EQ(entryOf(b.tree / "korvel.tp0"), "missing");
}

TEST(ThumbCache, CreatedPrivateAndNewReplacingWhateverStoodThere) {
    enum Planted { Nothing, StaleFile, LinkToVictim, DanglingLink, LinkToFolder };
    const char* linkTarget[] = {nullptr, nullptr, "elsewhere/victim.txt", "elsewhere/new.txt", "elsewhere"};
    const char* names[] = {"nothing", "stale file", "link to a file", "dangling link", "link to a folder"};
    for (Planted planted : {Nothing, StaleFile, LinkToVictim, DanglingLink, LinkToFolder}) {
        SCOPED_TRACE(names[planted]);
        TempTree t;
        const std::string victim = t.write("elsewhere/victim.txt", "precious"), at = t / "private/Korvel.tp0";
        t.folder("private");
        const std::string stale = planted == StaleFile ? "left by a crashed run" : "";
        if (planted == StaleFile) {
            t.write("private/Korvel.tp0", stale);
            // A second name keeps the stale inode alive: it must be left as it was, not reused.
            ASSERT_EQ(::link(at.c_str(), (t / "elsewhere/stale").c_str()), 0);
        }
        if (linkTarget[planted]) t.link(t / linkTarget[planted], "private/Korvel.tp0");
        {
            ThumbCache cache;
            cache.create(t / "private", "Korvel.tp0");
            EXPECT_EQ(std::pair(cache.path(), entryOf(at)), std::pair(at, std::string("file 600 0")));
            ASSERT_GE(cache.append(rgb(8, 8, 9)), 0);
        }
        // Closed: truncated and deleted; nothing outside was touched (a written or truncated
        // stale file, a new file behind a dangling link, a removed folder all show).
        EXPECT_EQ(entryOf(at), "missing");
        EXPECT_EQ(readFile(victim) + "|" + readFile(t / "elsewhere/stale"), "precious|" + stale);
        EXPECT_EQ(t.count("elsewhere"), stale.empty() ? 1 : 2);
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

TEST(ThumbCache, FailedWritesRollBackAndTruncateStartsClean) {
    // goodBytes: written before the failure.
    struct Row { const char* name; size_t goodBytes; int err; } rows[] = {
        {"nothing written", 0, ENOSPC}, {"all but one", 14453, EIO}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Built b;
        const TBitmap first = rgb(80, 60, 1), again = rgb(60, 80, 3);
        ASSERT_EQ(b.cache.append(first), 0);
        const int64_t before = b.cache.size();
        size_t written = 0;
        b.cache.setWriteFunction([&](int fd, const void* p, size_t n, off_t at) -> ssize_t {
            if (written >= r.goodBytes) return errno = r.err, -1;
            // Short writes: at most 7 bytes per call, as a slow device may do.
            const ssize_t w = ::pwrite(fd, p, std::min({n, r.goodBytes - written, size_t(7)}), at);
            written += size_t(std::max<ssize_t>(w, 0));
            return w;
        });
        EXPECT_THROW(b.cache.append(rgb(80, 60, 2)), EFileError);
        EXPECT_EQ(std::tuple(b.cache.size(), entryOf(b.cache.path()), readBack(b.cache, 0, first),
                             readBack(b.cache, before, first)),
                  std::tuple(before, "file 600 " + std::to_string(before), "", "unreadable"));

        // A later listing starts clean, and writes work again once the disk has room.
        b.cache.setWriteFunction(::pwrite);
        b.cache.truncate();
        EXPECT_EQ(std::tuple(b.cache.size(), entryOf(b.cache.path()), readBack(b.cache, 0, first)),
                  std::tuple(0, "file 600 0", "unreadable"));
        EXPECT_EQ(b.cache.append(again), 0);
        EXPECT_EQ(readBack(b.cache, 0, again), "");
    }
}

TEST(ThumbCache, PrivateFolderChoice) {
    TempTree t;
    for (const auto& [name, mode] : {std::pair("run", 0700), std::pair("open-run", 0755)}) {
        t.folder(name);
        ::chmod((t / name).c_str(), mode);
    }
    {
        ScopedEnv run("XDG_RUNTIME_DIR", t / "run");
        ScopedEnv tmp("TMPDIR", t / "tmp");
        EXPECT_EQ(privateTempFolder(), t / "run/");
    }
    const std::string ours = "tmp/korvel-" + std::to_string(::geteuid());
    // What stands at our name beforehand: nothing, or a folder (its mode and owner) there or linked to.
    enum Plant { Nothing, Folder, Link };
    struct Row { const char* name; Plant plant; mode_t mode; uid_t otherOwner; bool refused; } rows[] = {
        {"made fresh", Nothing, 0700, 0, false}, {"ours, loose mode tightened", Folder, 0777, 0, false},
        {"a link is refused", Link, 0700, 0, true}, {"another user's folder", Folder, 0700, 1, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        if (r.otherOwner && ::geteuid() != 0) continue;  // needs chown
        std::filesystem::remove_all(t / "tmp");
        t.folder("tmp/planted");
        ::chmod((t / "tmp/planted").c_str(), r.mode);
        ASSERT_EQ(::chown((t / "tmp/planted").c_str(), ::geteuid() + r.otherOwner, ::getegid()), 0);
        if (r.plant == Link) t.link(t / "tmp/planted", ours);
        if (r.plant == Folder) std::filesystem::rename(t / "tmp/planted", t / ours);
        // A runtime folder that others may enter is not private: the fallback is used.
        ScopedEnv run("XDG_RUNTIME_DIR", t / "open-run");
        ScopedEnv tmp("TMPDIR", t / "tmp/");
        const std::string got = privateTempFolder();
        EXPECT_EQ(std::pair(got, entryOf(got.substr(0, got.size() - 1))),
                  std::pair(t / ours + (r.refused ? "-1/" : "/"), std::string("dir 700")));
    }
}

// The cache is a file on disk another program of the user could damage: reading every image
// of a damaged cache must fail or succeed cleanly, never crash or read out of bounds.
TEST(ThumbCache, DamagedCacheBytesReadSafely) {
    Built k;
    const int64_t a = k.cache.append(rgb(9, 5, 1));
    const int64_t b = k.cache.append(randomBitmap(PixelFormat::pf8bit, 6, 4, 2));
    const std::string good = readFile(k.cache.path());
    int mutants = 0;
    const auto check = [&](const Bytes& m) {
        std::ofstream(k.cache.path(), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(m.data()), std::streamsize(m.size()));
        TBitmap out;
        for (int64_t pos : {a, b, int64_t(2), int64_t(m.size())})
            EXPECT_TRUE(!k.cache.read(pos, out) ||
                        (!out.empty() && int64_t(out.width()) * out.height() <= 4096)) << pos;
        ++mutants;
    };
    forEachMutation(Bytes(good.begin(), good.end()), 400, check, 54);
    EXPECT_GT(mutants, 400);
}
