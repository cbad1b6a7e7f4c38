#include "codecs/PhotoMetaThumb.h"

#include <cstring>
#include <vector>

#include "codecs/JpegHeaderWalk.h"
#include "codecs/JpegLib.h"
#include "imaging/Exif.h"

namespace korvel {

namespace {

struct Tiff : TiffBytes {
    // The value of a one-element SHORT or LONG entry.
    bool value(size_t entry, uint32_t& v) const {
        const uint16_t type = u16(entry + 2);
        if (u32(entry + 4) != 1) return false;
        if (type == 3) v = u16(entry + 8);
        else if (type == 4) v = u32(entry + 8);
        else return false;
        return true;
    }
};

// The JPEG of IFD1 as (offset, size) inside the TIFF block; size 0 when absent or damaged.
void thumbnailInTiff(const uint8_t* tiff, size_t size, size_t& offset, size_t& length) {
    length = 0;
    if (size < 8) return;
    Tiff t{{tiff, size, false}};
    if (tiff[0] == 'M' && tiff[1] == 'M') t.big = true;
    else if (!(tiff[0] == 'I' && tiff[1] == 'I')) return;
    if (t.u16(2) != 42) return;
    const size_t ifd0 = t.u32(4);
    if (ifd0 < 8 || !t.has(ifd0, 2)) return;
    const size_t count0 = t.u16(ifd0);
    if (!t.has(ifd0 + 2, 12 * count0 + 4)) return;
    const size_t ifd1 = t.u32(ifd0 + 2 + 12 * count0);
    // Only forward: a link back to IFD0 or before it is a loop or a forgery.
    if (ifd1 <= ifd0 || !t.has(ifd1, 2)) return;
    const size_t count1 = t.u16(ifd1);
    if (!t.has(ifd1 + 2, 12 * count1)) return;
    uint32_t at = 0, n = 0, compression = 6;
    bool haveAt = false, haveN = false;
    for (size_t i = 0; i < count1; ++i) {
        const size_t e = ifd1 + 2 + 12 * i;
        switch (t.u16(e)) {
            case 0x0103: if (!t.value(e, compression)) return; break;
            case 0x0201: haveAt = t.value(e, at); break;
            case 0x0202: haveN = t.value(e, n); break;
            default: break;
        }
    }
    // Compression 6 is the old-style JPEG that IFD1 thumbnails use; 1 means raw strips.
    if (!haveAt || !haveN || compression != 6 || n < 4 || !t.has(at, n)) return;
    offset = at;
    length = n;
}

bool isFrameMarker(uint8_t m) {
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

}  // namespace

ExifThumbnailSpan FindJpegExifThumbnail(const uint8_t* data, size_t size) {
    ExifThumbnailSpan span, found;
    bool sawExif = false;
    walkJpegHeader(data, size, [&](const JpegHeaderSegment& s) {
        if (isFrameMarker(s.marker)) {
            // precision, height, width: the head must hold them, not the whole segment.
            if (s.available < 5) return false;
            span.photoHeight = s.payload[1] << 8 | s.payload[2];
            span.photoWidth = s.payload[3] << 8 | s.payload[4];
            if (span.size > 0 && span.photoWidth > 0 && span.photoHeight > 0) found = span;
            return false;
        }
        if (!s.complete) return false;
        if (s.marker == 0xE1 && !sawExif && s.available >= 6 && std::memcmp(s.payload, "Exif\0", 6) == 0) {
            sawExif = true;
            span.orientation = ExifOrientationOfApp1(s.payload, s.available);
            size_t at = 0, len = 0;
            thumbnailInTiff(s.payload + 6, s.available - 6, at, len);
            if (len > 0) {
                span.offset = size_t(s.payload - data) + 6 + at;
                span.size = len;
            }
        }
        return true;
    });
    // A scan before any frame header, or the data's end: no photo size to check the picture by.
    return found;
}

namespace {

constexpr int kMinEdge = 8, kMaxEdge = 1024;

// Rows into out, which the caller sized; a plain function so that no destructor meets longjmp.
jpeglib::DecodeResult decodeRows(const uint8_t* data, size_t size, const jpeglib::HeaderInfo& info,
                                 std::vector<uint8_t*>& rows, char* message) {
    jpeglib::DecodeJob job;
    job.data = data;
    job.size = size;
    job.output = info.output;
    job.width = info.imageWidth;
    job.height = info.imageHeight;
    job.rows = rows.data();
    job.memoryLimit = size_t(8) << 20;
    job.maxScans = 64;
    return jpeglib::decode(&job, message);
}

}  // namespace

bool DecodeExifThumbnail(const uint8_t* data, size_t size, TBitmap& out) {
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    // Some cameras pad the thumbnail's declared length with zeros after its end marker.
    size_t end = size;
    while (end > 2 && data[end - 1] == 0) --end;
    if (end < 4 || data[end - 2] != 0xFF || data[end - 1] != 0xD9) return false;
    jpeglib::HeaderInfo info;
    char message[jpeglib::kMessageSize] = {};
    if (!jpeglib::readHeader(data, end, &info, message)) return false;
    if (info.imageWidth < kMinEdge || info.imageHeight < kMinEdge || info.imageWidth > kMaxEdge ||
        info.imageHeight > kMaxEdge)
        return false;
    if (info.output != jpeglib::OutputKind::Bgr && info.output != jpeglib::OutputKind::Grey) return false;
    const bool grey = info.output == jpeglib::OutputKind::Grey;
    TBitmap raster(info.imageWidth, info.imageHeight, grey ? PixelFormat::pf8bit : PixelFormat::pf24bit);
    std::vector<uint8_t*> rows(size_t(info.imageHeight));
    for (int y = 0; y < info.imageHeight; ++y) rows[size_t(y)] = raster.scanLine(y);
    if (decodeRows(data, end, info, rows, message) != jpeglib::DecodeResult::Ok) return false;
    if (grey) {
        TBitmap rgb(info.imageWidth, info.imageHeight, PixelFormat::pf24bit);
        for (int y = 0; y < info.imageHeight; ++y) {
            const uint8_t* s = raster.scanLine(y);
            uint8_t* d = rgb.scanLine(y);
            for (int x = 0; x < info.imageWidth; ++x) d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = s[x];
        }
        raster = std::move(rgb);
    }
    out = std::move(raster);
    return true;
}

}  // namespace korvel
