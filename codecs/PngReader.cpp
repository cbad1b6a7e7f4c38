#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "codecs/Png.h"
#include "codecs/PngChunks.h"
#include "codecs/PngFilters.h"
#include "codecs/PngInterlace.h"
#include "codecs/PngPixels.h"
#include "codecs/PngStreams.h"
#include "codecs/PhotoMeta.h"
#include "imaging/Exif.h"
#include "base/Limits.h"

namespace korvel {

using namespace png;

namespace {

// Deflate never expands more than 1032 to 1 (a 258-byte match in two bits), so compressed data
// shorter than this bound cannot fill the image: it is refused before the raster is allocated.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint64_t kInflateSlack = 1024;

struct ReadState {
    Header hdr;
    bool haveHeader = false;
    bool imageDone = false;
    std::vector<RGBQuad> palette;
    bool havePalette = false;
    bool havePrivate = false;
    std::array<uint8_t, 256> alphaTable{};
    bool haveAlphaTable = false;
};

// Inflates the zlib stream spread over consecutive IDAT chunks, straight into the caller's rows.
class IdatInflater {
public:
    IdatInflater(const Chunk& first, const ChunkCursor& after) : cursor_(after) {
        if (inflateInit(&z_) != Z_OK) fail(msg::kZlib);
        feed(first);
    }
    ~IdatInflater() { inflateEnd(&z_); }
    IdatInflater(const IdatInflater&) = delete;
    IdatInflater& operator=(const IdatInflater&) = delete;

    // Fills out with exactly n bytes or fails with the read error.
    void read(uint8_t* out, size_t n) {
        z_.next_out = out;
        z_.avail_out = uInt(n);
        while (z_.avail_out > 0) {
            if (z_.avail_in == 0 && !nextChunk()) fail(msg::kReadError);
            const int r = inflate(&z_, Z_NO_FLUSH);
            if (r == Z_OK) continue;
            // A bad checksum met after the last needed byte does not matter: CRCs are not checked either.
            if ((r == Z_STREAM_END || r == Z_DATA_ERROR) && z_.avail_out == 0) break;
            if (r == Z_BUF_ERROR && z_.avail_in == 0) continue;
            fail(msg::kReadError);
        }
    }

private:
    void feed(const Chunk& c) {
        z_.next_in = const_cast<Bytef*>(c.data);
        z_.avail_in = uInt(c.size);
    }
    bool nextChunk() {
        Chunk c;
        while (cursor_.next(c)) {
            if (c.type != kIDAT) return false;
            if (c.size > 0) {
                feed(c);
                return true;
            }
        }
        return false;
    }

    z_stream z_{};
    ChunkCursor cursor_;
};

uint64_t inflatedSize(const Header& h) {
    const int bpp = h.bitsPerPixel();
    if (!h.interlace) return checkedMul(checkedAdd(packedRowBytes(h.width, bpp), 1), h.height);
    uint64_t total = 0;
    for (const Adam7Pass& p : kAdam7) {
        const int cols = p.columns(int(h.width)), rows = p.rows(int(h.height));
        if (cols > 0 && rows > 0) total = checkedAdd(total, checkedMul(packedRowBytes(cols, bpp) + 1, size_t(rows)));
    }
    return total;
}

uint64_t compressedSize(const Chunk& first, ChunkCursor cursor) {
    uint64_t total = first.size;
    Chunk c;
    while (cursor.next(c) && c.type == kIDAT) total += c.size;
    return total;
}

// Rows of one pass (or the whole image) through inflate, unfiltering and conversion.
class RowReader {
public:
    RowReader(IdatInflater& in, const Header& hdr, const RowDecoder& dec, TBitmap& image)
        : in_(in), hdr_(hdr), dec_(dec), image_(image), fbpp_(hdr.filterBpp()) {}

    void readPlain() {
        const size_t rb = packedRowBytes(hdr_.width, hdr_.bitsPerPixel());
        allocate(rb);
        TBitmap* mask = image_.mask();
        for (int y = 0; y < image_.height(); ++y)
            dec_.convert(nextRow(rb), image_.width(), image_.scanLine(y), mask ? mask->scanLine(y) : nullptr);
    }

