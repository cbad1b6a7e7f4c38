#pragma once
// Linear (already demosaiced) DNG files as a camera's converter writes them, through libtiff:
// 16-bit RGB, identity colour matrix, neutral white balance, and optionally a JPEG preview as a
// second, reduced image.
#include <tiffio.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace korvel::testing {

struct DngPlan {
    int width = 0, height = 0, orientation = 1;
    std::function<uint16_t(int x, int y, int c)> sample;
    int previewWidth = 0, previewHeight = 0;  // 0: no preview
    std::function<uint8_t(int x, int y, int c)> preview;
};

inline bool writeLinearDng(const std::string& path, const DngPlan& p) {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    if (!t) return false;
    static const uint8_t version[4] = {1, 4, 0, 0};
    static const float matrix[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    static const float neutral[3] = {1, 1, 1};
    const auto header = [t](uint32_t type, int w, int h, int bits, int photometric, int rowsPerStrip) {
        TIFFSetField(t, TIFFTAG_SUBFILETYPE, type);
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    };
    header(0, p.width, p.height, 16, 34892 /* LinearRaw */, 64);
    TIFFSetField(t, TIFFTAG_ORIENTATION, p.orientation);
    TIFFSetField(t, TIFFTAG_MAKE, "Korvel");
    TIFFSetField(t, TIFFTAG_MODEL, "Sample");
    TIFFSetField(t, TIFFTAG_DNGVERSION, version);
    TIFFSetField(t, TIFFTAG_UNIQUECAMERAMODEL, "Korvel Sample");
    TIFFSetField(t, TIFFTAG_COLORMATRIX1, 9, matrix);
    TIFFSetField(t, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
    bool ok = true;
    std::vector<uint16_t> row(size_t(p.width) * 3);
    for (int y = 0; y < p.height && ok; ++y) {
        for (int x = 0; x < p.width; ++x)
            for (int c = 0; c < 3; ++c) row[size_t(x) * 3 + size_t(c)] = p.sample(x, y, c);
        ok = TIFFWriteScanline(t, row.data(), uint32_t(y), 0) >= 0;
    }
    if (ok && p.previewWidth > 0) {
        TIFFWriteDirectory(t);
        const int w = p.previewWidth, h = p.previewHeight;
        header(FILETYPE_REDUCEDIMAGE, w, h, 8, PHOTOMETRIC_YCBCR, h);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
        TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        // Tables in the strip, as cameras write their previews: the strip is a whole JPEG file.
        TIFFSetField(t, TIFFTAG_JPEGTABLESMODE, 0);
        std::vector<uint8_t> rgb;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) rgb.push_back(p.preview(x, y, c));
        ok = TIFFWriteEncodedStrip(t, 0, rgb.data(), tmsize_t(rgb.size())) >= 0;
    }
    TIFFClose(t);
    return ok;
}

}  // namespace korvel::testing
