// Linear DNG files as a camera's converter writes them: a 16-bit RGB picture with a smooth scene
// and a full JPEG preview of it (quarter size by default) in a second directory.
//   make_dng DIR COUNT WIDTH HEIGHT PREVIEW_DIVISOR
#include <tiffio.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

uint16_t scene(int x, int y, int c, int w, int h, int k) {
    const double u = double(x) / w, v = double(y) / h;
    return uint16_t(60000 * (0.2 + 0.3 * (1 + std::sin(6 * u + c + k)) * (0.5 + 0.5 * v)) / 1.0);
}

bool write(const std::string& path, int w, int h, int divisor, int k) {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    if (!t) return false;
    static const uint8_t version[4] = {1, 4, 0, 0};
    static const float matrix[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    static const float neutral[3] = {1, 1, 1};
    TIFFSetField(t, TIFFTAG_SUBFILETYPE, 0);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, 34892);  // LinearRaw
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 64);
    TIFFSetField(t, TIFFTAG_MAKE, "Korvel");
    TIFFSetField(t, TIFFTAG_MODEL, "Bench");
    TIFFSetField(t, TIFFTAG_DNGVERSION, version);
    TIFFSetField(t, TIFFTAG_UNIQUECAMERAMODEL, "Korvel Bench");
    TIFFSetField(t, TIFFTAG_COLORMATRIX1, 9, matrix);
    TIFFSetField(t, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
    std::vector<uint16_t> row(size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) row[size_t(x) * 3 + c] = scene(x, y, c, w, h, k);
        if (TIFFWriteScanline(t, row.data(), uint32_t(y), 0) < 0) return false;
    }
    TIFFWriteDirectory(t);
    const int pw = w / divisor, ph = h / divisor;
    TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, pw);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, ph);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    TIFFSetField(t, TIFFTAG_JPEGTABLESMODE, 0);  // a whole JPEG file in the strip
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, ph);
    std::vector<uint8_t> rgb(size_t(pw) * ph * 3);
    for (int y = 0; y < ph; ++y)
        for (int x = 0; x < pw; ++x)
            for (int c = 0; c < 3; ++c)
                rgb[(size_t(y) * pw + x) * 3 + c] = uint8_t(scene(x * divisor, y * divisor, c, w, h, k) >> 8);
    const bool ok = TIFFWriteEncodedStrip(t, 0, rgb.data(), tmsize_t(rgb.size())) >= 0;
    TIFFClose(t);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fputs("usage: make_dng DIR COUNT WIDTH HEIGHT PREVIEW_DIVISOR\n", stderr);
        return 2;
    }
    const int count = std::atoi(argv[2]), w = std::atoi(argv[3]), h = std::atoi(argv[4]), d = std::atoi(argv[5]);
    for (int k = 0; k < count; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/raw%03d.dng", k);
        if (!write(argv[1] + std::string(name), w, h, d, k)) return 1;
    }
    return 0;
}
