#pragma once
// Turning a JPEG file without decoding it: the DCT blocks are moved, not recompressed, and every
// marker before the frame is kept as it was, but for the EXIF orientation (now 1), the picture
// size the EXIF records and its thumbnail, which turn with the picture.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvel {

// The EXIF orientation (1..8) that composes turning by b after turning by a, each given as the
// orientation whose stored picture it makes upright.
int composeOrientation(int a, int b);

enum class JpegTurnResult {
    Done,
    NotPerfect,  // the size is not a whole number of blocks on an edge that would move; trim to turn
    Failed,      // not a JPEG libjpeg can transform
};

struct JpegTurn {
    JpegTurnResult result = JpegTurnResult::Failed;
    std::vector<uint8_t> bytes;  // Done: the turned file
    std::string message;         // Failed: libjpeg's reason
};

// Turns data as EXIF orientation `orientation` says (the result is upright, orientation 1).
// trim: drop the partial edge blocks that cannot move; otherwise NotPerfect when there are some.
JpegTurn turnJpegLossless(const uint8_t* data, size_t size, int orientation, bool trim);

// The APP1 "Exif" payload with the orientation set to 1, the pixel size swapped for a quarter
// turn and the thumbnail turned by orientation; other bytes as they were. A payload that is not
// EXIF or is damaged comes back unchanged.
std::vector<uint8_t> exifTurned(const uint8_t* payload, size_t size, int orientation);

// The segments (marker, length and payload) of a JPEG file, from its start to its first scan.
struct JpegSegment {
    uint8_t marker = 0;
    std::vector<uint8_t> bytes;
};
// Empty when data is no JPEG or a segment runs past the end.
std::vector<JpegSegment> jpegHeaderSegments(const uint8_t* data, size_t size);

}  // namespace korvel
