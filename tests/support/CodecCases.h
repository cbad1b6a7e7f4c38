#pragma once
// Scaffolding the codec tests share: flat and ramp images, encoding to PNG or JPEG bytes, colour
// distance, and a load through any graphic class told as text a table row can compare.
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/Limits.h"
#include "codecs/Png.h"
#include "imaging/Bitmap.h"
#include "tests/support/TestImages.h"

namespace korvel::testing {

using Bytes = std::vector<uint8_t>;

inline TBitmap flatImage(int w, int h, Color c, PixelFormat pf = PixelFormat::pf24bit) {
    TBitmap b(w, h, PixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setRawPixel(x, y, c);
    if (pf != PixelFormat::pf24bit) b.setPixelFormat(pf);
    return b;
}

// Smooth ramps over a constant blue: compress well and show any row or channel mix-up.
inline TBitmap rampImage(int w, int h) {
    TBitmap b(w, h, PixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setRawPixel(x, y, makeColor(uint8_t(x * 255 / (w - 1)), uint8_t(y * 255 / (h - 1)), 96));
    return b;
}

inline Bytes pngBytes(const TBitmap& b, const std::function<void(TGLDPNG&)>& set = {}) {
    TGLDPNG png;
    png.assign(b);
    if (set) set(png);
    return savedBytes(png);
}

// A G with the options set gives, loaded from data.
template <class G>
G loaded(const Bytes& data, const std::function<void(G&)>& set = {}) {
    G g;
    if (set) set(g);
    g.loadFromMemory(data.data(), data.size());
    return g;
}

// Largest channel difference of any pixel from a flat colour.
inline int worstDistance(const TBitmap& b, Color c) {
    int worst = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            for (int shift : {0, 8, 16}) {
                const int got = int(b.pixel(x, y) >> shift & 255), want = int(c >> shift & 255);
                worst = std::max(worst, std::abs(got - want));
            }
    return worst;
}

inline std::string errorText(const EInvalidGraphic& e) {
    return (dynamic_cast<const EImageTooLarge*>(&e) ? "too large: " : "") + std::string(e.what());
}

// Reads every pixel and its alpha, so that the sanitizers see any read outside the raster.
inline uint64_t touchEveryPixel(const TBitmap& b) {
    uint64_t sum = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) sum += b.pixel(x, y) + b.alphaAt(x, y);
    return sum;
}

// Asks for the raster (a decode put off until then runs here) and reads all of it: "(loaded)",
// the error text, or "too large: " and the text for a size refusal.
inline std::string rasterOutcome(const TGraphic& g) {
    try {
        const TBitmap* r = g.raster();
        if (r && (r->width() != g.width() || r->height() != g.height())) return "raster size differs";
        if (r) touchEveryPixel(*r);
    } catch (const EInvalidGraphic& e) {
        return errorText(e);
    }
    return "(loaded)";
}

// Loads data into g and then its raster at 1/scale, as rasterOutcome tells; "not empty: " comes
// first when a failed load left something behind in a fresh graphic.
inline std::string loadOutcome(TGraphic& g, const Bytes& data, const DecodeLimits& limits = {},
    int scale = 1) {
    try {
        g.loadFromMemory(data.data(), data.size(), limits);
    } catch (const EInvalidGraphic& e) {
        return (g.empty() ? "" : "not empty: ") + errorText(e);
    }
    if (scale > 1) g.requestDecodeScale(scale);
    return rasterOutcome(g);
}

}  // namespace korvel::testing
