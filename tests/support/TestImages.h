#pragma once
// Test images made in memory: seeded noise in any pixel format, smooth gradients, their BMP and
// JPEG bytes, and comparisons that name the first difference (empty when there is none), for
// GoogleTest and Qt Test alike.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/Jpeg.h"
#include "imaging/Bitmap.h"
#include "imaging/Bmp.h"
#include "imaging/Graphic.h"

namespace korvel::testing {

inline constexpr PixelFormat kPixelFormats[] = {
    PixelFormat::pf1bit,  PixelFormat::pf4bit,  PixelFormat::pf8bit,  PixelFormat::pf15bit,
    PixelFormat::pf16bit, PixelFormat::pf24bit, PixelFormat::pf32bit};

// Seeded noise valid for pf (a random palette for palette formats), optionally with an 8-bit mask.
inline TBitmap randomBitmap(PixelFormat pf, int w, int h, uint32_t seed, bool withMask = false) {
    TBitmap b(w, h, pf);
    std::mt19937 rng(seed);
    if (isPaletteFormat(pf)) {
        std::vector<RGBQuad> pal(size_t(1) << bitsPerPixel(pf));
        for (auto& q : pal) q = RGBQuad::of(rng() & 0xFFFFFF);
        b.setPalette(pal);
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setRawPixel(x, y, pf == PixelFormat::pf15bit ? rng() & 0x7FFF : rng());
    if (withMask) {
        auto m = std::make_unique<TBitmap>(w, h, PixelFormat::pf8bit);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) m->scanLine(y)[x] = uint8_t(rng());
        b.setMask(std::move(m));
    }
    return b;
}

// 24-bit colour ramps with blocks, as a photo that compresses well: every pixel differs from its
// neighbours, so swapped rows, columns or channels show.
inline TBitmap gradientBitmap(int w, int h) {
    TBitmap b(w, h, PixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setRawPixel(x, y, makeColor(uint8_t(x * 255 / (w > 1 ? w - 1 : 1)), uint8_t(y * 255 / (h > 1 ? h - 1 : 1)),
                                          uint8_t(((x / 8 + y / 8) % 2) ? 200 : 40)));
    return b;
}

inline void saveBmp(const TBitmap& b, const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    writeBmp(b, out);
}

// What the graphic writes when saved, as bytes.
inline std::vector<uint8_t> savedBytes(const TGraphic& g) {
    std::ostringstream out;
    g.saveToStream(out);
    const std::string s = out.str();
    return std::vector<uint8_t>(s.begin(), s.end());
}

inline std::vector<uint8_t> jpegBytes(const TBitmap& b, int quality = 90, bool progressive = false,
                                      bool grey = false) {
    TJPEGImage j;
    j.assign(b);
    j.compressionQuality = quality;
    j.progressiveEncoding = progressive;
    j.grayscale = grey;
    j.compress();
    return savedBytes(j);
}

inline TBitmap loadBmp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    TBitmap b;
    readBmp(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), b);
    return b;
}

// Nine 30 x 20 bitmaps folder/f0.bmp to f8.bmp, f<broken> not a picture; their paths.
inline std::vector<std::string> nineBitmaps(const std::string& folder, int broken) {
    std::vector<std::string> files;
    for (int i = 0; i < 9; ++i) {
        files.push_back(folder + "/f" + std::to_string(i) + ".bmp");
        if (i == broken) std::ofstream(files.back()) << "not an image";
        else saveBmp(gradientBitmap(30, 20), files.back());
    }
    return files;
}

// The bitmaps in folder by name, each as "name=WxH" without its extension.
inline std::string bitmapSizes(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(folder)) files[e.path().stem()] = e.path();
    std::string s;
    for (const auto& [name, path] : files) {
        const TBitmap b = loadBmp(path);
        s += (s.empty() ? "" : " ") + name + "=" + std::to_string(b.width()) + "x" + std::to_string(b.height());
    }
    return s;
}

// Where a and b differ in size or colour, whatever their pixel formats; "" when they do not.
inline std::string pixelDifference(const TBitmap& a, const TBitmap& b) {
    if (a.width() != b.width() || a.height() != b.height())
        return std::to_string(a.width()) + "x" + std::to_string(a.height()) + " vs " + std::to_string(b.width()) + "x" +
               std::to_string(b.height());
    std::vector<uint8_t> ra(size_t(a.width()) * 3), rb(ra.size());
    for (int y = 0; y < a.height(); ++y) {
        a.rowToBgr(y, ra.data());
        b.rowToBgr(y, rb.data());
        for (size_t i = 0; i < ra.size(); ++i)
            if (ra[i] != rb[i])
                return "pixel (" + std::to_string(i / 3) + ", " + std::to_string(y) + ") byte " + std::to_string(i % 3) +
                       ": " + std::to_string(ra[i]) + " vs " + std::to_string(rb[i]);
    }
    return "";
}

// Where a and b differ in alpha (mask, transparent colour or index); "" when they do not.
inline std::string alphaDifference(const TBitmap& a, const TBitmap& b) {
    if (a.width() != b.width() || a.height() != b.height()) return "size";
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.alphaAt(x, y) != b.alphaAt(x, y)) return "alpha at (" + std::to_string(x) + ", " + std::to_string(y) + ")";
    return "";
}

// Where a and b differ in format, stored row bytes (padding included) or palette; "" when they do not.
inline std::string byteDifference(const TBitmap& a, const TBitmap& b) {
    if (a.width() != b.width() || a.height() != b.height() || a.pixelFormat() != b.pixelFormat())
        return "size or format";
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.scanLine(y), b.scanLine(y), a.stride()) != 0) return "row " + std::to_string(y);
    return a.palette() == b.palette() ? "" : "palette";
}

}  // namespace korvel::testing
