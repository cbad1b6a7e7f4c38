#pragma once
// TIcon: Windows icon files. The entry a viewer should show (largest, then deepest) is decoded;
// its AND mask (or alpha channel) becomes the raster's mask.
#include "base/Limits.h"
#include "codecs/RasterGraphic.h"

namespace korvel {

class TIcon : public TRasterGraphic {
public:
    static const GraphicClass classInfo;

    const GraphicClass& graphicClass() const override { return classInfo; }

    void loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits& limits = {}) override;
    // An icon's images are bitmaps or PNG files: the PNG bound covers both.
    uint64_t maxFileBytes(const DecodeLimits& limits) const override { return fileByteLimit(limits, 9); }
};

}  // namespace korvel
