#pragma once
// TIcon: Windows icon files. The entry a viewer should show (largest, then deepest) is decoded;
// its AND mask (or alpha channel) becomes the raster's mask.
#include "imaging/Bitmap.h"
#include "imaging/Graphic.h"
#include "base/Limits.h"

namespace korvel {

class TIcon : public TGraphic {
public:
    static const GraphicClass classInfo;

    const GraphicClass& graphicClass() const override { return classInfo; }
    int width() const override { return bitmap_.width(); }
    int height() const override { return bitmap_.height(); }
    const TBitmap* raster() const override { return &bitmap_; }
    const TBitmap& bitmap() const { return bitmap_; }

    void loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits& limits = {}) override;
    // An icon's images are bitmaps or PNG files: the PNG bound covers both.
    uint64_t maxFileBytes(const DecodeLimits& limits) const override { return fileByteLimit(limits, 9); }

private:
    TBitmap bitmap_;
};

}  // namespace korvel
