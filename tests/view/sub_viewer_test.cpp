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

void writePattern(const QString& path, int w, int h) { writePatternBmp(path.toStdString(), w, h); }
// The picture writePattern stores, so turns and stretches show where each pixel went.
QImage patternImage(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, 0xFF000000u | uint32_t((x * 7 + y * 3) & 0xFFFFFF));
    return img;
}

// Opens the viewer's pop-up menu as a right click does, which refreshes its items, and closes it.
void popUp(TKorvelSubFrm* w, QWidget* at = nullptr) {
    at = at ? at : w;
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(1, 1), at->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(at, &event);
    QVERIFY(w->popupMenu()->isVisible());
    w->popupMenu()->close();
}

QString panels(TKorvelSubFrm* w) { return w->statusPanel(0)->text() + " | " + w->statusPanel(1)->text(); }
QImage shot(TKorvelSubFrm* w) {
    return w->paintBox()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The zoom, with " min" and " max" for those states, or "closed" once the viewer is gone.
QString stateOf(const QPointer<TKorvelSubFrm>& w) {
    if (!w) return QStringLiteral("closed");
    return QStringLiteral("x%1%2%3").arg(w->zoomFactor()).arg(w->isMinimized() ? " min" : "")
        .arg(w->isMaximized() ? " max" : "");
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
        writePattern(path("p101.bmp"), 101, 101);
        writePattern(path("p640.bmp"), 640, 480);
        std::ofstream(path("broken.bmp").toStdString()) << "BM this is not a bitmap";
    }
    void cleanup() {
        setSubViewerWorkAreaProvider([] { return kWorkArea; });
        closeAllSubViewers();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void windowSizeOnWorkArea() {
        const struct {
            const char* name;
            QSize image;
            QRect area;
        } rows[] = {{"narrower than the status panels", {101, 101}, kWorkArea},
                    {"one short of both sides", {1023, 737}, kWorkArea},
                    {"exactly as wide", {1024, 100}, kWorkArea},
                    {"tall", {500, 3000}, kWorkArea},
                    {"wide, work area beside a panel", {3000, 500}, QRect(64, 30, 960, 700)}};
        for (const auto& r : rows) {
            RowTrace trace{r.name};
            setSubViewerWorkAreaProvider([area = r.area] { return area; });
            const QString file = QString(r.name) + ".bmp";
            writePattern(path(file), r.image.width(), r.image.height());
            TKorvelSubFrm* w = open(file);
            const int bar = w->statusBar()->height();
            const int sb = w->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, w);
            const bool wide = r.image.width() >= r.area.width();
            const bool tall = r.image.height() >= r.area.height();
            // A side that fits gets room for the other side's scroll bar; one that does not is clamped.
            const QSize expect(wide ? r.area.width() : r.image.width() + 5 + (tall ? sb : 0),
                               tall ? r.area.height() : r.image.height() + 5 + bar + (wide ? sb : 0));
            QCOMPARE(w->size(), expect);
            // Moved only when clamped; else left where the desktop puts it.
            const int left = r.area.left() + (wide ? 0 : (r.area.width() - expect.width()) / 2);
            const int top = r.area.top() + (tall ? 0 : (r.area.height() - expect.height()) / 2);
            if (wide || tall) QCOMPARE(w->frameGeometry().topLeft(), QPoint(left, top));
            QCoreApplication::processEvents();
            QCOMPARE(w->scrollBox()->horizontalScrollBar()->isVisible(), wide);
            QCOMPARE(w->scrollBox()->verticalScrollBar()->isVisible(), tall);
            cleanup();
        }
    }

    // The viewer has its own window buttons. Up to the largest step and past it, down to the
    // smallest and past it, and up again; the menu's zoom items are off at the ends.
    void zoomStepsAndPanning() {
        TKorvelSubFrm* w = open("p101.bmp");
        QVERIFY(w->windowFlags().testFlags(Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint));
        QCOMPARE(panels(w), QStringLiteral("OriginalSize : 101x101 (x1) | ViewSize : 101x101"));
        const float ladder[] = {0.25f, 0.5f, 0.75f, 1, 1.5f, 2, 4, 6, 8};
        for (int i = 0, at = 3; i < 24; ++i) {  // six steps in from x1, nine out, nine in
            const bool in = i < 6 || i >= 15;
            (in ? w->actions().largePopup : w->actions().SmallPopup)->trigger();
            at = std::clamp(at + (in ? 1 : -1), 0, 8);
            const float zoom = ladder[at];
            const int side = qRound(101 * zoom);
            RowTrace trace{QStringLiteral("step %1, %2 to x%3").arg(i).arg(in ? "in" : "out").arg(zoom)};
            QCOMPARE(w->zoomFactor(), zoom);
            QCOMPARE(panels(w),
                     QStringLiteral("OriginalSize : 101x101 (x%1) | ViewSize : %2x%2").arg(zoom).arg(side));
            QCOMPARE(w->paintBox()->size(), QSize(side, side));
            // Stretched without blending: at zoom 2 each source pixel becomes a 2 x 2 block.
            if (zoom == 2) QCOMPARE(shot(w), patternImage(101, 101).scaled(202, 202));
            popUp(w, w->paintBox());  // the picture's own menu request refreshes the items too
            QCOMPARE(enabledMask({w->actions().largePopup, w->actions().SmallPopup}),
                     QString(at == 8 ? "01" : at == 0 ? "10" : "11"));
        }
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
    }

    // Saving the turn through the menu's keys writes it into the file; the original goes to the
    // Trash (here one of the test's).
    void saveTurnIntoTheFile() {
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("data")));
        writePattern(path("save.bmp"), 64, 48);
        const QByteArray original = fileBytes(path("save.bmp"));
        TKorvelSubFrm* w = open("save.bmp");
        const auto choose = [w](Qt::Key key) {
            QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(1, 1), w->mapToGlobal(QPoint(1, 1)));
            QApplication::sendEvent(w, &event);
            QTest::keyClick(w->popupMenu(), Qt::Key_T);
            QMenu* turn = w->actions().SubTurn->menu();
            QVERIFY(QTest::qWaitFor([turn] { return turn->isVisible(); }, 2000));
            QTest::keyClick(turn, key);
        };
        choose(Qt::Key_R);
        QCOMPARE(fileBytes(path("save.bmp")), original);
        choose(Qt::Key_V);
        QCOMPARE(QImage(path("save.bmp")).convertToFormat(QImage::Format_RGB32),
                 patternImage(64, 48).transformed(QTransform().rotate(90)));
        QCOMPARE(panels(w), QStringLiteral("OriginalSize : 48x64 (x1) | ViewSize : 48x64"));
        QCOMPARE(fileBytes(path("data/Trash/files/save.bmp")), original);
        qunsetenv("XDG_DATA_HOME");
    }

    // Turns change the view only: not the file, not a second viewer of it, not the clipboard's copy.
    void turnsAndTheClipboard() {
        writePattern(path("turn.bmp"), 640, 480);  // a copy of p640, removed at the end
        TKorvelSubFrm* w = open("turn.bmp");
        TKorvelSubFrm* other = open("turn.bmp");
        const QSize windowSize = w->size();
        w->actions().SubTurn1->trigger();
        QCOMPARE(panels(w), QStringLiteral("OriginalSize : 480x640 (x1) | ViewSize : 480x640"));
        QCOMPARE(shot(w), patternImage(640, 480).transformed(QTransform().rotate(90)));
        QCOMPARE(w->size(), windowSize);
        QCOMPARE(fileBytes(path("turn.bmp")), fileBytes(path("p640.bmp")));
        QCOMPARE(panels(other), QStringLiteral("OriginalSize : 640x480 (x1) | ViewSize : 640x480"));

        // The zoom stays through a turn; right + half + left is a half turn.
        w->actions().largePopup->trigger();
        w->actions().SubTurn2->trigger();
        QCOMPARE(panels(w), QStringLiteral("OriginalSize : 480x640 (x1.5) | ViewSize : 720x960"));
        w->actions().SubTurn3->trigger();
        w->actions().SmallPopup->trigger();
        QCOMPARE(panels(w), QStringLiteral("OriginalSize : 640x480 (x1) | ViewSize : 640x480"));
        QCOMPARE(shot(w), patternImage(640, 480).transformed(QTransform().rotate(180)));

        QGuiApplication::clipboard()->clear();
        QTest::keyClick(w, Qt::Key_C);
        const QImage copied = QGuiApplication::clipboard()->image();
        QCOMPARE(copied.convertToFormat(QImage::Format_RGB32), patternImage(640, 480));
        // The copy reads the file again: gone, it is reported with why.
        QVERIFY(QFile::remove(path("turn.bmp")));
        MessageBoxCatcher box;
        w->actions().ClipImage->trigger();
        QCOMPARE(box.title + " | " + box.text,
                 QStringLiteral("Copy Error | クリップボードへコピー出来ませんでした。\nファイルが見つかりません"));
    }

    // Every way a file can fail to load takes the same path here; the loaders' own tests tell them apart.
    void undecodableFile() {
        TKorvelSubFrm* w = open("broken.bmp");
        // The caption also names the decoder that refused the file and why.
        const QString title = w->windowTitle();
        QVERIFY2(title.startsWith(path("broken.bmp") + QStringLiteral(" － 画像を表示出来ません。 ビットマップ: ファイルが壊れています (")) &&
                     title.endsWith(')'),
                 qPrintable(title));
        QCOMPARE(w->size(), TKorvelSubFrm::kDesignedClientSize);
        popUp(w);
        const TKorvelSubFrm::Actions& m = w->actions();
        QCOMPARE(enabledMask({m.largePopup, m.SmallPopup, m.AllClose}), QStringLiteral("001"));
        // Zoom keys, turns and copying do nothing, and nothing is reported.
        QTest::keyClick(w, Qt::Key_Plus, Qt::KeypadModifier);
        m.SubTurn1->trigger();
        m.ClipImage->trigger();
        QCOMPARE(stateOf(w) + panels(w), QStringLiteral("x1 | "));
        QCOMPARE(w->paintBox()->size(), QSize(0, 0));
        QVERIFY(!QApplication::activeModalWidget());
    }

    void keys() {
        const struct {
            Qt::Key key;
            Qt::KeyboardModifiers mods;
            const char* expect;
        } rows[] = {{Qt::Key_X, {}, "closed"},          {Qt::Key_Return, {}, "closed"},
                    {Qt::Key_Escape, {}, "closed"},     {Qt::Key_Enter, Qt::KeypadModifier, "closed"},
                    {Qt::Key_Plus, {}, "x1"},           {Qt::Key_Plus, Qt::KeypadModifier, "x1.5"},
                    {Qt::Key_A, {}, "x1"},              {Qt::Key_Minus, Qt::KeypadModifier, "x0.75"},
                    {Qt::Key_S, {}, "x1 min"},          {Qt::Key_L, {}, "x1 max"}};
        for (const auto& r : rows) {
            RowTrace trace{QKeySequence(r.key | r.mods).toString()};
            QPointer<TKorvelSubFrm> w = open("p101.bmp");
            QTest::keyClick(w.data(), r.key, r.mods);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCOMPARE(stateOf(w), QString(r.expect));
            QCOMPARE(openSubViewers().size(), w ? 1 : 0);
            cleanup();
        }
    }

    void tileAndCascadeRectangles() {
        for (int n : {1, 2, 3, 4, 5, 7, 10}) {
            RowTrace trace{QString::number(n)};
            for (SubArrange how : {SubArrange::TileHorizontal, SubArrange::TileVertical}) {
                const QList<QRect> rects = tileRects(n, kWorkArea, how);
                QCOMPARE(int(rects.size()), n);
                QRegion covered;
                for (const QRect& r : rects) {
                    QVERIFY(kWorkArea.contains(r) && !covered.intersects(r));
                    covered += r;
                    // Up to three viewers lie one above the other (or side by side) across the area.
                    const bool across = how == SubArrange::TileHorizontal;
                    if (n <= 3) QCOMPARE(across ? r.width() : r.height(), across ? 1024 : 738);
                }
                QVERIFY(QRegion(kWorkArea).subtracted(covered).isEmpty());
            }
            const QList<QRect> stairs = cascadeRects(n, kWorkArea, 30);
            QCOMPARE(int(stairs.size()), n);
            QCOMPARE(stairs[0].topLeft(), kWorkArea.topLeft());
            for (int i = 1; i < n; ++i) {
                QVERIFY(kWorkArea.contains(stairs[i]) && stairs[i].size() == stairs[0].size());
                const QPoint step = stairs[i].topLeft() - stairs[i - 1].topLeft();
                if (stairs[i].left() != 0) QCOMPARE(step, QPoint(30, 30));
            }
        }
    }

    // The arrange items are on with two or more viewers that are not minimised.
    void commandsOverAllViewers() {
        QList<QPointer<TKorvelSubFrm>> all;
        const auto enabled = [&] {
            popUp(all[0]);
            const TKorvelSubFrm::Actions& m = all[0]->actions();
            return enabledMask({m.Cascade1, m.TileHorizontal1, m.TileVertical1, m.AllSmall, m.AllClose,
                                m.SubTurn, m.ClipImage, m.largePopup, m.SmallPopup});
        };
        all << open("p101.bmp");
        QCOMPARE(enabled(), QStringLiteral("000011111"));
        all << open("p101.bmp");
        all[1]->showMinimized();
        QCOMPARE(enabled(), QStringLiteral("000011111"));
        all << open("p640.bmp");
        QCOMPARE(enabled(), QStringLiteral("111111111"));  // two of three not minimised
        all << open("p101.bmp");
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