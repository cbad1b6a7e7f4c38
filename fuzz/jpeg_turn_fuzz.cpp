// A JPEG file turned without decoding: the EXIF block it rewrites (orientation, pixel size,
// thumbnail) never reads or writes outside itself, and a turn that succeeds is a JPEG again.
#include "codecs/JpegLib.h"
#include "codecs/JpegTurn.h"
#include "fuzz/FuzzSupport.h"

using namespace korvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (256 << 10)) return 0;
    // The last byte picks the turn, so every orientation is reached from one file.
    const int orientation = data[size - 1] % 8 + 1;
    for (const JpegSegment& s : jpegHeaderSegments(data, size)) {
        fuzz::check(s.bytes.size() >= 4 && s.bytes.size() <= size);
        if (s.marker != 0xE1) continue;
        const std::vector<uint8_t> payload = exifTurned(s.bytes.data() + 4, s.bytes.size() - 4, orientation);
        fuzz::check(payload.size() >= s.bytes.size() - 4 && payload.size() <= 65533 + s.bytes.size());
    }
    // Pictures larger than 4 megapixels are refused or turned the same way; libjpeg's memory for
    // one that Korvel would still turn could exceed the fuzzer's own limit.
    jpeglib::HeaderInfo info;
    char why[jpeglib::kMessageSize];
    if (!jpeglib::readHeader(data, size, &info, why) || uint64_t(info.imageWidth) * uint64_t(info.imageHeight) > (4u << 20))
        return 0;
    for (const bool trim : {false, true}) {
        const JpegTurn t = turnJpegLossless(data, size, orientation, trim);
        if (t.result == JpegTurnResult::Done)
            fuzz::check(t.bytes.size() > 4 && t.bytes[0] == 0xFF && t.bytes[1] == 0xD8 &&
                        !jpegHeaderSegments(t.bytes.data(), t.bytes.size()).empty());
    }
    return 0;
}
