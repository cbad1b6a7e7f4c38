#pragma once
// TGLDPNG: PNG files, read into a TBitmap (plus an 8-bit mask raster holding 255 - alpha) and
// written from one. Inflate, deflate and the CRC-32 of written chunks come from zlib.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "imaging/Bitmap.h"
#include "base/Errors.h"
#include "imaging/Graphic.h"
#include "base/Limits.h"

namespace korvel {

class FileBytes;
class FrameSource;

// Every failure of the PNG codec; the message is the codec's own text.
class EGLDPNG : public EInvalidGraphic {
public:
    using EInvalidGraphic::EInvalidGraphic;
};

// pHYs: unit 0 = unknown (aspect ratio only), 1 = metre. The writer also accepts 2 = inch and
// converts it to pixels per metre.
struct PngPhysicalSize {
    uint8_t unit = 0;
    uint32_t pixelsPerUnitX = 0, pixelsPerUnitY = 0;
};

// tIME, in UTC.
struct PngTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    // Month 1..12, day 1..31, hour below 24, minute below 60, second below 61 (leap second).
    bool valid() const;
    static PngTime nowUtc();
};

class TGLDPNG : public TGraphic {
public:
    static const GraphicClass classInfo;

    static constexpr int kMinIdatSize = 256;
    static constexpr int kMaxIdatSize = 100000;

    const GraphicClass& graphicClass() const override { return classInfo; }
    int width() const override { return image_.width(); }
    int height() const override { return image_.height(); }
    const TBitmap* raster() const override { return &image_; }

    // The decoded or to-be-written image; its mask (if any) is the alpha channel as 255 - alpha.
    TBitmap& image() { return image_; }
    const TBitmap& image() const { return image_; }
    // Takes a copy of source with its mask; a transparent colour or index becomes the tRNS value.
    void assign(const TBitmap& source);

    // Replaces image and fields from a PNG file image. Throws EGLDPNG (or EImageTooLarge when
    // the file exceeds limits); on failure the graphic keeps its previous state.
    void loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits& limits = {}) override;
    // Nine bytes a pixel: 16-bit RGBA rows are eight, and filter bytes, stored deflate blocks
    // and chunk framing add well under one more.
    uint64_t maxFileBytes(const DecodeLimits& limits) const override { return fileByteLimit(limits, 9); }
    // Encodes image with the settings below. Throws EGLDPNG.
    void saveToStream(std::ostream& out) const override;

    int idatSize() const { return idatSize_; }
    // Bytes of compressed data per IDAT chunk; 256..100000, else EGLDPNG.
    void setIdatSize(int bytes);

    // Writer settings.
    int compressionLevel = -1;  // zlib level: -1 default, 0..9; other values are written as -1
    int filterMode = 1;         // 0 adaptive, 1 None, 2 Sub, 3 Up, 4 Average, 5 Paeth
    bool interlace = false;     // Adam7
    bool greyscale = false;

    // Reader options. read16Bit: an RGB file whose sBIT says 5,5,5 or 5,6,5 decodes to a
    // 15- or 16-bit raster. readPaletteAlpha: an 8-bit grey + alpha file written with the
    // palette-alpha flag takes its PLTE as colour table (how a palette image with a mask is stored).
    bool read16Bit = false;
    bool readPaletteAlpha = true;

    // Fields read from and written to the ancillary chunks.
    std::string comment;                // tEXt "Comment"
    // Every other tEXt keyword and its text in file order ("Software" is the writer's own).
    // Keywords are 1 to 79 bytes and neither part may hold a zero byte, else the writer fails.
    std::vector<std::pair<std::string, std::string>> texts;
    int64_t backgroundColor = -1;       // bKGD: -1 none, else 0x00RRGGBB or a palette index
    bool backgroundIsIndex = false;
    int64_t transparentColor = -1;      // tRNS: -1 none, else 0x00RRGGBB or a palette index
    bool transparentIsIndex = false;
    double gamma = 0.45455;             // gAMA / 100000
    std::optional<PngPhysicalSize> physicalSize;
    std::vector<uint8_t> significantBits;  // sBIT bytes as stored
    PngTime modificationTime;              // tIME of the last file read
    bool automaticTime = true;             // write the current UTC time rather than modificationTime
    std::optional<std::array<uint32_t, 8>> chromaticities;  // cHRM
    std::optional<std::array<uint8_t, 4>> gifgBlock;         // private gIFg block
    std::array<uint8_t, 2> privateFlags{0, 0};              // the tpNG flag bytes of the last file read

private:
    TBitmap image_;
    int idatSize_ = 32768;
};

// The frames of an animated PNG (acTL, fcTL and fdAT chunks), each decoded by TGLDPNG and
// composed on the canvas. Null for a PNG without an animation control chunk; throws EGLDPNG
// when the animation chunks are damaged.
std::unique_ptr<FrameSource> openPngFrames(std::shared_ptr<const FileBytes> bytes, const DecodeLimits& limits = {});

}  // namespace korvel
