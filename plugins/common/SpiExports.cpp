// The plug-in interface's exported functions, the same for every plug-in that ships with
// Korvel: each checks its arguments, reads the source, lets the plug-in's definition answer,
// and turns any exception into a failure result, so that none crosses the C interface.
// Compiled into each plug-in (not the kit's static library, which would drop unreferenced
// functions).
#include <cstring>
#include <memory>

#include "plugins/common/SpiKit.h"

using spikit::guardedCall;
using Opened = spikit::OpenedSource;

SPIKIT_EXPORT int32_t GetPluginInfo(int32_t infono, char* buf, int32_t buflen) {
    return guardedCall(0, [&] { return spikit::pluginInfo(spikit::thisPlugin().info, infono, buf, buflen); });
}

SPIKIT_EXPORT int32_t IsSupported(const char*, const void* header) {
    return guardedCall(0, [&] {
        return header && spikit::thisPlugin().recognises(static_cast<const uint8_t*>(header), SPI_HEADER_BYTES) ? 1 : 0;
    });
}

SPIKIT_EXPORT int32_t GetPictureInfo(const char* buf, intptr_t len, uint32_t flag, SpiPictureInfo* info) {
    return guardedCall(SPI_INTERNAL_ERROR, [&]() -> int32_t {
        if (!info) return SPI_INTERNAL_ERROR;
        Opened o;
        if (int32_t rc = o.open(buf, len, flag, true); rc != SPI_OK) return rc;
        std::memset(info, 0, sizeof *info);
        info->width = o.shape.width;
        info->height = o.shape.height;
        info->colorDepth = o.shape.colorDepth;
        return SPI_OK;
    });
}

SPIKIT_EXPORT int32_t GetPicture(const char* buf, intptr_t len, uint32_t flag, void** pHBInfo, void** pHBm,
                                 SpiProgressCallback progress, intptr_t data) {
    return guardedCall(SPI_INTERNAL_ERROR, [&]() -> int32_t {
        if (!pHBInfo || !pHBm) return SPI_INTERNAL_ERROR;
        *pHBInfo = *pHBm = nullptr;
        Opened o;
        if (int32_t rc = o.open(buf, len, flag, true); rc != SPI_OK) return rc;
        if (spikit::cancelled(progress, 0, 1, data)) return SPI_ABORTED;
        spikit::DibBlocks out;
        if (int32_t rc = o.picture->decode(out); rc != SPI_OK) return rc;
        if (spikit::cancelled(progress, 1, 1, data)) return SPI_ABORTED;
        out.release(pHBInfo, pHBm);
        return SPI_OK;
    });
}

SPIKIT_EXPORT int32_t GetPictureMeta(const char* buf, intptr_t len, uint32_t flag, SpiPictureMeta* meta) {
    return guardedCall(SPI_INTERNAL_ERROR, [&]() -> int32_t {
        if (!meta) return SPI_INTERNAL_ERROR;
        Opened o;
        if (int32_t rc = o.open(buf, len, flag, false); rc != SPI_OK) return rc;
        return o.picture->readMeta(flag, meta);
    });
}
