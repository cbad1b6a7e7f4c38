#pragma once
// TBitmap: the decoded raster every viewer and converter uses, and the graphic class of
// Windows bitmap files. Rows are addressed top-down; each row is padded to 4 bytes, so the
// storage is exactly the pixel layout of a bottom-up bitmap file turned over.
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/Graphic.h"

namespace korvel {

enum class PixelFormat { pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };

int bitsPerPixel(PixelFormat pf);
bool isPaletteFormat(PixelFormat pf);

// Colour value 0x00RRGGBB.
using Color = uint32_t;
constexpr Color makeColor(uint8_t r, uint8_t g, uint8_t b) { return (Color(r) << 16) | (Color(g) << 8) | b; }
constexpr uint8_t redOf(Color c) { return uint8_t(c >> 16); }
constexpr uint8_t greenOf(Color c) { return uint8_t(c >> 8); }
constexpr uint8_t blueOf(Color c) { return uint8_t(c); }

// Palette entry in bitmap-file order.
struct RGBQuad {
    uint8_t rgbBlue = 0, rgbGreen = 0, rgbRed = 0, rgbReserved = 0;
    Color color() const { return makeColor(rgbRed, rgbGreen, rgbBlue); }
    static RGBQuad of(Color c) { return RGBQuad{blueOf(c), greenOf(c), redOf(c), 0}; }
    bool operator==(const RGBQuad&) const = default;
};

enum class Transparency { None, Color, Index };

// Zeroed pixel memory. Small rasters come from calloc; large ones are mapped straight from the
// system as zero pages, asked for as huge pages, so a big decode costs few page faults and no
// extra clearing pass.
class PixelBuffer {
public:
    PixelBuffer() = default;
    explicit PixelBuffer(size_t size);
    PixelBuffer(const PixelBuffer& other);
    PixelBuffer& operator=(const PixelBuffer& other);
    PixelBuffer(PixelBuffer&& other) noexcept { swap(other); }
    PixelBuffer& operator=(PixelBuffer&& other) noexcept;
    ~PixelBuffer();
    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    void allocate(size_t size);
    void release();
    void swap(PixelBuffer& other) noexcept;

    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    void* mapping_ = nullptr;  // the whole mapping of a large buffer, or null
    size_t mappingSize_ = 0;
};

class TBitmap : public TGraphic {
public:
    static const GraphicClass classInfo;

    TBitmap() = default;
    // A raster of the given size and format, pixels zero, default palette. Refuses more than
    // maxPixels pixels before allocating.
    TBitmap(int width, int height, PixelFormat pf, uint64_t maxPixels = kDefaultPixelLimit);
    TBitmap(const TBitmap& other);
    TBitmap& operator=(const TBitmap& other);
    TBitmap(TBitmap&&) noexcept = default;
    TBitmap& operator=(TBitmap&&) noexcept = default;

    const GraphicClass& graphicClass() const override { return classInfo; }
    int width() const override { return width_; }
    int height() const override { return height_; }
    const TBitmap* raster() const override { return this; }

    PixelFormat pixelFormat() const { return format_; }
    int bitsPerPixel() const { return korvel::bitsPerPixel(format_); }
    size_t stride() const { return stride_; }

    // Changes the size; pixels inside both the old and the new size are kept, new ones are zero.
    void setSize(int width, int height, uint64_t maxPixels = kDefaultPixelLimit);
    // Converts the pixels in place: exact to 15/16/24/32 bits (15/16 truncate), to palette
    // formats by nearest palette entry (the palette is kept when it already exists, else the default).
    void setPixelFormat(PixelFormat pf);
    // Converts any format to 24 bits per pixel and drops the palette.
    void convertTo24();

    uint8_t* scanLine(int y) { return pixels_.data() + size_t(y) * stride_; }
    const uint8_t* scanLine(int y) const { return pixels_.data() + size_t(y) * stride_; }
    uint8_t* bits() { return pixels_.data(); }
    const uint8_t* bits() const { return pixels_.data(); }

    // Colour table of palette formats (at most 256 entries).
    const std::vector<RGBQuad>& palette() const { return palette_; }
    void setPalette(std::vector<RGBQuad> palette);

    // Raw pixel value: palette index, or packed 15/16/24/32-bit value as stored (little-endian).
    uint32_t rawPixel(int x, int y) const;
    void setRawPixel(int x, int y, uint32_t value);
    // Colour of a pixel; an index beyond the palette reads as black.
    Color pixel(int x, int y) const;
    // Row y as blue, green, red triples (3 * width bytes).
    void rowToBgr(int y, uint8_t* out) const;

    // Optional 8-bit mask of the same size: 255 - alpha (0 = opaque).
    const TBitmap* mask() const { return mask_.get(); }
    TBitmap* mask() { return mask_.get(); }
    void setMask(std::unique_ptr<TBitmap> mask);
    void clearMask() { mask_.reset(); }

    Transparency transparency() const { return transparency_; }
    Color transparentColor() const { return transparentColor_; }
    int transparentIndex() const { return transparentIndex_; }
    void setTransparentColor(Color c);
    void setTransparentIndex(int index);
    void clearTransparency() { transparency_ = Transparency::None; }
    // 0 = fully transparent .. 255 = opaque, from mask, transparent colour or index.
    uint8_t alphaAt(int x, int y) const;

    // Windows bitmap file image: reading every common variant, writing file header,
    // 40-byte info header, palette and bottom-up padded rows.
    void loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits& limits = {}) override;
    void saveToStream(std::ostream& out) const override;
    // Four bytes a pixel: 32-bit rows, and RLE at its worst (a 2-byte run per pixel plus an
    // end-of-line code per row), never need more.
    uint64_t maxFileBytes(const DecodeLimits& limits) const override;

    // Releases the pixels; the bitmap becomes 0 x 0.
    void clear();

private:
    int width_ = 0, height_ = 0;
    PixelFormat format_ = PixelFormat::pf24bit;
    size_t stride_ = 0;
    PixelBuffer pixels_;
    std::vector<RGBQuad> palette_;
    std::unique_ptr<TBitmap> mask_;
    Transparency transparency_ = Transparency::None;
    Color transparentColor_ = 0;
    int transparentIndex_ = -1;
};

// The palette a new raster of this format starts with: black and white, the 16 VGA colours,
// or a 6x6x6 colour cube followed by a grey ramp.
std::vector<RGBQuad> defaultPalette(PixelFormat pf);
// Index of the palette entry nearest to c (squared RGB distance); 0 for an empty palette.
int nearestPaletteIndex(const std::vector<RGBQuad>& palette, Color c);
// Packs a colour into a 15-bit (x1r5g5b5) or 16-bit (r5g6b5) value, and back (top bits repeated).
uint16_t packColor15(Color c);
uint16_t packColor16(Color c);
Color unpackColor15(uint16_t v);
Color unpackColor16(uint16_t v);

}  // namespace korvel
