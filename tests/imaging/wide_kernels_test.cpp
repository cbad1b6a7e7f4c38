// The photo kernels that have a wide vector form where the processor has it, against plain
// statements: the matrix-shaper conversion against the one worked out in doubles, over a grid of
// the whole colour cube in 24 and 32-bit rows of every tail length; the turns upright against
// the EXIF orientations stated pixel by pixel, at sizes around the 16-pixel blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "imaging/ColorManage.h"
#include "imaging/Orientation.h"
#include "tests/support/ColorSamples.h"
#include "tests/support/TestImages.h"

using namespace korvel;
using namespace korvel::testing;

TEST(ColorKernel, EveryColourWithinALevelInEveryRowLayout) {
    // Every fourth level and the top, in each channel: 65^3 colours.
    std::vector<Color> colours;
    for (int r = 0; r <= 256; r += 4)
        for (int g = 0; g <= 256; g += 4)
            for (int b = 0; b <= 256; b += 4)
                colours.push_back(makeColor(uint8_t(std::min(r, 255)), uint8_t(std::min(g, 255)), uint8_t(std::min(b, 255))));
    const int n = int(colours.size());
    TBitmap grid(n, 1, PixelFormat::pf24bit);
    for (int i = 0; i < n; ++i) grid.setRawPixel(i, 0, colours[size_t(i)]);

    const Space &adobe = kSpaces[0], &p3 = kSpaces[1];
    const struct {
        const char* name;
        const Space& from;
        const Space* monitor;  // null: to sRGB
        int levels;
    } cases[] = {{"Display P3 to sRGB", p3, nullptr, 1},
                 {"Adobe RGB to sRGB", adobe, nullptr, 1},
                 // A pure power curve is so steep near black that the profiles' colorants, stored
                 // to 1/65536, move a colour there by up to three levels from the one worked out
                 // from the primaries.
                 {"Display P3 to an Adobe RGB monitor", p3, &adobe, 3}};
    const bool wideCpu = __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi") &&
                         __builtin_cpu_supports("avx512vnni");
    for (const auto& c : cases) {
        SetDisplayProfile(c.monitor ? profileOf(*c.monitor) : std::vector<uint8_t>());
        const TBitmap want = c.monitor ? reference(grid, c.from, *c.monitor) : reference(grid, c.from);
        const auto transform = TransformForProfile(profileOf(c.from), true);
        ASSERT_TRUE(transform) << c.name;
        // The wide kernel follows the sRGB curve; without it every photo pays for the tables.
        if (wideCpu && !c.monitor) {
            EXPECT_TRUE(transform->portable()) << c.name << ": the wide kernel was not used";
        }
        for (const auto& kernel : {transform, transform->portable()}) {
            if (!kernel) continue;
            for (const PixelFormat format : {PixelFormat::pf24bit, PixelFormat::pf32bit})
                for (const int width : {1, 63, 65, 4225}) {
                    SCOPED_TRACE(std::string(c.name) + (kernel == transform ? "" : ", table kernel") + ", " +
                                 std::to_string(width) + (format == PixelFormat::pf24bit ? " x 24 bits" : " x 32 bits"));
                    const int height = (n + width - 1) / width;
                    TBitmap b(width, height, format);
                    // The fourth byte and the padding after each row must come through as they were.
                    for (int y = 0; y < height; ++y) std::memset(b.scanLine(y), 0xA5, b.stride());
                    for (int i = 0; i < n; ++i) b.setRawPixel(i % width, i / width, colours[size_t(i)] | 0xA5000000u);
                    const TBitmap before = b;
                    kernel->applyRows(b, 0, height);
                    TBitmap got(n, 1, PixelFormat::pf24bit);
                    for (int i = 0; i < n; ++i) got.setRawPixel(i, 0, b.pixel(i % width, i / width));
                    EXPECT_EQ(withinOne(got, want, c.levels), "");
                    const int used = width * b.bitsPerPixel() / 8;
                    for (int y = 0; y < height; ++y) {
                        const uint8_t *row = b.scanLine(y), *was = before.scanLine(y);
                        ASSERT_EQ(std::memcmp(row + used, was + used, b.stride() - size_t(used)), 0) << "padding of row " << y;
                        for (int x = 0; format == PixelFormat::pf32bit && x < width; ++x)
                            ASSERT_EQ(row[4 * x + 3], 0xA5) << "fourth byte of " << x << "," << y;
                    }
                }
        }
    }
    SetDisplayProfile({});
}

