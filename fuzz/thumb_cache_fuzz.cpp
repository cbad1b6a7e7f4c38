// Reading thumbnails back from the cache file. The input is a 32-bit little-endian offset,
// then the file's bytes; they reach the file through the cache's write seam, so the cache
// believes it wrote them itself.
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "browse/ThumbCache.h"
#include "fuzz/FuzzSupport.h"
#include "imaging/Bitmap.h"

using namespace korvel;

namespace {

ThumbCache* cache = nullptr;
std::string folder;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string templ = "/tmp/korvel-fuzz-XXXXXX";
    if (const char* tmp = getenv("TMPDIR")) templ = std::string(tmp) + "/korvel-fuzz-XXXXXX";
    if (!mkdtemp(templ.data())) __builtin_trap();
    folder = templ;
    cache = new ThumbCache;
    cache->create(folder, "fuzz.tp0");
    atexit([] {
        delete cache;
        ::rmdir(folder.c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const uint32_t pos = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
    const uint8_t* file = data + 4;
    const size_t fileSize = size - 4;

    cache->truncate();
    // A 24-bit one-row image whose file image is at least as long as the input; the seam
    // writes the input (then zeros) in its place.
    TBitmap holder(int(fileSize / 3 + 1), 1, PixelFormat::pf24bit);
    cache->setWriteFunction([&](int fd, const void*, size_t n, off_t at) -> ssize_t {
        std::vector<uint8_t> bytes(n, 0);
        const size_t from = size_t(at);
        if (from < fileSize) std::memcpy(bytes.data(), file + from, std::min(n, fileSize - from));
        return ::pwrite(fd, bytes.data(), n, at);
    });
    if (cache->append(holder) != 0) __builtin_trap();

    for (int64_t at : {int64_t(0), int64_t(pos % (uint64_t(cache->size()) + 1)), int64_t(pos)}) {
        fuzz::expectCleanFailure([&] {
            TBitmap out;
            (void)cache->read(at, out);
        });
    }
    return 0;
}
