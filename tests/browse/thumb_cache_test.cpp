// The thumbnail cache file: private folder, safe creation, appended images read back, failed
// writes rolled back, and damaged cache bytes read without crashing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/Errors.h"
#include "base/UserFolders.h"
#include "browse/ThumbCache.h"
#include "tests/support/Mutation.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

struct stat lstatOf(const std::string& path) {
    struct stat st{};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

TBitmap rgb(int w, int h, uint32_t seed) { return randomBitmap(PixelFormat::pf24bit, w, h, seed); }

}  // namespace

TEST(ThumbCache, AppendedImagesReadBackAtTheirOffsets) {
    TempTree t;
    ThumbCache cache;
    cache.create(t.root(), "korvel.tp0");
    const std::vector<TBitmap> images = {rgb(80, 60, 1), randomBitmap(PixelFormat::pf8bit, 33, 7, 2),
                                         rgb(1, 80, 3), randomBitmap(PixelFormat::pf4bit, 13, 5, 4),
                                         randomBitmap(PixelFormat::pf1bit, 17, 3, 5)};
    std::vector<int64_t> offsets;
    int64_t expected = 0;
    for (const TBitmap& b : images) {
        offsets.push_back(cache.append(b));
        EXPECT_EQ(offsets.back(), expected);
        expected += int64_t(bmpFileSize(b));
        EXPECT_EQ(cache.size(), expected);
    }
    EXPECT_EQ(lstatOf(cache.path()).st_size, expected);
    // Read back out of order.
    for (size_t k = images.size(); k-- > 0;) {
        TBitmap back;
        ASSERT_TRUE(cache.read(offsets[k], back)) << k;
        EXPECT_EQ(byteDifference(back, images[k]), "") << k;
    }
    // Offsets that do not start an image.
    for (int64_t bad : {int64_t(-1), int64_t(1), offsets[1] + 14, cache.size(), int64_t(1) << 40}) {
        TBitmap back;
        EXPECT_FALSE(cache.read(bad, back)) << bad;
    }
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
    } rows[] = {{"nothing written", 0, ENOSPC}, {"half written", 500, ENOSPC}, {"all but one", 14453, EIO}};
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
    enum Plant { Nothing, LooseFolder, Link, File, ForeignFolder };  // what stands there beforehand
    struct Row {
        const char* name;
        Plant plant;
        bool refused;
    } rows[] = {{"made fresh", Nothing, false},
                {"ours, loose mode tightened", LooseFolder, false},
                {"a link is refused", Link, true},
                {"a file is refused", File, true},
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
        if (r.plant == File) t.file(ours, 3);
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

TEST(ThumbCache, FileNameFollowsTheProgram) {
    const std::pair<const char*, const char*> rows[] = {
        {"/opt/k/korvel-tool", "korvel-tool.tp0"}, {"/o/Korvel.bin", "Korvel.tp0"}, {"korvel", "korvel.tp0"}};
    for (auto [exe, name] : rows)
        EXPECT_EQ(thumbCacheFileName(exe), name) << exe;
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
