#include "imaging/Bitmap.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "imaging/Bmp.h"
#include "base/Errors.h"
#include "base/Limits.h"

namespace korvel {

const GraphicClass TBitmap::classInfo{"TBitmap", &TGraphic::classInfo,
                                      [] { return std::unique_ptr<TGraphic>(new TBitmap); }};

int bitsPerPixel(PixelFormat pf) {
    switch (pf) {
        case PixelFormat::pf1bit: return 1;
        case PixelFormat::pf4bit: return 4;
        case PixelFormat::pf8bit: return 8;
        case PixelFormat::pf15bit: return 15;
        case PixelFormat::pf16bit: return 16;
        case PixelFormat::pf24bit: return 24;
        case PixelFormat::pf32bit: return 32;
    }
    return 24;
}

bool isPaletteFormat(PixelFormat pf) {
    return pf == PixelFormat::pf1bit || pf == PixelFormat::pf4bit || pf == PixelFormat::pf8bit;
}

namespace {
// 15-bit pixels are stored in 16 bits.
int storageBits(PixelFormat pf) { return pf == PixelFormat::pf15bit ? 16 : bitsPerPixel(pf); }
uint8_t widen5(unsigned v) { return uint8_t((v << 3) | (v >> 2)); }
uint8_t widen6(unsigned v) { return uint8_t((v << 2) | (v >> 4)); }
}  // namespace

uint16_t packColor15(Color c) { return uint16_t(((redOf(c) >> 3) << 10) | ((greenOf(c) >> 3) << 5) | (blueOf(c) >> 3)); }
uint16_t packColor16(Color c) { return uint16_t(((redOf(c) >> 3) << 11) | ((greenOf(c) >> 2) << 5) | (blueOf(c) >> 3)); }
Color unpackColor15(uint16_t v) { return makeColor(widen5((v >> 10) & 31), widen5((v >> 5) & 31), widen5(v & 31)); }
Color unpackColor16(uint16_t v) { return makeColor(widen5((v >> 11) & 31), widen6((v >> 5) & 63), widen5(v & 31)); }

std::vector<RGBQuad> defaultPalette(PixelFormat pf) {
    std::vector<RGBQuad> pal;
    switch (pf) {
        case PixelFormat::pf1bit:
            pal = {RGBQuad::of(0x000000), RGBQuad::of(0xFFFFFF)};
            break;
        case PixelFormat::pf4bit:
            for (Color c : {0x000000u, 0x800000u, 0x008000u, 0x808000u, 0x000080u, 0x800080u, 0x008080u, 0x808080u,
                            0xC0C0C0u, 0xFF0000u, 0x00FF00u, 0xFFFF00u, 0x0000FFu, 0xFF00FFu, 0x00FFFFu, 0xFFFFFFu})
                pal.push_back(RGBQuad::of(c));
            break;
        case PixelFormat::pf8bit:
            for (int r = 0; r < 6; ++r)
                for (int g = 0; g < 6; ++g)
                    for (int b = 0; b < 6; ++b) pal.push_back(RGBQuad::of(makeColor(r * 51, g * 51, b * 51)));
            for (int i = 0; i < 40; ++i) {
                uint8_t v = uint8_t((i * 255 + 19) / 39);
                pal.push_back(RGBQuad::of(makeColor(v, v, v)));
            }
            break;
        default:
            break;
    }
    return pal;
}

int nearestPaletteIndex(const std::vector<RGBQuad>& palette, Color c) {
    int best = 0;
    long bestDist = -1;
    for (size_t i = 0; i < palette.size(); ++i) {
        long dr = long(palette[i].rgbRed) - redOf(c), dg = long(palette[i].rgbGreen) - greenOf(c),
             db = long(palette[i].rgbBlue) - blueOf(c);
        long d = dr * dr + dg * dg + db * db;
        if (bestDist < 0 || d < bestDist) {
            bestDist = d;
            best = int(i);
            if (d == 0) break;
        }
    }
    return best;
}

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kMapThreshold = 4 * kHugePage;
}  // namespace

void PixelBuffer::allocate(size_t size) {
    size_ = size;
    if (size == 0) return;
    if (size < kMapThreshold) {
        data_ = static_cast<uint8_t*>(std::calloc(size, 1));
        if (!data_) throw std::bad_alloc();
        return;
    }
    // Over-map by one huge page so the pixels can start on a huge-page boundary.
    mappingSize_ = size + kHugePage;
    void* base = ::mmap(nullptr, mappingSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) throw std::bad_alloc();
    mapping_ = base;
    const uintptr_t aligned = (reinterpret_cast<uintptr_t>(base) + kHugePage - 1) & ~(kHugePage - 1);
    data_ = reinterpret_cast<uint8_t*>(aligned);
    ::madvise(data_, size, MADV_HUGEPAGE);
}

