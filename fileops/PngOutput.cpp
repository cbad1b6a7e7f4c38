#include "fileops/PngOutput.h"

#include "imaging/Errors.h"

namespace korvel {

void writePngOutput(const TBitmap&, const ExtendedCopyOptions&, std::ostream&) {
    throw EInvalidGraphic("PNG writer not built yet");
}

}  // namespace korvel
