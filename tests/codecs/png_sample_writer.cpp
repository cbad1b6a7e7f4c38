// Writes PNG files with Korvel's writer, each beside the RGBA pixels Korvel's reader gets from it
// (png_test checks those against the source image), for the independent check by other decoders
// (png_external_check.sh). Usage: png_sample_writer DIR
// Writes DIR/NAME.png, DIR/NAME.rgba (8-bit RGBA rows) and DIR/cases.txt ("NAME WIDTH HEIGHT").
#include <fstream>
#include <iostream>

#include "tests/support/CodecCases.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

constexpr int kW = 37, kH = 29;

// Smooth areas with noise, so that every filter type gets used in adaptive mode.
TBitmap source(PixelFormat pf, bool withMask, uint32_t seed) {
    if (isPaletteFormat(pf)) return randomBitmap(pf, kW, kH, seed, withMask);
    TBitmap b = randomBitmap(PixelFormat::pf24bit, kW, kH, seed);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            b.setRawPixel(x, y, (x * 5 + y * 3) * 0x010203u + (b.rawPixel(x, y) & 0x0F0F0F));
    b.setPixelFormat(pf);
    if (withMask) b.setMask(std::make_unique<TBitmap>(randomBitmap(PixelFormat::pf8bit, kW, kH, seed + 1)));
    return b;
}

bool writeCase(const std::string& dir, const std::string& name, PixelFormat pf, bool mask, bool greyscale,
               bool interlace, int filter, int level, Transparency transparency, std::ostream& list) {
    TBitmap image = source(pf, mask, uint32_t(name.size() * 131 + filter));
    if (transparency == Transparency::Index) image.setTransparentIndex(1);
    if (transparency == Transparency::Color) image.setTransparentColor(image.pixel(5, 5));
    const Bytes png = pngBytes(image, [&](TGLDPNG& p) {
        p.greyscale = greyscale;
        p.interlace = interlace;
        p.filterMode = filter;
        p.compressionLevel = level;
        p.comment = "independent check";
        p.backgroundColor = transparency == Transparency::Index ? 2 : 0x336699;
        p.backgroundIsIndex = transparency == Transparency::Index;
    });
    std::ofstream out(dir + "/" + name + ".png", std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    const TBitmap back = loaded<TGLDPNG>(png).image();
    std::ofstream rgba(dir + "/" + name + ".rgba", std::ios::binary);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const Color c = back.pixel(x, y);
            const char px[4] = {char(redOf(c)), char(greenOf(c)), char(blueOf(c)), char(back.alphaAt(x, y))};
            rgba.write(px, 4);
        }
    list << name << ' ' << kW << ' ' << kH << '\n';
    return bool(out) && bool(rgba);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: png_sample_writer DIR\n";
        return 2;
    }
    const std::string dir = argv[1];
    std::ofstream list(dir + "/cases.txt");
    bool ok = true;
    int n = 0;
    for (PixelFormat pf : kPixelFormats)
        for (bool interlace : {false, true})
            for (bool greyscale : {false, true})
                for (bool mask : {false, true}) {
                    // A palette image with a mask is stored as grey + alpha carrying a PLTE, which
                    // the PNG standard does not allow; other decoders cannot be asked about it.
                    if (mask && isPaletteFormat(pf) && !greyscale) continue;
                    const int filter = n % 6, level = (n % 4 == 3) ? 9 : (n % 4) - 1;
                    ++n;
                    const std::string name = "b" + std::to_string(bitsPerPixel(pf)) +
                                             (interlace ? "_i" : "") + (greyscale ? "_g" : "") +
                                             (mask ? "_m" : "") + "_f" + std::to_string(filter);
                    ok &= writeCase(dir, name, pf, mask, greyscale, interlace, filter, level,
                                    Transparency::None, list);
                }
    for (bool interlace : {false, true}) {
        const std::string s = interlace ? "_i" : "";
        ok &= writeCase(dir, "trns_index" + s, PixelFormat::pf8bit, false, false, interlace, 0, -1,
                        Transparency::Index, list);
        ok &= writeCase(dir, "trns_rgb" + s, PixelFormat::pf24bit, false, false, interlace, 1, -1,
                        Transparency::Color, list);
        ok &= writeCase(dir, "trns_grey" + s, PixelFormat::pf8bit, false, true, interlace, 4, 6,
                        Transparency::Color, list);
    }
    if (!ok || !list) {
        std::cerr << "png_sample_writer: cannot write into " << dir << "\n";
        return 1;
    }
    return 0;
}
