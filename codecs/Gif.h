#pragma once
// TGIFImage: GIF files through giflib. The first frame is drawn onto the logical screen,
// an 8-bit palette raster; a transparent first frame marks its transparent index.
#include <memory>

#include "base/Limits.h"
#include "codecs/RasterGraphic.h"

namespace korvel {

class FileBytes;
class FrameSource;

class TGIFImage : public TRasterGraphic {
public:
    static const GraphicClass classInfo;

    const GraphicClass& graphicClass() const override { return classInfo; }

    void loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits& limits = {}) override;
    // One frame needs at most 1.5 bytes a pixel (12-bit codes); four leave room for the frames
    // of an animation after it, which are mapped but never read.
    uint64_t maxFileBytes(const DecodeLimits& limits) const override { return fileByteLimit(limits, 4); }
};

// Every frame of a GIF, composed in turn on its logical screen. Throws EInvalidGraphic for a
// file that is no GIF or has a screen of no size.
std::unique_ptr<FrameSource> openGifFrames(std::shared_ptr<const FileBytes> bytes, const DecodeLimits& limits = {});

}  // namespace korvel
