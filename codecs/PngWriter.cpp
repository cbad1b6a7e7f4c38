#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ostream>
#include <string>

#include "codecs/Png.h"
#include "codecs/PngChunks.h"
#include "codecs/PngFilters.h"
#include "codecs/PngInterlace.h"
#include "codecs/PngPixels.h"
#include "codecs/PngStreams.h"

namespace korvel {

using namespace png;

namespace {

using Bytes = std::vector<uint8_t>;

void chunk(std::ostream& out, uint32_t type, const Bytes& data) { writeChunk(out, type, data.data(), data.size()); }

void appendBe32(Bytes& b, uint32_t v) {
    uint8_t p[4];
    putBe32(p, v);
    b.insert(b.end(), p, p + 4);
}
void appendBe16(Bytes& b, uint16_t v) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}

void textChunk(std::ostream& out, const char* keyword, const std::string& text) {
    Bytes b(keyword, keyword + std::strlen(keyword));
    b.push_back(0);
    b.insert(b.end(), text.begin(), text.end());
    chunk(out, kTEXT, b);
}

// Collects the compressed stream; each time idatSize bytes are ready they go out as one IDAT.
class IdatDeflater {
public:
    IdatDeflater(std::ostream& out, int level, size_t idatSize) : out_(out), buf_(idatSize) {
        if (level < -1 || level > 9) level = Z_DEFAULT_COMPRESSION;
        if (deflateInit(&z_, level) != Z_OK) fail(msg::kWriteError);
        z_.next_out = buf_.data();
        z_.avail_out = uInt(buf_.size());
    }
    ~IdatDeflater() { deflateEnd(&z_); }
    IdatDeflater(const IdatDeflater&) = delete;
    IdatDeflater& operator=(const IdatDeflater&) = delete;

    void write(const uint8_t* data, size_t n) {
        z_.next_in = const_cast<Bytef*>(data);
        z_.avail_in = uInt(n);
        while (z_.avail_in > 0) {
            if (deflate(&z_, Z_NO_FLUSH) == Z_STREAM_ERROR) fail(msg::kWriteError);
            if (z_.avail_out == 0) flushBuffer();
        }
    }
    void finish() {
        for (;;) {
            const int r = deflate(&z_, Z_FINISH);
            if (r == Z_STREAM_ERROR) fail(msg::kWriteError);
            if (z_.avail_out == 0 || r == Z_STREAM_END) flushBuffer();
            if (r == Z_STREAM_END) return;
        }
    }

private:
    void flushBuffer() {
        const size_t used = buf_.size() - z_.avail_out;
        if (used) writeChunk(out_, kIDAT, buf_.data(), used);
        z_.next_out = buf_.data();
        z_.avail_out = uInt(buf_.size());
    }

    std::ostream& out_;
    Bytes buf_;
    z_stream z_{};
};

// Filters and compresses rows; `prev` is the previous unfiltered row of the same pass.
class RowWriter {
public:
    RowWriter(IdatDeflater& z, int filterMode, size_t maxRowBytes, int bpp)
        : z_(z), mode_(filterMode), bpp_(bpp), cur_(maxRowBytes + 1 + kRowSlack), prev_(maxRowBytes + 1 + kRowSlack),
          out_(filterMode == 1 ? 0 : (filterMode == 0 ? 5 : 1) * (maxRowBytes + 1) + kRowSlack) {}

    // The buffer the next row's pixel bytes go into.
    uint8_t* row() { return cur_.data() + 1; }
    void startPass(size_t rowBytes) { std::memset(prev_.data(), 0, rowBytes + 1); }

