// GetPictureSized, for the plug-ins that hold a cheaper picture than the full one (an embedded
// preview): only those compile this file in, since the host treats plug-ins that export it as
// decoding on demand.
#include "plugins/common/SpiKit.h"

SPIKIT_EXPORT int32_t GetPictureSized(const char* buf, intptr_t len, uint32_t flag, int32_t width, int32_t height,
                                      void** pHBInfo, void** pHBm, SpiProgressCallback progress, intptr_t data) {
    return spikit::guardedCall(SPI_INTERNAL_ERROR, [&]() -> int32_t {
        if (!pHBInfo || !pHBm) return SPI_INTERNAL_ERROR;
        *pHBInfo = *pHBm = nullptr;
        spikit::OpenedSource o;
        if (int32_t rc = o.open(buf, len, flag, true); rc != SPI_OK) return rc;
        if (spikit::cancelled(progress, 0, 1, data)) return SPI_ABORTED;
        spikit::DibBlocks out;
        if (int32_t rc = o.picture->decodeForSize(width, height, out); rc != SPI_OK) return rc;
        if (spikit::cancelled(progress, 1, 1, data)) return SPI_ABORTED;
        out.release(pHBInfo, pHBm);
        return SPI_OK;
    });
}
