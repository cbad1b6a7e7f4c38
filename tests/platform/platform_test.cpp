// The windows' helpers over the core: a failing core call becomes exactly one message box, file
// names keep every byte in the text and the URL, and the raster converts to QImage and back in
// every pixel format.
#include <QtTest>
#include <new>
#include <stdexcept>

#include "base/Errors.h"
#include "platform/ErrorBox.h"
#include "platform/PathText.h"
#include "platform/QtImage.h"
#include "tests/support/TestImages.h"
#include "tests/support/UiSupport.h"

using namespace korvel;

Q_DECLARE_METATYPE(korvel::PixelFormat)

class PlatformTest : public QObject {
    Q_OBJECT
private slots:
    // A call that succeeds, or an error the core does not report this way, shows no box. A
    // failure shows the box's text, then its reason.
    void failuresShowTheBoxOnce() {
        enum Outcome { Succeeds, ReturnsFalse, Throws, OutOfMemory };
        const std::pair<Outcome, QString> rows[] = {{Succeeds, ""}, {ReturnsFalse, "Copy Errorno"},
                                                    {Throws, "Copy Errorno\nbad"},
                                                    {OutOfMemory, "Copy Errorno\nメモリが足りません"}};
        for (const auto& [o, shown] : rows) {
            korvel::testing::MessageBoxCatcher boxes;
            const ErrorBox text{QMessageBox::Warning, QStringLiteral("Copy Error"), QStringLiteral("no")};
            const bool ok = runOrReport(nullptr, text, [o = o] {
                if (o == Throws) throw korvel::EInvalidGraphic("bad");
                if (o == OutOfMemory) throw std::bad_alloc();
                return o == Succeeds;
            });
            QCOMPARE(ok, o == Succeeds);
            QCOMPARE(boxes.seen, o == Succeeds ? 0 : 1);
            QCOMPARE(boxes.title + boxes.text, shown);
        }
        // Anything else is a fault of Korvel's own and is not swallowed.
        const auto bug = []() -> bool { throw std::logic_error("bug"); };
        QVERIFY_THROWS_EXCEPTION(std::logic_error, coreSucceeds(bug));
    }

    // Every byte stays visible in the text and exact in the URL, and the text reads back.
    void pathKeepsEveryByte_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("shift_jis") << QByteArray("\x83\x5C\x94\x5C") << QStringLiteral("\\x83\\\\x94\\");
        QTest::newRow("url delimiters") << QByteArray("a%20b/#1?x=[y]&z;")
                                        << QStringLiteral("a%20b/#1?x=[y]&z;");
    }
    void pathKeepsEveryByte() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(pathText(bytes.toStdString()), text);
        QCOMPARE(QByteArray::fromStdString(pathBytes(text)), bytes);
        const QUrl url = fileUrl("/pics/" + bytes.toStdString());
        QVERIFY(url.isValid() && url.isLocalFile());
        QCOMPARE(QByteArray::fromPercentEncoding(url.toEncoded()), "file:///pics/" + bytes);
        QCOMPARE(url.fragment() + url.query(), QString());
    }

    // Each pixel's colour and alpha arrive, and the way back gives the same colours.
    void roundTrip_data() {
        QTest::addColumn<PixelFormat>("format");
        QTest::addColumn<int>("alpha");  // 0 opaque, 1 mask, 2 transparent index or colour
        const std::pair<const char*, PixelFormat> formats[] = {
            {"1", PixelFormat::pf1bit},   {"4", PixelFormat::pf4bit},   {"8", PixelFormat::pf8bit},
            {"15", PixelFormat::pf15bit}, {"16", PixelFormat::pf16bit}, {"24", PixelFormat::pf24bit},
            {"32", PixelFormat::pf32bit}};
        for (const auto& [name, pf] : formats)
            for (int alpha : {0, 1, 2})
                QTest::addRow("%s-bit %s", name, alpha == 0 ? "opaque" : alpha == 1 ? "mask" : "transparent")
                    << pf << alpha;
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

QTEST_MAIN(PlatformTest)
#include "platform_test.moc"
