#pragma once
// Builders for hand-made bitmap and icon files in tests: headers field by field, colour
// tables, padded rows and icon directories; and the decoded mask read back.
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "imaging/Bitmap.h"

namespace korvel::bmptest {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
inline void patch32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Info header fields; shorter headers (OS/2 2.x) simply stop early.
struct Info {
    uint32_t headerSize = 40;
    int32_t width = 1, height = 1;
    uint16_t bpp = 24;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha; inside headers of 52 bytes and more
};

inline Bytes infoHeader(const Info& i) {
    Bytes b;
    put32(b, i.headerSize);
    if (i.headerSize == 12) {  // OS/2 core header: 16-bit sizes
        put16(b, uint16_t(i.width));
        put16(b, uint16_t(i.height));
        put16(b, 1);
        put16(b, i.bpp);
        return b;
    }
    put32(b, uint32_t(i.width));
    put32(b, uint32_t(i.height));
    put16(b, 1);
    put16(b, i.bpp);
    const uint32_t fields[] = {i.compression, 0, 2835, 2835, i.clrUsed, 0, i.masks[0], i.masks[1],
        i.masks[2], i.masks[3]};
    for (uint32_t f : fields)
        if (b.size() + 4 <= i.headerSize) put32(b, f);
    b.resize(i.headerSize, 0);  // V4/V5 colour space fields stay zero
    return b;
}

inline Bytes masks(std::initializer_list<uint32_t> values) {
    Bytes b;
    for (uint32_t v : values) put32(b, v);
    return b;
}

inline Bytes palette(std::initializer_list<Color> colours, int entrySize = 4) {
    Bytes b;
    for (Color c : colours) {
        b.push_back(blueOf(c));
        b.push_back(greenOf(c));
        b.push_back(redOf(c));
        if (entrySize == 4) b.push_back(0);
    }
    return b;
}

// Rows in file order, each padded to 4 bytes.
inline Bytes rows(const std::vector<Bytes>& list) {
    Bytes b;
    for (const Bytes& r : list) {
        b.insert(b.end(), r.begin(), r.end());
        b.resize((b.size() + 3) / 4 * 4, 0);
    }
    return b;
}

// File header + header (with masks and colour table) + pixels, bfOffBits pointing at the pixels.
inline Bytes bmpFile(const Bytes& headerAndTable, const Bytes& pixels) {
    Bytes b{'B', 'M'};
    const uint32_t offBits = uint32_t(14 + headerAndTable.size());
    put32(b, uint32_t(offBits + pixels.size()));
    put32(b, 0);
    put32(b, offBits);
    return cat({b, headerAndTable, pixels});
}
constexpr size_t kOffBitsAt = 10;

// An icon file: directory entries (width, height as stored, bit count) and their images.
struct IconImage {
    uint8_t dirWidth = 0, dirHeight = 0;
    uint16_t dirBpp = 0;
    Bytes data;
};

inline Bytes iconFile(const std::vector<IconImage>& images, uint16_t type = 1) {
    Bytes b;
    put16(b, 0);
    put16(b, type);
    put16(b, uint16_t(images.size()));
    uint32_t offset = uint32_t(6 + 16 * images.size());
    for (const IconImage& im : images) {
        b.push_back(im.dirWidth);
        b.push_back(im.dirHeight);
        b.push_back(0);
        b.push_back(0);
        put16(b, 1);
        put16(b, im.dirBpp);
        put32(b, uint32_t(im.data.size()));
        put32(b, offset);
        offset += uint32_t(im.data.size());
    }
    for (const IconImage& im : images) b.insert(b.end(), im.data.begin(), im.data.end());
    return b;
}

// The decoded mask row by row, empty when there is none.
inline std::vector<int> maskValues(const TBitmap& b) {
    std::vector<int> v;
    if (!b.mask()) return v;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) v.push_back(b.mask()->scanLine(y)[x]);
    return v;
}

}  // namespace korvel::bmptest
