// Writes PNG files with Korvel's writer, each beside the RGBA pixels it must decode to, for the
// independent check by other decoders (png_external_check.sh). Usage: png_sample_writer DIR
// Writes DIR/NAME.png, DIR/NAME.rgba (8-bit RGBA rows) and DIR/cases.txt ("NAME WIDTH HEIGHT").
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "codecs/Png.h"

using namespace korvel;

namespace {

TBitmap source(PixelFormat pf, int w, int h, bool withMask, uint32_t seed) {
    TBitmap b(w, h, pf);
    uint32_t state = seed * 2654435761u + 3;
    auto next = [&] { return state = state * 1664525u + 1013904223u, state >> 8; };
    if (isPaletteFormat(pf)) {
        std::vector<RGBQuad> pal(size_t(1) << bitsPerPixel(pf));
        for (auto& q : pal) q = RGBQuad::of(next() & 0xFFFFFF);
        b.setPalette(pal);
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Smooth areas with noise, so that every filter type gets used in adaptive mode.
            uint32_t v = (x * 5 + y * 3) * 0x010203u + (next() & 0x0F0F0F);
            if (isPaletteFormat(pf)) v = next() & ((1u << bitsPerPixel(pf)) - 1);
            else if (pf == PixelFormat::pf15bit) v = packColor15(v);
            else if (pf == PixelFormat::pf16bit) v = packColor16(v);
            b.setRawPixel(x, y, v);
        }
    if (withMask) {
        auto m = std::make_unique<TBitmap>(w, h, PixelFormat::pf8bit);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) m->scanLine(y)[x] = uint8_t(next());
        b.setMask(std::move(m));
    }
    return b;
}

uint8_t expectedGrey(Color c, int depth) {
    const int g = (redOf(c) * 77 + greenOf(c) * 150 + blueOf(c) * 29) / 256;
    return uint8_t(depth == 1 ? (g > 127 ? 255 : 0) : depth == 4 ? g / 16 * 17 : g);
}

struct Case {
    std::string name;
    PixelFormat pf;
    bool mask, greyscale, interlace;
    int filter, level;
    Transparency transparency;
};

bool writeCase(const std::string& dir, const Case& c, std::ostream& list) {
    const int w = 37, h = 29;
    TBitmap image = source(c.pf, w, h, c.mask, uint32_t(c.name.size() * 131 + c.filter));
    if (c.transparency == Transparency::Index) image.setTransparentIndex(1);
    if (c.transparency == Transparency::Color) image.setTransparentColor(image.pixel(5, 5));
    TGLDPNG png;
    png.assign(image);
    png.greyscale = c.greyscale;
    png.interlace = c.interlace;
    png.filterMode = c.filter;
    png.compressionLevel = c.level;
    png.comment = "independent check";
    png.backgroundColor = c.transparency == Transparency::Index ? 2 : 0x336699;
    png.backgroundIsIndex = c.transparency == Transparency::Index;
    std::ofstream out(dir + "/" + c.name + ".png", std::ios::binary);
    png.saveToStream(out);
    std::ofstream rgba(dir + "/" + c.name + ".rgba", std::ios::binary);
    const int greyDepth = c.greyscale ? (c.mask ? 8 : std::min(8, bitsPerPixel(c.pf))) : 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Color col = image.pixel(x, y);
            uint8_t alpha = image.alphaAt(x, y);
            if (c.greyscale) {
                const uint8_t g = expectedGrey(col, greyDepth);
                col = makeColor(g, g, g);
                // In grey, every colour of the transparent colour's grey level is transparent.
                if (c.transparency == Transparency::Color)
                    alpha = g == expectedGrey(image.transparentColor(), greyDepth) ? 0 : 255;
            }
            const char px[4] = {char(redOf(col)), char(greenOf(col)), char(blueOf(col)), char(alpha)};
            rgba.write(px, 4);
        }
    list << c.name << ' ' << w << ' ' << h << '\n';
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
    const struct {
        const char* name;
        PixelFormat pf;
    } formats[] = {{"p1", PixelFormat::pf1bit},  {"p4", PixelFormat::pf4bit},  {"p8", PixelFormat::pf8bit},
                   {"c15", PixelFormat::pf15bit}, {"c16", PixelFormat::pf16bit}, {"c24", PixelFormat::pf24bit},
                   {"c32", PixelFormat::pf32bit}};
    bool ok = true;
    int n = 0;
    for (const auto& f : formats)
        for (bool interlace : {false, true})
            for (bool greyscale : {false, true})
                for (bool mask : {false, true}) {
                    // A palette image with a mask is stored as grey + alpha carrying a PLTE, which
                    // the PNG standard does not allow; other decoders cannot be asked about it.
                    if (mask && isPaletteFormat(f.pf) && !greyscale) continue;
                    const int filter = n % 6, level = (n % 4 == 3) ? 9 : (n % 4) - 1;
                    ++n;
                    std::string name = std::string(f.name) + (interlace ? "_i" : "") + (greyscale ? "_g" : "") +
                                       (mask ? "_m" : "") + "_f" + std::to_string(filter);
                    ok &= writeCase(dir, {name, f.pf, mask, greyscale, interlace, filter, level, Transparency::None}, list);
                }
    for (bool interlace : {false, true}) {
        const std::string s = interlace ? "_i" : "";
        ok &= writeCase(dir, {"trns_index" + s, PixelFormat::pf8bit, false, false, interlace, 0, -1, Transparency::Index}, list);
        ok &= writeCase(dir, {"trns_rgb" + s, PixelFormat::pf24bit, false, false, interlace, 1, -1, Transparency::Color}, list);
        ok &= writeCase(dir, {"trns_grey" + s, PixelFormat::pf8bit, false, true, interlace, 4, 6, Transparency::Color}, list);
    }
    if (!ok || !list) {
        std::cerr << "png_sample_writer: cannot write into " << dir << "\n";
        return 1;
    }
    return 0;
}