    void readInterlaced() {
        const int storageBits = image_.pixelFormat() == PixelFormat::pf15bit ? 16 : image_.bitsPerPixel();
        std::vector<uint8_t> passRaster(packedRowBytes(hdr_.width, storageBits) + kRowSlack);
        std::vector<uint8_t> passMask(size_t(hdr_.width) + kRowSlack);
        TBitmap* mask = image_.mask();
        allocate(packedRowBytes(hdr_.width, hdr_.bitsPerPixel()));
        for (const Adam7Pass& pass : kAdam7) {
            const int cols = pass.columns(image_.width()), rows = pass.rows(image_.height());
            if (cols == 0 || rows == 0) continue;
            const size_t rb = packedRowBytes(size_t(cols), hdr_.bitsPerPixel());
            // Each pass is a separate image for the filters: its first row has no previous row.
            std::memset(bufA_.data(), 0, rb + 1);
            std::memset(bufB_.data(), 0, rb + 1);
            for (int k = 0; k < rows; ++k) {
                dec_.convert(nextRow(rb), cols, passRaster.data(), passMask.data());
                const int y = pass.y0 + k * pass.dy;
                scatterPixels(passRaster.data(), image_.scanLine(y), cols, pass, storageBits);
                if (mask) scatterPixels(passMask.data(), mask->scanLine(y), cols, pass, 8);
            }
        }
    }

private:
    void allocate(size_t rowBytes) {
        bufA_.assign(rowBytes + 1 + kRowSlack, 0);
        bufB_.assign(rowBytes + 1 + kRowSlack, 0);
        cur_ = bufA_.data(), prev_ = bufB_.data();
    }
    // Inflates and unfilters the next row of rb bytes; returns its pixel bytes.
    const uint8_t* nextRow(size_t rb) {
        std::swap(cur_, prev_);  // the row decoded last is the new row's previous row
        in_.read(cur_, rb + 1);
        if (!unfilterRow(cur_[0], cur_ + 1, prev_ + 1, rb, fbpp_)) fail(msg::kReadError);
        return cur_ + 1;
    }

