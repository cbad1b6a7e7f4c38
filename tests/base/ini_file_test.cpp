// The settings file: lenient reading, rewriting that keeps what it does not own, atomic saves that
// keep links and permissions, and a file that cannot be read is never replaced.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <random>

#include "base/Errors.h"
#include "fileops/WallpaperBitmap.h"
#include "formats/SpiExclusion.h"
#include "base/IniFile.h"
#include "base/SafeWrite.h"
#include "tests/support/SettingsSeam.h"
#include "tests/support/TempTree.h"

using namespace korvel;
namespace fs = std::filesystem;
using korvel::testing::TempTree;
using korvel::testing::readFile;

TEST(IniFile, ReadsWindowsSyntaxLeniently) {
    IniFile ini = IniFile::fromText(
        "\xEF\xBB\xBF; comment\r\n"
        "[Window]\r\n"
        "  Width = 800 \r\n"
        "width=999\r\n"  // duplicate: the first wins
        "Path=\"/home/u/写真\"\r\n"
        "Flag=7\r\n"
        "Neg=-3\r\n"
        "Hex=$FF\r\n"
        "Huge=99999999999\r\n"
        "Text=abc\r\n"
        "Empty=\r\n"
        "[thumbnil]\n"
        "Size=60\n");
    struct Row {
        const char* section;
        const char* key;
        int def;
        int expected;
    } ints[] = {{"window", "WIDTH", 0, 800}, {"Window", "Neg", 0, -3},       {"Window", "Hex", 0, 255},
                {"Window", "Huge", 5, 5},    {"Window", "Text", 5, 5},       {"Window", "Empty", 5, 5},
                {"Window", "Missing", 9, 9}, {"Nowhere", "Width", 1, 1},     {"Thumbnil", "Size", 100, 60}};
    for (const Row& r : ints) EXPECT_EQ(ini.readInteger(r.section, r.key, r.def), r.expected) << r.key;
    EXPECT_TRUE(ini.readBool("Window", "Flag", false) && ini.readBool("Window", "Neg", false));
    EXPECT_EQ(std::pair(ini.readBool("Window", "Text", true), ini.readBool("Window", "Text", false)),
              std::pair(true, false));
    EXPECT_EQ(ini.readString("WINDOW", "path", ""), "/home/u/写真");
    EXPECT_EQ(ini.readString("Window", "Missing", "def"), "def");
    EXPECT_EQ(ini.readString("Window", "Empty", "def"), "");
}

TEST(IniFile, RewriteKeepsWhatItDoesNotOwn) {
    const std::string text =
        "; Korvel settings\n"
        "[Window]\n"
        "Width=800\n"
        "Unknown=keep me\n"
        "\n"
        "[NumberReName]\n"
        "String=img\\###\n"
        "; trailing comment\n";
    IniFile ini = IniFile::fromText(text);
    ini.writeInteger("window", "width", 1024);
    ini.writeBool("Window", "NewFlag", true);
    ini.writeString("History", "Path0", "/a/b/");
    EXPECT_EQ(ini.toText(),
              "; Korvel settings\n"
              "[Window]\n"
              "Width=1024\n"  // the stored spelling of the key stays
              "Unknown=keep me\n"
              "NewFlag=1\n"
              "\n"
              "[NumberReName]\n"
              "String=img\\###\n"
              "; trailing comment\n"
              "[History]\n"
              "Path0=/a/b/\n");
    // A value with a line break cannot inject a key.
    ini.writeString("History", "Path1", "x\n[Window]\nWidth=1");
    EXPECT_EQ(IniFile::fromText(ini.toText()).readInteger("Window", "Width", 0), 1024);
    // Behind a second byte-order mark the first line is still a header, so a rewrite reads back.
    IniFile marked = IniFile::fromText("\xEF\xBB\xBF\xEF\xBB\xBF[Window]\nWidth=1\n[Window]\nWidth=2\n");
    marked.writeInteger("Window", "Width", 3);
    EXPECT_EQ(IniFile::fromText(marked.toText()).readInteger("Window", "Width", 0), 3);
}

TEST(IniFile, SaveIsAtomicAndRoundTrips) {
    TempTree t;
    const std::string path = t / "sub/Korvel.ini";
    IniFile ini;
    ini.writeInteger("Thumbnil", "Size", 150);
    ini.writeString("Window", "Path", "/tmp/ä b/");
    ini.save(path);  // creates the folder
    const IniFile back = IniFile::load(path);
    EXPECT_EQ(std::pair(back.readInteger("Thumbnil", "Size", 0), back.readString("Window", "Path", "")),
              std::pair(150, std::string("/tmp/ä b/")));
    EXPECT_EQ(t.count("sub"), 1);
    // A write, flush or rename that fails (a full disk, an I/O error): the save throws, the old
    // file stays whole and no temporary file is left.
    const SafeWriteSteps failing[] = {
        {[](int, const void*, size_t) { return errno = ENOSPC, ssize_t(-1); }, {}, {}},
        {{}, [](int) { return errno = EIO, -1; }, {}},
        {{}, {}, [](const char*, const char*) { return errno = EXDEV, -1; }},
    };
    ini.writeInteger("Thumbnil", "Size", 60);
    for (const SafeWriteSteps& steps : failing) {
        setSafeWriteSteps(steps);
        EXPECT_THROW(ini.save(path), EFileError);
        setSafeWriteSteps({});
        EXPECT_EQ(IniFile::load(path).readInteger("Thumbnil", "Size", -1), 150);
        EXPECT_EQ(t.count("sub"), 1);
    }
    // A path that is a folder cannot be replaced.
    EXPECT_THROW(ini.save(t / "sub"), EFileError);
    EXPECT_EQ(IniFile::load(t / "missing.ini").toText(), "");
}

