// In-process timing of Korvel's PNG codec, in the same form as the peers' harnesses:
//   png_bench decode FILE RUNS
//   png_bench encode FILE LEVEL FILTER RUNS   (FILTER: none | adaptive)
// Prints "seconds bytes": the best run's time, and the encoded size for encode.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "base/FileBytes.h"
#include "codecs/Png.h"

using namespace korvel;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const std::string mode = argv[1];
    const std::vector<uint8_t> data = readWholeFile(argv[2]);
    double best = 1e9;
    size_t bytes = 0;
    if (mode == "decode") {
        const int runs = std::atoi(argv[3]);
        for (int i = 0; i < runs; ++i) {
            const auto t0 = Clock::now();
            TGLDPNG png;
            png.loadFromMemory(data.data(), data.size());
            best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
        }
    } else if (argc == 6) {
        TGLDPNG source;
        source.loadFromMemory(data.data(), data.size());
        const int runs = std::atoi(argv[5]);
        for (int i = 0; i < runs; ++i) {
            TGLDPNG png;
            png.assign(source.image());
            png.compressionLevel = std::atoi(argv[3]);
            png.filterMode = std::string(argv[4]) == "adaptive" ? 0 : 1;
            std::ostringstream out;
            const auto t0 = Clock::now();
            png.saveToStream(out);
            best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
            bytes = out.str().size();
        }
    } else {
        return 2;
    }
    std::printf("%.6f %zu\n", best, bytes);
    return 0;
}
