#pragma once
// A graphic whose picture is one decoded raster and nothing else (a GIF's first frame, an
// icon's chosen entry): size and raster come from that bitmap.
#include "imaging/Bitmap.h"
#include "imaging/Graphic.h"

namespace korvel {

class TRasterGraphic : public TGraphic {
public:
    int width() const override { return bitmap_.width(); }
    int height() const override { return bitmap_.height(); }
    const TBitmap* raster() const override { return &bitmap_; }
    const TBitmap& bitmap() const { return bitmap_; }

protected:
    TBitmap bitmap_;
};

}  // namespace korvel