    IdatInflater& in_;
    const Header& hdr_;
    const RowDecoder& dec_;
    TBitmap& image_;
    const int fbpp_;
    std::vector<uint8_t> bufA_, bufB_;
    uint8_t* cur_ = nullptr;
    uint8_t* prev_ = nullptr;
};

void readHeader(const Chunk& c, ReadState& st) {
    if (st.haveHeader) fail(msg::kTwoIhdr);
    if (c.size < 13) fail(msg::kReadError);
    Header& h = st.hdr;
    h.width = be32(c.data);
    h.height = be32(c.data + 4);
    h.depth = c.data[8];
    h.colorType = c.data[9] & 7;
    h.compression = c.data[10];
    h.filter = c.data[11];
    h.interlace = c.data[12];
    if (h.colorType == 1 || h.colorType == 5 || h.colorType == 7) fail(msg::kColorType);
    if (h.compression >= 2) fail(msg::kCompression);
    if (h.filter >= 2) fail(msg::kFilter);
    if (h.interlace >= 2) fail(msg::kInterlace);
    h.hasAlpha = (h.colorType & 4) != 0;
    h.baseType = uint8_t(h.colorType & 3);
    st.haveHeader = true;
}

void readPalette(const Chunk& c, ReadState& st, const TGLDPNG& into) {
    if (!st.haveHeader || st.imageDone || st.havePalette) return;
    const Header& h = st.hdr;
    const bool paletteAlpha = h.baseType == kGrey && h.hasAlpha && h.depth == 8 && into.readPaletteAlpha &&
                              st.havePrivate && into.privateFlags[1] == 1;
    if (h.baseType != kPalette && h.baseType != kRgb && !paletteAlpha) return;
    const size_t entries = std::min<size_t>(c.size / 3, 256);
    st.palette.resize(entries);
    for (size_t i = 0; i < entries; ++i) {
        const uint8_t* e = c.data + 3 * i;
        st.palette[i] = RGBQuad{e[2], e[1], e[0], 0};
    }
    st.havePalette = true;
}

// A grey sample of depth bits as the 8-bit level of the raster's grey ramp.
uint8_t greyLevel(uint16_t v, int depth) {
    if (depth > 8) return uint8_t(v >> 8);
    if (depth == 8) return uint8_t(v);
    // The depth is validated only at the first IDAT; a bad one here must not divide by zero.
    const unsigned top = depth > 0 ? (1u << depth) - 1 : 1;
    return uint8_t((v & top) * 255 / top);
}

// RGB samples: the low byte at depth 8, the high byte at depth 16.
Color rgbOf(const uint8_t* p, int depth) {
    const int o = depth > 8 ? 0 : 1;
    return makeColor(p[o], p[2 + o], p[4 + o]);
}

void readTransparency(const Chunk& c, ReadState& st, TGLDPNG& into) {
    if (!st.haveHeader || st.imageDone || st.hdr.hasAlpha) return;
    const Header& h = st.hdr;
    if (h.baseType == kGrey && c.size >= 2) {
        const uint8_t g = greyLevel(be16(c.data), h.depth);
        into.transparentColor = makeColor(g, g, g);
    } else if (h.baseType == kRgb && c.size >= 6) {
        into.transparentColor = rgbOf(c.data, h.depth);
    } else if (h.baseType == kPalette) {
        const size_t n = std::min(c.size, st.palette.size());
        if (n == 0) return;
        st.alphaTable.fill(255);
        std::memcpy(st.alphaTable.data(), c.data, n);
        int zeros = 0, partial = 0, zeroAt = -1;
        for (int i = 0; i < 256; ++i) {
            if (st.alphaTable[size_t(i)] == 0) ++zeros, zeroAt = i;
            else if (st.alphaTable[size_t(i)] != 255) ++partial;
        }
        if (zeros == 1 && partial == 0) {
            into.transparentColor = zeroAt;
            into.transparentIsIndex = true;
        } else {
            st.haveAlphaTable = true;
        }
    }
}

void readBackground(const Chunk& c, const ReadState& st, TGLDPNG& into) {
    if (!st.haveHeader) return;
    const Header& h = st.hdr;
    if (h.baseType == kGrey && c.size >= 2) {
        const uint8_t g = greyLevel(be16(c.data), h.depth);
        into.backgroundColor = makeColor(g, g, g);
    } else if (h.baseType == kRgb && c.size >= 6) {
        into.backgroundColor = rgbOf(c.data, h.depth);
    } else if (h.baseType == kPalette && c.size >= 1) {
        into.backgroundColor = c.data[0];
        into.backgroundIsIndex = true;
    }
}

void readText(const Chunk& c, TGLDPNG& into) {
    const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(c.data, 0, c.size));
    if (!zero) return;
    std::string keyword(reinterpret_cast<const char*>(c.data), size_t(zero - c.data));
    std::string text(reinterpret_cast<const char*>(zero + 1), size_t(c.data + c.size - zero - 1));
    if (keyword == "Comment") {
        if (!into.comment.empty()) into.comment += "\r\n";
        into.comment += text + "\r\n";
    } else if (keyword != "Software" && !keyword.empty() && keyword.size() < 80 &&
               text.find('\0') == std::string::npos) {
        into.texts.emplace_back(std::move(keyword), std::move(text));
    }
}

void readPrivate(const Chunk& c, ReadState& st, TGLDPNG& into) {
    if (st.havePrivate || st.imageDone || c.size < 6 || std::memcmp(c.data, kPrivateTag, 4) != 0) return;
    into.privateFlags = {c.data[4], c.data[5]};
    st.havePrivate = true;
}

void readAncillary(const Chunk& c, TGLDPNG& into) {
    switch (c.type) {
        case kGAMA:
            if (c.size >= 4) into.gamma = be32(c.data) / 100000.0;
            break;
        case kCHRM:
            if (c.size >= 32) {
                std::array<uint32_t, 8> v;
                for (int i = 0; i < 8; ++i) v[size_t(i)] = be32(c.data + 4 * i);
                into.chromaticities = v;
            }
            break;
        case kSBIT: into.significantBits.assign(c.data, c.data + std::min<size_t>(c.size, 4)); break;
        case kPHYS:
            if (c.size >= 9) into.physicalSize = PngPhysicalSize{c.data[8], be32(c.data), be32(c.data + 4)};
            break;
        case kTIME:
            if (c.declared == 7 && c.size == 7)
                into.modificationTime = PngTime{be16(c.data), c.data[2], c.data[3], c.data[4], c.data[5], c.data[6]};
            break;
        case kEXIF: {
            PhotoMeta meta = into.photoMeta();
            meta.orientation = ExifOrientation(c.data, c.size);
            into.setPhotoMeta(std::move(meta));
            break;
        }
        case kICCP: {
            PhotoMeta meta = into.photoMeta();
            meta.iccProfile = ReadPngIccProfile(c.data, c.size);
            into.setPhotoMeta(std::move(meta));
            break;
        }
        case kGIFG:
            if (c.declared == 4 && c.size == 4) into.gifgBlock = std::array<uint8_t, 4>{c.data[0], c.data[1], c.data[2], c.data[3]};
            break;
        default: break;
    }
}

void decodeImage(const Chunk& first, const ChunkCursor& after, ReadState& st, TGLDPNG& into, uint64_t maxPixels) {
    if (!st.haveHeader) fail(msg::kReadError);
    const Header& h = st.hdr;
    RowDecoder dec(h, into.significantBits, into.read16Bit);
    const PixelFormat pf = dec.rasterFormat();
    checkImageSize(h.width, h.height, pf == PixelFormat::pf15bit ? 16 : bitsPerPixel(pf), maxPixels);
    if (inflatedSize(h) > compressedSize(first, after) * kMaxInflateRatio + kInflateSlack) fail(msg::kReadError);
    if (st.haveAlphaTable) dec.setPaletteAlpha(st.alphaTable);

    TBitmap image(int(h.width), int(h.height), pf, maxPixels);
    if (h.baseType == kGrey && !st.havePalette) {
        image.setPalette(dec.greyRamp());
    } else if (h.baseType != kRgb) {
        std::vector<RGBQuad> pal = st.palette;
        if (pal.size() > (size_t(1) << bitsPerPixel(pf))) pal.resize(size_t(1) << bitsPerPixel(pf));
        image.setPalette(std::move(pal));
    }
    if (dec.producesMask())
        image.setMask(std::make_unique<TBitmap>(int(h.width), int(h.height), PixelFormat::pf8bit, maxPixels));

    IdatInflater inflater(first, after);
    RowReader rows(inflater, h, dec, image);
    if (h.interlace) rows.readInterlaced();
    else rows.readPlain();
    into.image() = std::move(image);
}

// Image data is bounded by the pixel limit through the inflate ratio; any other chunk by its
// own byte limit.
void checkChunkLimits(const Chunk& c, uint64_t count, const DecodeLimits& limits) {
    if (count > limits.maxPngChunks)
        throw EImageTooLarge("PNG: more than " + std::to_string(limits.maxPngChunks) + " chunks");
    if (c.type != kIDAT && c.declared > limits.maxPngChunkBytes)
        throw EImageTooLarge("PNG: a chunk of " + std::to_string(c.declared) + " bytes exceeds the limit of " +
                             std::to_string(limits.maxPngChunkBytes) + " bytes");
}

}  // namespace

