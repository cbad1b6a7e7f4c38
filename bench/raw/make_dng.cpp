// Linear DNG files as a camera's converter writes them: a 16-bit RGB picture with a smooth scene
// and a full JPEG preview of it (quarter size by default) in a second directory.
//   make_dng DIR COUNT WIDTH HEIGHT PREVIEW_DIVISOR
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/DngFile.h"

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fputs("usage: make_dng DIR COUNT WIDTH HEIGHT PREVIEW_DIVISOR\n", stderr);
        return 2;
    }
    const int count = std::atoi(argv[2]), w = std::atoi(argv[3]), h = std::atoi(argv[4]), d = std::atoi(argv[5]);
    for (int k = 0; k < count; ++k) {
        const auto scene = [&](int x, int y, int c) {
            const double u = double(x) / w, v = double(y) / h;
            return uint16_t(60000 * (0.2 + 0.3 * (1 + std::sin(6 * u + c + k)) * (0.5 + 0.5 * v)));
        };
        const korvel::testing::DngPlan plan{w, h, 1, scene, w / d, h / d,
                                            [&](int x, int y, int c) { return uint8_t(scene(x * d, y * d, c) >> 8); }};
        char name[32];
        std::snprintf(name, sizeof name, "/raw%03d.dng", k);
        if (!korvel::testing::writeLinearDng(argv[1] + std::string(name), plan)) return 1;
    }
    return 0;
}
