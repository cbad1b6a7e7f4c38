#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "codecs/Jpeg.h"
#include "base/Errors.h"
#include "base/Limits.h"
#include "tests/support/Mutation.h"

using namespace korvel;
using korvel::testing::Bytes;

namespace {

Bytes encode(int w, int h, bool progressive, bool grey) {
    TBitmap b(w, h, PixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setRawPixel(x, y, makeColor(uint8_t(x * 9), uint8_t(y * 13), uint8_t((x ^ y) * 7)));
    TJPEGImage j;
    j.assign(b);
    j.compressionQuality = 80;
    j.progressiveEncoding = progressive;
    j.grayscale = grey;
    j.compress();
    std::ostringstream out;
    j.saveToStream(out);
    const std::string s = out.str();
    return Bytes(s.begin(), s.end());
}

// Loads the mutant and decodes it at two scales. Only the codec's own errors may come out.
void decodeMutant(const Bytes& data, int& decoded) {
    try {
        TJPEGImage j;
        // A low pixel limit: enlarged size fields would otherwise decode hundreds of megapixels of filler.
        j.loadFromMemory(data.data(), data.size(), DecodeLimits{.maxPixels = 1 << 20});
        const TBitmap& full = j.bitmap();
        if (full.width() != j.width() || full.height() != j.height()) ADD_FAILURE() << "raster size differs";
        j.setScale(JpegScale::jsQuarter);
        (void)j.bitmap();
        ++decoded;
    } catch (const EInvalidGraphic&) {
    }
}

class JpegMutation : public ::testing::Test {};

}  // namespace

TEST_F(JpegMutation, DamagedFilesFailCleanlyOrDecode) {
    struct {
        const char* name;
        Bytes good;
    } inputs[] = {
        {"baseline colour", encode(37, 21, false, false)},
        {"progressive colour", encode(29, 19, true, false)},
        {"greyscale", encode(24, 16, false, true)},
    };
    for (const auto& in : inputs) {
        int decoded = 0;
        decodeMutant(in.good, decoded);
        ASSERT_EQ(decoded, 1) << in.name << ": the unmutated file must decode";
        korvel::testing::forEachMutation(
            in.good, 1500, [&](const Bytes& m) { decodeMutant(m, decoded); }, 700);
        // Most bit flips land in entropy-coded data and still give a picture.
        EXPECT_GT(decoded, 100) << in.name;
    }
}
