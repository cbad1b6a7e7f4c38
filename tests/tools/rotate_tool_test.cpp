// korvel-tool rotate on real files, checked by other programs when they are installed: exiftool
// must read orientation 1, and Pillow, turning by the EXIF as it does, must see the photo upright.
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/Md5.h"
#include "browse/SharedThumbs.h"
#include "tests/support/PhotoSamples.h"
#include "tests/support/TempTree.h"
#include "tests/tools/ToolRun.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

std::vector<std::string> toolEnv(const TempTree& t) {
    return {"LC_ALL=C.UTF-8", "KORVEL_STATE_DIR=" + t / "state/", "XDG_DATA_HOME=" + t / "data",
            "XDG_CACHE_HOME=" + t / "cache"};
}

// The first line a shell command prints; empty when it fails.
std::string firstLine(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char line[256];
        if (std::fgets(line, sizeof line, p)) out = line;
        if (::pclose(p) != 0) out.clear();
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

bool installed(const char* check) { return std::system((std::string(check) + " >/dev/null 2>&1").c_str()) == 0; }

}  // namespace

TEST(RotateTool, TurnsRefusesAndUndoes) {
    TempTree t;
    // A photo stored lying on its side: 64 x 32 with orientation 6 shows 32 x 64.
    const std::string photo = t / "photo.jpg", odd = t / "odd.jpg", gif = t / "a.gif";
    const auto original = withJpegSegment(jpegBytes(gradientBitmap(64, 32), 90), 0xE1, exifApp1(6, false));
    writeFile(photo, original);
    writeFile(odd, jpegBytes(gradientBitmap(64, 40), 90));
    writeFile(gif, std::string("GIF89a"));

    // Other programs' thumbnails of the photo go with each turn and undo, whatever time they name.
    const std::string shared = "cache/thumbnails/large/" + md5Hex(fileUri(photo)) + ".png";
    t.write(shared, "old picture");
    ToolRun r = runTool({"rotate", "--angle", "auto", photo}, toolEnv(t));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(readFile(photo), std::string(original.begin(), original.end()));
    EXPECT_FALSE(std::filesystem::exists(t / shared));
    t.write(shared, "turned picture");

    // A height of partial blocks is refused unless --trim; other formats are refused.
    r = runTool({"rotate", "--angle", "90", odd, gif}, toolEnv(t));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("odd.jpg\": its size is not a whole number of blocks"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("a.gif\": only JPEG, PNG and BMP"), std::string::npos) << r.err;
    r = runTool({"rotate", "--angle", "90", "--trim", odd}, toolEnv(t));
    EXPECT_EQ(r.status, 0) << r.err;
    r = runTool({"rotate", "--angle", "45", odd}, toolEnv(t));
    EXPECT_EQ(r.status, 2);

    if (installed("exiftool -ver")) {
        EXPECT_EQ(firstLine("exiftool -n -s3 -Orientation '" + photo + "'"), "1");
        EXPECT_EQ(firstLine("exiftool -s3 -ImageSize '" + photo + "'"), "32x64");
    }
    // The system's Python, which the distribution's Pillow is for, before any other on the path.
    std::string python;
    for (const char* p : {"/usr/bin/python3", "python3"})
        if (python.empty() && installed((std::string(p) + " -c 'import PIL'").c_str())) python = p;
    if (!python.empty()) {
        const std::string script = "from PIL import Image, ImageOps; im = ImageOps.exif_transpose(Image.open('" + photo +
                                   "')); print('%dx%d' % im.size)";
        EXPECT_EQ(firstLine(python + " -c \"" + script + "\""), "32x64");
    }

    // Two turns recorded: undo both, and the photo is the very original again.
    r = runTool({"undo", "--steps", "2"}, toolEnv(t));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(photo), std::string(original.begin(), original.end()));
    EXPECT_FALSE(std::filesystem::exists(t / shared));
    r = runTool({"history"}, toolEnv(t));
    EXPECT_NE(r.out.find("turn of 1 file"), std::string::npos) << r.out;
}
