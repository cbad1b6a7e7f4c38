#include "formats/Animation.h"

#include <cstring>

#include "base/Errors.h"
#include "base/FileBytes.h"
#include "codecs/Gif.h"
#include "codecs/Png.h"
#include "codecs/PngChunks.h"
#include "formats/SpiAnimation.h"

namespace korvel {

std::unique_ptr<FramePlayer> openAnimation(const std::string& path, const DecodeLimits& limits) {
    try {
        // The content decides, not the extension: GIF and PNG here, anything else by plug-ins
        // that play animations (WebP).
        std::shared_ptr<const FileBytes> bytes = FileBytes::open(path, limits.maxFileBytes);
        const uint8_t* d = bytes->data();
        std::unique_ptr<FrameSource> source;
        if (bytes->size() >= 6 && (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0))
            source = openGifFrames(bytes, limits);
        else if (bytes->size() >= 8 && std::memcmp(d, png::kSignature, 8) == 0)
            source = openPngFrames(bytes, limits);
        else
            source = openPluginFrames(path, limits);
        if (!source) return nullptr;
        auto player = std::make_unique<FramePlayer>(std::move(source));
        if (player->frameCount() == 1) return nullptr;
        return player;
    } catch (const Exception&) {
        return nullptr;
    }
}

}  // namespace korvel
