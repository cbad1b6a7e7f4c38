#pragma once
// Helpers shared by the plug-ins that ship with Korvel. They speak only the plug-in interface:
// reading the source a host names, answering information calls, and building the two blocks
// (a 40-byte bitmap info header, and bottom-up rows padded to 4 bytes) from decoded pixels.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/SpiApi.h"

#define SPIKIT_EXPORT extern "C" __attribute__((visibility("default")))

namespace spikit {

// Largest image a plug-in decodes (pixels), and largest source it reads (bytes).
constexpr uint64_t kMaxPixels = uint64_t(1) << 28;
constexpr uint64_t kMaxSourceBytes = uint64_t(1) << 31;

// The bytes of a source: a file read from its offset on, or the host's memory as it is.
class Source {
public:
    // Returns SPI_OK or a failure result.
    int32_t open(const char* buf, intptr_t len, uint32_t flag);
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    std::vector<uint8_t> storage_;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

// Answers GetPluginInfo from a list of texts (item 0 = API version, 1 = about, then pairs).
int32_t pluginInfo(const char* const* items, int count, int32_t infono, char* buf, int32_t buflen);

// True when a width x height image is within kMaxPixels and has positive sides.
bool sizeAllowed(int64_t width, int64_t height);

// The two blocks of a 24-bit (or, with alpha, 32-bit) image being filled; freed unless released.
class DibBlocks {
public:
    ~DibBlocks();
    // Allocates both blocks; false when the size is not allowed or memory is short.
    bool allocate(int width, int height, bool alpha);
    // Writes display row y (top = 0) from 8-bit RGBA or RGB samples. With alpha the colour is
    // given premultiplied when premultiplied is set and is stored straight.
    void putRow(int y, const uint8_t* samples, int channels, bool premultiplied = false);
    // Writes one pixel (display coordinates) the same way.
    void putPixel(int x, int y, const uint8_t* samples, int channels, bool premultiplied = false);
    int width() const { return width_; }
    int height() const { return height_; }
    // Hands both blocks to the host.
    void release(void** pHBInfo, void** pHBm);

private:
    uint8_t* pixel(int x, int y);
    void store(uint8_t* d, const uint8_t* s, int channels, bool premultiplied) const;
    void* info_ = nullptr;
    uint8_t* bits_ = nullptr;
    int width_ = 0, height_ = 0, bytesPerPixel_ = 3;
    size_t stride_ = 0;
};

// Largest ICC profile a plug-in hands over, as large as the host takes from any file.
constexpr size_t kMaxIccBytes = size_t(8) << 20;

// Fills a GetPictureMeta answer: orientation outside 1..8 becomes 1, and a profile that is empty
// or larger than kMaxIccBytes is left out. Returns SPI_OK or SPI_NO_MEMORY.
int32_t putMeta(SpiPictureMeta* meta, int orientation, const uint8_t* icc, size_t iccSize);

// Progress report to the host; true when it asks to stop.
bool cancelled(SpiProgressCallback progress, int32_t done, int32_t total, intptr_t data);

// A function a plug-in looks up in a library it opens itself, and where its address goes.
struct LibrarySymbol {
    const char* name;
    void** slot;
};

// Opens a shared library for the rest of the process (RTLD_NOW | RTLD_LOCAL) and stores the
// address of every symbol in its slot. False, with the library closed and every slot null, when
// the library is missing or lacks one of the symbols. For plug-ins whose library is costly to
// load: they open it on first use instead of linking it, so loading the plug-in stays cheap.
bool openLibrary(const char* soname, const LibrarySymbol* symbols, size_t count);

}  // namespace spikit
