// StretchBitmap: chooses the passes and feeds them rows. The horizontal pass runs row by row
// straight into the vertical one through a four-row ring, so the intermediate image is never
// stored whole; every byte is the same as with two separate passes.
#include "imaging/StretchUtils.h"

#include <array>
#include <new>
#include <string>

#include "imaging/Bitmap.h"
#include "imaging/StretchPasses.h"

namespace korvel {

namespace {

using stretch::HorizontalPass;
using stretch::RowSource;

class BitmapRows final : public RowSource {
public:
    explicit BitmapRows(const TBitmap& b) : b_(b) {}
    const uint8_t* row(int y) override { return b_.scanLine(y); }
    int height() const override { return b_.height(); }

private:
    const TBitmap& b_;
};

// Rows of the horizontal pass's output, made when first asked for.
class PassRows final : public RowSource {
public:
    PassRows(const TBitmap& src, const HorizontalPass& pass, int newWidth)
        : src_(src), pass_(pass), bytes_(size_t(newWidth) * 3), ring_(bytes_ * 4) {}
    const uint8_t* row(int y) override {
        const size_t slot = size_t(y) & 3;
        uint8_t* out = ring_.data() + slot * bytes_;
        if (held_[slot] != y) {
            pass_.run(src_.scanLine(y), out);
            held_[slot] = y;
        }
        return out;
    }
    int height() const override { return src_.height(); }

private:
    const TBitmap& src_;
    const HorizontalPass& pass_;
    size_t bytes_;
    std::vector<uint8_t> ring_;
    std::array<int, 4> held_{-1, -1, -1, -1};
};

// The separable passes on a 24-bit image of at least 2 x 2.
TBitmap separable(const TBitmap& src, int nw, int nh, TStretchProgress progress) {
    const int w = src.width(), h = src.height();
    std::unique_ptr<HorizontalPass> pass;
    if (nw != w) {
        if (progress) progress(0);
        pass = nw > w ? stretch::makeHorizontalEnlarge(w, nw) : stretch::makeHorizontalReduce(w, nw);
    }
    if (nh == h) {
        TBitmap dst(nw, h, PixelFormat::pf24bit);
        for (int y = 0; y < h; ++y) pass->run(src.scanLine(y), dst.scanLine(y));
        return dst;
    }
    if (progress) progress(50);
    TBitmap dst(nw, nh, PixelFormat::pf24bit);
    BitmapRows plain(src);
    std::unique_ptr<PassRows> passed;
    if (pass) passed = std::make_unique<PassRows>(src, *pass, nw);
    RowSource& rows = passed ? static_cast<RowSource&>(*passed) : plain;
    if (nh > h)
        stretch::verticalEnlarge(rows, dst);
    else
        stretch::verticalReduce(rows, dst);
    return dst;
}

// The image's pixels at the new size, 24 bits per pixel.
TBitmap resampled(const TBitmap& image, int nw, int nh, TStretchProgress progress) {
    if (image.width() == 1 || image.height() == 1) return stretch::bilinearResample(image, nw, nh);
    TBitmap converted;
    const TBitmap* src = &image;
    if (image.pixelFormat() != PixelFormat::pf24bit) {
        converted = image;
        converted.clearMask();
        converted.convertTo24();
        src = &converted;
    }
    if (nw == image.width() && nh == image.height()) {
        TBitmap same = *src;
        same.clearMask();
        return same;
    }
    return separable(*src, nw, nh, progress);
}

// The mask goes through the same arithmetic as a grey image, so it stays aligned with the pixels.
std::unique_ptr<TBitmap> resampledMask(const TBitmap& mask, int nw, int nh) {
    TBitmap grey(mask.width(), mask.height(), PixelFormat::pf24bit);
    for (int y = 0; y < mask.height(); ++y) {
        const uint8_t* m = mask.scanLine(y);
        uint8_t* g = grey.scanLine(y);
        for (int x = 0; x < mask.width(); ++x) g[3 * x] = g[3 * x + 1] = g[3 * x + 2] = m[x];
    }
    TBitmap out = resampled(grey, nw, nh, nullptr);
    auto result = std::make_unique<TBitmap>(nw, nh, PixelFormat::pf8bit);
    for (int y = 0; y < nh; ++y) {
        const uint8_t* g = out.scanLine(y);
        uint8_t* m = result->scanLine(y);
        for (int x = 0; x < nw; ++x) m[x] = g[3 * x];
    }
    return result;
}

}  // namespace

void StretchBitmap(TBitmap& bitmap, int newWidth, int newHeight, TStretchProgress progress) {
    if (bitmap.empty()) return;
    if (newWidth < 1 || newHeight < 1)
        throw Exception("Cannot resample an image to " + std::to_string(newWidth) + "x" + std::to_string(newHeight) +
                        ": width and height must be at least 1");
    try {
        TBitmap result = resampled(bitmap, newWidth, newHeight, progress);
        if (bitmap.mask()) result.setMask(resampledMask(*bitmap.mask(), newWidth, newHeight));
        result.clearTransparency();
        // A transparent palette index becomes its colour, as the conversion to 24 bits does.
        if (bitmap.transparency() == Transparency::Color)
            result.setTransparentColor(bitmap.transparentColor());
        else if (bitmap.transparency() == Transparency::Index && isPaletteFormat(bitmap.pixelFormat()))
            result.setTransparentColor(size_t(bitmap.transparentIndex()) < bitmap.palette().size()
                                           ? bitmap.palette()[size_t(bitmap.transparentIndex())].color()
                                           : 0);
        bitmap = std::move(result);
    } catch (const std::bad_alloc&) {
        throw Exception("Not enough memory to resample an image of " + std::to_string(bitmap.width()) + "x" +
                        std::to_string(bitmap.height()) + " to " + std::to_string(newWidth) + "x" +
                        std::to_string(newHeight));
    }
}

}  // namespace korvel
