#pragma once
// Pixel layouts: which raster a PNG decodes into and how a decoded PNG row becomes a raster row
// (and mask row); which PNG type a raster is written as and how a raster row becomes a PNG row.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/Bitmap.h"

namespace korvel::png {

enum ColorType : uint8_t { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgba = 6 };

// IHDR as read. baseType is the colour type's low three bits with the alpha bit taken out
// (0 grey, 2 RGB, 3 palette); hasAlpha is set for types 4 and 6.
struct Header {
    uint32_t width = 0, height = 0;
    uint8_t depth = 0, colorType = 0, compression = 0, filter = 0, interlace = 0;
    uint8_t baseType = 0;
    bool hasAlpha = false;

    int channels() const;
    int bitsPerPixel() const { return channels() * depth; }
    // Filter step: (bits per pixel + 7) div 8.
    int filterBpp() const { return (bitsPerPixel() + 7) / 8; }
};

// Bytes of a packed row of `pixels` pixels at bitsPerPixel; throws EImageTooLarge on overflow.
size_t packedRowBytes(uint64_t pixels, int bitsPerPixel);

// The raster a PNG decodes into and how its rows are converted.
class RowDecoder {
public:
    // Chooses the raster for hdr (throws EGLDPNG with the bit-depth messages). sbit: the sBIT
    // bytes read so far; read16Bit: the codec's option for 5,5,5 / 5,6,5 RGB files.
    RowDecoder(const Header& hdr, const std::vector<uint8_t>& sbit, bool read16Bit);

    PixelFormat rasterFormat() const { return format_; }
    // The mask raster is filled from the alpha channel or from a palette alpha table.
    bool producesMask() const { return header_.hasAlpha || paletteAlpha_; }
    // Grey ramp for grey rasters (2, 4, 16 or 256 levels); empty for the others.
    std::vector<RGBQuad> greyRamp() const;
    // Turns palette pixels into mask values 255 - alpha[index].
    void setPaletteAlpha(const std::array<uint8_t, 256>& alpha);

    // Converts `count` decoded PNG pixels into raster pixels (packed at the raster depth) and,
    // when producesMask(), mask bytes.
    void convert(const uint8_t* png, int count, uint8_t* raster, uint8_t* mask) const;

private:
    enum class Kind { Copy, Widen2To4, Grey16, GreyAlpha8, GreyAlpha16, Rgb8, Rgb16, Rgba8, Rgba16 };
    void paletteMask(const uint8_t* raster, int count, uint8_t* mask) const;
    void packRgb(const uint8_t* png, int count, uint8_t* raster, uint8_t* mask) const;

    Header header_;
    PixelFormat format_ = PixelFormat::pf24bit;
    Kind kind_ = Kind::Copy;
    bool paletteAlpha_ = false;
    std::array<uint8_t, 256> alpha_{};
};

// The PNG type a raster is written as.
struct WriteLayout {
    uint8_t colorType = kRgb;
    uint8_t depth = 8;
    bool greyFromPalette = false;  // palette pixels written as grey levels of their entries
    bool paletteAlpha = false;     // palette pixels written as raw indices with alpha (grey + alpha type)
    int channels() const;
    int bitsPerPixel() const { return channels() * depth; }
};

// Greyscale value (red x 77 + green x 150 + blue x 29) / 256, and its form at a grey depth of
// 1 (1 above 127), 4 (value / 16) or 8.
uint8_t greyOf(Color c);
uint8_t greyAtDepth(uint8_t grey, int depth);

WriteLayout chooseWriteLayout(const TBitmap& image, bool greyscale);

// Fills png with row y of image in the layout's form (full width).
void encodeRow(const TBitmap& image, const WriteLayout& layout, int y, uint8_t* png);

}  // namespace korvel::png
