#include <gtest/gtest.h>

#include "codecs/Jpeg.h"
#include "base/Errors.h"
#include "base/Limits.h"
#include "tests/support/CodecSamples.h"
#include "tests/support/Mutation.h"

using namespace korvel;
using korvel::testing::Bytes;
using korvel::testing::jpegSample;

namespace {

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

}  // namespace

TEST(JpegMutation, DamagedFilesFailCleanlyOrDecode) {
    struct {
        const char* name;
        Bytes good;
    } inputs[] = {
        {"baseline colour", jpegSample(37, 21, false, false)},
        {"progressive colour", jpegSample(29, 19, true, false)},
        {"greyscale", jpegSample(24, 16, false, true)},
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
