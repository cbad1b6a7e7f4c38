// In-process figures for StretchBitmap, the rotations and the plain stretch on one photo-like
// 24-bit image. run.sh passes the same files it gives Pillow and vips:
//   KORVEL_BENCH_LARGE  4000 x 3000 BMP (reduced, turned)
//   KORVEL_BENCH_SMALL  1000 x 750 BMP (enlarged)
// Without them a generated image of those sizes is used. Single thread throughout.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/PlainStretch.h"
#include "imaging/StretchUtils.h"

using namespace korvel;

namespace {

TBitmap generated(int w, int h) {
    TBitmap b(w, h, PixelFormat::pf24bit);
    uint32_t seed = 1;
    for (int y = 0; y < h; ++y) {
        uint8_t* row = b.scanLine(y);
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 28) - 8;
            row[3 * x] = uint8_t(std::clamp(x * 255 / w + noise, 0, 255));
            row[3 * x + 1] = uint8_t(std::clamp(y * 255 / h + noise, 0, 255));
            row[3 * x + 2] = uint8_t(std::clamp(((x / 97 + y / 61) % 2) * 200 + noise + 20, 0, 255));
        }
    }
    return b;
}

TBitmap load(const char* env, int w, int h) {
    const char* path = std::getenv(env);
    if (!path || !*path) return generated(w, h);
    TBitmap b;
    b.loadFromFile(path);
    b.convertTo24();
    return b;
}

const TBitmap& large() {
    static const TBitmap b = load("KORVEL_BENCH_LARGE", 4000, 3000);
    return b;
}

const TBitmap& small() {
    static const TBitmap b = load("KORVEL_BENCH_SMALL", 1000, 750);
    return b;
}

// StretchBitmap works in place, so each run starts from a fresh copy made outside the timing.
void resample(benchmark::State& state, const TBitmap& src, int nw, int nh) {
    for (auto _ : state) {
        state.PauseTiming();
        TBitmap b = src;
        state.ResumeTiming();
        StretchBitmap(b, nw, nh);
        benchmark::DoNotOptimize(b.bits());
    }
}

void BM_StretchReduce4000To1000(benchmark::State& state) { resample(state, large(), 1000, 750); }
void BM_StretchEnlarge1000To4000(benchmark::State& state) { resample(state, small(), 4000, 3000); }
void BM_StretchReduce4000To1333(benchmark::State& state) { resample(state, large(), 1333, 1000); }
// Each axis alone, to see where the time of the two-axis figures goes.
void BM_StretchReduceWidthOnly(benchmark::State& state) { resample(state, large(), 1000, 3000); }
void BM_StretchReduceHeightOnly(benchmark::State& state) { resample(state, large(), 4000, 750); }
void BM_StretchEnlargeWidthOnly(benchmark::State& state) { resample(state, small(), 4000, 750); }
void BM_StretchEnlargeHeightOnly(benchmark::State& state) { resample(state, small(), 1000, 3000); }

template <std::unique_ptr<TBitmap> (*Turn)(const TBitmap&)>
void BM_Rotate(benchmark::State& state) {
    const TBitmap& src = large();
    for (auto _ : state) {
        auto r = Turn(src);
        benchmark::DoNotOptimize(r->bits());
    }
}

// The yardstick for the turns: a new raster of the same size filled by one memcpy.
void BM_MemoryCopy(benchmark::State& state) {
    const TBitmap& src = large();
    const size_t bytes = src.stride() * size_t(src.height());
    for (auto _ : state) {
        std::vector<uint8_t> copy(bytes);
        std::memcpy(copy.data(), src.bits(), bytes);
        benchmark::DoNotOptimize(copy.data());
    }
}

void BM_PlainStretchReduce(benchmark::State& state) {
    const TBitmap& src = large();
    for (auto _ : state) {
        TBitmap dst(1000, 750, PixelFormat::pf24bit);
        stretchCopy(src, Rect{0, 0, src.width(), src.height()}, dst, Rect{0, 0, 1000, 750});
        benchmark::DoNotOptimize(dst.bits());
    }
}

void BM_PlainStretchEnlarge(benchmark::State& state) {
    const TBitmap& src = small();
    for (auto _ : state) {
        TBitmap dst(4000, 3000, PixelFormat::pf24bit);
        stretchCopy(src, Rect{0, 0, src.width(), src.height()}, dst, Rect{0, 0, 4000, 3000});
        benchmark::DoNotOptimize(dst.bits());
    }
}

}  // namespace

BENCHMARK(BM_StretchReduce4000To1000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StretchEnlarge1000To4000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StretchReduce4000To1333)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StretchReduceWidthOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StretchReduceHeightOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StretchEnlargeWidthOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StretchEnlargeHeightOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_TEMPLATE(BM_Rotate, Rotate90Right)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_TEMPLATE(BM_Rotate, Rotate180)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_TEMPLATE(BM_Rotate, Rotate90Left)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MemoryCopy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainStretchReduce)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainStretchEnlarge)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
