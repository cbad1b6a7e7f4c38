#pragma once
// The plain stretch: nearest-neighbour scaling that drops or repeats rows and columns without
// blending. A destination rectangle with right < left (or bottom < top) mirrors that axis: the
// rectangle (W-1, H-1)-(-1, -1) turns a W x H image half a turn.
#include "imaging/Graphic.h"

namespace korvel {

class TBitmap;

// Copies srcRect of src onto dstRect of dst. Pixels are converted to dst's pixel format
// (palette destinations take the nearest entry); same-format copies move raw pixel values.
// Parts of dstRect outside dst are clipped.
void stretchCopy(const TBitmap& src, const Rect& srcRect, TBitmap& dst, const Rect& dstRect);

// As stretchCopy, but honours the source's transparency: masked pixels blend by their alpha,
// pixels of the transparent colour or index are skipped.
void stretchDraw(const TBitmap& src, const Rect& srcRect, TBitmap& dst, const Rect& dstRect);

}  // namespace korvel
