// Sub-viewer windows offscreen: sizing on a given work area, zoom and painting, turns, keys, the
// clipboard, the menu's enabling and the commands over all open viewers.
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/UiSupport.h"
#include "view/PaintBox.h"
#include "view/SubFrm.h"
#include "view/SubFrmArrange.h"

using namespace korvel::testing;

namespace {

const QRect kWorkArea(0, 0, 1024, 738);

// The colour writePatternBmp gives each pixel, so turns and stretches show where it went.
QRgb patternAt(int x, int y) { return 0xFF000000u | uint32_t((x * 7 + y * 3) & 0xFFFFFF); }
void writePattern(const QString& path, int w, int h) { writePatternBmp(path.toStdString(), w, h); }

// Opens the viewer's pop-up menu as a right click does, which refreshes its items, and closes it.
void popUp(TKorvelSubFrm* w, QWidget* at = nullptr) {
    at = at ? at : w;
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(1, 1), at->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(at, &event);
    QVERIFY(w->popupMenu()->isVisible());
    w->popupMenu()->close();
}

QString panel(TKorvelSubFrm* w, int i) { return w->statusPanel(i)->text(); }
QImage shot(TKorvelSubFrm* w) {
    return w->paintBox()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class SubViewerTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString path(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }

    TKorvelSubFrm* open(const QString& name) {
        TKorvelSubFrm* w = openSubViewer(QFile::encodeName(path(name)).toStdString());
        if (!QTest::qWaitForWindowExposed(w)) qWarning("viewer not exposed");
        return w;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        setSubViewerWorkAreaProvider([] { return kWorkArea; });
        writePattern(path("small.bmp"), 320, 240);
        writePattern(path("p101.bmp"), 101, 101);
        writePattern(path("p640.bmp"), 640, 480);
        std::ofstream(path("broken.bmp").toStdString()) << "BM this is not a bitmap";
    }
    void cleanup() {
        closeAllSubViewers();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void windowSizeOnWorkArea_data() {
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QRect>("area");
        QTest::newRow("narrower than the status panels") << QSize(101, 101) << kWorkArea;
        QTest::newRow("one short of both sides") << QSize(1023, 737) << kWorkArea;
        QTest::newRow("exactly as wide") << QSize(1024, 100) << kWorkArea;
        QTest::newRow("tall") << QSize(500, 3000) << kWorkArea;
        QTest::newRow("wide, work area beside a panel") << QSize(3000, 500) << QRect(64, 30, 960, 700);
    }
    void windowSizeOnWorkArea() {
        QFETCH(QSize, image);
        QFETCH(QRect, area);
        setSubViewerWorkAreaProvider([area] { return area; });
        const QString file = QStringLiteral("size%1x%2.bmp").arg(image.width()).arg(image.height());
        writePattern(path(file), image.width(), image.height());
        TKorvelSubFrm* w = open(file);
        setSubViewerWorkAreaProvider([] { return kWorkArea; });
        const int bar = w->statusBar()->height();
        const int sb = w->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, w);
        const bool wide = image.width() >= area.width(), tall = image.height() >= area.height();
        if (!wide && !tall) {  // left where the desktop puts it
            QCOMPARE(w->size(), QSize(image.width() + 5, image.height() + 5 + bar));
        } else {
            const QSize expect(wide ? area.width() : image.width() + sb + 5,
                               tall ? area.height() : image.height() + sb + 5 + bar);
            QCOMPARE(w->size(), expect);
            QCOMPARE(w->frameGeometry().topLeft(),
                     QPoint(wide ? area.left() : area.left() + (area.width() - expect.width()) / 2,
                            tall ? area.top() : area.top() + (area.height() - expect.height()) / 2));
        }
        // The added room is enough: a side that fits shows no scroll bar.
        QCoreApplication::processEvents();
        QCOMPARE(w->scrollBox()->horizontalScrollBar()->isVisible(), wide);
        QCOMPARE(w->scrollBox()->verticalScrollBar()->isVisible(), tall);
    }

    // The viewer has its own window buttons. Up to the largest step and past it, down to the
    // smallest and past it; the menu's zoom items are off at the ends.
    void zoomSteps() {
        TKorvelSubFrm* w = open("p101.bmp");
        QVERIFY(w->windowFlags().testFlags(Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint));
        QCOMPARE(panel(w, 0), QStringLiteral("OriginalSize : 101x101 (x1)"));
        const struct {
            bool in;
            float zoom;
            int side;
        } steps[] = {{true, 1.5f, 152}, {true, 2, 202},    {true, 4, 404},     {true, 6, 606},
                     {true, 8, 808},    {true, 8, 808},    {false, 6, 606},    {false, 4, 404},
                     {false, 2, 202},   {false, 1.5f, 152}, {false, 1, 101},   {false, 0.75f, 76},
                     {false, 0.5f, 51}, {false, 0.25f, 25}, {false, 0.25f, 25}};
        for (const auto& s : steps) {
            (s.in ? w->actions().largePopup : w->actions().SmallPopup)->trigger();
            const QString row = QStringLiteral("%1 to x%2").arg(s.in ? "in" : "out").arg(s.zoom);
            QVERIFY2(w->zoomFactor() == s.zoom, qPrintable(row));
            QCOMPARE(panel(w, 0), QStringLiteral("OriginalSize : 101x101 (x%1)").arg(s.zoom));
            QCOMPARE(panel(w, 1), QStringLiteral("ViewSize : %1x%1").arg(s.side));
            QCOMPARE(w->paintBox()->size(), QSize(s.side, s.side));
            // Stretched without blending: at zoom 2 each source pixel becomes a 2 x 2 block.
            const QImage img = shot(w);
            for (int y = 0; s.zoom == 2 && y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) QCOMPARE(img.pixel(x, y), patternAt(x / 2, y / 2));
            popUp(w);
            QVERIFY2(w->actions().largePopup->isEnabled() == (s.zoom != 8), qPrintable(row));
            QVERIFY2(w->actions().SmallPopup->isEnabled() == (s.zoom != 0.25f), qPrintable(row));
        }
    }

    // Turns change the view only: not the file, not a second viewer of it, not the clipboard's copy.
    void turnsAndTheClipboard() {
        writePattern(path("turn.bmp"), 640, 480);
        const QByteArray before = fileBytes(path("turn.bmp"));
        TKorvelSubFrm* w = open("turn.bmp");
        TKorvelSubFrm* other = open("turn.bmp");
        const QSize windowSize = w->size();
        w->actions().SubTurn1->trigger();
        QCOMPARE(panel(w, 0), QStringLiteral("OriginalSize : 480x640 (x1)"));
        QCOMPARE(panel(w, 1), QStringLiteral("ViewSize : 480x640"));
        QCOMPARE(shot(w).pixel(0, 0), patternAt(0, 479));  // a right turn brings the bottom-left up
        QCOMPARE(shot(w).pixel(479, 0), patternAt(0, 0));
        QCOMPARE(w->size(), windowSize);
        QCOMPARE(fileBytes(path("turn.bmp")), before);
        QCOMPARE(panel(other, 0), QStringLiteral("OriginalSize : 640x480 (x1)"));

        // The zoom stays through a turn; right + half + left is a half turn.
        w->actions().largePopup->trigger();
        w->actions().SubTurn2->trigger();
        QCOMPARE(panel(w, 1), QStringLiteral("ViewSize : 720x960"));
        w->actions().SubTurn3->trigger();
        w->actions().SmallPopup->trigger();
        QCOMPARE(panel(w, 0), QStringLiteral("OriginalSize : 640x480 (x1)"));
        QCOMPARE(shot(w).pixel(0, 0), patternAt(639, 479));
        QCOMPARE(shot(w).pixel(639, 479), patternAt(0, 0));

        QClipboard* cb = QGuiApplication::clipboard();
        cb->clear();
        QTest::keyClick(w, Qt::Key_C);
        QCOMPARE(cb->image().size(), QSize(640, 480));
        for (const QPoint p : {QPoint(0, 0), QPoint(639, 0), QPoint(17, 411), QPoint(639, 479)})
            QCOMPARE(cb->image().pixel(p), patternAt(p.x(), p.y()));
        // The copy reads the file again: gone, it is reported.
        QVERIFY(QFile::remove(path("turn.bmp")));
        MessageBoxCatcher box;
        w->actions().ClipImage->trigger();
        QCOMPARE(box.title, QStringLiteral("Copy Error"));
        QCOMPARE(box.text, QStringLiteral("クリップボードへコピー出来ませんでした。"));
    }

    // Every way a file can fail to load takes the same path here; the loaders' own tests tell them apart.
    void undecodableFile() {
        TKorvelSubFrm* w = open("broken.bmp");
        QCOMPARE(w->windowTitle(), path("broken.bmp") + QStringLiteral(" － 画像を表示出来ません。"));
        QCOMPARE(w->size(), TKorvelSubFrm::kDesignedClientSize);
        popUp(w);
        QVERIFY(!w->actions().largePopup->isEnabled() && !w->actions().SmallPopup->isEnabled());
        QVERIFY(w->actions().AllClose->isEnabled());
        // Zoom keys, turns and copying do nothing, and nothing is reported.
        QTest::keyClick(w, Qt::Key_Plus, Qt::KeypadModifier);
        w->actions().SubTurn1->trigger();
        w->actions().ClipImage->trigger();
        QCOMPARE(w->zoomFactor(), 1.0f);
        QCOMPARE(panel(w, 0), QString());
        QCOMPARE(w->paintBox()->size(), QSize(0, 0));
        QVERIFY(!QApplication::activeModalWidget());
    }

    // The expectation: closed, zoom:<factor>, minimised or maximised.
    void keys() {
        const struct {
            Qt::Key key;
            Qt::KeyboardModifiers mods;
            QString expect;
        } rows[] = {{Qt::Key_X, {}, "closed"},
                    {Qt::Key_Return, {}, "closed"},
                    {Qt::Key_Enter, Qt::KeypadModifier, "closed"},
                    {Qt::Key_Escape, {}, "closed"},
                    {Qt::Key_Plus, Qt::KeypadModifier, "zoom:1.5"},
                    {Qt::Key_Minus, Qt::KeypadModifier, "zoom:0.75"},
                    {Qt::Key_Plus, {}, "zoom:1"},
                    {Qt::Key_S, {}, "minimised"},
                    {Qt::Key_L, {}, "maximised"},
                    {Qt::Key_A, {}, "zoom:1"}};
        for (const auto& r : rows) {
            const QByteArray row = QKeySequence(r.key | r.mods).toString().toUtf8();
            QPointer<TKorvelSubFrm> w = open("p101.bmp");
            QTest::keyClick(w.data(), r.key, r.mods);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY2(w.isNull() == (r.expect == "closed") && openSubViewers().isEmpty() == w.isNull(), row);
            if (w.isNull()) continue;
            if (r.expect.startsWith("zoom:")) QVERIFY2(w->zoomFactor() == r.expect.mid(5).toFloat(), row);
            QVERIFY2(w->isMinimized() == (r.expect == "minimised"), row);
            QVERIFY2(w->isMaximized() == (r.expect == "maximised"), row);
            cleanup();
        }
    }

    void grabAndPanAtZoom2() {
        TKorvelSubFrm* w = open("p640.bmp");
        w->resize(200, 200);
        w->actions().largePopup->trigger();
        w->actions().largePopup->trigger();
        QCoreApplication::processEvents();
        QScrollBar* h = w->scrollBox()->horizontalScrollBar();
        QScrollBar* v = w->scrollBox()->verticalScrollBar();
        h->setValue(100);
        v->setValue(100);
        // Pressed at (180,170), moved 40 left and 30 up: the view follows.
        QTest::mousePress(w->paintBox(), Qt::LeftButton, {}, QPoint(180, 170));
        QTest::mouseMove(w->paintBox(), QPoint(140, 140));
        QCOMPARE(QPoint(h->value(), v->value()), QPoint(140, 130));
        QTest::mouseRelease(w->paintBox(), Qt::LeftButton, {}, QPoint(140, 140));
        // After the release, and with the right button, moving scrolls nothing.
        QTest::mouseMove(w->paintBox(), QPoint(200, 180));
        QTest::mousePress(w->paintBox(), Qt::RightButton, {}, QPoint(200, 180));
        QTest::mouseMove(w->paintBox(), QPoint(170, 160));
        QCOMPARE(QPoint(h->value(), v->value()), QPoint(140, 130));
        QTest::mouseRelease(w->paintBox(), Qt::RightButton, {}, QPoint(170, 160));
        // A context-menu request on the picture opens the pop-up menu, refreshed first.
        for (int i = 0; i < 8; ++i) w->actions().largePopup->trigger();
        popUp(w, w->paintBox());
        QVERIFY(!w->actions().largePopup->isEnabled());
    }

    void tileAndCascadeRectangles() {
        for (int n : {1, 2, 3, 4, 5, 7, 10}) {
            for (SubArrange how : {SubArrange::TileHorizontal, SubArrange::TileVertical}) {
                const QList<QRect> rects = tileRects(n, kWorkArea, how);
                QCOMPARE(int(rects.size()), n);
                qint64 covered = 0;
                for (int i = 0; i < n; ++i) {
                    QVERIFY2(kWorkArea.contains(rects[i]), qPrintable(QString::number(n)));
                    covered += qint64(rects[i].width()) * rects[i].height();
                    for (int j = i + 1; j < n; ++j) QVERIFY2(!rects[i].intersects(rects[j]), "tiles overlap");
                    // Up to three viewers lie one above the other (or side by side) across the area.
                    const bool across = how == SubArrange::TileHorizontal;
                    if (n <= 3) QCOMPARE(across ? rects[i].width() : rects[i].height(), across ? 1024 : 738);
                }
                QCOMPARE(covered, qint64(kWorkArea.width()) * kWorkArea.height());
            }
            const QList<QRect> stairs = cascadeRects(n, kWorkArea, 30);
            QCOMPARE(int(stairs.size()), n);
            QCOMPARE(stairs[0].topLeft(), kWorkArea.topLeft());
            for (int i = 1; i < n; ++i) {
                QVERIFY(kWorkArea.contains(stairs[i]));
                QCOMPARE(stairs[i].size(), stairs[0].size());
                const QPoint step = stairs[i].topLeft() - stairs[i - 1].topLeft();
                if (stairs[i].left() != 0) QCOMPARE(step, QPoint(30, 30));
            }
        }
    }

    // The arrange items are on with two or more viewers that are not minimised.
    void commandsOverAllViewers() {
        QList<QPointer<TKorvelSubFrm>> all;
        const auto arrangeEnabled = [&](bool on) {
            popUp(all[0]);
            const TKorvelSubFrm::Actions& m = all[0]->actions();
            for (QAction* a : {m.Cascade1, m.TileHorizontal1, m.TileVertical1, m.AllSmall})
                QCOMPARE(a->isEnabled(), on);
            for (QAction* a : {m.AllClose, m.SubTurn, m.ClipImage, m.largePopup, m.SmallPopup})
                QVERIFY(a->isEnabled());
        };
        all << open("p101.bmp");
        arrangeEnabled(false);
        all << open("small.bmp");
        all[1]->showMinimized();
        arrangeEnabled(false);
        all << open("p640.bmp");
        arrangeEnabled(true);  // two of three not minimised
        all << open("small.bmp");
        TKorvelSubFrm *a = all[0], *b = all[1], *c = all[2], *minimised = all[3];
        b->showNormal();
        minimised->showMinimized();
        const QRect untouched = minimised->geometry();
        b->showMaximized();
        a->actions().TileHorizontal1->trigger();
        const QList<QRect> expect = tileRects(3, kWorkArea, SubArrange::TileHorizontal);
        QCOMPARE(QList<QRect>({a->frameGeometry(), b->frameGeometry(), c->frameGeometry()}), expect);
        QVERIFY(!b->isMaximized() && minimised->isMinimized());
        QCOMPARE(minimised->geometry(), untouched);
        c->actions().TileVertical1->trigger();
        QCOMPARE(b->frameGeometry(), tileRects(3, kWorkArea, SubArrange::TileVertical)[1]);
        b->actions().Cascade1->trigger();
        QCOMPARE(a->frameGeometry().topLeft(), kWorkArea.topLeft());
        const QPoint bc = c->frameGeometry().topLeft() - b->frameGeometry().topLeft();
        QVERIFY(bc.x() > 0 && bc.y() > 0);

        b->actions().AllSmall->trigger();
        for (auto& w : all) QVERIFY(w->isMinimized());
        for (auto& w : all) w->showNormal();
        c->actions().AllClose->trigger();  // the window whose menu was used closes too
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (auto& w : all) QVERIFY(w.isNull());
        QVERIFY(openSubViewers().isEmpty());
    }
};

QTEST_MAIN(SubViewerTest)
#include "sub_viewer_test.moc"