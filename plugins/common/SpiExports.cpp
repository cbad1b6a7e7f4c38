// The plug-in interface's exported functions, the same for every plug-in that ships with
// Korvel: each checks its arguments, reads the source, lets the plug-in's definition answer,
// and turns any exception into a failure result, so that none crosses the C interface.
// Compiled into each plug-in (not the kit's static library, which would drop unreferenced
// functions).
#include <cstring>
#include <memory>

#include "plugins/common/SpiKit.h"

namespace {

// Runs one exported call; an exception (memory ran short) is a failure, never a crash in the host.
template <class Call>
int32_t guarded(int32_t failure, Call call) {
    try {
        return call();
    } catch (...) {
        return failure;
    }
}

// A call's source and the plug-in's picture on it.
struct Opened {
    spikit::Source src;
    std::unique_ptr<spikit::Picture> picture;
    spikit::Shape shape;

    // Reads the source and, when the plug-in recognises it, opens a picture on it (other data
    // never loads the format's library); with header, reads the picture's header too.
    int32_t open(const char* buf, intptr_t len, uint32_t flag, bool header) {
        if (int32_t rc = src.open(buf, len, flag); rc != SPI_OK) return rc;
        const spikit::PluginDefinition& plugin = spikit::thisPlugin();
        if (!plugin.recognises(src.data(), src.size())) return SPI_UNKNOWN_FORMAT;
        if (int32_t rc = plugin.open(src, picture); rc != SPI_OK) return rc;
        if (!picture) return SPI_INTERNAL_ERROR;
        return header ? picture->readHeader(flag, shape) : SPI_OK;
    }
};

}  // namespace

SPIKIT_EXPORT int32_t GetPluginInfo(int32_t infono, char* buf, int32_t buflen) {
    return guarded(0, [&] { return spikit::pluginInfo(spikit::thisPlugin().info, infono, buf, buflen); });
}

SPIKIT_EXPORT int32_t IsSupported(const char*, const void* header) {
    return guarded(0, [&] {
        return header && spikit::thisPlugin().recognises(static_cast<const uint8_t*>(header), SPI_HEADER_BYTES) ? 1 : 0;
    });
}

SPIKIT_EXPORT int32_t GetPictureInfo(const char* buf, intptr_t len, uint32_t flag, SpiPictureInfo* info) {
    return guarded(SPI_INTERNAL_ERROR, [&]() -> int32_t {
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
    return guarded(SPI_INTERNAL_ERROR, [&]() -> int32_t {
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
    return guarded(SPI_INTERNAL_ERROR, [&]() -> int32_t {
        if (!meta) return SPI_INTERNAL_ERROR;
        Opened o;
        if (int32_t rc = o.open(buf, len, flag, false); rc != SPI_OK) return rc;
        return o.picture->readMeta(flag, meta);
    });
}
