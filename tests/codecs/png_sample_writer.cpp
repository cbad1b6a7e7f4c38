// Writes PNG files with Korvel's writer, each beside the RGBA pixels Korvel's reader gets from it,
// for png_external_check.sh to compare with other decoders. Usage: png_sample_writer DIR
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

// Case n: its filter mode and level come from n.
bool writeCase(const std::string& dir, int n, PixelFormat pf, bool mask, bool greyscale, bool interlace,
               Transparency transparency, std::ostream& list) {
    TBitmap image = source(pf, mask, uint32_t(n * 131));
    if (transparency == Transparency::Index) image.setTransparentIndex(1);
    if (transparency == Transparency::Color) image.setTransparentColor(image.pixel(5, 5));
    const Bytes png = pngBytes(image, [&](TGLDPNG& p) {
        p.greyscale = greyscale;
        p.interlace = interlace;
        p.filterMode = n % 6;
        p.compressionLevel = (n % 4 == 3) ? 9 : (n % 4) - 1;
        p.comment = "independent check";
        p.backgroundColor = transparency == Transparency::Index ? 2 : 0x336699;
        p.backgroundIsIndex = transparency == Transparency::Index;
    });
    const std::string name = "case" + std::to_string(n);
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
        for (int k = 0; k < 8; ++k) {
            // A palette image with a mask is stored as grey + alpha carrying a PLTE, which the PNG
            // standard does not allow; other decoders cannot be asked about it.
            const bool greyscale = k & 1, mask = k & 2, interlace = k & 4;
            if (mask && isPaletteFormat(pf) && !greyscale) continue;
            ok &= writeCase(dir, n++, pf, mask, greyscale, interlace, Transparency::None, list);
        }
    for (bool interlace : {false, true}) {
        ok &= writeCase(dir, n++, PixelFormat::pf8bit, false, false, interlace, Transparency::Index, list);
        ok &= writeCase(dir, n++, PixelFormat::pf24bit, false, false, interlace, Transparency::Color, list);
        ok &= writeCase(dir, n++, PixelFormat::pf8bit, false, true, interlace, Transparency::Color, list);
    }
    if (!ok || !list) {
        std::cerr << "png_sample_writer: cannot write into " << dir << "\n";
        return 1;
    }
    return 0;
}
