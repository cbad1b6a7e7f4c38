#pragma once
// Turning a raster upright by its EXIF orientation.
#include "imaging/Bitmap.h"

namespace korvel {

// True for the orientations 5 to 8, whose upright picture swaps width and height.
inline bool orientationSwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

// The upright picture of a raster stored with the EXIF orientation (1 to 8; other values are
// taken as 1), with its mask, palette and transparency. 8, 24 and 32-bit rasters keep their
// format; 1 and 4-bit ones come out as 8 bits, 15 and 16-bit ones as 24.
TBitmap OrientUpright(const TBitmap& stored, int orientation);

// Puts the stored rows [from, to) where they belong in upright, a raster of the upright size and
// the stored 8, 24 or 32-bit format (no mask), for turning rows as a decoder finishes them.
void OrientRowsInto(const TBitmap& stored, TBitmap& upright, int orientation, int from, int to);
// Gives upright, whose pixels OrientRowsInto placed, the stored raster's palette, its mask turned
// the same way and its transparency.
void OrientExtrasInto(const TBitmap& stored, TBitmap& upright, int orientation);

}  // namespace korvel
