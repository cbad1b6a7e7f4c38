// Embedded colour profiles: wide-gamut test images (Adobe RGB and Display P3 primaries, profiles
// built here with Little CMS) come out in sRGB within one level of a conversion worked out here
// from the primaries; without a profile, or with colour management off, pixels stay as stored.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <array>
#include <cmath>
#include <string>

#include "formats/Picture.h"
#include "imaging/ColorManage.h"
#include "tests/support/PhotoSamples.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"
#include "tests/tools/ToolRun.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

using Mat = std::array<std::array<double, 3>, 3>;
struct Primaries {
    double rx, ry, gx, gy, bx, by;
};
constexpr double kWhiteX = 0.3127, kWhiteY = 0.3290;  // D65, the white of all three spaces here
constexpr Primaries kSrgb{0.64, 0.33, 0.30, 0.60, 0.15, 0.06};

Mat inverse(const Mat& m) {
    const double d = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    Mat r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int a = (j + 1) % 3, b = (j + 2) % 3, c = (i + 1) % 3, e = (i + 2) % 3;
            r[i][j] = (m[a][c] * m[b][e] - m[a][e] * m[b][c]) / d;
        }
    return r;
}

Mat multiply(const Mat& a, const Mat& b) {
    Mat r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) r[i][j] += a[i][k] * b[k][j];
    return r;
}

// Linear RGB to XYZ from the primaries, scaled so that RGB white gives the white point.
Mat rgbToXyz(const Primaries& p) {
    const double xs[3] = {p.rx, p.gx, p.bx}, ys[3] = {p.ry, p.gy, p.by};
    Mat m;
    for (int c = 0; c < 3; ++c) m[0][c] = xs[c] / ys[c], m[1][c] = 1, m[2][c] = (1 - xs[c] - ys[c]) / ys[c];
    const double w[3] = {kWhiteX / kWhiteY, 1, (1 - kWhiteX - kWhiteY) / kWhiteY};
    const Mat inv = inverse(m);
    for (int c = 0; c < 3; ++c) {
        const double s = inv[c][0] * w[0] + inv[c][1] * w[1] + inv[c][2] * w[2];
        for (int r = 0; r < 3; ++r) m[r][c] *= s;
    }
    return m;
}

double srgbDecode(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }
double srgbEncode(double v) { return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055; }

struct Space {
    const char* name;
    Primaries primaries;
    bool srgbCurve;  // else the pure power 563/256 of Adobe RGB
};
const Space kSpaces[] = {{"Adobe RGB test", {0.64, 0.33, 0.21, 0.71, 0.15, 0.06}, false},
                         {"Display P3 test", {0.680, 0.320, 0.265, 0.690, 0.150, 0.060}, true}};

PhotoBytes profileOf(const Space& s) {
    const cmsCIExyY white{kWhiteX, kWhiteY, 1};
    const cmsCIExyYTRIPLE prim{{s.primaries.rx, s.primaries.ry, 1}, {s.primaries.gx, s.primaries.gy, 1},
                               {s.primaries.bx, s.primaries.by, 1}};
    const double srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = s.srgbCurve ? cmsBuildParametricToneCurve(nullptr, 4, srgb) : cmsBuildGamma(nullptr, 563.0 / 256);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &prim, curves);
    cmsMLU* description = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(description, "en", "US", s.name);
    cmsWriteTag(p, cmsSigProfileDescriptionTag, description);
    cmsUInt32Number n = 0;
    cmsSaveProfileToMem(p, nullptr, &n);
    PhotoBytes bytes(n);
    cmsSaveProfileToMem(p, bytes.data(), &n);
    cmsMLUfree(description);
    cmsFreeToneCurve(curve);
    cmsCloseProfile(p);
    return bytes;
}

double decode(double v, const Space& s) { return s.srgbCurve ? srgbDecode(v) : std::pow(v, 563.0 / 256); }
double encode(double v, const Space& s) { return s.srgbCurve ? srgbEncode(v) : std::pow(v, 256 / 563.0); }

// The stored pixels converted from space s to space to, worked out in doubles.
TBitmap reference(const TBitmap& stored, const Space& s, const Space& to = {"sRGB", kSrgb, true}) {
    const Mat m = multiply(inverse(rgbToXyz(to.primaries)), rgbToXyz(s.primaries));
    TBitmap out(stored.width(), stored.height(), PixelFormat::pf24bit);
    for (int y = 0; y < stored.height(); ++y)
        for (int x = 0; x < stored.width(); ++x) {
            const Color c = stored.pixel(x, y);
            double lin[3], v[3];
            const uint8_t in[3] = {redOf(c), greenOf(c), blueOf(c)};
            for (int i = 0; i < 3; ++i) lin[i] = decode(in[i] / 255.0, s);
            for (int i = 0; i < 3; ++i) {
                const double l = std::clamp(m[i][0] * lin[0] + m[i][1] * lin[1] + m[i][2] * lin[2], 0.0, 1.0);
                v[i] = std::round(encode(l, to) * 255);
            }
            out.setRawPixel(x, y, makeColor(uint8_t(v[0]), uint8_t(v[1]), uint8_t(v[2])));
        }
    return out;
}

// Empty when every channel of every pixel is within `levels` levels.
std::string withinOne(const TBitmap& got, const TBitmap& want, int levels = 1) {
    if (got.width() != want.width() || got.height() != want.height()) return "size differs";
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x)
            for (int shift : {0, 8, 16})
                if (std::abs(int((got.pixel(x, y) >> shift) & 0xFF) - int((want.pixel(x, y) >> shift) & 0xFF)) > levels)
                    return "pixel " + std::to_string(x) + "," + std::to_string(y) + ": " + std::to_string(got.pixel(x, y)) +
                           " for " + std::to_string(want.pixel(x, y));
    return {};
}

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
