// A folder of camera JPEGs chosen in the window: cells show the photos' embedded EXIF pictures at
// once, and each gives way to the built thumbnail, which is the one a photo without an embedded
// picture gets.
#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>

#include "app/ThumbnailGridPanel.h"
#include "tests/support/ExifThumbSamples.h"
#include "tests/support/GridWindow.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;

namespace {

constexpr korvel::Color kRed = korvel::makeColor(220, 30, 30), kGreen = korvel::makeColor(30, 200, 30);

bool isGreenish(QRgb c) { return qGreen(c) > 150 && qRed(c) < 90 && qBlue(c) < 90; }
bool isReddish(QRgb c) { return qRed(c) > 150 && qGreen(c) < 90 && qBlue(c) < 90; }

void writeBytes(const QString& path, const PhotoBytes& b) {
    std::ofstream(path.toStdString(), std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

}  // namespace

class StandInWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_, empty_, pics_;

    // The colour at the middle of a cell's thumbnail box as drawn now.
    QRgb cellColour(TKorvelMain& w, size_t index) {
        const QImage shot = grid(w)->viewport()->grab().toImage();
        const QRect r = grid(w)->cellRect(cellOf(w, index));
        return shot.pixel(r.topLeft() + QPoint(2 + grid(w)->defaultSize() / 2, 40));
    }

private slots:
    void initTestCase() { qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8()); }

    void standInsGiveWayToBuiltThumbnails() {
        // A red photo whose embedded picture is green, so the screen tells which one a cell shows.
        const korvel::TBitmap photo = barredBitmap(64, 48, kRed);
        const PhotoBytes green = jpegBytes(barredBitmap(160, 120, kGreen), 95);
        PhotoBytes cut(green.begin(), green.end() - 30);
        writeBytes(pics_.filePath("a-wrong-aspect.jpg"), cameraJpeg(barredBitmap(48, 32, kRed), green));
        writeBytes(pics_.filePath("b-damaged.jpg"), cameraJpeg(photo, cut));
        writeBytes(pics_.filePath("c-camera.jpg"), cameraJpeg(photo, green));
        writeBytes(pics_.filePath("d-plain.jpg"), jpegBytes(photo, 95));

        TKorvelMain w({empty_.path().toStdString()});
        QVERIFY(showReady(w));
        auto* panel = w.findChild<ThumbnailGridPanel*>("Panel3");
        QVERIFY(panel);
        panel->holdThumbnails(true);
        QLineEdit* edit = historyBox(w)->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, pics_.path());
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_COMPARE(int(w.fileList().size()), 4);

        // The lane reads the cells in order: once c has its stand-in, a and b were judged.
        QTRY_VERIFY(panel->pictureInHand(2));
        QVERIFY(isGreenish(cellColour(w, 2)));
        QVERIFY(!panel->pictureInHand(0));
        QVERIFY(!panel->pictureInHand(1));
        QVERIFY(!panel->pictureInHand(3));
        QVERIFY(!isGreenish(cellColour(w, 0)) && !isGreenish(cellColour(w, 1)));
        // Stand-ins never reach the cache file.
        for (size_t i = 0; i < 4; ++i) QCOMPARE(w.fileList().seek(i).ThumbPos, -1);

        panel->holdThumbnails(false);
        QTRY_VERIFY(w.fileList().seek(0).ThumbPos != -1 && w.fileList().seek(1).ThumbPos != -1 &&
                    w.fileList().seek(2).ThumbPos != -1 && w.fileList().seek(3).ThumbPos != -1);
        QTRY_VERIFY(isReddish(cellColour(w, 2)));
        // The built thumbnail is the plain photo's, pixel for pixel.
        const QImage built = panel->thumbnail(2), plain = panel->thumbnail(3);
        QVERIFY(!built.isNull());
        QCOMPARE(built.convertToFormat(QImage::Format_RGB32), plain.convertToFormat(QImage::Format_RGB32));
    }
};

QTEST_MAIN(StandInWindowTest)
#include "standin_window_test.moc"