void PixelBuffer::release() {
    if (mapping_) ::munmap(mapping_, mappingSize_);
    else std::free(data_);
    data_ = nullptr;
    mapping_ = nullptr;
    size_ = mappingSize_ = 0;
}

void PixelBuffer::swap(PixelBuffer& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(mapping_, other.mapping_);
    std::swap(mappingSize_, other.mappingSize_);
}

PixelBuffer::PixelBuffer(size_t size) { allocate(size); }

PixelBuffer::PixelBuffer(const PixelBuffer& other) {
    allocate(other.size_);
    if (size_) std::memcpy(data_, other.data_, size_);
}

PixelBuffer& PixelBuffer::operator=(const PixelBuffer& other) {
    if (this != &other) {
        PixelBuffer copy(other);
        swap(copy);
    }
    return *this;
}

PixelBuffer& PixelBuffer::operator=(PixelBuffer&& other) noexcept {
    if (this != &other) {
        release();
        swap(other);
    }
    return *this;
}

PixelBuffer::~PixelBuffer() { release(); }

TBitmap::TBitmap(int width, int height, PixelFormat pf, uint64_t maxPixels) : format_(pf) {
    palette_ = defaultPalette(pf);
    setSize(width, height, maxPixels);
}

TBitmap::TBitmap(const TBitmap& other)
    : TGraphic(),
      width_(other.width_),
      height_(other.height_),
      format_(other.format_),
      stride_(other.stride_),
      pixels_(other.pixels_),
      palette_(other.palette_),
      mask_(other.mask_ ? std::make_unique<TBitmap>(*other.mask_) : nullptr),
      transparency_(other.transparency_),
      transparentColor_(other.transparentColor_),
      transparentIndex_(other.transparentIndex_) {}

