// The metadata export of the plug-ins Korvel ships (WebP chunks, TIFF tags, HEIF profiles), on
// any bytes from memory, with the host's flag. What they hand back must be a sound record.
#include <dlfcn.h>
#include <malloc.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "formats/SpiApi.h"

namespace {

std::vector<SpiGetPictureMetaFn> exports;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    for (const char* name : {"korvel-webp", "korvel-tiff", "korvel-heif"}) {
        const std::string path = std::string(KORVEL_FUZZ_PLUGIN_DIR) + "/" + name + ".spi";
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        auto fn = module ? reinterpret_cast<SpiGetPictureMetaFn>(::dlsym(module, "GetPictureMeta")) : nullptr;
        if (!fn) __builtin_trap();  // without every plug-in part of the input would go untested
        exports.push_back(fn);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (SpiGetPictureMetaFn fn : exports) {
        SpiPictureMeta meta{};
        if (fn(reinterpret_cast<const char*>(data), intptr_t(size), SPI_SOURCE_MEMORY | SPI_HOST_ORIENTS, &meta) != SPI_OK)
            continue;
        if (meta.orientation < 1 || meta.orientation > 8) __builtin_trap();
        if (meta.hIcc ? meta.iccSize == 0 || meta.iccSize > ::malloc_usable_size(meta.hIcc) : meta.iccSize != 0)
            __builtin_trap();
        std::free(meta.hIcc);
    }
    return 0;
}
