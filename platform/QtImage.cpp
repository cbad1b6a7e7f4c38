#include "platform/QtImage.h"

#include <vector>

#include "imaging/Bitmap.h"

QImage toQImage(const korvel::TBitmap& b) {
    if (b.empty()) return {};
    const bool alpha = b.mask() || b.transparency() != korvel::Transparency::None;
    QImage img(b.width(), b.height(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB888);
    std::vector<uint8_t> bgr(size_t(b.width()) * 3);
    for (int y = 0; y < b.height(); ++y) {
        b.rowToBgr(y, bgr.data());
        uchar* out = img.scanLine(y);
        if (alpha) {
            auto* px = reinterpret_cast<QRgb*>(out);
            for (int x = 0; x < b.width(); ++x)
                px[x] = qRgba(bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x], b.alphaAt(x, y));
        } else {
            for (int x = 0; x < b.width(); ++x)
                out[3 * x] = bgr[3 * x + 2], out[3 * x + 1] = bgr[3 * x + 1], out[3 * x + 2] = bgr[3 * x];
        }
    }
    return img;
}

korvel::TBitmap fromQImage(const QImage& image) {
    if (image.isNull()) return {};
    const QImage src = image.convertToFormat(QImage::Format_RGB888);
    korvel::TBitmap b(src.width(), src.height(), korvel::PixelFormat::pf24bit);
    for (int y = 0; y < src.height(); ++y) {
        const uchar* in = src.constScanLine(y);
        uint8_t* out = b.scanLine(y);
        for (int x = 0; x < src.width(); ++x)
            out[3 * x] = in[3 * x + 2], out[3 * x + 1] = in[3 * x + 1], out[3 * x + 2] = in[3 * x];
    }
    return b;
}
