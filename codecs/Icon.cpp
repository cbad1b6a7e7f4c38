// Windows icon and cursor files: a directory of images, each a device-independent bitmap
// (colour image plus AND mask) or a PNG file.
#include "codecs/Icon.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "imaging/Bmp.h"
#include "imaging/BmpHeader.h"
#include "codecs/Png.h"
#include "base/Errors.h"

namespace korvel {

const GraphicClass TIcon::classInfo{"TIcon", &TGraphic::classInfo,
                                    [] { return std::unique_ptr<TGraphic>(new TIcon); }};

namespace {

constexpr size_t kDirHeaderSize = 6;
constexpr size_t kDirEntrySize = 16;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct IconEntry {
    const uint8_t* data = nullptr;
    size_t size = 0;
    int64_t width = 0, height = 0;
    int depth = 0;
    bool png = false;
    size_t index = 0;
};

uint32_t getBe32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// The size and depth stored in the image itself; the directory's are often wrong.
void probeImage(IconEntry& e) {
    e.png = e.size >= 8 && std::memcmp(e.data, kPngSignature, 8) == 0;
    if (e.png) {
        if (e.size < 26 || std::memcmp(e.data + 12, "IHDR", 4) != 0) return;
        // PNG sizes are at most 2^31 - 1; larger values are left for the decoder to refuse.
        e.width = std::min<uint32_t>(getBe32(e.data + 16), 0x7FFFFFFF);
        e.height = std::min<uint32_t>(getBe32(e.data + 20), 0x7FFFFFFF);
        static const int channels[7] = {1, 0, 3, 1, 2, 0, 4};
        const uint8_t colourType = e.data[25];
        e.depth = e.data[24] * (colourType < 7 ? channels[colourType] : 0);
        return;
    }
    if (e.size < 16) return;
    if (bmp::get32(e.data) == bmp::kCoreHeaderSize) {
        e.width = bmp::get16(e.data + 4);
        e.height = bmp::get16(e.data + 6) / 2;
        e.depth = bmp::get16(e.data + 10);
    } else {
        e.width = int32_t(bmp::get32(e.data + 4));
        e.height = std::abs(int64_t(int32_t(bmp::get32(e.data + 8)))) / 2;
        e.depth = bmp::get16(e.data + 14);
    }
}

std::vector<IconEntry> readDirectory(const uint8_t* data, size_t size) {
    if (size < kDirHeaderSize) throw EInvalidGraphic("Icon: not an icon file");
    const uint16_t reserved = bmp::get16(data), type = bmp::get16(data + 2), count = bmp::get16(data + 4);
    if (reserved != 0 || (type != 1 && type != 2)) throw EInvalidGraphic("Icon: not an icon file");
    if (count == 0) throw EInvalidGraphic("Icon: the file holds no images");
    if ((size - kDirHeaderSize) / kDirEntrySize < count) throw EInvalidGraphic("Icon: truncated directory");
    std::vector<IconEntry> entries;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* d = data + kDirHeaderSize + i * kDirEntrySize;
        const uint32_t bytes = bmp::get32(d + 8), offset = bmp::get32(d + 12);
        if (offset >= size) continue;  // an image outside the file cannot be shown
        IconEntry e;
        e.index = i;
        e.data = data + offset;
        e.size = std::min<size_t>(bytes, size - offset);
        // 0 in the directory means 256 pixels.
        e.width = d[0] ? d[0] : 256;
        e.height = d[1] ? d[1] : 256;
        e.depth = bmp::get16(d + 6);
        IconEntry probed = e;
        probeImage(probed);
        if (probed.width > 0 && probed.height > 0) e.width = probed.width, e.height = probed.height;
        if (probed.depth > 0) e.depth = probed.depth;
        e.png = probed.png;
        entries.push_back(e);
    }
    if (entries.empty()) throw EInvalidGraphic("Icon: no image lies inside the file");
    return entries;
}

TBitmap decodeEntry(const IconEntry& e, const DecodeLimits& limits) {
    if (e.png) {
        // Vista-style entries hold a whole PNG file; its alpha arrives as the raster's mask.
        TGLDPNG png;
        png.loadFromMemory(e.data, e.size, limits);
        return png.image();
    }
    TBitmap bmp;
    readDib(e.data, e.size, bmp, true, limits.maxPixels);
    return bmp;
}

}  // namespace

void TIcon::loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits& limits) {
    std::vector<IconEntry> entries = readDirectory(data, size);
    // The largest image, then the deepest, then the first in the file.
    std::stable_sort(entries.begin(), entries.end(), [](const IconEntry& a, const IconEntry& b) {
        if (a.width * a.height != b.width * b.height) return a.width * a.height > b.width * b.height;
        return a.depth > b.depth;
    });
    // When the preferred image cannot be decoded, show the next one rather than nothing;
    // only when none decodes does the first (preferred) failure reach the caller.
    std::exception_ptr firstError;
    for (const IconEntry& e : entries) {
        try {
            bitmap_ = decodeEntry(e, limits);
            return;
        } catch (const Exception&) {
            if (!firstError) firstError = std::current_exception();
        }
    }
    std::rethrow_exception(firstError);
}

}  // namespace korvel