TEST(Orientation, EveryTurnOfEveryFormatAndSizeMatchesTheStatedPixels) {
    // Upright (x, y) takes stored (sx, sy), as EXIF states each orientation; w x h is stored.
    using Source = std::function<std::pair<int, int>(int x, int y, int w, int h)>;
    const Source from[9] = {
        nullptr,
        [](int x, int y, int, int) { return std::pair(x, y); },
        [](int x, int y, int w, int) { return std::pair(w - 1 - x, y); },
        [](int x, int y, int w, int h) { return std::pair(w - 1 - x, h - 1 - y); },
        [](int x, int y, int, int h) { return std::pair(x, h - 1 - y); },
        [](int x, int y, int, int) { return std::pair(y, x); },
        [](int x, int y, int, int h) { return std::pair(y, h - 1 - x); },
        [](int x, int y, int w, int h) { return std::pair(w - 1 - y, h - 1 - x); },
        [](int x, int y, int w, int) { return std::pair(w - 1 - y, x); },
    };
    uint32_t seed = 1;
    // Palettes with a transparent index, 24 and 32 bits with an alpha mask: alpha goes with its pixel.
    for (const PixelFormat format : {PixelFormat::pf4bit, PixelFormat::pf8bit, PixelFormat::pf24bit, PixelFormat::pf32bit})
        for (const auto& [w, h] : {std::pair(1, 1), std::pair(15, 17), std::pair(16, 16), std::pair(37, 53), std::pair(130, 70)}) {
            TBitmap stored = randomBitmap(format, w, h, seed++, !isPaletteFormat(format));
            if (isPaletteFormat(format)) stored.setTransparentIndex(3);
            for (int o = 1; o <= 8; ++o) {
                SCOPED_TRACE(std::to_string(stored.bitsPerPixel()) + " bits, " + std::to_string(w) + " x " + std::to_string(h) +
                             ", orientation " + std::to_string(o));
                const bool swap = orientationSwapsSides(o);
                const int uw = swap ? h : w, uh = swap ? w : h;
                // Whole, and (in the formats decoders stage) in bands as a decoder finishes rows:
                // 7 rows at a time, then 40.
                TBitmap whole = OrientUpright(stored, o), banded(uw, uh, format), wide(uw, uh, format);
                const bool staged = format != PixelFormat::pf4bit;
                for (int y = 0; staged && y < h; y += 7) OrientRowsInto(stored, banded, o, y, std::min(h, y + 7));
                for (int y = 0; staged && y < h; y += 40) OrientRowsInto(stored, wide, o, y, std::min(h, y + 40));
                if (staged) OrientExtrasInto(stored, banded, o), OrientExtrasInto(stored, wide, o);
                for (const TBitmap* got : {&whole, &banded, &wide}) {
                    if (!staged && got != &whole) continue;
                    ASSERT_EQ(std::pair(got->width(), got->height()), std::pair(uw, uh));
                    for (int y = 0; y < uh; ++y)
                        for (int x = 0; x < uw; ++x) {
                            const auto [sx, sy] = from[o](x, y, w, h);
                            ASSERT_EQ(got->rawPixel(x, y), stored.rawPixel(sx, sy)) << "upright " << x << "," << y;
                            ASSERT_EQ(got->alphaAt(x, y), stored.alphaAt(sx, sy)) << "alpha of upright " << x << "," << y;
                        }
                }
            }
        }
}
