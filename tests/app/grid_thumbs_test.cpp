// Thumbnails come from worker threads after their cells were first drawn without them: the cells
// on screen are repainted when they arrive, also after the user scrolled with the keys.
#include <unistd.h>

#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "codecs/Png.h"
#include "tests/support/GridWindow.h"

namespace {

constexpr int kSources = 6, kFiles = 360;
const QRgb kColours[kSources] = {0xD01010, 0x10A020, 0x2030E0, 0xE0C000, 0x8000A0, 0x00A0A0};

// The colour at the centre of each fully visible cell's thumbnail box, as last painted on screen,
// against its file's colour; "" when all match.
QString mismatch(TKorvelMain& w) {
    const QImage shot = w.screen()->grabWindow(w.winId()).toImage();
    TOrgStGrid* g = w.grid();
    for (int row = g->topRow(); row < g->topRow() + g->visibleRowCount(); ++row)
        for (int col = 0; col < g->colCount(); ++col) {
            const size_t index = size_t(row) * size_t(g->colCount()) + size_t(col);
            if (index >= w.fileList().size()) continue;
            const QRect r = g->cellRect({col, row});
            const QPoint p = g->viewport()->mapTo(&w, r.topLeft() + QPoint(2 + g->defaultSize() / 2, 40));
            const QRgb got = shot.pixel(p) & 0xFFFFFF, want = kColours[index % kSources];
            if (got != want) return QStringLiteral("cell %1: %2 instead of %3").arg(index).arg(got, 6, 16).arg(want, 6, 16);
        }
    return {};
}

}  // namespace

class GridThumbsTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_, pics_;

private slots:
    void cellsAreRepaintedAsThumbnailsArrive() {
        qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8());
        // Large sources keep the workers busy long enough that the far end is not built yet when
        // the keys get there; the files are hard links, so the folder costs no disk space.
        for (int k = 0; k < kSources; ++k) {
            korvel::TGLDPNG png;
            korvel::TBitmap solid(1600, 1200, korvel::PixelFormat::pf24bit);
            for (int y = 0; y < solid.height(); ++y)
                for (int x = 0; x < solid.width(); ++x) solid.setRawPixel(x, y, korvel::makeColor(qRed(kColours[k]), qGreen(kColours[k]), qBlue(kColours[k])));
            png.assign(solid);
            png.saveToFile(config_.filePath(QStringLiteral("src%1.png").arg(k)).toStdString());
        }
        for (int i = 0; i < kFiles; ++i)
            QVERIFY(::link(config_.filePath(QStringLiteral("src%1.png").arg(i % kSources)).toLocal8Bit().constData(),
                           pics_.filePath(QStringLiteral("f%1.png").arg(i, 3, 10, QChar('0'))).toLocal8Bit().constData()) == 0);
        TKorvelMain w({pics_.path()});
        QVERIFY(korvel::testing::showReady(w));
        QTRY_COMPARE_WITH_TIMEOUT(mismatch(w), QString(), 20000);

        w.grid()->setFocus();
        for (int i = 0; i < 60 && w.grid()->topRow() + w.grid()->visibleRowCount() < w.grid()->rowCount(); ++i)
            QTest::keyClick(w.grid(), Qt::Key_PageDown);
        QVERIFY(w.grid()->topRow() > 0);
        QTRY_COMPARE_WITH_TIMEOUT(mismatch(w), QString(), 20000);
    }
};

QTEST_MAIN(GridThumbsTest)
#include "grid_thumbs_test.moc"
