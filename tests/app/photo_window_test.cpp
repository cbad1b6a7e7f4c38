// A folder of camera JPEGs in the window: cells show the photos' embedded EXIF pictures at once,
// each giving way to the built thumbnail; the date-taken mode, chosen from the menu bar's keys,
// orders the photos by when they were taken.
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>

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

void writeBytes(const QString& path, const PhotoBytes& b) {
    std::ofstream(path.toStdString(), std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

}  // namespace

class PhotoWindowTest : public QObject {
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

    static QString names(const TKorvelMain& w) {
        QStringList out;
        for (size_t i = 0; i < w.fileList().size(); ++i)
            out << QString::fromStdString(w.fileList().path(i)).section('/', -1);
        return out.join(' ');
    }

    void chooseFolder(TKorvelMain& w, const QString& folder) {
        QLineEdit* edit = historyBox(w)->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, folder);
        QTest::keyClick(edit, Qt::Key_Return);
    }

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
        chooseFolder(w, pics_.path());
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

    // Alt+V, V, T, then the sort button: the photos in the order they were taken (camera clocks
    // with their offsets, the file's time for one without).
    void takenModeFromTheMenuBar() {
        QTemporaryDir dir;
        const auto put = [&](const char* name, const std::string& date, const std::string& offset, time_t mtime) {
            writeBytes(dir.filePath(name), jpegWithExif(exifTakenBlock(date, offset)));
            const timespec times[2] = {{mtime, 0}, {mtime, 0}};
            QVERIFY(::utimensat(AT_FDCWD, dir.filePath(name).toLocal8Bit().constData(), times, 0) == 0);
        };
        put("a.jpg", "2021:03:04 10:00:00", "+09:00", localTime(2001, 1, 1));  // 01:00 UTC
        put("b.jpg", "2021:03:04 09:00:00", "+02:00", localTime(2002, 1, 1));  // 07:00 UTC
        put("c.jpg", "2021:03:04 03:00:00", "+00:00", localTime(2000, 1, 1));  // 03:00 UTC
        put("d.jpg", "", "", localTime(2020, 1, 1));                          // no date: its file time
        TKorvelMain w({empty_.path().toStdString()});
        QVERIFY(showReady(w));
        chooseFolder(w, dir.path());
        QTRY_COMPARE(names(w), QStringLiteral("a.jpg b.jpg c.jpg d.jpg"));

        const auto openMenu = [] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); };
        QTest::keyClick(&w, Qt::Key_V, Qt::AltModifier);
        QTRY_VERIFY(openMenu());
        QTest::keyClick(openMenu(), Qt::Key_V);
        QTRY_VERIFY(openMenu() == w.actions().NameViewMenu->menu());
        QTest::keyClick(openMenu(), Qt::Key_T);
        QTRY_COMPARE(w.infoMode(), TKorvelMain::InfoMode::Taken);
        QVERIFY(w.actions().NameView5->isChecked());
        QTest::mouseClick(w.toolButton(w.actions().SortBtn1), Qt::LeftButton);
        QTRY_COMPARE(names(w), QStringLiteral("d.jpg a.jpg c.jpg b.jpg"));
    }
};

QTEST_MAIN(PhotoWindowTest)
#include "photo_window_test.moc"
