#include <gtest/gtest.h>

#include "codecs/Gif.h"
#include "base/Errors.h"
#include "base/Limits.h"
#include "tests/support/CodecSamples.h"
#include "tests/support/Mutation.h"

using namespace korvel;
using korvel::testing::animatedGif;
using korvel::testing::Bytes;

namespace {

void decodeMutant(const Bytes& data, int& decoded) {
    try {
        TGIFImage g;
        g.loadFromMemory(data.data(), data.size(), DecodeLimits{.maxPixels = 1 << 20});
        const TBitmap& b = g.bitmap();
        if (b.pixelFormat() != PixelFormat::pf8bit || b.palette().size() > 256) ADD_FAILURE() << "bad raster";
        ++decoded;
    } catch (const EInvalidGraphic&) {
    }
}

}  // namespace

TEST(GifMutation, DamagedFilesFailCleanlyOrDecode) {
    for (bool interlace : {false, true}) {
        const Bytes good = animatedGif(interlace);
        int decoded = 0;
        decodeMutant(good, decoded);
        ASSERT_EQ(decoded, 1) << "the unmutated file must decode";
        korvel::testing::forEachMutation(
            good, 2000, [&](const Bytes& m) { decodeMutant(m, decoded); }, 64);
        EXPECT_GT(decoded, 100) << interlace;
    }
}