void TGLDPNGReadStream::read(TGLDPNG& into) {
    if (size_ < 8 || std::memcmp(data_, kSignature, 8) != 0) fail(msg::kNotPng);
    ReadState st;
    ChunkCursor cursor(data_, size_, 8);
    Chunk c;
    uint64_t count = 0;
    while (cursor.next(c) && c.type != kIEND) {
        checkChunkLimits(c, ++count, limits_);
        switch (c.type) {
            case kIHDR: readHeader(c, st); break;
            case kIDAT:
                if (!st.imageDone) decodeImage(c, cursor, st, into, limits_.maxPixels);
                st.imageDone = true;
                break;
            case kPLTE: readPalette(c, st, into); break;
            case kTRNS: readTransparency(c, st, into); break;
            case kBKGD: readBackground(c, st, into); break;
            case kTEXT: readText(c, into); break;
            case kTPNG: readPrivate(c, st, into); break;
            default: readAncillary(c, into); break;
        }
    }
    // Data that ends before any image data is a short read.
    if (!st.imageDone) fail(msg::kReadError);
    if (!st.hdr.hasAlpha && into.transparentColor >= 0) {
        if (into.transparentIsIndex) into.image().setTransparentIndex(int(into.transparentColor));
        else into.image().setTransparentColor(Color(into.transparentColor));
    }
}

}  // namespace korvel
