// Photos with orientation 6 and a wide-gamut profile against the same photos without either:
//   photo_bench tag PLAIN_DIR TAGGED_DIR   copies every .jpg with an Exif APP1 (orientation 6)
//                                          and a Display P3 profile made here in APP2
//   photo_bench time PLAIN_DIR TAGGED_DIR  decode (+ turn + convert) each file at full size and
//                                          at 1/8, both folders in one run, and prints the times
#include <lcms2.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/FileBytes.h"
#include "formats/Picture.h"
#include "imaging/Bitmap.h"
#include "imaging/ColorManage.h"
#include "tests/support/PhotoSamples.h"
#include "tests/support/TempTree.h"

using namespace korvel;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<uint8_t> displayP3() {
    const cmsCIExyY white{0.3127, 0.3290, 1};
    const cmsCIExyYTRIPLE prim{{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}};
    const double srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgb);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &prim, curves);
    cmsUInt32Number n = 0;
    cmsSaveProfileToMem(p, nullptr, &n);
    std::vector<uint8_t> bytes(n);
    cmsSaveProfileToMem(p, bytes.data(), &n);
    cmsFreeToneCurve(curve);
    cmsCloseProfile(p);
    return bytes;
}

std::vector<std::string> jpegsIn(const std::string& dir) {
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".jpg") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// Seconds to load every file and take its raster at 1/scale.
double timeFolder(const std::vector<std::string>& files, int scale, const PhotoSwitches& photo) {
    const auto start = Clock::now();
    DecodeLimits limits;
    limits.photo = photo;
    for (const std::string& f : files) {
        TPicture picture;
        picture.loadFromFile(f, limits);
        picture.graphic()->requestDecodeScale(scale);
        if (!picture.graphic()->raster()) std::fprintf(stderr, "%s: no raster\n", f.c_str());
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: photo_bench tag|time PLAIN_DIR TAGGED_DIR\n", stderr);
        return 2;
    }
    const std::string cmd = argv[1], plainDir = argv[2], taggedDir = argv[3];
    if (cmd == "tag") {
        const std::vector<uint8_t> profile = displayP3();
        fs::create_directories(taggedDir);
        for (const std::string& f : jpegsIn(plainDir)) {
            const auto bytes = FileBytes::open(f);
            std::vector<uint8_t> jpeg(bytes->data(), bytes->data() + bytes->size());
            jpeg = testing::withJpegIcc(jpeg, profile);
            jpeg = testing::withJpegSegment(jpeg, 0xE1, testing::exifApp1(6, false));
            testing::writeFile((fs::path(taggedDir) / fs::path(f).filename()).string(), jpeg);
        }
        return 0;
    }
    const std::vector<std::string> plain = jpegsIn(plainDir), tagged = jpegsIn(taggedDir);
    const double n = double(tagged.size());
    PhotoSwitches off;
    off.exifRotate = off.colorManage = false;
    // Interleaved, so that a busy machine slows both sides alike; the best of three rounds counts.
    double best[6] = {1e9, 1e9, 1e9, 1e9, 1e9, 1e9};
    for (int round = 0; round < 3; ++round) {
        best[0] = std::min(best[0], timeFolder(plain, 1, {}));
        best[1] = std::min(best[1], timeFolder(tagged, 1, {}));
        best[2] = std::min(best[2], timeFolder(tagged, 1, off));
        best[3] = std::min(best[3], timeFolder(plain, 8, {}));
        best[4] = std::min(best[4], timeFolder(tagged, 8, {}));
        best[5] = std::min(best[5], timeFolder(tagged, 8, off));
    }
    // The conversion alone against the decode of the same full-size photo, best of five
    // interleaved rounds each.
    DecodeLimits limits;
    limits.photo = off;
    TBitmap raster;
    double decode = 1e9, convert = 1e9, convertCpu = 1e9;
    for (int round = 0; round < 5; ++round) {
        TPicture picture;
        auto start = Clock::now();
        picture.loadFromFile(tagged.at(0), limits);
        const TBitmap* decoded = picture.graphic()->raster();
        decode = std::min(decode, std::chrono::duration<double>(Clock::now() - start).count());
        raster = *decoded;
        const auto transform = TransformForProfile(picture.graphic()->photoMeta().iccProfile);
        start = Clock::now();
        const std::clock_t cpu = std::clock();  // all threads of the process
        transform->apply(raster);
        convert = std::min(convert, std::chrono::duration<double>(Clock::now() - start).count());
        convertCpu = std::min(convertCpu, double(std::clock() - cpu) / CLOCKS_PER_SEC);
    }

    std::printf("%zu files of %dx%d, ms per file (best of 3 rounds)\n", tagged.size(), raster.width(), raster.height());
    std::printf("full size: plain %.1f  tagged %.1f  tagged, switches off %.1f  -> tagged/plain %.2f\n",
                1000 * best[0] / n, 1000 * best[1] / n, 1000 * best[2] / n, best[1] / best[0]);
    std::printf("1/8:       plain %.1f  tagged %.1f  tagged, switches off %.1f  -> tagged/plain %.2f\n",
                1000 * best[3] / n, 1000 * best[4] / n, 1000 * best[5] / n, best[4] / best[3]);
    std::printf("one full-size photo: decode %.1f ms, colour conversion %.1f ms = %.3f of the decode"
                " (conversion CPU time, all threads: %.1f ms)\n",
                1000 * decode, 1000 * convert, convert / decode, 1000 * convertCpu);
    return 0;
}
