// Keys on the main window and the grid, pressed through the event system on the offscreen
// platform: each key acts once, Shift+arrows extend a range, and what the grid shows after an
// info-mode change, a resize and a long listing.
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "browse/GridModel.h"
#include "tests/support/GridWindow.h"
#include "view/SubFrmArrange.h"

using namespace korvel::testing;

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* w) : QObject(w) { w->installEventFilter(this); }
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++count;
        return false;
    }
};

bool isInk(QRgb c) { return qRed(c) < 110 && qGreen(c) < 110 && qBlue(c) < 110; }

int inkIn(const QImage& img, const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += isInk(img.pixel(x, y));
    return n;
}

}  // namespace

class GridKeysTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_, pics_;
    std::unique_ptr<TKorvelMain> w_;
    int opened_ = 0;

    bool openWindow(int files) {
        QDir(pics_.path()).removeRecursively();
        QDir().mkpath(pics_.path() + "/sub");
        for (int i = 0; i < files; ++i)
            writeSolidBmp(pics_.path() + QStringLiteral("/img%1.bmp").arg(i, 2, 10, QChar('0')), 64, 48);
        writeSolidBmp(pics_.path() + "/sub/other.bmp", 8, 8);
        w_ = std::make_unique<TKorvelMain>(QStringList{pics_.path()});
        w_->resize(900, 700);
        w_->show();
        w_->activateWindow();
        if (!QTest::qWaitForWindowActive(w_.get()) || !QTest::qWaitFor([&] { return w_->formReady() == 2; })) return false;
        w_->grid()->setFocus();
        return waitPreview(*w_);
    }

public slots:
    void countOpen(const QUrl&) { ++opened_; }

