#pragma once
// The thin C-style layer between TJPEGImage and libjpeg. Each call owns one libjpeg object from
// creation to destruction and catches libjpeg's errors with setjmp inside a function whose locals
// need no destructors; the caller turns a false result into an exception afterwards.
#include <cstddef>
#include <cstdint>

namespace korvel::jpeglib {

// libjpeg's JMSG_LENGTH_MAX.
constexpr size_t kMessageSize = 200;

// What the decoder does with the components.
enum class OutputKind { Bgr, Grey, Cmyk, Unsupported };

struct HeaderInfo {
    int imageWidth = 0, imageHeight = 0;
    int components = 0;
    int colorSpace = 0;  // J_COLOR_SPACE of the file
    bool progressive = false;
    bool adobeMarker = false;
    OutputKind output = OutputKind::Unsupported;
    // Output size at the scale 1/1, 1/2, 1/4, 1/8, as libjpeg computes it.
    int scaledWidth[4] = {}, scaledHeight[4] = {};
};

// Reads the header of data. False on failure, with the reason in message.
bool readHeader(const uint8_t* data, size_t size, HeaderInfo* info, char* message);

struct DecodeJob {
    const uint8_t* data = nullptr;
    size_t size = 0;
    int scaleDenom = 1;  // 1, 2, 4 or 8
    OutputKind output = OutputKind::Bgr;
    int width = 0, height = 0;   // expected output size
    uint8_t** rows = nullptr;    // height destination rows: 3 * width bytes (Bgr, Cmyk) or width bytes (Grey)
    uint8_t* scratch = nullptr;  // Cmyk only: kCmykBatch rows of 4 * width bytes
    bool invertedCmyk = false;   // Adobe files store inverted ink values
    // Bound on libjpeg's own buffers: a progressive file needs its whole coefficient image even
    // when it is decoded at 1/8, so a forged header could otherwise ask for many gigabytes.
    size_t memoryLimit = 0;
    // Scans of a progressive file read before the decode fails.
    int maxScans = 1000;
    // Called after each batch with the number of rows now final; must not throw or jump.
    void (*rowsDone)(void* context, int rows) = nullptr;
    void* context = nullptr;
};
constexpr int kCmykBatch = 4;

enum class DecodeResult { Ok, Failed, OverMemoryLimit, OverScanLimit };

// Decodes data into the job's rows. A truncated or slightly damaged stream still fills every row
// (libjpeg pads missing data); only fatal errors fail, with the reason in message.
DecodeResult decode(const DecodeJob* job, char* message);

struct EncodeJob {
    int width = 0, height = 0;
    const uint8_t* const* rows = nullptr;  // height rows of blue, green, red triples
    int quality = 90;
    bool progressive = false;
    bool grayscale = false;
    // Result: a buffer from malloc (the caller frees it) and its size.
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;
};

// Compresses the job's rows. On failure the output is freed and null.
bool encode(EncodeJob* job, char* message);

}  // namespace korvel::jpeglib
