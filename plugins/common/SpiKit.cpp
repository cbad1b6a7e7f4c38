#include "plugins/common/SpiKit.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/FdIo.h"

namespace spikit {

int32_t Source::open(const char* buf, intptr_t len, uint32_t flag) {
    if (!buf || len < 0) return SPI_BROKEN_DATA;
    if ((flag & SPI_SOURCE_MASK) == SPI_SOURCE_MEMORY) {
        data_ = reinterpret_cast<const uint8_t*>(buf);
        size_ = size_t(len);
        return SPI_OK;
    }
    const int fd = ::open(buf, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return SPI_READ_ERROR;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) > kMaxSourceBytes ||
        st.st_size < len) {
        ::close(fd);
        return SPI_READ_ERROR;
    }
    try {
        storage_.resize(size_t(st.st_size - len));
    } catch (...) {
        ::close(fd);
        return SPI_NO_MEMORY;
    }
    const ssize_t got = korvel::readAll(fd, storage_.data(), storage_.size(), off_t(len));
    ::close(fd);
    if (got < 0) return SPI_READ_ERROR;
    storage_.resize(size_t(got));
    data_ = storage_.data();
    size_ = storage_.size();
    return SPI_OK;
}

int32_t Source::openHead(const char* buf, intptr_t len, uint32_t flag) {
    // A MacBinary offset is rare enough to read the whole file for.
    if (!buf || (flag & SPI_SOURCE_MASK) == SPI_SOURCE_MEMORY || len != 0) return open(buf, len, flag);
    const int fd = ::open(buf, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return SPI_READ_ERROR;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) > kMaxSourceBytes) {
        ::close(fd);
        return SPI_READ_ERROR;
    }
    storage_.resize(std::min<size_t>(size_t(st.st_size), SPI_HEADER_BYTES));
    const ssize_t got = korvel::readAll(fd, storage_.data(), storage_.size(), 0);
    ::close(fd);
    if (got < 0) return SPI_READ_ERROR;
    storage_.resize(size_t(got));
    data_ = storage_.data();
    size_ = storage_.size();
    path_ = buf;
    return SPI_OK;
}

int32_t pluginInfo(const std::vector<std::string>& items, int32_t infono, char* buf, int32_t buflen) {
    if (infono < 0 || size_t(infono) >= items.size() || !buf || buflen < 1) return 0;
    const std::string& item = items[size_t(infono)];
    const size_t n = std::min(item.size(), size_t(buflen) - 1);
    std::memcpy(buf, item.data(), n);
    buf[n] = '\0';
    return int32_t(n);
}

void shownAt(int o, uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint32_t& dx, uint32_t& dy) {
    switch (o) {
        case 2: dx = w - 1 - x, dy = y; break;
        case 3: dx = w - 1 - x, dy = h - 1 - y; break;
        case 4: dx = x, dy = h - 1 - y; break;
        case 5: dx = y, dy = x; break;
        case 6: dx = h - 1 - y, dy = x; break;
        case 7: dx = h - 1 - y, dy = w - 1 - x; break;
        case 8: dx = y, dy = w - 1 - x; break;
        default: dx = x, dy = y; break;
    }
}

int32_t putMeta(SpiPictureMeta* meta, int orientation, const uint8_t* icc, size_t iccSize) {
    if (!meta) return SPI_INTERNAL_ERROR;
    std::memset(meta, 0, sizeof *meta);
    meta->orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    if (!icc || iccSize == 0 || iccSize > kMaxIccBytes) return SPI_OK;
    meta->hIcc = std::malloc(iccSize);
    if (!meta->hIcc) return SPI_NO_MEMORY;
    std::memcpy(meta->hIcc, icc, iccSize);
    meta->iccSize = uint32_t(iccSize);
    return SPI_OK;
}

bool sizeAllowed(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= INT32_MAX && height <= INT32_MAX &&
           uint64_t(width) * uint64_t(height) <= kMaxPixels;
}

DibBlocks::~DibBlocks() {
    std::free(info_);
    std::free(bits_);
}

bool DibBlocks::allocate(int width, int height, bool alpha) {
    if (!sizeAllowed(width, height)) return false;
    bytesPerPixel_ = alpha ? 4 : 3;
    stride_ = (size_t(width) * size_t(bytesPerPixel_) + 3) & ~size_t(3);
    info_ = std::calloc(1, 40);
    bits_ = static_cast<uint8_t*>(std::calloc(size_t(height), stride_));
    if (!info_ || !bits_) return false;
    width_ = width;
    height_ = height;
    auto* h = static_cast<uint8_t*>(info_);
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i) h[at + i] = uint8_t(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, uint32_t(width));
    put32(8, uint32_t(height));  // positive: rows bottom-up
    h[12] = 1;                   // planes
    h[14] = uint8_t(bytesPerPixel_ * 8);
    put32(20, uint32_t(stride_ * size_t(height)));
    return true;
}

uint8_t* DibBlocks::pixel(int x, int y) {
    return bits_ + size_t(height_ - 1 - y) * stride_ + size_t(x) * size_t(bytesPerPixel_);
}

void DibBlocks::store(uint8_t* d, const uint8_t* s, int channels, bool premultiplied) const {
    uint8_t r = s[0], g = s[1], b = s[2];
    if (bytesPerPixel_ == 4) {
        const uint8_t a = channels == 4 ? s[3] : 255;
        if (premultiplied && a != 0 && a != 255) {
            auto straight = [a](uint8_t c) { return uint8_t(std::min(255, (c * 255 + a / 2) / a)); };
            r = straight(r), g = straight(g), b = straight(b);
        }
        d[3] = a;
    }
    d[0] = b, d[1] = g, d[2] = r;
}

void DibBlocks::putRow(int y, const uint8_t* s, int channels, bool premultiplied) {
    uint8_t* d = pixel(0, y);
    for (int x = 0; x < width_; ++x, s += channels, d += bytesPerPixel_) store(d, s, channels, premultiplied);
}

void DibBlocks::putPixel(int x, int y, const uint8_t* s, int channels, bool premultiplied) {
    store(pixel(x, y), s, channels, premultiplied);
}

void DibBlocks::release(void** pHBInfo, void** pHBm) {
    *pHBInfo = info_;
    *pHBm = bits_;
    info_ = nullptr;
    bits_ = nullptr;
}

bool cancelled(SpiProgressCallback progress, int32_t done, int32_t total, intptr_t data) {
    return progress && progress(done, total, data) != 0;
}

bool openLibrary(const char* soname, const LibrarySymbol* symbols, size_t count) {
    void* lib = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    bool complete = lib != nullptr;
    for (size_t i = 0; i < count && complete; ++i) {
        *symbols[i].slot = ::dlsym(lib, symbols[i].name);
        complete = *symbols[i].slot != nullptr;
    }
    if (complete) return true;
    for (size_t i = 0; i < count; ++i) *symbols[i].slot = nullptr;
    if (lib) ::dlclose(lib);
    return false;
}

}  // namespace spikit