    void put(size_t n) {
        const uint8_t* row = cur_.data() + 1;
        const uint8_t* prev = prev_.data() + 1;
        if (mode_ == 0) {
            const uint8_t type = chooseFilter(row, prev, out_.data(), n, bpp_);
            z_.write(&type, 1);
            z_.write(out_.data() + size_t(type) * n, n);
        } else if (mode_ >= 2 && mode_ <= 5) {
            out_[0] = uint8_t(mode_ - 1);
            filterRow(out_[0], row, prev, out_.data() + 1, n, bpp_);
            z_.write(out_.data(), n + 1);
        } else {
            cur_[0] = kFilterNone;
            z_.write(cur_.data(), n + 1);
        }
        std::swap(cur_, prev_);
    }

private:
    IdatDeflater& z_;
    const int mode_, bpp_;
    Bytes cur_, prev_, out_;
};

// The colour a stored bKGD or tRNS value stands for.
Color colorOf(int64_t value, bool isIndex, const TBitmap& image) {
    if (!isIndex) return Color(value) & 0xFFFFFF;
    const auto& pal = image.palette();
    return size_t(value) < pal.size() ? pal[size_t(value)].color() : 0;
}

// A palette index for a stored value: the index itself, or the entry of that exact colour.
int paletteIndexOf(int64_t value, bool isIndex, const TBitmap& image) {
    if (isIndex) return value < 256 ? int(value) : -1;
    const auto& pal = image.palette();
    for (size_t i = 0; i < pal.size(); ++i)
        if (pal[i].color() == (Color(value) & 0xFFFFFF)) return int(i);
    return -1;
}

// The bKGD / tRNS body for a grey or RGB type; empty when the value has no form there.
Bytes colourForm(int64_t value, bool isIndex, const TBitmap& image, const WriteLayout& l) {
    Bytes b;
    const Color c = colorOf(value, isIndex, image);
    if (l.colorType == kGrey) {
        appendBe16(b, greyAtDepth(greyOf(c), l.depth));
    } else if (l.colorType == kGreyAlpha) {
        appendBe16(b, l.paletteAlpha && isIndex ? uint16_t(value & 0xFF) : greyOf(c));
    } else if (l.colorType == kRgb || l.colorType == kRgba) {
        appendBe16(b, redOf(c));
        appendBe16(b, greenOf(c));
        appendBe16(b, blueOf(c));
    }
    return b;
}

class Writer {
public:
    Writer(std::ostream& out, const TGLDPNG& png)
        : out_(out), png_(png), image_(png.image()), layout_(chooseWriteLayout(image_, png.greyscale)) {}

    void run() {
        writeBytes(out_, kSignature, 8);
        header();
        time();
        if (!png_.comment.empty()) textChunk(out_, "Comment", png_.comment);
        textChunk(out_, "Software", kSoftwareText);
        for (const auto& [keyword, text] : png_.texts) {
            if (keyword.empty() || keyword.size() > 79 || keyword.find('\0') != std::string::npos ||
                text.find('\0') != std::string::npos)
                fail(msg::kWriteError);
            textChunk(out_, keyword.c_str(), text);
        }
        privateChunk();
        if (png_.gifgBlock) chunk(out_, kGIFG, Bytes(png_.gifgBlock->begin(), png_.gifgBlock->end()));
        gammaAndChromaticities();
        significantBits();
        palette();
        backgroundAndTransparency();
        physicalSize();
        imageData();
        writeChunk(out_, kIEND, nullptr, 0);
    }

private:
    void header() {
        Bytes b;
        appendBe32(b, uint32_t(image_.width()));
        appendBe32(b, uint32_t(image_.height()));
        b.insert(b.end(), {layout_.depth, layout_.colorType, 0, 0, uint8_t(png_.interlace ? 1 : 0)});
        chunk(out_, kIHDR, b);
    }

    void time() {
        const PngTime t = png_.automaticTime ? PngTime::nowUtc() : png_.modificationTime;
        if (!t.valid()) return;
        Bytes b;
        appendBe16(b, uint16_t(t.year));
        b.insert(b.end(), {uint8_t(t.month), uint8_t(t.day), uint8_t(t.hour), uint8_t(t.minute), uint8_t(t.second)});
        chunk(out_, kTIME, b);
    }

    void privateChunk() {
        Bytes b(kPrivateTag, kPrivateTag + 4);
        b.insert(b.end(), {0, uint8_t(layout_.paletteAlpha ? 1 : 0), 0, 0});
        chunk(out_, kTPNG, b);
    }

    void gammaAndChromaticities() {
        const double g = std::round(png_.gamma * 100000.0);
        if (g >= 1) {
            Bytes b;
            appendBe32(b, g >= 4294967295.0 ? 0xFFFFFFFFu : uint32_t(g));
            chunk(out_, kGAMA, b);
        }
        if (png_.chromaticities) {
            Bytes b;
            for (uint32_t v : *png_.chromaticities) appendBe32(b, v);
            chunk(out_, kCHRM, b);
        }
    }

    void significantBits() {
        const bool rgb = layout_.colorType == kRgb || layout_.colorType == kRgba;
        const bool alpha = layout_.colorType == kRgba;
        const PixelFormat pf = image_.pixelFormat();
        Bytes b;
        if (rgb && pf == PixelFormat::pf15bit) b = {5, 5, 5};
        else if (rgb && pf == PixelFormat::pf16bit) b = {5, 6, 5};
        if (!b.empty()) {
            if (alpha) b.push_back(8);
        } else {
            // A value carried over from a file read earlier, when it fits this type.
            const Bytes& s = png_.significantBits;
            const int maxBits = layout_.colorType == kPalette ? 8 : layout_.depth;
            const size_t want = layout_.colorType == kPalette ? 3 : size_t(layout_.channels());
            if (s.size() != want || std::any_of(s.begin(), s.end(), [&](uint8_t v) { return v < 1 || v > maxBits; }))
                return;
            b = s;
        }
        chunk(out_, kSBIT, b);
    }

