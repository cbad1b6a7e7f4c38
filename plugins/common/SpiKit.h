#pragma once
// Helpers shared by the plug-ins that ship with Korvel. They speak only the plug-in interface:
// reading the source a host names, answering information calls, and building the two blocks
// (a 40-byte bitmap info header, and bottom-up rows padded to 4 bytes) from decoded pixels.
// The exported functions themselves are the kit's (SpiExports.cpp): a plug-in defines its
// format through thisPlugin() and a Picture.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
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
    // As open, but of a file starting at byte 0 only the first SPI_HEADER_BYTES are read: data()
    // is then the header, and the plug-in reads path() itself.
    int32_t openHead(const char* buf, intptr_t len, uint32_t flag);
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    // False after openHead of a file: data() is only its start.
    bool whole() const { return path_.empty(); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::vector<uint8_t> storage_;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

// Answers GetPluginInfo from a list of texts (item 0 = API version, 1 = about, then pairs).
int32_t pluginInfo(const std::vector<std::string>& items, int32_t infono, char* buf, int32_t buflen);

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

// Where stored pixel (x, y) of a w x h picture is shown for an EXIF (TIFF 6.0) orientation: row 0 /
// column 0 at 1 top/left, 2 top/right, 3 bottom/right, 4 bottom/left, 5 left/top, 6 right/top,
// 7 right/bottom, 8 left/bottom. Plug-ins that turn rows themselves place each pixel with it.
void shownAt(int orientation, uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint32_t& dx, uint32_t& dy);

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

// Declares struct Api with a pointer to each function FUNCTIONS lists, as X(prefix, name) for
// the library's function prefixname (the member is name), and getter(), which opens soname on
// its first call and returns the table, or null when the library is missing or lacks one.
#define SPIKIT_LIBRARY_POINTER(prefix, name) decltype(&::prefix##name) name = nullptr;
#define SPIKIT_LIBRARY_SYMBOL(prefix, name) {#prefix #name, reinterpret_cast<void**>(&table.name)},
#define SPIKIT_LAZY_LIBRARY(Api, getter, soname, FUNCTIONS)                                                   \
    struct Api {                                                                                              \
        FUNCTIONS(SPIKIT_LIBRARY_POINTER)                                                                     \
    };                                                                                                        \
    const Api* getter() {                                                                                     \
        static const Api* const api = []() -> const Api* {                                                    \
            static Api table;                                                                                 \
            const spikit::LibrarySymbol symbols[] = {FUNCTIONS(SPIKIT_LIBRARY_SYMBOL)};                       \
            return spikit::openLibrary(soname, symbols, sizeof symbols / sizeof symbols[0]) ? &table : nullptr; \
        }();                                                                                                  \
        return api;                                                                                           \
    }

// The size and depth of a picture as GetPictureInfo reports it (as shown, after any turn).
struct Shape {
    int32_t width = 0, height = 0;
    int16_t colorDepth = 24;
};

// One call's view of a source the plug-in recognised. The kit makes one for each call, asks
// readHeader and then decode (GetPicture), readHeader alone (GetPictureInfo) or readMeta alone
// (GetPictureMeta), and reports between them to the host's progress callback.
class Picture {
public:
    virtual ~Picture() = default;
    // SPI_OK with shape filled, or a failure result. flag is the call's.
    virtual int32_t readHeader(uint32_t flag, Shape& shape) = 0;
    // After readHeader succeeded: the picture into out.
    virtual int32_t decode(DibBlocks& out) = 0;
    // After readHeader succeeded: a picture covering width x height, smaller than the full one
    // where the format holds a cheaper one (GetPictureSized, for plug-ins that export it).
    virtual int32_t decodeForSize(int32_t width, int32_t height, DibBlocks& out) { return decode(out); }
    // GetPictureMeta's answer (putMeta).
    virtual int32_t readMeta(uint32_t flag, SpiPictureMeta* meta) = 0;
};

// What a plug-in defines once; the kit's exported functions ask it.
struct PluginDefinition {
    // GetPluginInfo's texts: API version, about text, then pairs of name patterns and format name.
    std::vector<std::string> info;
    // True when the first size bytes of a source are of the plug-in's format.
    bool (*recognises)(const uint8_t* header, size_t size);
    // Opens a picture on a recognised source, which outlives it: SPI_OK, or a failure result
    // (SPI_INTERNAL_ERROR when the format's library cannot be loaded).
    int32_t (*open)(const Source& src, std::unique_ptr<Picture>& picture);
    // Set for plug-ins whose library reads files by name, only the parts it needs (a RAW file's
    // preview): the kit then reads only the header of a file source (see Source::openHead).
    bool opensFiles = false;
};

// Defined by each plug-in.
const PluginDefinition& thisPlugin();

// Runs one exported call; an exception (memory ran short) is a failure, never a crash in the host.
template <class Call>
int32_t guardedCall(int32_t failure, Call call) {
    try {
        return call();
    } catch (...) {
        return failure;
    }
}

// A call's source and the plug-in's picture on it.
struct OpenedSource {
    Source src;
    std::unique_ptr<Picture> picture;
    Shape shape;

    // Reads the source and, when the plug-in recognises it, opens a picture on it (other data
    // never loads the format's library); with header, reads the picture's header too.
    int32_t open(const char* buf, intptr_t len, uint32_t flag, bool header) {
        const PluginDefinition& plugin = thisPlugin();
        if (int32_t rc = plugin.opensFiles ? src.openHead(buf, len, flag) : src.open(buf, len, flag); rc != SPI_OK)
            return rc;
        if (!plugin.recognises(src.data(), src.size())) return SPI_UNKNOWN_FORMAT;
        if (int32_t rc = plugin.open(src, picture); rc != SPI_OK) return rc;
        if (!picture) return SPI_INTERNAL_ERROR;
        return header ? picture->readHeader(flag, shape) : SPI_OK;
    }
};

}  // namespace spikit
