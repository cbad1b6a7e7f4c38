// Photos with orientation 6 and a wide-gamut profile against the same photos without either:
//   photo_bench tag PLAIN_DIR TAGGED_DIR   copies every .jpg with an Exif APP1 (orientation 6)
//                                          and a Display P3 profile made here in APP2
//                                          (and the same with only one of them in icc/ and turn/)
//   photo_bench time PLAIN_DIR TAGGED_DIR  decode (+ turn + convert) each file at full size and
//                                          at 1/8, every folder in one run, and prints the times
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/FileBytes.h"
#include "formats/Picture.h"
#include "tests/support/ColorSamples.h"
#include "tests/support/PhotoSamples.h"
#include "tests/support/TempTree.h"

using namespace korvel;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<std::string> jpegsIn(const std::string& dir) {
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".jpg") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

struct Times {
    double wall = 0, cpu = 0;  // seconds; cpu counts every thread of the process
};

// Loads every file and takes its raster at 1/scale; keeps each file's best of this and earlier
// rounds, so that a moment of a busy machine spoils one file's round, not a whole folder's.
void timeFolder(const std::vector<std::string>& files, int scale, std::vector<Times>& best) {
    best.resize(files.size(), Times{1e9, 1e9});
    for (size_t i = 0; i < files.size(); ++i) {
        const auto start = Clock::now();
        const std::clock_t cpu = std::clock();
        TPicture picture;
        picture.loadFromFile(files[i]);
        picture.graphic()->requestDecodeScale(scale);
        if (!picture.graphic()->raster()) std::fprintf(stderr, "%s: no raster\n", files[i].c_str());
        best[i].wall = std::min(best[i].wall, std::chrono::duration<double>(Clock::now() - start).count());
        best[i].cpu = std::min(best[i].cpu, double(std::clock() - cpu) / CLOCKS_PER_SEC);
    }
}

Times total(const std::vector<Times>& files) {
    Times t;
    for (const Times& f : files) t.wall += f.wall, t.cpu += f.cpu;
    return t;
}

void writeTagged(const std::string& plainDir, const std::string& dir, const std::vector<uint8_t>& profile,
                 int orientation) {
    fs::create_directories(dir);
    for (const std::string& f : jpegsIn(plainDir)) {
        const auto bytes = FileBytes::open(f);
        std::vector<uint8_t> jpeg(bytes->data(), bytes->data() + bytes->size());
        if (!profile.empty()) jpeg = testing::withJpegIcc(jpeg, profile);
        if (orientation != 1) jpeg = testing::withJpegSegment(jpeg, 0xE1, testing::exifApp1(orientation, false));
        testing::writeFile((fs::path(dir) / fs::path(f).filename()).string(), jpeg);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: photo_bench tag|time PLAIN_DIR TAGGED_DIR\n", stderr);
        return 2;
    }
    const std::string cmd = argv[1], plainDir = argv[2], taggedDir = argv[3];
    // Beside the photos with both, the same photos with only the profile and with only the turn.
    const std::string iccDir = taggedDir + "/icc", turnDir = taggedDir + "/turn";
    if (cmd == "tag") {
        const std::vector<uint8_t> profile = testing::profileOf(testing::kSpaces[1]);  // Display P3
        writeTagged(plainDir, taggedDir, profile, 6);
        writeTagged(plainDir, iccDir, profile, 1);
        writeTagged(plainDir, turnDir, {}, 6);
        return 0;
    }
    const std::vector<std::vector<std::string>> folders = {jpegsIn(plainDir), jpegsIn(iccDir), jpegsIn(turnDir),
                                                           jpegsIn(taggedDir)};
    const char* const names[] = {"plain", "profile", "orientation 6", "both"};
    const double n = double(folders[0].size());
    // Interleaved, so that a busy machine slows every kind alike; each file's best of five rounds.
    constexpr int kRounds = 5;
    std::vector<Times> best[2][4];
    for (int round = 0; round < kRounds; ++round)
        for (int s = 0; s < 2; ++s)
            for (size_t k = 0; k < folders.size(); ++k) timeFolder(folders[k], s ? 8 : 1, best[s][k]);
    std::printf("%zu photos of 12 megapixels, ms per photo (each file's best of %d rounds): wall-clock / CPU time of all "
                "threads\n", folders[0].size(), kRounds);
    for (int s = 0; s < 2; ++s) {
        const Times plain = total(best[s][0]);
        std::printf("%s decode, plain: %.1f / %.1f\n", s ? "1/8      " : "full size", 1000 * plain.wall / n,
                    1000 * plain.cpu / n);
        for (size_t k = 1; k < folders.size(); ++k) {
            const Times t = total(best[s][k]);
            std::printf("  with %-13s %.1f / %.1f  adds %.3f / %.3f of the decode\n", names[k], 1000 * t.wall / n,
                        1000 * t.cpu / n, (t.wall - plain.wall) / plain.wall, (t.cpu - plain.cpu) / plain.cpu);
        }
    }
    return 0;
}