    void palette() {
        if (layout_.colorType != kPalette && !layout_.paletteAlpha) return;
        const size_t cap = layout_.colorType == kPalette ? size_t(1) << layout_.depth : 256;
        std::vector<RGBQuad> pal = image_.palette();
        if (pal.size() > cap) pal.resize(cap);
        // Indices beyond a short colour table would make the file invalid: cover them in black.
        if (pal.size() < cap) pal.resize(std::max(pal.size(), size_t(maxIndex()) + 1));
        Bytes b;
        for (const RGBQuad& q : pal) b.insert(b.end(), {q.rgbRed, q.rgbGreen, q.rgbBlue});
        chunk(out_, kPLTE, b);
    }

    unsigned maxIndex() const {
        unsigned m = 0;
        for (int y = 0; y < image_.height(); ++y)
            for (int x = 0; x < image_.width(); ++x) m = std::max(m, image_.rawPixel(x, y));
        return m;
    }

    void backgroundAndTransparency() {
        if (png_.backgroundColor >= 0) {
            Bytes b;
            if (layout_.colorType == kPalette) {
                int i = png_.backgroundIsIndex ? paletteIndexOf(png_.backgroundColor, true, image_)
                                               : nearestPaletteIndex(image_.palette(), Color(png_.backgroundColor));
                if (i >= 0) b.push_back(uint8_t(i));
            } else {
                b = colourForm(png_.backgroundColor, png_.backgroundIsIndex, image_, layout_);
            }
            if (!b.empty()) chunk(out_, kBKGD, b);
        }
        // PNG allows tRNS only for types without an alpha channel.
        if (png_.transparentColor < 0 || layout_.colorType == kGreyAlpha || layout_.colorType == kRgba) return;
        Bytes b;
        if (layout_.colorType == kPalette) {
            const int i = paletteIndexOf(png_.transparentColor, png_.transparentIsIndex, image_);
            if (i < 0 || size_t(i) >= (size_t(1) << layout_.depth)) return;
            b.assign(size_t(i) + 1, 255);
            b[size_t(i)] = 0;
        } else {
            b = colourForm(png_.transparentColor, png_.transparentIsIndex, image_, layout_);
        }
        chunk(out_, kTRNS, b);
    }

    void physicalSize() {
        if (!png_.physicalSize) return;
        PngPhysicalSize p = *png_.physicalSize;
        if (p.unit == 2) {
            auto perMetre = [](uint32_t perInch) { return uint32_t(std::llround(double(perInch) * 10000.0 / 254.0)); };
            p = PngPhysicalSize{1, perMetre(p.pixelsPerUnitX), perMetre(p.pixelsPerUnitY)};
        }
        Bytes b;
        appendBe32(b, p.pixelsPerUnitX);
        appendBe32(b, p.pixelsPerUnitY);
        b.push_back(p.unit);
        chunk(out_, kPHYS, b);
    }

    void imageData() {
        const int bits = layout_.bitsPerPixel(), w = image_.width(), h = image_.height();
        const size_t fullRow = packedRowBytes(size_t(w), bits);
        IdatDeflater z(out_, png_.compressionLevel, size_t(png_.idatSize()));
        RowWriter rows(z, png_.filterMode, fullRow, (bits + 7) / 8);
        if (!png_.interlace) {
            rows.startPass(fullRow);
            for (int y = 0; y < h; ++y) {
                encodeRow(image_, layout_, y, rows.row());
                rows.put(fullRow);
            }
        } else {
            Bytes full(fullRow + kRowSlack);
            for (const Adam7Pass& pass : kAdam7) {
                const int cols = pass.columns(w), passRows = pass.rows(h);
                if (cols == 0 || passRows == 0) continue;
                const size_t rb = packedRowBytes(size_t(cols), bits);
                rows.startPass(rb);
                for (int k = 0; k < passRows; ++k) {
                    encodeRow(image_, layout_, pass.y0 + k * pass.dy, full.data());
                    gatherPixels(full.data(), rows.row(), cols, pass, bits);
                    rows.put(rb);
                }
            }
        }
        z.finish();
    }

    std::ostream& out_;
    const TGLDPNG& png_;
    const TBitmap& image_;
    const WriteLayout layout_;
};

}  // namespace

void TGLDPNGWriteStream::write(const TGLDPNG& png) {
    if (png.image().empty()) fail(msg::kEmptyImage);
    Writer(out_, png).run();
}

}  // namespace korvel