TBitmap& TBitmap::operator=(const TBitmap& other) {
    if (this != &other) {
        TBitmap copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void TBitmap::clear() {
    width_ = height_ = 0;
    stride_ = 0;
    pixels_ = PixelBuffer();
    mask_.reset();
}

void TBitmap::setSize(int width, int height, uint64_t maxPixels) {
    if (width == width_ && height == height_) return;
    if (width <= 0 || height <= 0) {
        clear();
        return;
    }
    checkImageSize(width, height, storageBits(format_), maxPixels);
    size_t newStride = paddedRowBytes(width, storageBits(format_));
    PixelBuffer grown(checkedMul(newStride, size_t(height)));
    int keepRows = std::min(height, height_);
    size_t keepBytes = std::min(newStride, stride_);
    for (int y = 0; y < keepRows; ++y) std::memcpy(grown.data() + size_t(y) * newStride, scanLine(y), keepBytes);
    pixels_ = std::move(grown);
    stride_ = newStride;
    width_ = width;
    height_ = height;
    if (mask_) mask_->setSize(width, height, maxPixels);
}

void TBitmap::setPalette(std::vector<RGBQuad> palette) {
    if (palette.size() > 256) palette.resize(256);
    palette_ = std::move(palette);
}

void TBitmap::setMask(std::unique_ptr<TBitmap> mask) {
    if (mask && (mask->width() != width_ || mask->height() != height_ || mask->pixelFormat() != PixelFormat::pf8bit))
        throw EInvalidGraphic("Mask raster must be 8 bits per pixel and of the image's size");
    mask_ = std::move(mask);
}

void TBitmap::setTransparentColor(Color c) {
    transparency_ = Transparency::Color;
    transparentColor_ = c & 0xFFFFFF;
}

void TBitmap::setTransparentIndex(int index) {
    transparency_ = Transparency::Index;
    transparentIndex_ = index;
}

uint32_t TBitmap::rawPixel(int x, int y) const {
    const uint8_t* row = scanLine(y);
    switch (format_) {
        case PixelFormat::pf1bit: return (row[x >> 3] >> (7 - (x & 7))) & 1;
        case PixelFormat::pf4bit: return (x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4;
        case PixelFormat::pf8bit: return row[x];
        case PixelFormat::pf15bit:
        case PixelFormat::pf16bit: return row[2 * x] | (row[2 * x + 1] << 8);
        case PixelFormat::pf24bit: return row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
        case PixelFormat::pf32bit:
            return row[4 * x] | (row[4 * x + 1] << 8) | (row[4 * x + 2] << 16) | (uint32_t(row[4 * x + 3]) << 24);
    }
    return 0;
}

void TBitmap::setRawPixel(int x, int y, uint32_t v) {
    uint8_t* row = scanLine(y);
    switch (format_) {
        case PixelFormat::pf1bit: {
            uint8_t bit = uint8_t(0x80 >> (x & 7));
            row[x >> 3] = (v & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
            break;
        }
        case PixelFormat::pf4bit:
            row[x >> 1] = (x & 1) ? uint8_t((row[x >> 1] & 0xF0) | (v & 15)) : uint8_t((row[x >> 1] & 0x0F) | (v & 15) << 4);
            break;
        case PixelFormat::pf8bit: row[x] = uint8_t(v); break;
        case PixelFormat::pf15bit:
        case PixelFormat::pf16bit:
            row[2 * x] = uint8_t(v);
            row[2 * x + 1] = uint8_t(v >> 8);
            break;
        case PixelFormat::pf24bit:
            row[3 * x] = uint8_t(v);
            row[3 * x + 1] = uint8_t(v >> 8);
            row[3 * x + 2] = uint8_t(v >> 16);
            break;
        case PixelFormat::pf32bit: std::memcpy(row + 4 * x, &v, 4); break;
    }
}

Color TBitmap::pixel(int x, int y) const {
    uint32_t v = rawPixel(x, y);
    switch (format_) {
        case PixelFormat::pf1bit:
        case PixelFormat::pf4bit:
        case PixelFormat::pf8bit: return v < palette_.size() ? palette_[v].color() : 0;
        case PixelFormat::pf15bit: return unpackColor15(uint16_t(v));
        case PixelFormat::pf16bit: return unpackColor16(uint16_t(v));
        case PixelFormat::pf24bit:
        case PixelFormat::pf32bit: return v & 0xFFFFFF;
    }
    return 0;
}

void TBitmap::rowToBgr(int y, uint8_t* out) const {
    const uint8_t* row = scanLine(y);
    switch (format_) {
        case PixelFormat::pf24bit: std::memcpy(out, row, size_t(width_) * 3); return;
        case PixelFormat::pf32bit:
            for (int x = 0; x < width_; ++x, out += 3, row += 4) out[0] = row[0], out[1] = row[1], out[2] = row[2];
            return;
        default: break;
    }
    for (int x = 0; x < width_; ++x, out += 3) {
        Color c = pixel(x, y);
        out[0] = blueOf(c), out[1] = greenOf(c), out[2] = redOf(c);
    }
}

void TBitmap::setPixelFormat(PixelFormat pf) {
    if (pf == format_) return;
    if (empty()) {
        format_ = pf;
        palette_ = isPaletteFormat(pf) ? defaultPalette(pf) : std::vector<RGBQuad>{};
        return;
    }
    TBitmap out(width_, height_, pf);
    if (isPaletteFormat(pf) && isPaletteFormat(format_) && palette_.size() <= (size_t(1) << korvel::bitsPerPixel(pf)))
        out.palette_ = palette_;
    std::vector<uint8_t> bgr(size_t(width_) * 3);
    for (int y = 0; y < height_; ++y) {
        rowToBgr(y, bgr.data());
        for (int x = 0; x < width_; ++x) {
            Color c = makeColor(bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]);
            uint32_t v;
            switch (pf) {
                case PixelFormat::pf15bit: v = packColor15(c); break;
                case PixelFormat::pf16bit: v = packColor16(c); break;
                case PixelFormat::pf24bit:
                case PixelFormat::pf32bit: v = c; break;
                default:
                    v = (isPaletteFormat(format_) && out.palette_ == palette_) ? rawPixel(x, y)
                                                                            : uint32_t(nearestPaletteIndex(out.palette_, c));
                    break;
            }
            out.setRawPixel(x, y, v);
        }
    }
    out.mask_ = std::move(mask_);
    out.transparency_ = transparency_;
    out.transparentColor_ = transparentColor_;
    out.transparentIndex_ = transparentIndex_;
    if (transparency_ == Transparency::Index && !isPaletteFormat(pf)) {
        out.transparency_ = Transparency::Color;
        out.transparentColor_ = size_t(transparentIndex_) < palette_.size() ? palette_[transparentIndex_].color() : 0;
    }
    *this = std::move(out);
}

void TBitmap::convertTo24() {
    setPixelFormat(PixelFormat::pf24bit);
    palette_.clear();
}

uint8_t TBitmap::alphaAt(int x, int y) const {
    if (mask_) return uint8_t(255 - mask_->scanLine(y)[x]);
    switch (transparency_) {
        case Transparency::None: return 255;
        case Transparency::Index: return int(rawPixel(x, y)) == transparentIndex_ && isPaletteFormat(format_) ? 0 : 255;
        case Transparency::Color: return pixel(x, y) == transparentColor_ ? 0 : 255;
    }
    return 255;
}

void TBitmap::loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits& limits) {
    TBitmap decoded;
    readBmp(data, size, decoded, limits.maxPixels);
    *this = std::move(decoded);
}

void TBitmap::saveToStream(std::ostream& out) const { writeBmp(*this, out); }

uint64_t TBitmap::maxFileBytes(const DecodeLimits& limits) const { return fileByteLimit(limits, 4); }

}  // namespace korvel
