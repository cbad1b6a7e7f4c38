// A turn saved from the preview's menu and undone with Ctrl+Z: the grid's thumbnail, the preview
// and the file follow each time, the file's time kept or not as the options say.
#include <QTemporaryDir>
#include <chrono>
#include <filesystem>

#include "tests/support/GridWindow.h"
#include "tests/support/TempTree.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;

namespace {

QString colourName(QRgb c) {
    const int r = qRed(c), g = qGreen(c), b = qBlue(c);
    return r > 150 && g < 90 && b < 90 ? "red" : g > 130 && r < 90 && b < 90 ? "green" : "";
}

// The picture in cell index as painted: "wide" or "tall", then the colours at its top-left and
// bottom-right; "none" before its thumbnail is drawn.
QString cellPicture(TKorvelMain& w, size_t index) {
    const QImage cell = grid(w)->viewport()->grab(grid(w)->cellRect(cellOf(w, index))).toImage();
    QRect box;
    for (int y = 0; y < cell.height(); ++y)
        for (int x = 0; x < cell.width(); ++x)
            if (!colourName(cell.pixel(x, y)).isEmpty()) box |= QRect(x, y, 1, 1);
    if (box.width() < 8 || box.height() < 8) return "none";
    return QString(box.width() > box.height() ? "wide " : "tall ") + colourName(cell.pixel(box.topLeft() + QPoint(3, 3))) +
           " " + colourName(cell.pixel(box.bottomRight() - QPoint(3, 3)));
}

}  // namespace

class TurnWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_;

private slots:
    // Turned right and saved: the cell shows the picture standing, the preview the file as it is
    // now; Ctrl+Z brings the lying picture back. With the time kept, the shared thumbnail of the
    // old bytes would still pass as valid (same name, same time): it must not stand in.
    void savedTurnAndItsUndo() {
        for (const bool keepTime : {false, true}) {
            const RowTrace trace{keepTime ? "time kept" : "time changed"};
            TempTree tree;
            qputenv("XDG_DATA_HOME", QByteArray::fromStdString(tree / "data"));
            qputenv("KORVEL_STATE_DIR", QByteArray::fromStdString(tree / "state/"));
            qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(tree / "cache"));
            qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8());
            writeFile(config_.path().toStdString() + "/Korvel.ini", keepTime ? "[Window]\nTurnKeepsTime=1\n" : "");
            // Red on the left, green on the right; large enough that its shared thumbnail stands in.
            korvel::TBitmap picture = solidBitmap(256, 128, 0x14B414);
            for (int y = 0; y < 128; ++y)
                for (int x = 0; x < 128; ++x) picture.setRawPixel(x, y, 0xDC1414);
            const std::vector<uint8_t> jpeg = jpegBytes(picture, 95);
            const std::string file = tree.write("pics/a.jpg", std::string(jpeg.begin(), jpeg.end()));
            namespace fs = std::filesystem;
            const fs::file_time_type old = fs::last_write_time(file) - std::chrono::hours(48);
            fs::last_write_time(file, old);

            TKorvelMain w({tree / "pics"});
            QVERIFY(showReady(w));
            QTRY_COMPARE(cellPicture(w, 0), QStringLiteral("wide red green"));
            const auto choose = [&](QAction* item) {
                QTest::mouseClick(previewPane(w), Qt::RightButton, {}, QPoint(2, 2));
                pickFromMenu(previewPopup(w), w.actions().Turn);
                pickFromMenu(w.actions().Turn->menu(), item);
            };
            choose(w.actions().Turn1);
            choose(w.actions().TurnSave);
            QCOMPARE(QImage(QString::fromStdString(file)).size(), QSize(128, 256));
            QCOMPARE(fs::last_write_time(file) == old, keepTime);
            QTRY_COMPARE(cellPicture(w, 0), QStringLiteral("tall red green"));

            w.activateWindow();
            QVERIFY(QTest::qWaitFor([&] { return w.isActiveWindow(); }));
            grid(w)->setFocus();
            QTest::keyClick(grid(w), Qt::Key_Z, Qt::ControlModifier);
            QTRY_COMPARE(QImage(QString::fromStdString(file)).size(), QSize(256, 128));
            QCOMPARE(fs::last_write_time(file), old);
            QTRY_COMPARE(cellPicture(w, 0), QStringLiteral("wide red green"));
            QVERIFY(waitPreview(w));
            QTRY_COMPARE(w.preview().graphic()->width(), 256);
        }
    }
};

QTEST_MAIN(TurnWindowTest)
#include "turn_window_test.moc"
