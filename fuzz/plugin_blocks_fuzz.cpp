// The checks on the two memory blocks a plug-in hands back, and the raster read from them.
// A small plug-in built beside this target returns both blocks byte for byte: the input is
// a 16-bit little-endian info block length, then the info block, then the pixel block.
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "formats/FormatRegistry.h"
#include "formats/SpiGraphic.h"
#include "formats/SpiHost.h"

using namespace korvel;

namespace {

TSPIs* host = nullptr;

void put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static TFileFormatsList formats;
    host = new TSPIs("", &formats);
    host->Search(KORVEL_FUZZ_BLOCK_PLUGIN);
    if (host->Count() != 1) __builtin_trap();  // without the plug-in nothing would be tested
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t rest = size - 2;
    const size_t infoLen = std::min<size_t>(data[0] | data[1] << 8, rest);
    std::vector<uint8_t> source{'K', 'V', 'R', 'A', 'W', 'B', 'L', 'K'};
    put32(source, uint32_t(infoLen));
    put32(source, uint32_t(rest - infoLen));
    source.insert(source.end(), data + 2, data + size);
    fuzz::expectCleanFailure([&] {
        TSPIGraphic graphic;
        graphic.loadFromStreamWithName(source.data(), source.size(), "block.kvr", fuzz::limits());
        (void)graphic.palette();
        const TBitmap* raster = graphic.raster();
        fuzz::check(raster && raster->width() == graphic.width() && raster->height() == graphic.height());
    });
    return 0;
}
