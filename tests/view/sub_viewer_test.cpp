// Sub-viewer windows on the offscreen platform: sizing against a given work area, zoom steps and
// what is painted, turns, keys, the clipboard, the context menu's enabling and the commands over
// all open viewers.
#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>
#include <fstream>
#include <memory>

#include "imaging/Bmp.h"
#include "imaging/Bitmap.h"
#include "tests/support/ShownOwner.h"
#include "tests/support/UiSupport.h"
#include "view/PaintBox.h"
#include "view/SubFrm.h"
#include "view/SubFrmArrange.h"

using korvel::testing::fileBytes;

namespace {

const QRect kWorkArea(0, 0, 1024, 738);

// A distinct colour per pixel, so turns and stretches show where each pixel went.
QRgb patternAt(int x, int y) { return qRgb((x * 37 + y * 3) & 255, (y * 29 + 11) & 255, (x * 13 + y * 7 + 5) & 255); }

void writePattern(const QString& path, int w, int h) {
    korvel::TBitmap b(w, h, korvel::PixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb c = patternAt(x, y);
            b.setRawPixel(x, y, korvel::makeColor(qRed(c), qGreen(c), qBlue(c)));
        }
    std::ofstream out(path.toStdString(), std::ios::binary);
    korvel::writeBmp(b, out);
}

// Destroys every viewer still open, so each test starts with none.
void closeAll() {
    closeAllSubViewers();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Opens the viewer's pop-up menu as a right click does, which refreshes its items, and closes it.
void popUp(TKorvelSubFrm* w) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(1, 1), w->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(w, &event);
    QVERIFY(w->popupMenu()->isVisible());
    w->popupMenu()->close();
}

}  // namespace

class SubViewerTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString path(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }

    TKorvelSubFrm* open(const QString& file) {
        TKorvelSubFrm* w = openSubViewer(QFile::encodeName(file).toStdString());
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
        writePattern(path("checker.bmp"), 3, 2);
        std::ofstream(path("broken.bmp").toStdString()) << "BM this is not a bitmap";
        writePattern(path("picture.xyz"), 8, 8);
    }
    void cleanup() { closeAll(); }

    void windowSizeOnWorkArea_data() {
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<bool>("placed");  // moved against the work area, or left at the default position
        QTest::newRow("fits") << QSize(320, 240) << kWorkArea << false;
        QTest::newRow("narrower than the status panels") << QSize(101, 101) << kWorkArea << false;
        QTest::newRow("one pixel") << QSize(1, 1) << kWorkArea << false;
        QTest::newRow("one short of both sides") << QSize(1023, 737) << kWorkArea << false;
        QTest::newRow("wide") << QSize(3000, 500) << kWorkArea << true;
        QTest::newRow("exactly as wide") << QSize(1024, 100) << kWorkArea << true;
        QTest::newRow("tall") << QSize(500, 3000) << kWorkArea << true;
        QTest::newRow("both too large") << QSize(3000, 3000) << kWorkArea << true;
        QTest::newRow("wide, work area beside a panel") << QSize(3000, 500) << QRect(64, 30, 960, 700) << true;
    }
    void windowSizeOnWorkArea() {
        QFETCH(QSize, image);
        QFETCH(QRect, area);
        QFETCH(bool, placed);
        setSubViewerWorkAreaProvider([area] { return area; });
        const QString file = path(QStringLiteral("size%1x%2.bmp").arg(image.width()).arg(image.height()));
        writePattern(file, image.width(), image.height());
        TKorvelSubFrm* w = open(file);
        setSubViewerWorkAreaProvider([] { return kWorkArea; });

        const int bar = w->statusBar()->height();
        const int sb = w->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, w);
        QVERIFY(bar > 0);
        QCOMPARE(w->windowTitle(), file);
        if (!placed) {
            QCOMPARE(w->size(), QSize(image.width() + 5, image.height() + 5 + bar));
        } else {
            const int expectW = image.width() >= area.width() ? area.width() : image.width() + sb + 5;
            const int expectH = image.height() >= area.height() ? area.height() : image.height() + sb + 5 + bar;
            QCOMPARE(w->size(), QSize(expectW, expectH));
            const int x = image.width() >= area.width() ? area.left() : area.left() + (area.width() - expectW) / 2;
            const int y = image.height() >= area.height() ? area.top() : area.top() + (area.height() - expectH) / 2;
            QCOMPARE(w->frameGeometry().topLeft(), QPoint(x, y));
        }
        // The added room is enough: a side that fits shows no scroll bar.
        QCoreApplication::processEvents();
        QCOMPARE(w->scrollBox()->horizontalScrollBar()->isVisible(), image.width() >= area.width());
        QCOMPARE(w->scrollBox()->verticalScrollBar()->isVisible(), image.height() >= area.height());
    }

    void zoomStepsBothWays_data() {
        QTest::addColumn<bool>("in");
        QTest::addColumn<QList<float>>("zooms");
        QTest::addColumn<QStringList>("viewSizes");
        QTest::newRow("in") << true << QList<float>{1.5f, 2, 4, 6, 8, 8}
                            << QStringList{"152x152", "202x202", "404x404", "606x606", "808x808", "808x808"};
        QTest::newRow("out") << false << QList<float>{0.75f, 0.5f, 0.25f, 0.25f}
                             << QStringList{"76x76", "51x51", "25x25", "25x25"};
    }
    void zoomStepsBothWays() {
        QFETCH(bool, in);
        QFETCH(QList<float>, zooms);
        QFETCH(QStringList, viewSizes);
        TKorvelSubFrm* w = open(path("p101.bmp"));
        QCOMPARE(w->statusPanel(0)->text(), QStringLiteral("OriginalSize : 101x101 (x1)"));
        QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("ViewSize : 101x101"));
        for (int i = 0; i < zooms.size(); ++i) {
            in ? w->actions().largePopup->trigger() : w->actions().SmallPopup->trigger();
            QCOMPARE(w->zoomFactor(), zooms[i]);
            QCOMPARE(w->statusPanel(0)->text(), QStringLiteral("OriginalSize : 101x101 (x%1)").arg(zooms[i]));
            QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("ViewSize : ") + viewSizes[i]);
            const QStringList wh = viewSizes[i].split('x');
            QCOMPARE(w->paintBox()->size(), QSize(wh[0].toInt(), wh[1].toInt()));
        }
        if (in) {
            // Back down the same steps.
            for (float z : {6.0f, 4.0f, 2.0f, 1.5f, 1.0f}) {
                w->actions().SmallPopup->trigger();
                QCOMPARE(w->zoomFactor(), z);
            }
        }
    }

    // The paint box shows the image stretched without blending: each source pixel becomes a
    // block of whole pixels at zoom 2, and every second one is dropped at 0.5.
    void paintedPixelsFollowTheZoom_data() {
        QTest::addColumn<int>("zoomIns");
        QTest::addColumn<int>("zoomOuts");
        QTest::addColumn<double>("scale");
        QTest::newRow("x1") << 0 << 0 << 1.0;
        QTest::newRow("x2") << 2 << 0 << 2.0;
        QTest::newRow("x4") << 3 << 0 << 4.0;
    }
    void paintedPixelsFollowTheZoom() {
        QFETCH(int, zoomIns);
        QFETCH(int, zoomOuts);
        QFETCH(double, scale);
        TKorvelSubFrm* w = open(path("checker.bmp"));
        for (int i = 0; i < zoomIns; ++i) w->actions().largePopup->trigger();
        for (int i = 0; i < zoomOuts; ++i) w->actions().SmallPopup->trigger();
        const QImage shot = w->paintBox()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shot.size(), QSize(int(3 * scale), int(2 * scale)));
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                QCOMPARE(shot.pixel(x, y), patternAt(int(x / scale), int(y / scale)));
    }

    void quarterTurnReportsTurnedSize() {
        const QByteArray before = fileBytes(path("p640.bmp"));
        TKorvelSubFrm* w = open(path("p640.bmp"));
        const QSize windowSize = w->size();
        w->actions().SubTurn1->trigger();
        QCOMPARE(w->statusPanel(0)->text(), QStringLiteral("OriginalSize : 480x640 (x1)"));
        QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("ViewSize : 480x640"));
        // A right turn brings the bottom-left pixel to the top-left.
        const QImage shot = w->paintBox()->grab().toImage();
        QCOMPARE(shot.pixel(0, 0), patternAt(0, 479));
        QCOMPARE(shot.pixel(479, 0), patternAt(0, 0));
        QCOMPARE(w->size(), windowSize);
        QCOMPARE(fileBytes(path("p640.bmp")), before);

        // The zoom stays through a turn; a half turn and a left turn bring back the original.
        w->actions().largePopup->trigger();
        w->actions().SubTurn2->trigger();
        QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("ViewSize : 720x960"));
        w->actions().SubTurn3->trigger();
        w->actions().SmallPopup->trigger();
        QCOMPARE(w->statusPanel(0)->text(), QStringLiteral("OriginalSize : 640x480 (x1)"));
        const QImage back = w->paintBox()->grab().toImage();
        QCOMPARE(back.pixel(0, 0), patternAt(640 - 1, 480 - 1));  // right + half + left = half turn
        QCOMPARE(back.pixel(639, 479), patternAt(0, 0));
    }

    void twoViewersOfOneFileAreIndependent() {
        TKorvelSubFrm* a = open(path("p640.bmp"));
        TKorvelSubFrm* b = open(path("p640.bmp"));
        QVERIFY(a != b);
        a->actions().SubTurn1->trigger();
        a->actions().largePopup->trigger();
        QCOMPARE(b->statusPanel(0)->text(), QStringLiteral("OriginalSize : 640x480 (x1)"));
        QCOMPARE(b->subImage().width(), 640);
        QCOMPARE(openSubViewers().size(), 2);
    }

    void menuEnabling_data() {
        QTest::addColumn<int>("windows");
        QTest::addColumn<int>("minimised");  // of the others
        QTest::addColumn<bool>("arrange");
        QTest::newRow("one window") << 1 << 0 << false;
        QTest::newRow("two windows") << 2 << 0 << true;
        QTest::newRow("two, the other minimised") << 2 << 1 << false;
        QTest::newRow("three, one minimised") << 3 << 1 << true;
    }
    void menuEnabling() {
        QFETCH(int, windows);
        QFETCH(int, minimised);
        QFETCH(bool, arrange);
        TKorvelSubFrm* w = open(path("p101.bmp"));
        for (int i = 1; i < windows; ++i) {
            TKorvelSubFrm* other = open(path("small.bmp"));
            if (i <= minimised) other->showMinimized();
        }
        popUp(w);
        const TKorvelSubFrm::Actions& m = w->actions();
        for (QAction* a : {m.Cascade1, m.TileHorizontal1, m.TileVertical1, m.AllSmall}) QCOMPARE(a->isEnabled(), arrange);
        for (QAction* a : {m.AllClose, m.SubTurn, m.ClipImage, m.largePopup, m.SmallPopup}) QVERIFY(a->isEnabled());
    }

    void zoomItemsAtTheEnds() {
        TKorvelSubFrm* w = open(path("p101.bmp"));
        for (int i = 0; i < 5; ++i) w->actions().largePopup->trigger();
        popUp(w);
        QVERIFY(!w->actions().largePopup->isEnabled());
        QVERIFY(w->actions().SmallPopup->isEnabled());
        for (int i = 0; i < 8; ++i) w->actions().SmallPopup->trigger();
        popUp(w);
        QVERIFY(w->actions().largePopup->isEnabled());
        QVERIFY(!w->actions().SmallPopup->isEnabled());
    }

    void undecodableFile_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("damaged bitmap") << "broken.bmp";
        QTest::newRow("no decoder for the extension") << "picture.xyz";
        QTest::newRow("missing file") << "gone.bmp";
    }
    void undecodableFile() {
        QFETCH(QString, name);
        TKorvelSubFrm* w = open(path(name));
        QCOMPARE(w->windowTitle(), path(name) + QStringLiteral(" － 画像を表示出来ません。"));
        QVERIFY(w->subImage().empty());
        QCOMPARE(w->size(), TKorvelSubFrm::kDesignedClientSize);
        popUp(w);
        QVERIFY(!w->actions().largePopup->isEnabled());
        QVERIFY(!w->actions().SmallPopup->isEnabled());
        QVERIFY(w->actions().AllClose->isEnabled());
        // Zoom keys and turns do nothing, and nothing is reported.
        QTest::keyClick(w, Qt::Key_Plus, Qt::KeypadModifier);
        w->actions().SubTurn1->trigger();
        w->actions().ClipImage->trigger();
        QCOMPARE(w->zoomFactor(), 1.0f);
        QCOMPARE(w->statusPanel(0)->text(), QString());
        QCOMPARE(w->paintBox()->size(), QSize(0, 0));
        QVERIFY(!QApplication::activeModalWidget());
    }

    void keys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("expect");  // closed, zoom:<factor>, minimised, maximised
        QTest::newRow("X") << int(Qt::Key_X) << 0 << "closed";
        QTest::newRow("Enter") << int(Qt::Key_Return) << 0 << "closed";
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << "closed";
        QTest::newRow("Esc") << int(Qt::Key_Escape) << 0 << "closed";
        QTest::newRow("keypad +") << int(Qt::Key_Plus) << int(Qt::KeypadModifier) << "zoom:1.5";
        QTest::newRow("keypad -") << int(Qt::Key_Minus) << int(Qt::KeypadModifier) << "zoom:0.75";
        QTest::newRow("main +") << int(Qt::Key_Plus) << 0 << "zoom:1";
        QTest::newRow("S") << int(Qt::Key_S) << 0 << "minimised";
        QTest::newRow("L") << int(Qt::Key_L) << 0 << "maximised";
        QTest::newRow("other key") << int(Qt::Key_A) << 0 << "zoom:1";
    }
    void keys() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, expect);
        QPointer<TKorvelSubFrm> w = open(path("p101.bmp"));
        QTest::keyClick(w.data(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (expect == "closed") {
            QVERIFY(w.isNull());
            QVERIFY(openSubViewers().isEmpty());
            return;
        }
        QVERIFY(!w.isNull());
        if (expect.startsWith("zoom:")) QCOMPARE(w->zoomFactor(), expect.mid(5).toFloat());
        QCOMPARE(w->isMinimized(), expect == "minimised");
        QCOMPARE(w->isMaximized(), expect == "maximised");
    }

    // The clipboard gets the file as decoded: a turn shown in the window is not copied.
    void clipboardGetsTheFileAsDecoded() {
        QClipboard* cb = QGuiApplication::clipboard();
        QVERIFY(cb);
        cb->clear();
        TKorvelSubFrm* w = open(path("p640.bmp"));
        w->actions().SubTurn1->trigger();
        QTest::keyClick(w, Qt::Key_C);
        const QImage copied = cb->image();
        QCOMPARE(copied.size(), QSize(640, 480));
        for (const QPoint p : {QPoint(0, 0), QPoint(639, 0), QPoint(17, 411), QPoint(639, 479)})
            QCOMPARE(copied.pixel(p), patternAt(p.x(), p.y()));
    }

    void clipboardFailureIsReported() {
        const QString file = path("vanishing.bmp");
        writePattern(file, 20, 10);
        TKorvelSubFrm* w = open(file);
        QVERIFY(QFile::remove(file));
        korvel::testing::MessageBoxCatcher box;
        w->actions().ClipImage->trigger();
        QVERIFY(box.seen);
        QCOMPARE(box.title, QStringLiteral("Copy Error"));
        QCOMPARE(box.text, QStringLiteral("クリップボードへコピー出来ませんでした。"));
    }

    void grabAndPanAtEveryZoom_data() {
        QTest::addColumn<int>("zoomOuts");
        QTest::addColumn<int>("zoomIns");
        QTest::newRow("x1") << 0 << 0;
        QTest::newRow("x0.75") << 1 << 0;
        QTest::newRow("x2") << 0 << 2;
    }
    void grabAndPanAtEveryZoom() {
        QFETCH(int, zoomOuts);
        QFETCH(int, zoomIns);
        TKorvelSubFrm* w = open(path("p640.bmp"));
        w->resize(200, 200);
        for (int i = 0; i < zoomOuts; ++i) w->actions().SmallPopup->trigger();
        for (int i = 0; i < zoomIns; ++i) w->actions().largePopup->trigger();
        QCoreApplication::processEvents();
        QScrollBar* h = w->scrollBox()->horizontalScrollBar();
        QScrollBar* v = w->scrollBox()->verticalScrollBar();
        h->setValue(100);
        v->setValue(100);
        // Pressed at (180,170) of the paint box, moved 40 left and 30 up: the view follows.
        QTest::mousePress(w->paintBox(), Qt::LeftButton, {}, QPoint(180, 170));
        QTest::mouseMove(w->paintBox(), QPoint(140, 140));
        QCOMPARE(h->value(), 140);
        QCOMPARE(v->value(), 130);
        QTest::mouseRelease(w->paintBox(), Qt::LeftButton, {}, QPoint(140, 140));
        // After the release, and with the right button, moving scrolls nothing.
        QTest::mouseMove(w->paintBox(), QPoint(200, 180));
        QTest::mousePress(w->paintBox(), Qt::RightButton, {}, QPoint(200, 180));
        QTest::mouseMove(w->paintBox(), QPoint(170, 160));
        QCOMPARE(h->value(), 140);
        QCOMPARE(v->value(), 130);
        QTest::mouseRelease(w->paintBox(), Qt::RightButton, {}, QPoint(170, 160));
        // A context-menu request anywhere in the window opens the pop-up menu, refreshed first.
        for (int i = 0; i < 8; ++i) w->actions().largePopup->trigger();
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(170, 160), w->paintBox()->mapToGlobal(QPoint(170, 160)));
        QApplication::sendEvent(w->paintBox(), &menuEvent);
        QVERIFY(w->popupMenu()->isVisible());
        QVERIFY(!w->actions().largePopup->isEnabled());  // at 8 already
        w->popupMenu()->close();
    }

    void tileAndCascadeRectangles_data() {
        QTest::addColumn<int>("n");
        for (int n : {1, 2, 3, 4, 5, 7, 10}) QTest::addRow("%d windows", n) << n;
    }
    void tileAndCascadeRectangles() {
        QFETCH(int, n);
        for (SubArrange how : {SubArrange::TileHorizontal, SubArrange::TileVertical}) {
            const QList<QRect> rects = tileRects(n, kWorkArea, how);
            QCOMPARE(int(rects.size()), n);
            qint64 covered = 0;
            for (int i = 0; i < n; ++i) {
                QVERIFY(kWorkArea.contains(rects[i]));
                covered += qint64(rects[i].width()) * rects[i].height();
                for (int j = i + 1; j < n; ++j) QVERIFY2(!rects[i].intersects(rects[j]), "tiles overlap");
            }
            QCOMPARE(covered, qint64(kWorkArea.width()) * kWorkArea.height());
        }
        // Up to three viewers lie one above the other (or side by side) across the whole area.
        if (n <= 3) {
            for (const QRect& r : tileRects(n, kWorkArea, SubArrange::TileHorizontal)) QCOMPARE(r.width(), kWorkArea.width());
            for (const QRect& r : tileRects(n, kWorkArea, SubArrange::TileVertical)) QCOMPARE(r.height(), kWorkArea.height());
        }
        const QList<QRect> stairs = cascadeRects(n, kWorkArea, 30);
        QCOMPARE(int(stairs.size()), n);
        QCOMPARE(stairs[0].topLeft(), kWorkArea.topLeft());
        for (int i = 0; i < n; ++i) {
            QVERIFY(kWorkArea.contains(stairs[i]));
            if (i > 0) QCOMPARE(stairs[i].size(), stairs[0].size());
            if (i > 0 && stairs[i].left() != 0) QCOMPARE(stairs[i].topLeft() - stairs[i - 1].topLeft(), QPoint(30, 30));
        }
    }

    void arrangeCommandsMoveTheOpenViewers() {
        TKorvelSubFrm* a = open(path("p101.bmp"));
        TKorvelSubFrm* b = open(path("small.bmp"));
        TKorvelSubFrm* c = open(path("p640.bmp"));
        TKorvelSubFrm* minimised = open(path("checker.bmp"));
        minimised->showMinimized();
        const QRect untouched = minimised->geometry();
        b->showMaximized();

        a->actions().TileHorizontal1->trigger();
        const QList<QRect> expect = tileRects(3, kWorkArea, SubArrange::TileHorizontal);
        QCOMPARE(a->frameGeometry(), expect[0]);
        QCOMPARE(b->frameGeometry(), expect[1]);
        QCOMPARE(c->frameGeometry(), expect[2]);
        QVERIFY(!b->isMaximized());
        QVERIFY(minimised->isMinimized());
        QCOMPARE(minimised->geometry(), untouched);

        c->actions().TileVertical1->trigger();
        QCOMPARE(b->frameGeometry(), tileRects(3, kWorkArea, SubArrange::TileVertical)[1]);
        b->actions().Cascade1->trigger();
        QCOMPARE(a->frameGeometry().topLeft(), kWorkArea.topLeft());
        QVERIFY(c->frameGeometry().left() > b->frameGeometry().left());
        QVERIFY(c->frameGeometry().top() > b->frameGeometry().top());
    }

    void minimiseAllAndCloseAll() {
        QList<QPointer<TKorvelSubFrm>> windows;
        for (const char* f : {"p101.bmp", "small.bmp", "broken.bmp"}) windows << open(path(f));
        windows[1]->actions().AllSmall->trigger();
        for (auto& w : windows) QVERIFY(w->isMinimized());
        for (auto& w : windows) w->showNormal();
        windows[2]->actions().AllClose->trigger();  // the window whose menu was used closes too
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (auto& w : windows) QVERIFY(w.isNull());
        QVERIFY(openSubViewers().isEmpty());
    }

    // The desktop keeps a viewer above its owner and minimises it with it only when the viewer
    // is shown as a dialog-like window that knows its owner; a viewer asked for before its owner
    // has a window (a file on the command line) waits for the owner to show.
    void viewerBelongsToItsOwner_data() {
        QTest::addColumn<bool>("ownerShownFirst");
        QTest::newRow("owner on screen") << true;
        QTest::newRow("owner shown later") << false;
    }
    void viewerBelongsToItsOwner() {
        QFETCH(bool, ownerShownFirst);
        auto owner = std::make_unique<QWidget>();
        if (ownerShownFirst) owner->show();
        QPointer<TKorvelSubFrm> w = openSubViewer(QFile::encodeName(path("p101.bmp")).toStdString(), owner.get());
        ShownOwner atShow(w.data());
        if (ownerShownFirst) {  // shown already
            atShow.transientParent = w->windowHandle()->transientParent();
            atShow.type = w->windowHandle()->type();
        } else {
            QCoreApplication::processEvents();
            owner->show();
            QTRY_VERIFY(atShow.shown);
        }
        QCOMPARE(atShow.transientParent, owner->windowHandle());
        QCOMPARE(atShow.type, Qt::Dialog);
        QVERIFY(w->windowFlags().testFlags(Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint));
        QCOMPARE(w->parentWidget(), owner.get());
        owner.reset();
        QVERIFY(w.isNull());
        QVERIFY(openSubViewers().isEmpty());
    }
};

QTEST_MAIN(SubViewerTest)
#include "sub_viewer_test.moc"
