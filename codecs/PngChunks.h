#pragma once
// PNG file structure: signature, chunk framing (length, type, data, CRC), big-endian fields and
// the codec's error texts.
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace korvel::png {

inline constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

constexpr uint32_t chunkType(const char (&t)[5]) {
    return (uint32_t(uint8_t(t[0])) << 24) | (uint32_t(uint8_t(t[1])) << 16) | (uint32_t(uint8_t(t[2])) << 8) |
           uint32_t(uint8_t(t[3]));
}

inline constexpr uint32_t kIHDR = chunkType("IHDR"), kPLTE = chunkType("PLTE"), kIDAT = chunkType("IDAT"),
                          kIEND = chunkType("IEND"), kTRNS = chunkType("tRNS"), kBKGD = chunkType("bKGD"),
                          kGAMA = chunkType("gAMA"), kCHRM = chunkType("cHRM"), kSBIT = chunkType("sBIT"),
                          kPHYS = chunkType("pHYs"), kTIME = chunkType("tIME"), kTEXT = chunkType("tEXt"),
                          kGIFG = chunkType("gIFg"), kTPNG = chunkType("tpNG"),
                          kEXIF = chunkType("eXIf"), kICCP = chunkType("iCCP");

// The private chunk's tag.
inline constexpr char kPrivateTag[4] = {'G', 'L', 'D', '3'};
inline constexpr char kSoftwareText[] = "GLDPNG ver 3.4";

// Error texts, exactly as users and callers see them.
namespace msg {
inline constexpr char kNotPng[] = "PNG LoadStream: Not PNG Format";
inline constexpr char kZlib[] = "PNG LoadStream: Error ZLIB";
inline constexpr char kReadError[] = "Read Image (PNG): Read Error";
inline constexpr char kTwoIhdr[] = "Read Header(PNG): appear two IHDR";
inline constexpr char kColorType[] = "Read Header(PNG): Error ColorType";
inline constexpr char kCompression[] = "Read Header(PNG): not support Compression";
inline constexpr char kFilter[] = "Read Header(PNG): not supprt Filter";
inline constexpr char kInterlace[] = "Read Header(PNG): not interlace type";
inline constexpr char kGreyDepth[] = "Read Header(PNG): Error Bitdepth";
inline constexpr char kDepth[] = "Read Header(PNG): Error BitDepth";
inline constexpr char kAlphaDepth[] = "Read Header(PNG): not Use AlphaChannel";
inline constexpr char kIdatSize[] = "Write PNG Param: Err IDAT Size(min:256  max:100000)";
inline constexpr char kWriteError[] = "Write Image (PNG): Write Error";
inline constexpr char kEmptyImage[] = "Write Image (PNG): Image is empty";
}  // namespace msg

inline uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
inline uint16_t be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
inline void putBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
}
inline void putBe16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v >> 8), p[1] = uint8_t(v); }

// One chunk inside a file image held in memory. `size` is the data actually present, which is
// less than `declared` when the file ends inside the chunk.
struct Chunk {
    uint32_t type = 0;
    uint32_t declared = 0;
    const uint8_t* data = nullptr;
    size_t size = 0;
    bool truncated() const { return size < declared; }
};

// Walks the chunks after the signature. The CRC is skipped, not compared: damaged CRCs load.
class ChunkCursor {
public:
    ChunkCursor(const uint8_t* data, size_t size, size_t offset) : data_(data), size_(size), pos_(offset) {}
    // Reads the next chunk's framing; false at the end of the data (no complete length and type).
    bool next(Chunk& chunk);
    // Offset of the byte after the last chunk returned (past its CRC, clamped to the data).
    size_t position() const { return pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_;
};

// Writes length, type, data and the CRC-32 of type and data. Throws EGLDPNG on a failed stream.
void writeChunk(std::ostream& out, uint32_t type, const uint8_t* data, size_t size);
// Writes raw bytes (the signature). Throws EGLDPNG on a failed stream.
void writeBytes(std::ostream& out, const void* data, size_t size);

[[noreturn]] void fail(const char* message);

}  // namespace korvel::png
