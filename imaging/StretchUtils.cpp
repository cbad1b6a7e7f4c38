#include "imaging/StretchUtils.h"

#include "imaging/Bitmap.h"

namespace korvel {

void StretchBitmap(TBitmap&, int, int, TStretchProgress) { throw Exception("StretchBitmap not built yet"); }
std::unique_ptr<TBitmap> Rotate90Right(const TBitmap&) { throw ERotateError("Rotation not built yet"); }
std::unique_ptr<TBitmap> Rotate180(const TBitmap&) { throw ERotateError("Rotation not built yet"); }
std::unique_ptr<TBitmap> Rotate90Left(const TBitmap&) { throw ERotateError("Rotation not built yet"); }

}  // namespace korvel
