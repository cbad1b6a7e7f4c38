#pragma once
// Conversions between Korvel's raster and QImage, for display and the clipboard only.
#include <QImage>

namespace korvel {
class TBitmap;
}

// The raster as a QImage: RGB888 for opaque images, ARGB32 when the raster has a mask or a
// transparent colour or index.
QImage toQImage(const korvel::TBitmap& bitmap);
// A QImage as a 24-bit raster (alpha dropped).
korvel::TBitmap fromQImage(const QImage& image);
