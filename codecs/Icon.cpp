#include "codecs/Icon.h"

#include "imaging/Errors.h"

namespace korvel {

const GraphicClass TIcon::classInfo{"TIcon", &TGraphic::classInfo,
                                    [] { return std::unique_ptr<TGraphic>(new TIcon); }};

void TIcon::loadFromMemory(const uint8_t*, size_t) { throw EInvalidGraphic("Icon decoder not built yet"); }

}  // namespace korvel
