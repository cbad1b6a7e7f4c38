#pragma once
// giflib reading from bytes in memory, for the still decoder and the frame source alike.
#include <gif_lib.h>

#include <cstddef>
#include <cstdint>

namespace korvel {

struct GifMemoryReader {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
};

// giflib's input function over a GifMemoryReader in UserData: never throws, returns fewer bytes
// at the end of the data.
int readGifMemory(GifFileType* gif, GifByteType* buf, int len);

}  // namespace korvel
