// Embedded colour profiles: wide-gamut test images (Adobe RGB and Display P3 primaries, profiles
// built in the test with Little CMS) come out in sRGB within one level of a conversion worked out here
// from the primaries; without a profile, or with colour management off, pixels stay as stored.
#include <gtest/gtest.h>

#include <string>

#include "formats/Picture.h"
#include "imaging/ColorManage.h"
#include "tests/support/ColorSamples.h"
#include "tests/support/PhotoSamples.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"
#include "tests/tools/ToolRun.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

TBitmap loaded(const std::string& path, bool colorManage, bool toDisplay = false) {
    DecodeLimits limits;
    limits.photo.colorManage = colorManage;
    limits.photo.toDisplay = toDisplay;
    TPicture picture;
    picture.loadFromFile(path, limits);
    return *picture.graphic()->raster();
}

}  // namespace

TEST(PhotoColor, WideGamutProfilesConvertToSrgbInJpegAndPng) {
    TempTree t;
    const TBitmap noise = randomBitmap(PixelFormat::pf24bit, 40, 24, 7);
    for (const Space& s : kSpaces)
        for (const bool png : {true, false}) {
            SCOPED_TRACE(std::string(s.name) + (png ? " png" : " jpeg"));
            const PhotoBytes profile = profileOf(s);
            const std::string path = t / (png ? "w.png" : "w.jpg");
            // The JPEG's profile is split over several segments, as large profiles are.
            writeFile(path, png ? withPngChunk(encodedPng(noise), "iCCP", iccpData(profile))
                                : withJpegIcc(encodedJpeg(noise, 95), profile, 200));
            const TBitmap stored = loaded(path, false);
            if (png) EXPECT_EQ(pixelDifference(stored, noise), "");
            EXPECT_EQ(withinOne(loaded(path, true), reference(stored, s)), "");
            // Something did change: wide-gamut colours are not sRGB colours.
            EXPECT_NE(pixelDifference(loaded(path, true), stored), "");
            EXPECT_EQ(IccProfileDescription(profile), s.name);
            const std::string info = runTool({"info", path}).out;
            EXPECT_NE(info.find(std::string("\tprofile ") + s.name + "\n"), std::string::npos) << info;
        }
}

// With a monitor profile set, the windows' loads convert to it; files written stay sRGB; a photo
// already in the monitor's space is left as stored.
TEST(PhotoColor, WindowsConvertToTheMonitorProfile) {
    TempTree t;
    const TBitmap noise = randomBitmap(PixelFormat::pf24bit, 40, 24, 11);
    const Space& adobe = kSpaces[0];
    const Space& p3 = kSpaces[1];
    writeFile(t / "p3.png", withPngChunk(encodedPng(noise), "iCCP", iccpData(profileOf(p3))));
    writeFile(t / "adobe.png", withPngChunk(encodedPng(noise), "iCCP", iccpData(profileOf(adobe))));
    SetDisplayProfile(profileOf(adobe));
    // Two levels: a pure power curve's encoding is so steep near black that lcms's 8-bit tables
    // round there differently from the exact curve.
    EXPECT_EQ(withinOne(loaded(t / "p3.png", true, true), reference(noise, p3, adobe), 2), "");
    EXPECT_EQ(withinOne(loaded(t / "p3.png", true, false), reference(noise, p3)), "");
    EXPECT_EQ(pixelDifference(loaded(t / "adobe.png", true, true), noise), "");
    SetDisplayProfile({});
    EXPECT_EQ(withinOne(loaded(t / "p3.png", true, true), reference(noise, p3)), "");
}

// A profile at or so near sRGB that no colour would move by more than a level is not applied
// (many phone photos carry one); one a little further off is.
TEST(PhotoColor, ProfilesNearSrgbAreNotApplied) {
    const TBitmap noise = randomBitmap(PixelFormat::pf24bit, 40, 24, 5);
    const struct {
        Space space;
        bool applied;
    } cases[] = {{{"sRGB", kSrgb, true}, false},
                 {{"sRGB, primaries rounded", {0.6401, 0.3300, 0.3000, 0.5999, 0.1500, 0.0600}, true}, false},
                 {{"sRGB, green moved", {0.64, 0.33, 0.31, 0.60, 0.15, 0.06}, true}, true},
                 {{"sRGB primaries, power curve", kSrgb, false}, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.space.name);
        TBitmap got = noise;
        const auto transform = TransformForProfile(profileOf(c.space));
        EXPECT_EQ(transform != nullptr, c.applied);
        if (transform) transform->apply(got);
        EXPECT_EQ(withinOne(got, reference(noise, c.space)), "");
    }
}

// A full-size photo is converted in bands on several threads: every row exactly once.
TEST(PhotoColor, BigPicturesConvertEveryRowOnce) {
    const TBitmap tile = randomBitmap(PixelFormat::pf32bit, 64, 61, 3);
    const auto transform = TransformForProfile(profileOf(kSpaces[1]));
    ASSERT_TRUE(transform);
    TBitmap small = tile, big(2048, 1037, PixelFormat::pf32bit);
    transform->apply(small);
    for (int y = 0; y < big.height(); ++y)
        for (int x = 0; x < big.width(); ++x) big.setRawPixel(x, y, tile.pixel(x % 64, y % 61));
    transform->apply(big);
    for (int y = 0; y < big.height(); ++y)
        for (int x = 0; x < big.width(); ++x)
            if (big.pixel(x, y) != small.pixel(x % 64, y % 61)) FAIL() << "pixel " << x << "," << y;
}
