// The plug-in interface's exported functions, the same for every plug-in that ships with
// Korvel: each checks its arguments, reads the source, lets the plug-in's definition answer,
// and turns any exception into a failure result, so that none crosses the C interface.
// Compiled into each plug-in (not the kit's static library, which would drop unreferenced
// functions).
#include <cstring>
#include <memory>

#include "plugins/common/SpiKit.h"

namespace {

// Reads the source and, when the plug-in recognises it, opens a picture on it. Other data never
// loads the format's library.
int32_t openPicture(const char* buf, intptr_t len, uint32_t flag, spikit::Source& src,
                    std::unique_ptr<spikit::Picture>& picture) {
    if (int32_t rc = src.open(buf, len, flag); rc != SPI_OK) return rc;
    const spikit::PluginDefinition& plugin = spikit::thisPlugin();
    if (!plugin.recognises(src.data(), src.size())) return SPI_UNKNOWN_FORMAT;
    if (int32_t rc = plugin.open(src, picture); rc != SPI_OK) return rc;
    return picture ? SPI_OK : SPI_INTERNAL_ERROR;
}

}  // namespace

SPIKIT_EXPORT int32_t GetPluginInfo(int32_t infono, char* buf, int32_t buflen) {
    try {
        return spikit::pluginInfo(spikit::thisPlugin().info, infono, buf, buflen);
    } catch (...) {
        return 0;
    }
}

SPIKIT_EXPORT int32_t IsSupported(const char*, const void* header) {
    try {
        return header && spikit::thisPlugin().recognises(static_cast<const uint8_t*>(header), SPI_HEADER_BYTES) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

SPIKIT_EXPORT int32_t GetPictureInfo(const char* buf, intptr_t len, uint32_t flag, SpiPictureInfo* info) {
    try {
        if (!info) return SPI_INTERNAL_ERROR;
        spikit::Source src;
        std::unique_ptr<spikit::Picture> picture;
        if (int32_t rc = openPicture(buf, len, flag, src, picture); rc != SPI_OK) return rc;
        spikit::Shape shape;
        if (int32_t rc = picture->readHeader(flag, shape); rc != SPI_OK) return rc;
        std::memset(info, 0, sizeof *info);
        info->width = shape.width;
        info->height = shape.height;
        info->colorDepth = shape.colorDepth;
        return SPI_OK;
    } catch (...) {
        return SPI_INTERNAL_ERROR;
    }
}

SPIKIT_EXPORT int32_t GetPicture(const char* buf, intptr_t len, uint32_t flag, void** pHBInfo, void** pHBm,
                                 SpiProgressCallback progress, intptr_t data) {
    try {
        if (!pHBInfo || !pHBm) return SPI_INTERNAL_ERROR;
        *pHBInfo = *pHBm = nullptr;
        spikit::Source src;
        std::unique_ptr<spikit::Picture> picture;
        if (int32_t rc = openPicture(buf, len, flag, src, picture); rc != SPI_OK) return rc;
        spikit::Shape shape;
        if (int32_t rc = picture->readHeader(flag, shape); rc != SPI_OK) return rc;
        if (spikit::cancelled(progress, 0, 1, data)) return SPI_ABORTED;
        spikit::DibBlocks out;
        if (int32_t rc = picture->decode(out); rc != SPI_OK) return rc;
        if (spikit::cancelled(progress, 1, 1, data)) return SPI_ABORTED;
        out.release(pHBInfo, pHBm);
        return SPI_OK;
    } catch (...) {
        return SPI_INTERNAL_ERROR;
    }
}

SPIKIT_EXPORT int32_t GetPictureMeta(const char* buf, intptr_t len, uint32_t flag, SpiPictureMeta* meta) {
    try {
        if (!meta) return SPI_INTERNAL_ERROR;
        spikit::Source src;
        std::unique_ptr<spikit::Picture> picture;
        if (int32_t rc = openPicture(buf, len, flag, src, picture); rc != SPI_OK) return rc;
        return picture->readMeta(flag, meta);
    } catch (...) {
        return SPI_INTERNAL_ERROR;
    }
}
