// The JPEG XL plug-in on any bytes from memory, as the program calls it: the header, then (for
// a picture within the fuzz limit) the pixels and the metadata, with and without the host
// turning. The blocks and record handed back must agree with the header.
#include <dlfcn.h>
#include <malloc.h>

#include <cstdlib>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "formats/SpiApi.h"

namespace {

SpiGetPictureInfoFn getInfo = nullptr;
SpiGetPictureFn getPicture = nullptr;
SpiGetPictureMetaFn getMeta = nullptr;

int32_t get32(const void* p, size_t at) {
    const auto* b = static_cast<const uint8_t*>(p) + at;
    return int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    void* module = ::dlopen(KORVEL_FUZZ_PLUGIN_DIR "/korvel-jxl.spi", RTLD_NOW | RTLD_LOCAL);
    if (module) {
        getInfo = reinterpret_cast<SpiGetPictureInfoFn>(::dlsym(module, "GetPictureInfo"));
        getPicture = reinterpret_cast<SpiGetPictureFn>(::dlsym(module, "GetPicture"));
        getMeta = reinterpret_cast<SpiGetPictureMetaFn>(::dlsym(module, "GetPictureMeta"));
    }
    if (!getInfo || !getPicture || !getMeta) __builtin_trap();  // nothing would be tested
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* buf = reinterpret_cast<const char*>(data);
    for (uint32_t flag : {uint32_t(SPI_SOURCE_MEMORY), uint32_t(SPI_SOURCE_MEMORY | SPI_HOST_ORIENTS)}) {
        SpiPictureInfo info{};
        if (getInfo(buf, intptr_t(size), flag, &info) != SPI_OK) return 0;
        korvel::fuzz::check(info.width > 0 && info.height > 0 && (info.colorDepth == 24 || info.colorDepth == 32));
        // Enlarged size fields would otherwise spend the run on hundreds of megapixels.
        if (uint64_t(info.width) * uint64_t(info.height) > korvel::fuzz::kPixelLimit) return 0;
        void *hInfo = nullptr, *hBits = nullptr;
        if (getPicture(buf, intptr_t(size), flag, &hInfo, &hBits, nullptr, 0) == SPI_OK) {
            korvel::fuzz::check(hInfo && hBits && ::malloc_usable_size(hInfo) >= 40);
            const int32_t w = get32(hInfo, 4), h = get32(hInfo, 8);
            const int bits = static_cast<const uint8_t*>(hInfo)[14];
            korvel::fuzz::check(w == info.width && (h == info.height || h == -info.height) && bits == info.colorDepth);
            const size_t stride = (size_t(w) * size_t(bits / 8) + 3) & ~size_t(3);
            korvel::fuzz::check(::malloc_usable_size(hBits) >= stride * size_t(info.height));
            std::free(hInfo);
            std::free(hBits);
        }
        SpiPictureMeta meta{};
        if (getMeta(buf, intptr_t(size), flag, &meta) != SPI_OK) continue;
        korvel::fuzz::check(meta.orientation >= 1 && meta.orientation <= 8);
        korvel::fuzz::check(meta.hIcc ? meta.iccSize > 0 && meta.iccSize <= ::malloc_usable_size(meta.hIcc)
                                      : meta.iccSize == 0);
        std::free(meta.hIcc);
    }
    return 0;
}
