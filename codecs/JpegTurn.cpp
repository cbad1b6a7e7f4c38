#include "codecs/JpegTurn.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "codecs/JpegLib.h"
#include "codecs/PhotoMetaThumb.h"
#include "imaging/Orientation.h"

namespace korvel {

namespace {

// Each orientation as the matrix that moves a point of the stored picture (x right, y down,
// from the centre) to where it shows upright.
struct Matrix {
    int a, b, c, d;  // (x, y) -> (a x + b y, c x + d y)
    bool operator==(const Matrix&) const = default;
};
constexpr Matrix kMatrices[8] = {
    {1, 0, 0, 1},    // 1
    {-1, 0, 0, 1},   // 2 mirrored left to right
    {-1, 0, 0, -1},  // 3 half turn
    {1, 0, 0, -1},   // 4 mirrored top to bottom
    {0, 1, 1, 0},    // 5 transposed
    {0, -1, 1, 0},   // 6 turned right
    {0, -1, -1, 0},  // 7 transversed
    {0, 1, -1, 0},   // 8 turned left
};

int transformOf(int orientation) {
    switch (orientation) {
        case 2: return TJXOP_HFLIP;
        case 3: return TJXOP_ROT180;
        case 4: return TJXOP_VFLIP;
        case 5: return TJXOP_TRANSPOSE;
        case 6: return TJXOP_ROT90;
        case 7: return TJXOP_TRANSVERSE;
        case 8: return TJXOP_ROT270;
    }
    return TJXOP_NONE;
}

// libjpeg holds every coefficient of the picture twice (as read and turned), allocated from the
// frame header's size before a scan is read: a forged header must not ask for gigabytes. Two
// bytes a coefficient, each copy; a photo of 150 megapixels still turns.
constexpr uint64_t kMaxTurnBytes = uint64_t(2) << 30;
// An EXIF thumbnail lives in a 64 KiB segment; anything larger claimed is forged.
constexpr uint64_t kMaxThumbnailTurnBytes = uint64_t(64) << 20;

// One transform by libjpeg-turbo; false with the reason in message.
bool transform(const uint8_t* data, size_t size, int orientation, int options, std::vector<uint8_t>& out,
               std::string& message, uint64_t maxBytes = kMaxTurnBytes) {
    jpeglib::HeaderInfo info;
    char why[jpeglib::kMessageSize] = {};
    if (!jpeglib::readHeader(data, size, &info, why)) {
        message = why;
        return false;
    }
    if (uint64_t(info.imageWidth) * uint64_t(info.imageHeight) * uint64_t(std::max(info.components, 1)) * 4 > maxBytes) {
        message = "the picture is too large to turn (" + std::to_string(info.imageWidth) + " x " +
                  std::to_string(info.imageHeight) + ")";
        return false;
    }
    tjhandle handle = tjInitTransform();
    if (!handle) {
        message = tjGetErrorStr2(nullptr);
        return false;
    }
    tjtransform t{};
    t.op = transformOf(orientation);
    t.options = options | TJXOPT_COPYNONE;
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    const bool ok = tjTransform(handle, data, static_cast<unsigned long>(size), 1, &buffer, &length, &t, 0) == 0;
    if (ok) out.assign(buffer, buffer + length);
    else message = tjGetErrorStr2(handle);
    tjFree(buffer);
    tjDestroy(handle);
    return ok;
}

struct Tiff {
    uint8_t* p;
    size_t size;
    bool big;
    bool has(size_t at, size_t n) const { return at <= size && n <= size - at; }
    uint32_t get(size_t at, int bytes) const {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) v = big ? v << 8 | p[at + i] : v | uint32_t(p[at + i]) << (8 * i);
        return v;
    }
    void put(size_t at, int bytes, uint32_t v) {
        for (int i = 0; i < bytes; ++i) p[at + (big ? bytes - 1 - i : i)] = uint8_t(v >> (8 * i));
    }
    // The entry of tag in the IFD at ifd; 0 when none. A directory that runs past the end is none.
    size_t entry(size_t ifd, uint16_t tag) const {
        if (ifd < 8 || !has(ifd, 2)) return 0;
        const size_t count = get(ifd, 2);
        if (!has(ifd + 2, 12 * count + 4)) return 0;
        for (size_t i = 0; i < count; ++i)
            if (get(ifd + 2 + 12 * i, 2) == tag) return ifd + 2 + 12 * i;
        return 0;
    }
    size_t next(size_t ifd) const {
        const size_t count = has(ifd, 2) ? get(ifd, 2) : 0;
        return has(ifd + 2, 12 * count + 4) ? get(ifd + 2 + 12 * count, 4) : 0;
    }
    // A single SHORT or LONG value; its size in bytes, or 0 for any other kind of entry.
    int scalarBytes(size_t e) const {
        if (!e || get(e + 4, 4) != 1) return 0;
        const uint32_t type = get(e + 2, 2);
        return type == 3 ? 2 : type == 4 ? 4 : 0;
    }
};

// The EXIF thumbnail turned: its blocks moved when its size allows, else decoded, turned and
// compressed again. Trimming would cut a strip off and leave it showing less than the photo.
bool turnedThumbnail(const uint8_t* data, size_t size, int orientation, std::vector<uint8_t>& out) {
    std::string message;
    if (transform(data, size, orientation, TJXOPT_PERFECT, out, message, kMaxThumbnailTurnBytes)) return true;
    TBitmap small;
    if (!DecodeExifThumbnail(data, size, small)) return false;
    const TBitmap upright = OrientUpright(small, orientation);
    std::vector<const uint8_t*> rows(size_t(upright.height()));
    for (int y = 0; y < upright.height(); ++y) rows[size_t(y)] = upright.scanLine(y);
    jpeglib::EncodeJob job;
    job.width = upright.width();
    job.height = upright.height();
    job.rows = rows.data();
    char why[jpeglib::kMessageSize];
    if (!jpeglib::encode(&job, why)) return false;
    std::unique_ptr<unsigned char, void (*)(void*)> owned(job.output, std::free);
    out.assign(owned.get(), owned.get() + job.outputSize);
    return true;
}

}  // namespace

