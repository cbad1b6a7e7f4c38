// A folder of camera JPEGs in the window: cells show the photos' embedded EXIF pictures at once,
// each giving way to the built thumbnail; the date-taken mode, chosen from the menu bar's keys,
// orders the photos by when they were taken.
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include "app/ThumbnailGridPanel.h"
#include "tests/support/ExifThumbSamples.h"
#include "tests/support/GridWindow.h"
#include "tests/support/TakenSamples.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;

namespace {

constexpr korvel::Color kRed = korvel::makeColor(220, 30, 30), kGreen = korvel::makeColor(30, 200, 30);

bool isGreenish(QRgb c) { return qGreen(c) > 150 && qRed(c) < 90 && qBlue(c) < 90; }
bool isReddish(QRgb c) { return qRed(c) > 150 && qGreen(c) < 90 && qBlue(c) < 90; }

// The colour at the middle of a cell's thumbnail box as drawn now.
QRgb cellColour(TKorvelMain& w, size_t index) {
    const QImage shot = grid(w)->viewport()->grab().toImage();
    const QRect r = grid(w)->cellRect(cellOf(w, index));
    return shot.pixel(r.topLeft() + QPoint(2 + grid(w)->defaultSize() / 2, 40));
}

QString firstName(const TKorvelMain& w) {
    return w.fileList().size() ? QString::fromStdString(w.fileList().path(0)).section('/', -1) : QString();
}

}  // namespace

class PhotoWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_, empty_;

private slots:
    void initTestCase() { qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8()); }

    void standInsGiveWayToBuiltThumbnails() {
        // A red photo whose embedded picture is green, so the screen tells which one a cell shows.
        TempTree pics;
        const korvel::TBitmap photo = barredBitmap(64, 48, kRed);
        const PhotoBytes green = jpegBytes(barredBitmap(160, 120, kGreen), 95);
        writeFile(pics / "a-wrong-aspect.jpg", cameraJpeg(barredBitmap(48, 32, kRed), green));
        writeFile(pics / "b-camera.jpg", cameraJpeg(photo, green));
        writeFile(pics / "c-plain.jpg", jpegBytes(photo, 95));

        TKorvelMain w({empty_.path().toStdString()});
        QVERIFY(showReady(w));
        auto* panel = w.findChild<ThumbnailGridPanel*>("Panel3");
        QVERIFY(panel);
        panel->holdThumbnails(true);
        QLineEdit* edit = historyBox(w)->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromStdString(pics.dir()));
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_COMPARE(int(w.fileList().size()), 3);

        // The lane reads the cells in order: once b has its stand-in, a was judged.
        QTRY_VERIFY(panel->pictureInHand(1));
        QVERIFY(isGreenish(cellColour(w, 1)));
        QVERIFY(!panel->pictureInHand(0) && !isGreenish(cellColour(w, 0)));
        // Stand-ins never reach the cache file.
        for (size_t i = 0; i < 3; ++i) QCOMPARE(w.fileList().seek(i).ThumbPos, -1);

        panel->holdThumbnails(false);
        QTRY_VERIFY(w.fileList().seek(1).ThumbPos != -1 && w.fileList().seek(2).ThumbPos != -1);
        QTRY_VERIFY(isReddish(cellColour(w, 1)));
    }

    // Alt+V, V, T, then the sort button: b, taken first, comes before a, although a comes first
    // by name and by file time.
    void takenModeFromTheMenuBar() {
        TempTree dir;
        writeFile(dir / "a.jpg", jpegWithExif(exifTakenBlock("2021:03:04 10:00:00")));
        writeFile(dir / "b.jpg", jpegWithExif(exifTakenBlock("2021:03:04 09:00:00")));
        dir.mtime("a.jpg", localTime(2001, 1, 1)), dir.mtime("b.jpg", localTime(2002, 1, 1));
        TKorvelMain w({dir.dir()});
        QVERIFY(showReady(w));
        QTRY_COMPARE(firstName(w), QStringLiteral("a.jpg"));

        const auto openMenu = [] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); };
        QTest::keyClick(&w, Qt::Key_V, Qt::AltModifier);
        QTRY_VERIFY(openMenu());
        QTest::keyClick(openMenu(), Qt::Key_V);
        QTRY_VERIFY(openMenu() == w.actions().NameViewMenu->menu());
        QTest::keyClick(openMenu(), Qt::Key_T);
        QTRY_COMPARE(w.infoMode(), TKorvelMain::InfoMode::Taken);
        QVERIFY(w.actions().NameView5->isChecked());
        QTest::mouseClick(w.toolButton(w.actions().SortBtn1), Qt::LeftButton);
        QTRY_COMPARE(firstName(w), QStringLiteral("b.jpg"));
    }
};

QTEST_MAIN(PhotoWindowTest)
#include "photo_window_test.moc"
