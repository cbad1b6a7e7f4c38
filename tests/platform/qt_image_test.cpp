// The raster to QImage and back, in every pixel format: each pixel's colour and alpha arrive, and
// the way back gives the same colours.
#include <QtTest>

#include "imaging/Bitmap.h"
#include "platform/QtImage.h"
#include "tests/support/TestImages.h"

using namespace korvel;

Q_DECLARE_METATYPE(korvel::PixelFormat)

class QtImageTest : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data() {
        QTest::addColumn<PixelFormat>("format");
        QTest::addColumn<int>("alpha");  // 0 opaque, 1 mask, 2 transparent index or colour
        const std::pair<const char*, PixelFormat> formats[] = {
            {"1", PixelFormat::pf1bit},   {"4", PixelFormat::pf4bit},   {"8", PixelFormat::pf8bit},
            {"15", PixelFormat::pf15bit}, {"16", PixelFormat::pf16bit}, {"24", PixelFormat::pf24bit},
            {"32", PixelFormat::pf32bit}};
        for (const auto& [name, pf] : formats)
            for (int alpha : {0, 1, 2})
                QTest::addRow("%s-bit %s", name, alpha == 0 ? "opaque" : alpha == 1 ? "mask" : "transparent") << pf << alpha;
    }
    void roundTrip() {
        QFETCH(PixelFormat, format);
        QFETCH(int, alpha);
        // An odd width, so row padding and sub-byte pixels at a row's end show.
        TBitmap src = korvel::testing::randomBitmap(format, 13, 5, 7 + uint32_t(format), alpha == 1);
        if (alpha == 2) {
            if (isPaletteFormat(format)) src.setTransparentIndex(int(src.rawPixel(3, 2)));
            else src.setTransparentColor(src.pixel(3, 2));
        }
        const QImage q = toQImage(src);
        QCOMPARE(q.format(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB888);
        QCOMPARE(q.size(), QSize(13, 5));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 13; ++x) {
                const QRgb p = q.pixel(x, y);
                QCOMPARE(p & 0xFFFFFFu, src.pixel(x, y));
                QCOMPARE(qAlpha(p), alpha ? int(src.alphaAt(x, y)) : 255);
            }
        if (alpha == 2) QCOMPARE(qAlpha(q.pixel(3, 2)), 0);
        const TBitmap back = fromQImage(q);
        QCOMPARE(back.pixelFormat(), PixelFormat::pf24bit);
        QCOMPARE(QString::fromStdString(korvel::testing::pixelDifference(back, src)), QString());
    }
};

QTEST_MAIN(QtImageTest)
#include "qt_image_test.moc"
