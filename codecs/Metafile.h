#pragma once
// TMetafile: Windows metafiles (wmf, emf) are registered so that they are listed, but Korvel
// has no metafile renderer yet: loading fails with a message naming the format.
#include "imaging/Graphic.h"

namespace korvel {

class TMetafile : public TGraphic {
public:
    static const GraphicClass classInfo;

    const GraphicClass& graphicClass() const override { return classInfo; }
    int width() const override { return 0; }
    int height() const override { return 0; }
    const TBitmap* raster() const override { return nullptr; }
    void loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits& limits = {}) override;
};

}  // namespace korvel
