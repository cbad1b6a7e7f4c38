// On a screen of two device pixels per logical one: thumbnails, the preview and a viewer show
// pictures pixel for pixel on the device, while the layout keeps its logical sizes.
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "tests/support/GridWindow.h"
#include "tests/support/UiSupport.h"
#include "view/PaintBox.h"
#include "view/SubFrm.h"
#include "view/SubFrmArrange.h"

using namespace korvel::testing;

namespace {

constexpr qreal kRatio = 2;
constexpr int kChecker = 160;  // the default cell's thumbnail box (80) in device pixels

// A black and white checkerboard of single pixels: any enlargement shows as equal neighbours.
void writeChecker(const QString& path, int w, int h) {
    korvel::TBitmap b(w, h, korvel::PixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setRawPixel(x, y, (x + y) % 2 ? 0 : 0xFFFFFF);
    saveBmp(b, path.toStdString());
}

bool isBlack(QRgb c) { return qRed(c) < 40 && qGreen(c) < 40 && qBlue(c) < 40; }
bool isWhite(QRgb c) { return qRed(c) > 215 && qGreen(c) > 215 && qBlue(c) > 215; }

// Side by side pixels of image inside r (device pixels) where black meets white.
int edges(const QImage& image, QRect r) {
    r &= image.rect();
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x < r.right(); ++x) {
            const QRgb a = image.pixel(x, y), b = image.pixel(x + 1, y);
            n += (isBlack(a) && isWhite(b)) || (isWhite(a) && isBlack(b));
        }
    return n;
}

// Nearly every neighbour pair of a kChecker square differs; an enlarged copy has half as many.
constexpr int kSharp = kChecker * (kChecker - 1) * 9 / 10;

}  // namespace

class HiDpiWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_, pics_;
    std::unique_ptr<TKorvelMain> w_;

    QString pic(const char* name) const { return pics_.filePath(QString::fromLatin1(name)); }

private slots:
    void initTestCase() {
        QCOMPARE(qApp->devicePixelRatio(), kRatio);
        qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8());
        writeChecker(pic("a-checker.bmp"), kChecker, kChecker);
        writeChecker(pic("b-wide.bmp"), 3000, 1000);
        w_ = std::make_unique<TKorvelMain>(std::vector{pics_.path().toStdString()});
        QVERIFY(showReady(*w_));
    }
    void cleanupTestCase() {
        closeAllSubViewers();
        w_.reset();
    }

    // The cell keeps its logical size; its thumbnail is built and drawn at twice the pixels.
    void thumbnailAtDevicePixels() {
        TOrgStGrid* g = grid(*w_);
        QCOMPARE(g->defaultSize(), 105);  // the 100-pixel thumbnail's cell, as at scale 1
        const QRect cell = g->cellRect(cellOf(*w_, 0));
        QTRY_VERIFY(edges(g->viewport()->grab().toImage(), QRect(cell.topLeft() * 2, cell.size() * 2)) > kSharp);
    }

    // The preview is fitted to the pane's device pixels, and a small picture is shown one image
    // pixel to a device pixel.
    void previewAtDevicePixels() {
        for (const auto& [index, image] : {std::pair{0, QSize(kChecker, kChecker)}, std::pair{1, QSize(3000, 1000)}}) {
            clickCell(*w_, size_t(index));
            QVERIFY(waitPreview(*w_));
            TPreviewPane* pane = previewPane(*w_);
            const QImage shown = pane->shownImage();
            QCOMPARE(shown.devicePixelRatio(), kRatio);
            const QSize paneDevice = pane->size() * 2;
            QVERIFY2(image.width() > paneDevice.width() || index == 0, "the pane is too wide for the case");
            const QSize want = image.width() <= paneDevice.width() && image.height() <= paneDevice.height()
                                   ? image
                                   : image.scaled(paneDevice, Qt::KeepAspectRatio);
            QVERIFY2(qAbs(shown.width() - want.width()) <= 1 && qAbs(shown.height() - want.height()) <= 1,
                     qPrintable(QStringLiteral("%1x%2, not %3x%4")
                                    .arg(shown.width()).arg(shown.height()).arg(want.width()).arg(want.height())));
            if (index == 0) QVERIFY(edges(pane->grab().toImage(), QRect(0, 0, kChecker, kChecker)) > kSharp);
        }
    }

    // At 100 % a viewer shows each image pixel on one device pixel: half the logical size.
    void viewerAtDevicePixels() {
        TKorvelSubFrm* viewer = openSubViewer(pic("a-checker.bmp").toStdString(), w_.get());
        QVERIFY(QTest::qWaitForWindowExposed(viewer));
        QCOMPARE(viewer->zoomFactor(), 1.0f);
        QCOMPARE(viewer->paintBox()->size(), QSize(kChecker / 2, kChecker / 2));
        QVERIFY(edges(viewer->paintBox()->grab().toImage(), QRect(0, 0, kChecker, kChecker)) > kSharp);
    }
};

int main(int argc, char** argv) {
    // Before the application exists, as a desktop's scale setting would be.
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    HiDpiWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "hidpi_window_test.moc"