private slots:
    void init() {
        qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8());
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "countOpen");
        opened_ = 0;
    }
    void cleanup() {
        closeAllSubViewers();
        w_.reset();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    }

    // One press is one action, however far the key travels up the window's widgets.
    void eachKeyActsOnce_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<int>("marked");
        QTest::addColumn<int>("viewers");
        QTest::addColumn<int>("listings");
        QTest::addColumn<int>("opened");
        QTest::addColumn<int>("clips");
        QTest::addColumn<int>("popups");
        QTest::newRow("Enter") << int(Qt::Key_Return) << 0 << 1 << 1 << 0 << 0 << 0 << 0;
        QTest::newRow("S, two marked") << int(Qt::Key_S) << 0 << 2 << 2 << 0 << 0 << 0 << 0;
        QTest::newRow("Shift+Enter") << int(Qt::Key_Return) << int(Qt::ShiftModifier) << 1 << 0 << 0 << 1 << 0 << 0;
        QTest::newRow("K") << int(Qt::Key_K) << 0 << 2 << 0 << 0 << 2 << 0 << 0;
        QTest::newRow("R") << int(Qt::Key_R) << 0 << 1 << 0 << 1 << 0 << 0 << 0;
        QTest::newRow("B") << int(Qt::Key_B) << 0 << 1 << 0 << 1 << 0 << 0 << 0;
        QTest::newRow("Ctrl+C") << int(Qt::Key_C) << int(Qt::ControlModifier) << 1 << 0 << 0 << 0 << 1 << 0;
        QTest::newRow("F3") << int(Qt::Key_F3) << 0 << 1 << 0 << 0 << 0 << 0 << 1;
    }
    void eachKeyActsOnce() {
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(int, marked);
        QVERIFY(openWindow(9));
        TKorvelMain& w = *w_;
        if (marked == 2) clickCell(w, 1, Qt::ControlModifier);
        QCOMPARE(int(w.markedFiles().size()), marked);
        w.historyBox()->insertItem(1, pics_.path() + "/sub/");  // B goes back to this folder
        w.quickFolderButton(2)->setToolTip(pics_.path() + "/sub/");
        pointAtCell(w, 0);
        QSignalSpy listings(&w, &TKorvelMain::folderListed);
        QSignalSpy clips(QApplication::clipboard(), &QClipboard::dataChanged);
        QSignalSpy popups(w.targetPopup(), &QMenu::aboutToShow);
        QTimer::singleShot(100, w.targetPopup(), &QMenu::close);
        QTest::keyClick(w.grid(), Qt::Key(key), Qt::KeyboardModifiers(mods));
        QCoreApplication::processEvents();
        QTEST(int(openSubViewers().size()), "viewers");
        QTEST(int(listings.count()), "listings");
        QTEST(opened_, "opened");
        QTEST(int(clips.count()), "clips");
        QTEST(int(popups.count()), "popups");
    }

    // Shift+arrows mark the block from the anchor to the current cell; a plain arrow marks one cell.
    void shiftArrowsExtendTheRange() {
        QVERIFY(openWindow(20));
        TKorvelMain& w = *w_;
        QVERIFY(w.grid()->colCount() >= 4);
        clickCell(w, 1);
        struct Step {
            Qt::Key key;
            Qt::KeyboardModifiers mods;
            std::vector<korvel::GridCell> marked;  // in index order
        } steps[] = {
            {Qt::Key_Right, Qt::ShiftModifier, {{1, 0}, {2, 0}}},
            {Qt::Key_Down, Qt::ShiftModifier, {{1, 0}, {2, 0}, {1, 1}, {2, 1}}},
            {Qt::Key_Left, Qt::ShiftModifier, {{1, 0}, {1, 1}}},
            {Qt::Key_Left, Qt::ShiftModifier, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}},
            {Qt::Key_Right, Qt::NoModifier, {{1, 1}}},
            {Qt::Key_Up, Qt::ShiftModifier, {{1, 0}, {1, 1}}},  // the anchor moved with the plain key
        };
        for (const Step& s : steps) {
            QTest::keyClick(w.grid(), s.key, s.mods);
            std::vector<size_t> expected;
            for (korvel::GridCell c : s.marked) expected.push_back(size_t(c.row * w.grid()->colCount() + c.col));
            QCOMPARE(w.markedFiles(), expected);
        }
        QVERIFY(waitPreview(w));
        QCOMPARE(w.statusPanel(1)->text(), pics_.path() + "/img01.bmp");  // the current cell
    }

    void infoModeChangeRepaintsTheCells() {
        QVERIFY(openWindow(9));
        TKorvelMain& w = *w_;
        auto* paints = new PaintCounter(w.grid()->viewport());
        QCoreApplication::processEvents();
        paints->count = 0;
        QToolButton* button = w.toolButton(w.actions().NameViewBtn);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
        QCOMPARE(w.nameView(), 1);
        QVERIFY(QTest::qWaitFor([&] { return paints->count > 0; }, 500));
    }

    void resizeKeepsTheCurrentCellInView() {
        QVERIFY(openWindow(30));
        TKorvelMain& w = *w_;
        TOrgStGrid* g = w.grid();
        for (int i = 0; i < 3; ++i) QTest::keyClick(g, Qt::Key_Down);
        QVERIFY(waitPreview(w));
        QCOMPARE(g->selection().row, 3);
        for (int grow : {3, -5, 40}) {
            w.resize(w.width() + grow, w.height() + grow);
            QCoreApplication::processEvents();
            const int row = g->selection().row, top = g->topRow(), visible = std::max(1, g->visibleRowCount());
            QVERIFY2(row >= top && row < top + visible, qPrintable(QStringLiteral("row %1, top %2").arg(row).arg(top)));
        }
    }

    void fileCountFitsItsPanel() {
        QVERIFY(openWindow(0));
        for (int i = 0; i < 1234; ++i) writeSolidBmp(pics_.path() + QStringLiteral("/f%1.bmp").arg(i), 1, 1);
        QTest::keyClick(w_->grid(), Qt::Key_R);
        QLabel* panel = w_->statusPanel(0);
        QCOMPARE(panel->text(), QStringLiteral("1,234Files"));
        // A framed label indents its text by half an "x" on the aligned side.
        const QFontMetrics fm(panel->font());
        QVERIFY(fm.horizontalAdvance(panel->text()) + fm.horizontalAdvance(QLatin1Char('x')) / 2 <= panel->contentsRect().width());
        QVERIFY(panel->width() >= 60);
    }

    // The two info lines of a Japanese name are drawn whole (a taller fallback font draws them)
    // and on their own band, clear of a thumbnail that takes the cell's full height.
    void infoTextIsWholeAndClearOfThePicture_data() {
        QTest::addColumn<int>("nameView");
        QTest::addColumn<QString>("name");
        QTest::newRow("name wrapped") << 0 << QStringLiteral("日本語の名前テスト画.bmp");
        QTest::newRow("size and name") << 1 << QStringLiteral("写真.bmp");
    }
    void infoTextIsWholeAndClearOfThePicture() {
        QFETCH(int, nameView);
        QFETCH(QString, name);
        QVERIFY(openWindow(0));
        writeSolidBmp(pics_.path() + "/" + name, 20, 200, 0x00FF00);  // a full-height green thumbnail
        writeSolidBmp(pics_.path() + "/0.bmp", 8, 8);                  // cell 0 stays marked
        TKorvelMain& w = *w_;
        const std::array<QAction*, 4> views = {w.actions().NameView1, w.actions().NameView2, w.actions().NameView3,
                                               w.actions().NameView4};
        views[size_t(nameView)]->trigger();
        QTest::keyClick(w.grid(), Qt::Key_R);
        QCOMPARE(int(w.fileList().size()), 2);
        const QRect cell = w.grid()->cellRect({1, 0});
        const QImage shot = w.grid()->viewport()->grab().toImage();
        // The same text drawn without any bound, at the width the cell gives it.
        const auto size = int32_t(QFileInfo(pics_.path() + "/" + name).size());
        const QString text = nameView == 0 ? name
                                           : QString::fromStdString(korvel::formatKiloBytes(size)) +
                                                 QChar::LineSeparator + "( " + name + " )";
        QImage ref(cell.width(), 200, QImage::Format_RGB32);
        ref.fill(Qt::white);
        {
            QPainter p(&ref);
            p.setFont(w.grid()->viewport()->font());
            p.setPen(Qt::black);
            p.drawText(QRect(0, 0, cell.width() - w.infoHeight() / 3 - 1, 200), Qt::TextWrapAnywhere, text);
        }
        const int want = inkIn(ref, ref.rect());
        QVERIFY(want > 0);
        QVERIFY2(std::abs(inkIn(shot, cell) - want) <= want / 20,
                 qPrintable(QStringLiteral("%1 ink pixels, %2 expected").arg(inkIn(shot, cell)).arg(want)));
        // No row that carries text shows the picture.
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            bool ink = false, picture = false;
            for (int x = cell.left(); x <= cell.right(); ++x) {
                const QRgb c = shot.pixel(x, y);
                ink |= isInk(c);
                picture |= qGreen(c) > 200 && qRed(c) < 60 && qBlue(c) < 60;
            }
            QVERIFY2(!(ink && picture), qPrintable(QStringLiteral("row %1").arg(y - cell.top())));
        }
    }
};

QTEST_MAIN(GridKeysTest)
#include "grid_keys_test.moc"
