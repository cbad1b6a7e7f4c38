#pragma once
// Builds PNG files chunk by chunk for the tests, with a deliberately plain reference encoder
// (sample packing, the five filters, Adam7) written from the PNG standard independently of the
// codec, plus small readers for checking files the codec wrote.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace pngtest {

using Bytes = std::vector<uint8_t>;

inline void put32(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}
inline uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

inline Bytes signature() { return {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}; }

// One chunk with its CRC; badCrc flips the CRC.
inline Bytes chunk(const std::string& type, const Bytes& data, bool badCrc = false) {
    Bytes b;
    b.reserve(12 + data.size());
    put32(b, uint32_t(data.size()));
    b.insert(b.end(), type.begin(), type.end());
    b.insert(b.end(), data.begin(), data.end());
    put32(b, uint32_t(crc32(0, b.data() + 4, uInt(b.size() - 4))) ^ (badCrc ? 0xFFFFFFFFu : 0u));
    return b;
}

inline Bytes ihdrData(uint32_t w, uint32_t h, uint8_t depth, uint8_t colorType, uint8_t interlace = 0,
                      uint8_t compression = 0, uint8_t filter = 0) {
    Bytes b;
    for (uint32_t v : {w, h}) put32(b, v);
    b.insert(b.end(), {depth, colorType, compression, filter, interlace});
    return b;
}

inline Bytes zlibCompress(const Bytes& raw, int level = 6) {
    uLongf size = compressBound(uLong(raw.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, raw.data(), uLong(raw.size()), level) != Z_OK)
        throw std::runtime_error("compress");
    out.resize(size);
    return out;
}

// Inflates a stream of up to a megabyte.
inline Bytes zlibInflate(const Bytes& data) {
    uLongf size = 1 << 20;
    Bytes out(size);
    if (uncompress(out.data(), &size, data.data(), uLong(data.size())) != Z_OK)
        throw std::runtime_error("inflate");
    out.resize(size);
    return out;
}

// Samples of an image in PNG terms: channels per pixel, values up to 2^depth - 1.
struct Samples {
    uint32_t width = 0, height = 0;
    int depth = 8, channels = 1;
    std::vector<uint16_t> v;  // row-major, channels per pixel
    uint16_t at(uint32_t x, uint32_t y, int c) const { return v[(size_t(y) * width + x) * channels + c]; }
};

inline Samples randomSamples(uint32_t w, uint32_t h, int depth, int channels, uint32_t seed) {
    Samples s{w, h, depth, channels, {}};
    s.v.resize(size_t(w) * h * channels);
    uint32_t state = seed * 2654435761u + 1;
    const uint32_t top = (1u << depth) - 1;
    for (auto& x : s.v) {
        state = state * 1664525u + 1013904223u;
        x = uint16_t((state >> 8) & top);
    }
    return s;
}

// Packs the pixels of row y at columns x0, x0 + dx, ... as PNG row bytes.
inline Bytes packRow(const Samples& s, uint32_t y, uint32_t x0, uint32_t dx) {
    Bytes row;
    int bitPos = 0;
    for (uint32_t x = x0; x < s.width; x += dx)
        for (int c = 0; c < s.channels; ++c) {
            const uint16_t v = s.at(x, y, c);
            if (s.depth == 16) row.insert(row.end(), {uint8_t(v >> 8), uint8_t(v)});
            else if (s.depth == 8) row.push_back(uint8_t(v));
            else {
                if (bitPos == 0) row.push_back(0);
                row.back() |= uint8_t(v << (8 - s.depth - bitPos));
                bitPos = (bitPos + s.depth) % 8;
            }
        }
    return row;
}

// Calls row(x0, dx, y, first) for every row of every pass in file order: columns x0, x0 + dx, ...
// of line y; first for the first row of a pass. Adam7 when interlaced, else one pass.
template <typename F>
void forEachRow(uint32_t w, uint32_t h, bool interlace, F row) {
    static const uint32_t passes[8][4] = {{0, 0, 1, 1}, {0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8},
                                          {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    for (int p = interlace ? 1 : 0; p < (interlace ? 8 : 1); ++p) {
        const auto [x0, y0, dx, dy] = passes[p];
        if (x0 >= w) continue;
        for (uint32_t y = y0; y < h; y += dy) row(x0, dx, y, y == y0);
    }
}

// The raw image data, each row filtered from the PNG standard's formulas; row r of each pass gets
// filter filterOf(r).
inline Bytes rawImageData(const Samples& s, bool interlace,
                          int (*filterOf)(int) = [](int r) { return r % 5; }) {
    const int bpp = (s.depth * s.channels + 7) / 8;
    Bytes raw, prev;
    int rowIndex = 0;
    forEachRow(s.width, s.height, interlace, [&](uint32_t x0, uint32_t dx, uint32_t y, bool first) {
        if (first) prev.clear();
        const Bytes row = packRow(s, y, x0, dx);
        const int type = filterOf(rowIndex++);
        raw.push_back(uint8_t(type));
        for (size_t i = 0; i < row.size(); ++i) {
            const int a = i >= size_t(bpp) ? row[i - bpp] : 0, b = prev.empty() ? 0 : prev[i],
                      c = (i >= size_t(bpp) && !prev.empty()) ? prev[i - bpp] : 0;
            // The textbook Paeth predictor.
            const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            const int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            const int pred = type == 1 ? a : type == 2 ? b : type == 3 ? (a + b) / 2 : type == 4 ? paeth : 0;
            raw.push_back(uint8_t(row[i] - pred));
        }
        prev = row;
    });
    return raw;
}

inline Bytes fileOf(const std::vector<Bytes>& chunks) {
    Bytes f = signature();
    for (const Bytes& c : chunks) f.insert(f.end(), c.begin(), c.end());
    return f;
}

// A file: signature, IHDR, the extra chunks, one IDAT, IEND.
inline Bytes simpleFile(const Samples& s, uint8_t colorType, bool interlace, std::vector<Bytes> before = {}) {
    before.insert(before.begin(),
                  chunk("IHDR", ihdrData(s.width, s.height, uint8_t(s.depth), colorType, interlace)));
    before.push_back(chunk("IDAT", zlibCompress(rawImageData(s, interlace))));
    before.push_back(chunk("IEND", {}));
    return fileOf(before);
}

// Chunks of a file image as (type, data); throws when a chunk overruns the file or its CRC is wrong.
struct ChunkView {
    std::string type;
    Bytes data;
};
inline std::vector<ChunkView> listChunks(const Bytes& file) {
    std::vector<ChunkView> out;
    for (size_t pos = 8; pos + 12 <= file.size();) {
        const uint32_t len = get32(&file[pos]);
        if (file.size() - pos - 12 < len) throw std::runtime_error("chunk overruns the file");
        ChunkView c{std::string(file.begin() + pos + 4, file.begin() + pos + 8),
                    Bytes(file.begin() + pos + 8, file.begin() + pos + 8 + len)};
        if (chunk(c.type, c.data) != Bytes(file.begin() + pos, file.begin() + pos + 12 + len))
            throw std::runtime_error("bad CRC in " + c.type);
        out.push_back(std::move(c));
        pos += 12 + len;
    }
    return out;
}

inline Bytes idatStream(const Bytes& file) {
    Bytes z;
    for (const ChunkView& c : listChunks(file))
        if (c.type == "IDAT") z.insert(z.end(), c.data.begin(), c.data.end());
    return z;
}

inline Bytes toBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

}  // namespace pngtest