TEST(IniFile, HostileTextNeverCrashes) {
    std::mt19937 rng(1234);
    for (int i = 0; i < 2000; ++i) {
        std::string junk(rng() % 300, '\0');
        for (char& c : junk) c = "[]=;\n\r\"' aZ0$x\x80\xFF\0"[rng() % 18];
        IniFile ini = IniFile::fromText(junk);
        ini.readInteger("a", "b", 1);
        ini.readString("", "", "");
        ini.writeString("Window", "Width", "1");
        IniFile again = IniFile::fromText(ini.toText());
        EXPECT_EQ(again.readInteger("Window", "Width", 0), ini.readInteger("Window", "Width", 0));
    }
}

// A settings file that exists but cannot be read loads as defaults and is never replaced by
// any of the settings writers; only a missing one is created.
TEST(IniFile, FileThatCannotBeReadIsNeverReplaced) {
    TempTree t;
    const fs::path file = t / "Korvel.ini";
    const std::string stored = "[Window]\nNameView=2\n[History]\nPath0=/keep/\n";
    enum Cause { Missing, IoError, NoPermission, TooLarge, Fifo };
    using Writer = std::function<bool(const std::string&)>;  // true when it wrote
    const auto saved = [](const std::function<void()>& save) {
        try {
            save();
            return true;
        } catch (const EFileError&) {
            return false;
        }
    };
    const std::pair<const char*, Writer> writers[] = {
        {"ini", [&](const std::string& p) {
             IniFile ini = IniFile::load(p);
             ini.writeInteger("Window", "NameView", 0);
             return saved([&] { ini.save(p); });
         }},
        {"spd", [&](const std::string& p) { return saved([&] { writeExclusionFile(p, {}); }); }},
        {"registry", [](const std::string& p) { return recordWallpaperValues(p, "/w.bmp", false, 0, 0); }},
    };
    for (Cause cause : {Missing, IoError, NoPermission, TooLarge, Fifo})
        for (const auto& [name, write] : writers) {
            SCOPED_TRACE(std::string(name) + " cause " + std::to_string(cause));
            fs::remove(file);
            const std::string content = cause == TooLarge ? stored + std::string(kMaxSettingsFileBytes, ';')
                                                          : stored;
            if (cause == Fifo) ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
            else if (cause != Missing) std::ofstream(file, std::ios::binary) << content;
            std::optional<korvel::testing::UnreadableSettings> seam;
            const auto isFile = [&](const std::string& p) { return p == file.string(); };
            if (cause == IoError || cause == NoPermission)
                seam.emplace(isFile, cause == IoError ? EIO : EACCES);
            const IniFile loaded = IniFile::load(file.string());
            EXPECT_EQ(loaded.readInteger("Window", "NameView", 0), 0);
            EXPECT_EQ(loaded.readFailed(), cause != Missing);
            EXPECT_EQ(write(file.string()), cause == Missing);
            seam.reset();
            if (cause == Fifo) {
                EXPECT_TRUE(fs::is_fifo(file));
            } else if (cause != Missing) {
                EXPECT_EQ(readFile(file), content);
            }
            EXPECT_EQ(t.count(), 1);  // no temporary left
        }
}

// A linked settings file stays a link with its target replaced in the target's folder; a new
// file follows the umask and a replaced one keeps its permissions.
TEST(IniFile, SaveKeepsLinksAndPermissions) {
    TempTree t;
    t.folder("real");
    t.folder("config");
    const fs::path link = t / "config/Korvel.ini", target = t / "real/settings.ini";
    auto modeOf = [](const fs::path& p) {
        struct stat st;
        return ::stat(p.c_str(), &st) == 0 ? int(st.st_mode & 0777) : -1;
    };
    struct Row {
        bool dangling;
        mode_t umask;
        int existingMode;  // -1: the target does not exist yet
        int expectedMode;
    } rows[] = {{false, 022, 0640, 0640}, {false, 077, 0644, 0644}, {true, 002, -1, 0664}};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.expectedMode));
        fs::remove(link);
        fs::remove(target);
        fs::create_symlink("../real/settings.ini", link);
        if (!r.dangling) {
            std::ofstream(target) << "[Window]\nWidth=1\n";
            ::chmod(target.c_str(), mode_t(r.existingMode));
        }
        const mode_t old = ::umask(r.umask);
        IniFile ini = IniFile::load(link.string());
        ini.writeInteger("Window", "Height", 2);
        ini.save(link.string());
        ::umask(old);
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(IniFile::load(target.string()).readInteger("Window", "Height", 0), 2);
        EXPECT_EQ(IniFile::load(target.string()).readInteger("Window", "Width", 0), r.dangling ? 0 : 1);
        EXPECT_EQ(modeOf(target), r.expectedMode);
        EXPECT_EQ(std::pair(t.count("real"), t.count("config")), std::pair(1L, 1L));
    }
}
