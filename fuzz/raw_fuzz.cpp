// The camera RAW plug-in on any bytes from memory: information, the full picture, a picture for
// a small size (the embedded preview path) and the metadata. Whatever it hands back must be
// blocks that hold what their header says.
#include <dlfcn.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "formats/SpiApi.h"

namespace {

SpiGetPictureInfoFn getInfo;
SpiGetPictureFn getPicture;
SpiGetPictureSizedFn getSized;
SpiGetPictureMetaFn getMeta;

void checkBlocks(void* info, void* bits) {
    if (!info || !bits || ::malloc_usable_size(info) < 40) __builtin_trap();
    int32_t w, h;
    uint16_t bitCount;
    std::memcpy(&w, static_cast<uint8_t*>(info) + 4, 4);
    std::memcpy(&h, static_cast<uint8_t*>(info) + 8, 4);
    std::memcpy(&bitCount, static_cast<uint8_t*>(info) + 14, 2);
    if (w <= 0 || h <= 0 || bitCount != 24) __builtin_trap();
    if (((size_t(w) * 3 + 3) & ~size_t(3)) * size_t(h) > ::malloc_usable_size(bits)) __builtin_trap();
    std::free(info);
    std::free(bits);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    void* module = ::dlopen(KORVEL_FUZZ_RAW_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    if (!module) __builtin_trap();
    getInfo = reinterpret_cast<SpiGetPictureInfoFn>(::dlsym(module, "GetPictureInfo"));
    getPicture = reinterpret_cast<SpiGetPictureFn>(::dlsym(module, "GetPicture"));
    getSized = reinterpret_cast<SpiGetPictureSizedFn>(::dlsym(module, "GetPictureSized"));
    getMeta = reinterpret_cast<SpiGetPictureMetaFn>(::dlsym(module, "GetPictureMeta"));
    if (!getInfo || !getPicture || !getSized || !getMeta) __builtin_trap();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* buf = reinterpret_cast<const char*>(data);
    const uint32_t flag = SPI_SOURCE_MEMORY | SPI_HOST_ORIENTS;
    SpiPictureInfo info{};
    if (getInfo(buf, intptr_t(size), flag, &info) != SPI_OK) return 0;
    if (info.width <= 0 || info.height <= 0) __builtin_trap();
    void *hInfo = nullptr, *hBm = nullptr;
    if (getSized(buf, intptr_t(size), flag, 16, 16, &hInfo, &hBm, nullptr, 0) == SPI_OK) checkBlocks(hInfo, hBm);
    hInfo = hBm = nullptr;
    if (getPicture(buf, intptr_t(size), flag, &hInfo, &hBm, nullptr, 0) == SPI_OK) checkBlocks(hInfo, hBm);
    SpiPictureMeta meta{};
    if (getMeta(buf, intptr_t(size), flag, &meta) == SPI_OK) {
        if (meta.orientation < 1 || meta.orientation > 8) __builtin_trap();
        std::free(meta.hIcc);
    }
    return 0;
}
