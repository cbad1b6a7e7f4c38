// The two kernels of the matrix-shaper conversion, the wide vector one where the processor has it
// and the table one everywhere, against the conversion worked out in doubles: a grid of colours
// over the whole cube, in 24 and 32-bit rows of every tail length the wide kernel handles.
#include <gtest/gtest.h>

#include <cstring>

#include "imaging/ColorManage.h"
#include "tests/support/ColorSamples.h"

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
        if (wideCpu && !c.monitor) EXPECT_TRUE(transform->portable()) << c.name << ": the wide kernel was not used";
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
