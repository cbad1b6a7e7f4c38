#include "codecs/Bmp.h"
#include "imaging/Bitmap.h"
#include "imaging/Errors.h"

namespace korvel {

void readBmp(const uint8_t*, size_t, TBitmap&) { throw EInvalidGraphic("Bitmap reader not built yet"); }

}  // namespace korvel
