#pragma once
// TJPEGImage: JPEG files through libjpeg (libjpeg-turbo). The compressed data is kept and
// decoded on first use at the chosen scale, so a caller can pick the scale from the header.
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/Bitmap.h"
#include "base/FileBytes.h"
#include "imaging/Graphic.h"
#include "base/Limits.h"

namespace korvel {

enum class JpegScale { jsFullSize, jsHalf, jsQuarter, jsEighth };

class TJPEGImage : public TGraphic {
public:
    static const GraphicClass classInfo;

    TJPEGImage();
    ~TJPEGImage() override;
    const GraphicClass& graphicClass() const override { return classInfo; }

    // Size at the current scale (from the header; no decoding needed).
    int width() const override;
    int height() const override;
    bool empty() const override;
    const TBitmap* raster() const override { return &bitmap(); }
    bool rasterIsWholeImage() const override { return true; }
    void requestDecodeScale(int denominator) override;
    void requestDecodeSize(int requiredWidth, int requiredHeight) override;
    bool setRowStage(std::shared_ptr<RowStage> stage) override;

    // Reads the header; pixels are decoded lazily, within the limits given here. Throws
    // EInvalidGraphic for a bad header.
    void loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits& limits = {}) override;
    // Keeps the file's bytes as FileBytes gives them (a large file stays mapped, not copied).
    void loadFromFile(const std::string& path, const DecodeLimits& limits = {}) override;
    // Eight bytes a pixel: twice what the densest real files (quality 100, no subsampling,
    // four components) take; progressive scans and byte stuffing stay well inside it.
    uint64_t maxFileBytes(const DecodeLimits& limits) const override { return fileByteLimit(limits, 8); }
    // Writes the compressed data: the loaded file or the result of compress(); an assigned raster
    // not yet compressed is compressed with the current settings.
    void saveToStream(std::ostream& out) const override;

    JpegScale scale() const { return scale_; }
    // Changing the scale drops a decoded raster of another scale.
    void setScale(JpegScale s);

    // Decoded raster at the current scale: 24 bits, or 8 bits with a grey palette for greyscale
    // files. Throws EInvalidGraphic when the data cannot be decoded, EImageTooLarge over the
    // limits of the load. After assign() and before compress() it is the assigned raster.
    const TBitmap& bitmap() const;

    // Properties of the loaded or compressed data.
    bool progressive() const;
    bool isGrayscale() const;

    // Encoder settings.
    int compressionQuality = 90;  // 1..100
    bool progressiveEncoding = false;
    bool grayscale = false;  // encode as one grey channel
    // Takes a copy of a raster to be compressed (any pixel format).
    void assign(const TBitmap& source);
    // Compresses the assigned raster with the settings above; the object then holds and shows
    // the compressed image. Throws EInvalidGraphic.
    void compress();

private:
    struct Header;
    void setData(std::shared_ptr<const FileBytes> data, const DecodeLimits& limits);
    std::unique_ptr<TBitmap> decode() const;
    std::vector<uint8_t> encode() const;

    std::shared_ptr<const FileBytes> data_;  // compressed data, null when there is none
    std::unique_ptr<Header> header_;
    DecodeLimits limits_;
    JpegScale scale_ = JpegScale::jsFullSize;
    mutable std::unique_ptr<TBitmap> decoded_;
    std::shared_ptr<RowStage> stage_;
    std::unique_ptr<TBitmap> source_;
};

// Chooses the coarsest scale (1/8, 1/4, 1/2, full) whose scaled size covers the required size.
void ChooseJpegScale(TJPEGImage& jpeg, int requiredWidth, int requiredHeight);

}  // namespace korvel
