// Writes PNG files with Korvel's writer, each beside the RGBA pixels Korvel's reader gets from it,
// for png_external_check.sh to compare with other decoders. Usage: png_sample_writer DIR
// Writes DIR/caseN.png, DIR/caseN.rgba (8-bit RGBA rows) and DIR/cases.txt ("NAME WIDTH HEIGHT").
#include <fstream>
#include <iostream>

#include "tests/support/CodecCases.h"

using namespace korvel;
using namespace korvel::testing;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: png_sample_writer DIR\n";
        return 2;
    }
    const std::string dir = argv[1];
    constexpr int kW = 37, kH = 29;
    std::ofstream list(dir + "/cases.txt");
    bool ok = true;
    int n = 0;
    for (PixelFormat pf : kPixelFormats)
        for (int k = 0; k < 16; ++k) {
            const bool greyscale = k & 1, mask = k & 2, interlace = k & 4, transparent = k & 8;
            const bool palette = isPaletteFormat(pf);
            // A palette image with a mask is stored as grey + alpha carrying a PLTE, which the PNG
            // standard does not allow; other decoders cannot be asked about it. Pillow ignores a
            // grey tRNS below 8 bits.
            if (mask && (transparent || (palette && !greyscale))) continue;
            if (transparent && greyscale && bitsPerPixel(pf) < 8) continue;
            const uint32_t seed = uint32_t(n * 131);
            // Smooth areas with noise, so that every filter type gets used in adaptive mode.
            TBitmap image = randomBitmap(palette ? pf : PixelFormat::pf24bit, kW, kH, seed, palette && mask);
            for (int y = 0; y < kH && !palette; ++y)
                for (int x = 0; x < kW; ++x)
                    image.setRawPixel(x, y, (x * 5 + y * 3) * 0x010203u + (image.rawPixel(x, y) & 0x0F0F0F));
            image.setPixelFormat(pf);
            if (mask && !palette)
                image.setMask(std::make_unique<TBitmap>(randomBitmap(PixelFormat::pf8bit, kW, kH, seed)));
            if (transparent && palette) image.setTransparentIndex(1);
            if (transparent && !palette) image.setTransparentColor(image.pixel(5, 5));
            const Bytes png = pngBytes(image, [&](TGLDPNG& p) {
                p.greyscale = greyscale;
                p.interlace = interlace;
                p.filterMode = n % 6;
                p.compressionLevel = (n % 4 == 3) ? 9 : (n % 4) - 1;
                p.comment = "independent check";
                p.backgroundIsIndex = transparent && palette;
                p.backgroundColor = p.backgroundIsIndex ? 0 : 0x336699;
            });
            const std::string name = dir + "/case" + std::to_string(n++);
            std::ofstream out(name + ".png", std::ios::binary), rgba(name + ".rgba", std::ios::binary);
            out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
            const TBitmap back = loaded<TGLDPNG>(png).image();
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) {
                    const Color c = back.pixel(x, y);
                    const char px[4] = {char(redOf(c)), char(greenOf(c)), char(blueOf(c)),
                                        char(back.alphaAt(x, y))};
                    rgba.write(px, 4);
                }
            list << "case" << n - 1 << ' ' << kW << ' ' << kH << '\n';
            ok &= bool(out) && bool(rgba);
        }
    if (!ok || !list) {
        std::cerr << "png_sample_writer: cannot write into " << dir << "\n";
        return 1;
    }
    return 0;
}
