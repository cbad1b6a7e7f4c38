#include "codecs/Metafile.h"

#include <cstring>

#include "base/Errors.h"

namespace korvel {

const GraphicClass TMetafile::classInfo{"TMetafile", &TGraphic::classInfo,
                                        [] { return std::unique_ptr<TGraphic>(new TMetafile); }};

void TMetafile::loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits&) {
    // EMF starts with record type 1 and " EMF" at offset 40; placeable WMF with 0x9AC6CDD7.
    bool emf = size >= 44 && data[0] == 1 && std::memcmp(data + 40, " EMF", 4) == 0;
    bool wmf = size >= 4 && data[0] == 0xD7 && data[1] == 0xCD && data[2] == 0xC6 && data[3] == 0x9A;
    if (!emf && !wmf && size >= 18 && (data[0] == 1 || data[0] == 2) && data[1] == 0 && data[2] == 9) wmf = true;
    if (emf) throw EUnsupportedGraphic("Enhanced metafile (EMF) images cannot be displayed yet");
    if (wmf) throw EUnsupportedGraphic("Windows metafile (WMF) images cannot be displayed yet");
    throw EInvalidGraphic("Invalid metafile: neither a Windows metafile (WMF) nor an enhanced metafile (EMF)");
}

}  // namespace korvel
