#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "settings/CommandLine.h"

using namespace korvel;
namespace fs = std::filesystem;

TEST(CommandLine, Modes) {
    struct Row {
        std::vector<std::string> args;
        int mode;
        size_t paths;
    } rows[] = {{{}, 0, 0}, {{"/s"}, 1, 0}, {{"/S", "x"}, 1, 1}, {{"/se", "/s"}, 2, 0}, {{"/SE"}, 2, 0}, {{"/sx"}, 0, 1}};
    for (const Row& r : rows) {
        CommandLine cl = parseCommandLine(r.args);
        EXPECT_EQ(cl.startMode, r.mode);
        EXPECT_EQ(cl.paths.size(), r.paths);
    }
}

TEST(CommandLine, ExpandLongPathSpellsComponentsAsStored) {
    fs::path dir = fs::temp_directory_path() / ("korvel-cl-" + std::to_string(::getpid()));
    fs::create_directories(dir / "Photos" / "Trip");
    std::ofstream(dir / "Photos" / "Trip" / "IMG.jpg") << "x";
    const std::string base = dir.string();
    EXPECT_EQ(ExpandLongPath(base + "/photos/TRIP/img.JPG", "/"), base + "/Photos/Trip/IMG.jpg");
    EXPECT_EQ(ExpandLongPath("Photos/./x/../Trip", base), base + "/Photos/Trip");
    EXPECT_EQ(ExpandLongPath(base + "//Photos/missing", "/"), base + "/Photos/missing");
    PathTarget file = resolveArgument("photos/trip/img.jpg", base);
    EXPECT_TRUE(file.exists && file.isFile);
    EXPECT_EQ(file.folder, base + "/Photos/Trip/");
    PathTarget folder = resolveArgument(base + "/Photos", "/");
    EXPECT_TRUE(folder.exists && !folder.isFile);
    EXPECT_EQ(folder.folder, base + "/Photos/");
    EXPECT_FALSE(resolveArgument("nothing-here", base).exists);
    // Two entries that differ only in case: none is chosen.
    fs::create_directories(dir / "ab");
    fs::create_directories(dir / "AB");
    EXPECT_EQ(ExpandLongPath(base + "/Ab", "/"), base + "/Ab");
    fs::remove_all(dir);
}
