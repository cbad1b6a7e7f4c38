// Loads one plug-in in a process of its own, as the host does, asks it about one file, and
// reports after each step whether a given library has been mapped into the process.
// usage: plugin_load_probe PLUGIN FILE LIBRARY
// output: "open <mapped>", "supported <result> <mapped>", "info <result> <width> <height> <mapped>"
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "formats/SpiApi.h"

namespace {

int mapped(const char* library) {
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find(library) != std::string::npos) return 1;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const char* library = argv[3];
    void* plugin = ::dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!plugin) return 3;
    auto getInfo = reinterpret_cast<SpiGetPluginInfoFn>(::dlsym(plugin, "GetPluginInfo"));
    auto isSupported = reinterpret_cast<SpiIsSupportedFn>(::dlsym(plugin, "IsSupported"));
    auto pictureInfo = reinterpret_cast<SpiGetPictureInfoFn>(::dlsym(plugin, "GetPictureInfo"));
    if (!getInfo || !isSupported || !pictureInfo) return 4;
    // The host reads every information item when it loads a plug-in.
    char text[256];
    for (int32_t item = 0; item < 8; ++item) getInfo(item, text, 255);
    std::printf("open %d\n", mapped(library));

    std::vector<char> header(SPI_HEADER_BYTES, 0);
    std::ifstream(argv[2], std::ios::binary).read(header.data(), SPI_HEADER_BYTES);
    const int32_t supported = isSupported(argv[2], header.data());
    std::printf("supported %d %d\n", supported != 0, mapped(library));

    SpiPictureInfo info;
    std::memset(&info, 0, sizeof info);
    const int32_t rc = pictureInfo(argv[2], 0, SPI_SOURCE_FILE, &info);
    std::printf("info %d %d %d %d\n", rc, info.width, info.height, mapped(library));
    std::free(info.hInfo);
    ::dlclose(plugin);
    return 0;
}