int composeOrientation(int a, int b) {
    if (a < 1 || a > 8) a = 1;
    if (b < 1 || b > 8) b = 1;
    const Matrix& m = kMatrices[b - 1];
    const Matrix& n = kMatrices[a - 1];
    const Matrix p{m.a * n.a + m.b * n.c, m.a * n.b + m.b * n.d, m.c * n.a + m.d * n.c, m.c * n.b + m.d * n.d};
    for (int i = 0; i < 8; ++i)
        if (kMatrices[i] == p) return i + 1;
    return 1;
}

std::vector<JpegSegment> jpegHeaderSegments(const uint8_t* data, size_t size) {
    std::vector<JpegSegment> segments;
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return {};
    size_t at = 2;
    for (;;) {
        if (at + 4 > size || data[at] != 0xFF) return {};
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        const size_t length = size_t(data[at + 2]) << 8 | data[at + 3];
        if (length < 2 || at + 2 + length > size) return {};
        segments.push_back({marker, std::vector<uint8_t>(data + at, data + at + 2 + length)});
        at += 2 + length;
        if (marker == 0xDA) return segments;
    }
}

std::vector<uint8_t> exifTurned(const uint8_t* payload, size_t size, int orientation) {
    std::vector<uint8_t> out(payload, payload + size);
    static const char kExifId[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (size < 6 + 8 || std::memcmp(payload, kExifId, 6) != 0) return out;
    Tiff t{out.data() + 6, size - 6, out[6] == 'M'};
    if (!((out[6] == 'I' && out[7] == 'I') || (out[6] == 'M' && out[7] == 'M')) || t.get(2, 2) != 42) return out;
    const size_t ifd0 = t.get(4, 4);
    if (const size_t e = t.entry(ifd0, 0x0112); t.scalarBytes(e) == 2) t.put(e + 8, 2, 1);
    if (orientation >= 5) {
        // PixelXDimension and PixelYDimension of the Exif IFD trade places.
        const size_t exif = t.scalarBytes(t.entry(ifd0, 0x8769)) == 4 ? t.get(t.entry(ifd0, 0x8769) + 8, 4) : 0;
        const size_t ex = t.entry(exif, 0xA002), ey = t.entry(exif, 0xA003);
        if (const int bx = t.scalarBytes(ex), by = t.scalarBytes(ey); bx && by) {
            const uint32_t x = t.get(ex + 8, bx), y = t.get(ey + 8, by);
            const auto fits = [](uint32_t v, int bytes) { return bytes == 4 || v <= 0xFFFFu; };
            if (fits(y, bx) && fits(x, by)) {
                t.put(ex + 8, bx, y);
                t.put(ey + 8, by, x);
            }
        }
    }
    // The thumbnail of IFD1: turned in place when it fits, else added at the end of the block.
    const size_t ifd1 = t.next(ifd0);
    const size_t eo = t.entry(ifd1, 0x0201), el = t.entry(ifd1, 0x0202);
    if (orientation < 2 || t.scalarBytes(eo) != 4 || !t.scalarBytes(el)) return out;
    const size_t offset = t.get(eo + 8, 4), length = t.get(el + 8, t.scalarBytes(el));
    if (!t.has(offset, length) || length == 0) return out;
    std::vector<uint8_t> thumb;
    if (!turnedThumbnail(t.p + offset, length, orientation, thumb)) return out;
    if (thumb.size() <= length) {
        std::memcpy(t.p + offset, thumb.data(), thumb.size());
        std::memset(t.p + offset + thumb.size(), 0, length - thumb.size());
    } else {
        // An APP1 segment holds at most 65533 payload bytes.
        if (out.size() + thumb.size() > 65533) return out;
        const size_t at = t.size;
        t.put(eo + 8, 4, uint32_t(at));
        out.insert(out.end(), thumb.begin(), thumb.end());
        t.p = out.data() + 6;
        t.size = out.size() - 6;
    }
    t.put(el + 8, t.scalarBytes(el), uint32_t(thumb.size()));
    return out;
}

JpegTurn turnJpegLossless(const uint8_t* data, size_t size, int orientation, bool trim) {
    JpegTurn turn;
    const std::vector<JpegSegment> original = jpegHeaderSegments(data, size);
    if (original.empty()) {
        turn.message = "not a JPEG file";
        return turn;
    }
    std::vector<uint8_t> moved;
    if (!transform(data, size, orientation, trim ? TJXOPT_TRIM : TJXOPT_PERFECT, moved, turn.message)) {
        std::vector<uint8_t> trimmed;
        std::string unused;
        if (!trim && transform(data, size, orientation, TJXOPT_TRIM, trimmed, unused)) {
            turn.result = JpegTurnResult::NotPerfect;
            turn.message.clear();
        }
        return turn;
    }
    const std::vector<JpegSegment> written = jpegHeaderSegments(moved.data(), moved.size());
    if (written.empty()) {
        turn.message = "the transform wrote no usable header";
        return turn;
    }
    // SOI, the original's APPn and COM segments in their order, then the transform's tables,
    // frame and scans without its own APPn and COM.
    const auto isMarkerKept = [](uint8_t m) { return (m >= 0xE0 && m <= 0xEF) || m == 0xFE; };
    std::vector<uint8_t>& out = turn.bytes;
    out = {0xFF, 0xD8};
    for (const JpegSegment& s : original) {
        if (!isMarkerKept(s.marker)) continue;
        if (s.marker == 0xE1) {
            const std::vector<uint8_t> payload = exifTurned(s.bytes.data() + 4, s.bytes.size() - 4, orientation);
            out.insert(out.end(), {0xFF, 0xE1, uint8_t((payload.size() + 2) >> 8), uint8_t(payload.size() + 2)});
            out.insert(out.end(), payload.begin(), payload.end());
        } else {
            out.insert(out.end(), s.bytes.begin(), s.bytes.end());
        }
    }
    size_t rest = 2;
    for (const JpegSegment& s : written) {
        if (!isMarkerKept(s.marker)) break;
        rest += s.bytes.size();
    }
    out.insert(out.end(), moved.begin() + ptrdiff_t(rest), moved.end());
    turn.result = JpegTurnResult::Done;
    return turn;
}

}  // namespace korvel
