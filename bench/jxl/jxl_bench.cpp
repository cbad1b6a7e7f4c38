// JPEG XL decode through the plug-in as the program calls it (whole file in memory, rows as
// stored, the two blocks handed back and freed): jxl_bench REPS FILE...
// Prints, per file, the best and median time of REPS decodes and the megapixels per second
// of the best, in the form djxl prints its own speed.
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/FileBytes.h"
#include "formats/SpiApi.h"

using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: jxl_bench REPS FILE...\n");
        return 2;
    }
    void* module = ::dlopen(KORVEL_PLUGIN_DIR "/korvel-jxl.spi", RTLD_NOW | RTLD_LOCAL);
    auto getPicture = module ? reinterpret_cast<SpiGetPictureFn>(::dlsym(module, "GetPicture")) : nullptr;
    if (!getPicture) {
        std::fprintf(stderr, "korvel-jxl.spi missing\n");
        return 1;
    }
    const int reps = std::max(1, std::atoi(argv[1]));
    for (int f = 2; f < argc; ++f) {
        const std::vector<uint8_t> bytes = korvel::readWholeFile(argv[f]);
        std::vector<double> seconds;
        int w = 0, h = 0;
        for (int i = 0; i <= reps; ++i) {  // the first run opens libjxl and is not counted
            void *info = nullptr, *bits = nullptr;
            const auto start = Clock::now();
            const int32_t rc = getPicture(reinterpret_cast<const char*>(bytes.data()), intptr_t(bytes.size()), SPI_SOURCE_MEMORY | SPI_HOST_ORIENTS,
                                          &info, &bits, nullptr, 0);
            const double s = std::chrono::duration<double>(Clock::now() - start).count();
            if (rc != SPI_OK) {
                std::fprintf(stderr, "%s: decode failed (%d)\n", argv[f], rc);
                return 1;
            }
            w = static_cast<int32_t*>(info)[1], h = std::abs(static_cast<int32_t*>(info)[2]);
            std::free(info);
            std::free(bits);
            if (i > 0) seconds.push_back(s);
        }
        std::sort(seconds.begin(), seconds.end());
        const double mp = double(w) * h / 1e6;
        std::printf("%s: %d x %d, best %.1f ms, median %.1f ms, %.2f MP/s\n", argv[f], w, h, seconds.front() * 1e3,
                    seconds[seconds.size() / 2] * 1e3, mp / seconds.front());
    }
    return 0;
}
