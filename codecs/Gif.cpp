#include "codecs/Gif.h"

#include "imaging/Errors.h"

namespace korvel {

const GraphicClass TGIFImage::classInfo{"TGIFImage", &TGraphic::classInfo,
                                        [] { return std::unique_ptr<TGraphic>(new TGIFImage); }};

void TGIFImage::loadFromMemory(const uint8_t*, size_t) { throw EInvalidGraphic("GIF decoder not built yet"); }

}  // namespace korvel
