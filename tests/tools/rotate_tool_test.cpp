// korvel-tool rotate on real files, checked by another program when it is installed: exiftool must
// read orientation 1 and the turned size.
#include <gtest/gtest.h>

#include <cstdio>

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

}  // namespace

TEST(RotateTool, TurnsRefusesAndUndoes) {
    TempTree t;
    // A photo stored lying on its side: 64 x 32 with orientation 6 shows 32 x 64.
    const PhotoBytes jpeg = withJpegSegment(jpegBytes(gradientBitmap(64, 32), 90), 0xE1, exifApp1(6, false));
    const std::string original(jpeg.begin(), jpeg.end()), photo = t.write("photo.jpg", original);
    const std::string odd = t / "odd.jpg", gif = t.write("a.gif", "GIF89a");
    writeFile(odd, jpegBytes(gradientBitmap(64, 40), 90));

    // Other programs' thumbnails of the photo go with each turn and undo, whatever time they name.
    const std::string shared = "cache/thumbnails/large/" + md5Hex(fileUri(photo)) + ".png";
    t.write(shared, "old picture");
    ToolRun r = runTool({"rotate", "--angle", "auto", photo}, toolEnv(t));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(readFile(photo), original);
    EXPECT_FALSE(std::filesystem::exists(t / shared));
    t.write(shared, "turned picture");

    // A height of partial blocks is refused unless --trim; other formats are refused.
    r = runTool({"rotate", "--angle", "90", odd, gif}, toolEnv(t));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("odd.jpg\": its size is not a whole number of blocks"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("a.gif\": only JPEG, PNG and BMP"), std::string::npos) << r.err;
    r = runTool({"rotate", "--angle", "90", "--trim", odd}, toolEnv(t));
    EXPECT_EQ(r.status, 0) << r.err;

    if (!firstLine("exiftool -ver 2>/dev/null").empty()) {
        EXPECT_EQ(firstLine("exiftool -n -s3 -Orientation '" + photo + "'"), "1");
        EXPECT_EQ(firstLine("exiftool -s3 -ImageSize '" + photo + "'"), "32x64");
    }

    // Two turns recorded: undo both, and the photo is the very original again.
    r = runTool({"undo", "--steps", "2"}, toolEnv(t));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(photo), original);
    EXPECT_FALSE(std::filesystem::exists(t / shared));
    r = runTool({"history"}, toolEnv(t));
    EXPECT_NE(r.out.find("turn of 1 file"), std::string::npos) << r.out;
}
