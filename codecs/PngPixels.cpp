#include "codecs/PngPixels.h"

#include <cstring>

#include "codecs/PngChunks.h"
#include "base/Limits.h"

namespace korvel::png {

int Header::channels() const {
    switch (baseType) {
        case kGrey: return hasAlpha ? 2 : 1;
        case kRgb: return hasAlpha ? 4 : 3;
        default: return 1;
    }
}

size_t packedRowBytes(uint64_t pixels, int bitsPerPixel) {
    return checkedAdd(checkedMul(size_t(pixels), size_t(bitsPerPixel)), 7) / 8;
}

namespace {

// Two 2-bit samples per nibble pair: 0xAB -> 0x0A 0x0B style widening of 2-bit indices to 4 bits.
struct Widen2Table {
    uint16_t v[256];
    constexpr Widen2Table() : v{} {
        for (int b = 0; b < 256; ++b) {
            const int p0 = (b >> 6) & 3, p1 = (b >> 4) & 3, p2 = (b >> 2) & 3, p3 = b & 3;
            v[b] = uint16_t(((p0 << 4 | p1) << 8) | (p2 << 4 | p3));  // first output byte high
        }
    }
};
constexpr Widen2Table kWiden2;

}  // namespace

RowDecoder::RowDecoder(const Header& hdr, const std::vector<uint8_t>& sbit, bool read16Bit) : header_(hdr) {
    const uint8_t d = hdr.depth;
    switch (hdr.baseType) {
        case kGrey:
            if (hdr.hasAlpha) {
                if (d < 8) fail(msg::kAlphaDepth);
                if (d != 8 && d != 16) fail(msg::kGreyDepth);
                format_ = PixelFormat::pf8bit;
                kind_ = d == 8 ? Kind::GreyAlpha8 : Kind::GreyAlpha16;
                return;
            }
            switch (d) {
                case 1: format_ = PixelFormat::pf1bit, kind_ = Kind::Copy; return;
                case 2: format_ = PixelFormat::pf4bit, kind_ = Kind::Widen2To4; return;
                case 4: format_ = PixelFormat::pf4bit, kind_ = Kind::Copy; return;
                case 8: format_ = PixelFormat::pf8bit, kind_ = Kind::Copy; return;
                case 16: format_ = PixelFormat::pf8bit, kind_ = Kind::Grey16; return;
                default: fail(msg::kGreyDepth);
            }
        case kRgb: {
            if (d != 8 && d != 16) fail(msg::kDepth);
            kind_ = hdr.hasAlpha ? (d == 8 ? Kind::Rgba8 : Kind::Rgba16) : (d == 8 ? Kind::Rgb8 : Kind::Rgb16);
            format_ = PixelFormat::pf24bit;
            if (read16Bit && sbit.size() >= 3 && sbit[0] == 5 && sbit[2] == 5) {
                if (sbit[1] == 5) format_ = PixelFormat::pf15bit;
                if (sbit[1] == 6) format_ = PixelFormat::pf16bit;
            }
            return;
        }
        default:
            switch (d) {
                case 1: format_ = PixelFormat::pf1bit, kind_ = Kind::Copy; return;
                case 2: format_ = PixelFormat::pf4bit, kind_ = Kind::Widen2To4; return;
                case 4: format_ = PixelFormat::pf4bit, kind_ = Kind::Copy; return;
                case 8: format_ = PixelFormat::pf8bit, kind_ = Kind::Copy; return;
                default: fail(msg::kDepth);
            }
    }
}

std::vector<RGBQuad> RowDecoder::greyRamp() const {
    if (header_.baseType != kGrey) return {};
    const int levels = header_.depth == 1 ? 2 : header_.depth == 2 ? 4 : header_.depth == 4 ? 16 : 256;
    const int step = 255 / (levels - 1);
    std::vector<RGBQuad> ramp(static_cast<size_t>(levels));
    for (int i = 0; i < levels; ++i) {
        const uint8_t v = uint8_t(i * step);
        ramp[size_t(i)] = RGBQuad{v, v, v, 0};
    }
    return ramp;
}

void RowDecoder::setPaletteAlpha(const std::array<uint8_t, 256>& alpha) {
    paletteAlpha_ = true;
    alpha_ = alpha;
}

void RowDecoder::convert(const uint8_t* png, int count, uint8_t* raster, uint8_t* mask) const {
    const size_t n = size_t(count);
    if (format_ == PixelFormat::pf15bit || format_ == PixelFormat::pf16bit) return packRgb(png, count, raster, mask);
    switch (kind_) {
        case Kind::Copy: std::memcpy(raster, png, packedRowBytes(n, header_.depth)); break;
        case Kind::Widen2To4: {
            const size_t outBytes = (n + 1) / 2;
            for (size_t i = 0; i < outBytes; ++i) {
                const uint16_t w = kWiden2.v[png[i / 2]];
                raster[i] = uint8_t((i & 1) ? w : w >> 8);
            }
            break;
        }
        case Kind::Grey16:
            for (size_t i = 0; i < n; ++i) raster[i] = png[2 * i];
            break;
        case Kind::GreyAlpha8:
            for (size_t i = 0; i < n; ++i) raster[i] = png[2 * i], mask[i] = uint8_t(255 - png[2 * i + 1]);
            break;
        case Kind::GreyAlpha16:
            for (size_t i = 0; i < n; ++i) raster[i] = png[4 * i], mask[i] = uint8_t(255 - png[4 * i + 2]);
            break;
        case Kind::Rgb8:
            for (size_t i = 0; i < n; ++i, png += 3, raster += 3) raster[0] = png[2], raster[1] = png[1], raster[2] = png[0];
            break;
        case Kind::Rgb16:
            for (size_t i = 0; i < n; ++i, png += 6, raster += 3) raster[0] = png[4], raster[1] = png[2], raster[2] = png[0];
            break;
        case Kind::Rgba8:
            for (size_t i = 0; i < n; ++i, png += 4, raster += 3) {
                raster[0] = png[2], raster[1] = png[1], raster[2] = png[0];
                mask[i] = uint8_t(255 - png[3]);
            }
            break;
        case Kind::Rgba16:
            for (size_t i = 0; i < n; ++i, png += 8, raster += 3) {
                raster[0] = png[4], raster[1] = png[2], raster[2] = png[0];
                mask[i] = uint8_t(255 - png[6]);
            }
            break;
    }
    if (paletteAlpha_) paletteMask(raster, count, mask);
}

void RowDecoder::paletteMask(const uint8_t* raster, int count, uint8_t* mask) const {
    const int bits = bitsPerPixel(format_);
    for (int x = 0; x < count; ++x) {
        unsigned index;
        if (bits == 8) index = raster[x];
        else if (bits == 4) index = (x & 1) ? raster[x >> 1] & 15 : raster[x >> 1] >> 4;
        else index = (raster[x >> 3] >> (7 - (x & 7))) & 1;
        mask[x] = uint8_t(255 - alpha_[index]);
    }
}

void RowDecoder::packRgb(const uint8_t* png, int count, uint8_t* raster, uint8_t* mask) const {
    const int sample = header_.depth / 8, step = header_.channels() * sample;
    const bool is15 = format_ == PixelFormat::pf15bit;
    for (int x = 0; x < count; ++x, png += step) {
        const Color c = makeColor(png[0], png[sample], png[2 * sample]);
        const uint16_t v = is15 ? packColor15(c) : packColor16(c);
        raster[2 * x] = uint8_t(v), raster[2 * x + 1] = uint8_t(v >> 8);
        if (header_.hasAlpha) mask[x] = uint8_t(255 - png[3 * sample]);
    }
}

// ---- writing ----

int WriteLayout::channels() const {
    switch (colorType) {
        case kGreyAlpha: return 2;
        case kRgb: return 3;
        case kRgba: return 4;
        default: return 1;
    }
}

uint8_t greyOf(Color c) { return uint8_t((redOf(c) * 77 + greenOf(c) * 150 + blueOf(c) * 29) / 256); }

uint8_t greyAtDepth(uint8_t grey, int depth) {
    if (depth == 1) return grey > 127 ? 1 : 0;
    if (depth == 4) return uint8_t(grey / 16);
    return grey;
}

WriteLayout chooseWriteLayout(const TBitmap& image, bool greyscale) {
    const TBitmap* m = image.mask();
    const bool hasMask = m && m->width() == image.width() && m->height() == image.height() &&
                         m->pixelFormat() == PixelFormat::pf8bit;
    WriteLayout l;
    if (isPaletteFormat(image.pixelFormat())) {
        const uint8_t depth = uint8_t(image.bitsPerPixel());
        if (hasMask) {
            // PNG has no palette + alpha-channel type: grey + alpha carries the alpha, and the
            // pixels are either grey levels or (with the palette-alpha flag) raw indices.
            l.colorType = kGreyAlpha, l.depth = 8;
            l.greyFromPalette = greyscale;
            l.paletteAlpha = !greyscale;
        } else if (greyscale) {
            l.colorType = kGrey, l.depth = depth, l.greyFromPalette = true;
        } else {
            l.colorType = kPalette, l.depth = depth;
        }
        return l;
    }
    l.depth = 8;
    if (greyscale) l.colorType = hasMask ? kGreyAlpha : kGrey;
    else l.colorType = hasMask ? kRgba : kRgb;
    return l;
}

namespace {

inline Color directColor(PixelFormat pf, const uint8_t* row, int x) {
    switch (pf) {
        case PixelFormat::pf15bit: return unpackColor15(uint16_t(row[2 * x] | row[2 * x + 1] << 8));
        case PixelFormat::pf16bit: return unpackColor16(uint16_t(row[2 * x] | row[2 * x + 1] << 8));
        case PixelFormat::pf32bit: return makeColor(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
        default: return makeColor(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    }
}

// Grey level (or raw index) of pixel x of any raster row.
inline uint8_t greyOrIndex(const TBitmap& image, const uint8_t* row, int x, const WriteLayout& l) {
    const PixelFormat pf = image.pixelFormat();
    if (!isPaletteFormat(pf)) return greyOf(directColor(pf, row, x));
    unsigned index = pf == PixelFormat::pf8bit   ? row[x]
                     : pf == PixelFormat::pf4bit ? ((x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4)
                                                 : (row[x >> 3] >> (7 - (x & 7))) & 1;
    if (l.paletteAlpha) return uint8_t(index);
    const auto& pal = image.palette();
    return index < pal.size() ? greyOf(pal[index].color()) : 0;
}

}  // namespace

void encodeRow(const TBitmap& image, const WriteLayout& l, int y, uint8_t* png) {
    const int w = image.width();
    const uint8_t* row = image.scanLine(y);
    const PixelFormat pf = image.pixelFormat();
    const uint8_t* mask = (l.colorType == kGreyAlpha || l.colorType == kRgba) ? image.mask()->scanLine(y) : nullptr;
    switch (l.colorType) {
        case kPalette: std::memcpy(png, row, packedRowBytes(size_t(w), l.depth)); return;
        case kGrey:
            if (l.depth == 8) {
                for (int x = 0; x < w; ++x) png[x] = greyOrIndex(image, row, x, l);
                return;
            }
            std::memset(png, 0, packedRowBytes(size_t(w), l.depth));
            for (int x = 0; x < w; ++x) {
                const unsigned v = greyAtDepth(greyOrIndex(image, row, x, l), l.depth);
                if (l.depth == 4) png[x >> 1] |= uint8_t((x & 1) ? v : v << 4);
                else png[x >> 3] |= uint8_t(v << (7 - (x & 7)));
            }
            return;
        case kGreyAlpha:
            for (int x = 0; x < w; ++x) png[2 * x] = greyOrIndex(image, row, x, l), png[2 * x + 1] = uint8_t(255 - mask[x]);
            return;
        case kRgb:
            if (pf == PixelFormat::pf24bit) {
                for (int x = 0; x < w; ++x, row += 3, png += 3) png[0] = row[2], png[1] = row[1], png[2] = row[0];
                return;
            }
            for (int x = 0; x < w; ++x, png += 3) {
                const Color c = directColor(pf, row, x);
                png[0] = redOf(c), png[1] = greenOf(c), png[2] = blueOf(c);
            }
            return;
        default:  // RGBA
            if (pf == PixelFormat::pf24bit) {
                for (int x = 0; x < w; ++x, row += 3, png += 4)
                    png[0] = row[2], png[1] = row[1], png[2] = row[0], png[3] = uint8_t(255 - mask[x]);
                return;
            }
            for (int x = 0; x < w; ++x, png += 4) {
                const Color c = directColor(pf, row, x);
                png[0] = redOf(c), png[1] = greenOf(c), png[2] = blueOf(c), png[3] = uint8_t(255 - mask[x]);
            }
            return;
    }
}

}  // namespace korvel::png
