#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <random>

#include "imaging/Errors.h"
#include "settings/IniFile.h"

using namespace korvel;
namespace fs = std::filesystem;

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
    EXPECT_TRUE(ini.readBool("Window", "Flag", false));
    EXPECT_FALSE(ini.readBool("Window", "Neg", false) == false);
    EXPECT_TRUE(ini.readBool("Window", "Text", true));
    EXPECT_FALSE(ini.readBool("Window", "Text", false));
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
    fs::path dir = fs::temp_directory_path() / ("korvel-ini-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    const std::string path = (dir / "sub" / "Korvel.ini").string();
    IniFile ini;
    ini.writeInteger("Thumbnil", "Size", 150);
    ini.writeString("Window", "Path", "/tmp/ä b/");
    ini.save(path);  // creates the folder
    IniFile back = IniFile::load(path);
    EXPECT_EQ(back.readInteger("Thumbnil", "Size", 0), 150);
    EXPECT_EQ(back.readString("Window", "Path", ""), "/tmp/ä b/");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "sub"), fs::directory_iterator()), 1);
    // An unwritable folder: the save fails and the old file stays whole.
    if (::geteuid() != 0) {
        fs::permissions(dir / "sub", fs::perms::owner_read | fs::perms::owner_exec);
        ini.writeInteger("Thumbnil", "Size", 60);
        EXPECT_THROW(ini.save(path), EFileError);
        fs::permissions(dir / "sub", fs::perms::owner_all);
        EXPECT_EQ(IniFile::load(path).readInteger("Thumbnil", "Size", 0), 150);
    }
    // A path that is a folder cannot be replaced.
    EXPECT_THROW(ini.save((dir / "sub").string()), EFileError);
    EXPECT_EQ(IniFile::load((dir / "missing.ini").string()).toText(), "");
    fs::remove_all(dir);
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
