#include "codecs/PhotoMeta.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "codecs/JpegHeaderWalk.h"
#include "imaging/Exif.h"

namespace korvel {

namespace {

constexpr uint8_t kAPP1 = 0xE1, kAPP2 = 0xE2;
constexpr char kIccId[12] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};

struct IccChunks {
    int count = 0;  // from the first chunk; every chunk must agree
    bool broken = false;
    std::vector<std::vector<uint8_t>> parts;
    size_t bytes = 0;

    void add(const uint8_t* p, size_t n) {
        if (n < sizeof kIccId + 2 || std::memcmp(p, kIccId, sizeof kIccId) != 0) return;
        const int seq = p[12], total = p[13];
        if (count == 0 && total > 0) {
            count = total;
            parts.resize(size_t(total));
        }
        if (seq < 1 || total != count || seq > count || !parts[size_t(seq - 1)].empty()) {
            broken = true;
            return;
        }
        n -= 14;
        if (n == 0 || n > kMaxIccProfileBytes - bytes) {
            broken = true;
            return;
        }
        parts[size_t(seq - 1)].assign(p + 14, p + 14 + n);
        bytes += n;
    }

    std::vector<uint8_t> joined() const {
        std::vector<uint8_t> out;
        if (broken || count == 0) return out;
        for (const auto& part : parts)
            if (part.empty()) return {};
        out.reserve(bytes);
        for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
        return out;
    }
};

}  // namespace

PhotoMeta ReadJpegPhotoMeta(const uint8_t* data, size_t size) {
    PhotoMeta meta;
    bool haveOrientation = false;
    IccChunks icc;
    walkJpegHeader(data, size, [&](const JpegHeaderSegment& s) {
        if (!s.complete) return false;
        // The first Exif APP1 counts; a later one (an XMP packet also uses APP1) is not Exif.
        if (s.marker == kAPP1 && !haveOrientation && s.available >= 6 && std::memcmp(s.payload, "Exif\0", 6) == 0) {
            meta.orientation = ExifOrientationOfApp1(s.payload, s.available);
            haveOrientation = true;
        } else if (s.marker == kAPP2) {
            icc.add(s.payload, s.available);
        }
        return true;
    });
    meta.iccProfile = icc.joined();
    return meta;
}

std::vector<uint8_t> ReadPngIccProfile(const uint8_t* data, size_t size) {
    // The keyword takes 1 to 79 bytes; only compression method 0 (zlib) is defined.
    if (!data || size < 3) return {};
    const void* zero = std::memchr(data, 0, std::min<size_t>(size, 80));
    if (!zero || zero == data) return {};
    const size_t at = size_t(static_cast<const uint8_t*>(zero) - data) + 1;
    if (at >= size || data[at] != 0) return {};
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return {};
    z.next_in = const_cast<Bytef*>(data + at + 1);
    z.avail_in = uInt(size - at - 1);
    std::vector<uint8_t> out;
    int rc = Z_OK;
    while (rc == Z_OK) {
        if (out.size() >= kMaxIccProfileBytes) break;
        const size_t have = out.size();
        out.resize(std::min(kMaxIccProfileBytes, std::max<size_t>(have * 2, 4096)));
        z.next_out = out.data() + have;
        z.avail_out = uInt(out.size() - have);
        rc = inflate(&z, Z_NO_FLUSH);
        out.resize(out.size() - z.avail_out);
        if (rc == Z_BUF_ERROR && z.avail_out != 0) break;  // input ended early
    }
    inflateEnd(&z);
    if (rc != Z_STREAM_END) return {};
    return out;
}

}  // namespace korvel
