#include "codecs/PngChunks.h"

#include <zlib.h>

#include <ostream>

#include "codecs/Png.h"

namespace korvel::png {

void fail(const char* message) { throw EGLDPNG(message); }

bool ChunkCursor::next(Chunk& chunk) {
    if (pos_ > size_ || size_ - pos_ < 8) return false;
    const uint8_t* p = data_ + pos_;
    chunk.declared = be32(p);
    chunk.type = be32(p + 4);
    chunk.data = p + 8;
    const size_t left = size_ - pos_ - 8;
    chunk.size = chunk.declared < left ? chunk.declared : left;
    // Past data and CRC; a chunk cut off by the end of the file leaves nothing after it.
    const size_t rest = left - chunk.size;
    pos_ += 8 + chunk.size + (rest < 4 ? rest : 4);
    if (chunk.truncated()) pos_ = size_;
    return true;
}

void writeBytes(std::ostream& out, const void* data, size_t size) {
    out.write(static_cast<const char*>(data), std::streamsize(size));
    if (!out) fail(msg::kWriteError);
}

void writeChunk(std::ostream& out, uint32_t type, const uint8_t* data, size_t size) {
    uint8_t head[8];
    putBe32(head, uint32_t(size));
    putBe32(head + 4, type);
    uLong crc = crc32(0L, head + 4, 4);
    // zlib's crc32 takes a uInt length; large IDAT buffers never come near it, but stay exact.
    for (size_t done = 0; done < size;) {
        const size_t part = size - done < (1u << 30) ? size - done : (1u << 30);
        crc = crc32(crc, data + done, uInt(part));
        done += part;
    }
    uint8_t tail[4];
    putBe32(tail, uint32_t(crc));
    writeBytes(out, head, 8);
    if (size) writeBytes(out, data, size);
    writeBytes(out, tail, 4);
}

}  // namespace korvel::png
