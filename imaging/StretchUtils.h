#pragma once
// Quality resampling in place and lossless quarter and half turns.
#include <memory>

#include "base/Errors.h"

namespace korvel {

class TBitmap;

// Receives a percentage; may be absent.
using TStretchProgress = void (*)(int percent);

// Resamples bitmap in place to newWidth x newHeight (cubic enlargement, area-average
// reduction, bilinear for images one pixel wide or high); the result is 24 bits per pixel.
// Throws korvel::Exception for a new size below 1 or when work memory cannot be had.
void StretchBitmap(TBitmap& bitmap, int newWidth, int newHeight, TStretchProgress progress = nullptr);

class ERotateError : public Exception {
public:
    using Exception::Exception;
};

// New images turned a quarter turn clockwise, half a turn, a quarter turn counter-clockwise.
// The source is left as it was. Throw ERotateError "Bitmap Size Error" for an empty source.
std::unique_ptr<TBitmap> Rotate90Right(const TBitmap& source);
std::unique_ptr<TBitmap> Rotate180(const TBitmap& source);
std::unique_ptr<TBitmap> Rotate90Left(const TBitmap& source);

}  // namespace korvel
