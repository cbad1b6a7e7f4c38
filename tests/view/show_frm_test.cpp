// The slideshow window on the offscreen platform: the play order and its end, keys, where slides
// are painted, the caption in full screen, a damaged slide, closing mid-decode, opening from the
// main window, and "/se" ending the program. The timer is driven by its signal, never waited on.
#include <QActionGroup>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QWheelEvent>
#include <QtTest>
#include <atomic>
#include <functional>
#include <thread>

#include "app/KorvelMain.h"
#include "base/IniFile.h"
#include "tests/support/GridWindow.h"
#include "tests/support/SettingsSeam.h"
#include "tests/support/TempTree.h"
#include "tests/support/UiSupport.h"
#include "view/PaintBox.h"
#include "view/ShowFrm1.h"
#include "view/SlideLoader.h"

using namespace korvel::testing;

namespace {

const QByteArray kIni = "[Window]\nWindOption=0\n[SWindow]\nTimeInt=100000\n";

bool settle(TShowFrm1& f) { return QTest::qWaitFor([&] { return !f.loading(); }, 10000); }
void tick(TShowFrm1& f) { QMetaObject::invokeMethod(f.timer(), "timeout"); }
// The 1-based position the caption names, or 0 when the window has closed.
int shownSlide(const TShowFrm1& f) {
    const QString position = f.windowTitle().section(QStringLiteral("( "), -1);
    return f.isVisible() ? position.section(QLatin1Char('/'), 0, 0).toInt() : 0;
}
int countPixels(const QImage& img, const QRect& r, QRgb rgb) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += (img.pixel(x, y) & 0xFFFFFF) == (rgb & 0xFFFFFF);
    return n;
}

}  // namespace

class ShowFrmTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_, pics_;

    std::string ini() const { return config_.path().toStdString() + "/Korvel.ini"; }
    void writeIni(const QByteArray& text) { writeFile(ini(), text.toStdString()); }
    std::string pic(int i) const { return pics_.path().toStdString() + "/s" + std::to_string(i) + ".bmp"; }
    ShowSource source(int count, int cols = 1) {
        ShowSource s{.gridColumns = cols, .settingsPath = ini()};
        for (int i = 0; i < count; ++i) {
            writeSolidBmp(QString::fromStdString(pic(i)), 40 + i, 30);
            s.files.push_back(pic(i));
        }
        return s;
    }
    static void open(TShowFrm1& f) {
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY(settle(f));
    }

private slots:
    void init() {
        qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8());
        QDir(pics_.path()).removeRecursively();
        QDir().mkpath(pics_.path());
        writeIni(kIni);
    }

    void playsInOrderToTheEnd() {
        const struct {
            const char* name;
            QByteArray ini;
            int previewed;
            QList<int> slides;  // after opening, then after each tick; 0 = closed
        } rows[] = {{"plain", kIni, -1, {1, 2, 3, 4, 5, 0}},
                    {"repeat", kIni + "RepeatFlg=1\n", -1, {1, 2, 3, 4, 5, 1, 2}},
                    {"select start", kIni + "SelectStart=1\n", 2, {3, 4, 5, 0}},
                    {"select start, not listed", kIni + "SelectStart=1\n", 9, {1, 2}}};
        for (const auto& r : rows) {
            RowTrace trace{r.name};
            writeIni(r.ini);
            ShowSource s = source(5);
            s.previewed = r.previewed < 0 ? "" : pic(r.previewed);
            TShowFrm1 f(s);
            open(f);
            QVERIFY(f.timer()->isActive());
            QList<int> seen{shownSlide(f)};
            while (seen.size() < r.slides.size()) {
                tick(f);
                QVERIFY(settle(f));
                seen << shownSlide(f);
            }
            QCOMPARE(seen, r.slides);
        }
    }

    // The wrap and the Shift jumps are the playlist's own rules; here each key reaches them.
    // Navigating while playing keeps playing; navigating paused stays paused.
    void keys() {
        auto owner = std::make_unique<TShowFrm1>(source(10, 4));
        TShowFrm1& f = *owner;
        open(f);
        const auto& a = f.actions();
        // Each press gives the slide, then "t" while the timer runs and "p" while Play is marked.
        QStringList seen;
        const QKeyCombination presses[] = {Qt::Key_Right, Qt::ShiftModifier | Qt::Key_Right,
                                           Qt::ShiftModifier | Qt::Key_Left, Qt::Key_Left, Qt::Key_Up,
                                           Qt::Key_N, Qt::Key_F, Qt::Key_Space, Qt::Key_Down, Qt::Key_S};
        for (const QKeyCombination k : presses) {
            QTest::keyClick(&f, k.key(), k.keyboardModifiers());
            QVERIFY(settle(f));
            seen << QStringLiteral("%1%2%3").arg(shownSlide(f)).arg(f.timer()->isActive() ? "t" : "")
                        .arg(a.PlayBtn->isChecked() ? "p" : "");
        }
        // Pausing stays on the slide; playing again moves on.
        QCOMPARE(seen.join(' '), QStringLiteral("2tp 6tp 2tp 1tp 10tp 1tp 10tp 10 1 2tp"));
        // The pop-up menu's marks follow the buttons; its pause item pauses.
        f.popupMenu()->popup(f.mapToGlobal(QPoint(10, 40)));
        QVERIFY(a.PlayMenu->isChecked() && !a.PauseMenu->isChecked());
        a.PauseMenu->trigger();
        f.popupMenu()->hide();
        QVERIFY(a.PauseBtn->isChecked() && !f.timer()->isActive());

        // Closed while the last slide, not decoded ahead, is still decoding: the late result is
        // dropped and the placement is not written.
        const QString caption = f.windowTitle();
        std::atomic<bool> release{false}, entered{false}, finished{false};
        f.loader()->setDecode([&](const SlideRequest& r, SlideResult& out) {
            entered = true;
            while (!release) QThread::yieldCurrentThread();
            SlideLoader::decodeSlide(r, out);
            finished = true;
        });
        QTest::keyClick(&f, Qt::Key_Up);
        QVERIFY(QTest::qWaitFor([&] { return entered.load(); }));
        QVERIFY(f.loading());
        QTest::keyClick(&f, Qt::Key_Escape);
        QVERIFY(!f.isVisible());
        release = true;
        QVERIFY(QTest::qWaitFor([&] { return finished.load(); }));
        QCoreApplication::processEvents();
        QCOMPARE(f.windowTitle(), caption);
        QCOMPARE(f.slide().width(), 41);
        owner.reset();
        QVERIFY(!korvel::IniFile::load(ini()).hasKey("SWindow", "State"));
    }

    // A key pressed in the pop-up menu acts there once; its release reaches the show after the
    // menu has closed and does nothing. Play and pause are one group of radio items.
    void keysInThePopupMenuActOnce() {
        const std::pair<Qt::Key, int> rows[] = {{Qt::Key_Escape, 1}, {Qt::Key_B, 10}, {Qt::Key_N, 2}};
        for (const auto& [key, slide] : rows) {
            RowTrace trace{QKeySequence(key).toString()};
            TShowFrm1 f(source(10));
            open(f);
            const QActionGroup* radio = f.actions().PlayMenu->actionGroup();
            QVERIFY(radio && radio->isExclusive() && f.actions().PauseMenu->actionGroup() == radio);
            f.popupMenu()->popup(f.mapToGlobal(QPoint(10, 40)));
            QTRY_VERIFY(f.popupMenu()->isVisible());
            QTest::keyPress(f.popupMenu(), key);
            QVERIFY(!f.popupMenu()->isVisible());
            QTest::keyRelease(&f, key);  // where the window system delivers it now
            QVERIFY(settle(f));
            QCOMPARE(shownSlide(f), slide);
        }
    }

    // The next slide, decoded ahead, changes on disk before its turn: Right shows the file as it
    // is then, replaced or gone (a navigation to a missing file shows no picture). The change
    // may also come while that decode is still in hand.
    void slideDecodedAheadIsCheckedAgainstItsFile() {
        const std::tuple<const char*, bool, bool> rows[] = {  // name, replaced (else removed), in hand
            {"replaced", true, false}, {"removed", false, false}, {"replaced mid-decode", true, true}};
        for (const auto& [name, replace, inHand] : rows) {
            RowTrace trace{name};
            std::atomic<bool> ahead{false}, release{!inHand};
            TShowFrm1 f(source(3));
            f.loader()->setDecode([&](const SlideRequest& req, SlideResult& out) {
                SlideLoader::decodeSlide(req, out);
                if (req.path != pic(1)) return;
                ahead = true;
                while (!release) QThread::yieldCurrentThread();
            });
            open(f);
            QTRY_VERIFY(ahead.load());
            QCoreApplication::processEvents();
            QFile::remove(QString::fromStdString(pic(1)));
            if (replace) writeSolidBmp(QString::fromStdString(pic(1)), 77, 30);
            QTest::keyClick(&f, Qt::Key_Right);
            release = true;
            QVERIFY(settle(f));
            QCOMPARE(shownSlide(f), 2);
            QCOMPARE(f.slide().width(), replace ? 77 : 0);
        }
    }

    // On the picture a left click goes one slide on and the wheel steps, a notch a slide (adding up
    // small steps): towards the user on, away back. The right button leaves the slides alone.
    void mouseClickAndWheelStep() {
        TShowFrm1 f(source(5));
        open(f);
        QWidget* box = f.paintBox();
        const auto wheel = [box](int delta) {
            const QPointF at(20, 20);
            QWheelEvent e(at, box->mapToGlobal(at), {}, {0, delta}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
            QApplication::sendEvent(box, &e);
        };
        const struct {
            const char* what;
            std::function<void()> act;
            int slide;
        } rows[] = {
            {"click", [&] { QTest::mouseClick(box, Qt::LeftButton); }, 2},
            {"wheel towards the user", [&] { wheel(-120); }, 3},
            {"two notches away", [&] { wheel(240); }, 1},
            {"touch pad, a notch in three", [&] { wheel(-40), wheel(-40), wheel(-40); }, 2},
            {"right button", [&] {
                 QTest::mouseClick(box, Qt::RightButton);
                 f.popupMenu()->hide();
             }, 2},
        };
        for (const auto& r : rows) {
            RowTrace trace{r.what};
            r.act();
            QVERIFY(settle(f));
            QCOMPARE(shownSlide(f), r.slide);
        }
        QVERIFY(f.timer()->isActive());  // still playing
    }

    // In full screen the pointer hides once it has stood still and comes back when the mouse
    // moves; the hourglass of a slide load does not bring it back. In a window it stays. The idle
    // time is shortened here; nothing depends on how exactly it is kept.
    void pointerHidesInFullScreen() {
        for (const bool full : {true, false}) {
            RowTrace trace{full ? "full screen" : "window"};
            writeIni(kIni + (full ? "FullScreen=1\n" : ""));
            TShowFrm1 f(source(3));
            f.pointerTimer()->setInterval(30);
            open(f);
            QWidget* box = f.paintBox();
            // Moves as the window system delivers them (Wayland lets no program place the pointer).
            const auto move = [box](QPoint at) {
                QMouseEvent e(QEvent::MouseMove, at, box->mapToGlobal(at), Qt::NoButton, Qt::NoButton, {});
                QApplication::sendEvent(box, &e);
            };
            move({30, 30});
            QCOMPARE(box->cursor().shape(), Qt::ArrowCursor);
            if (!full) {
                QTest::qWait(150);
                QCOMPARE(box->cursor().shape(), Qt::ArrowCursor);
                continue;
            }
            QTRY_COMPARE(box->cursor().shape(), Qt::BlankCursor);
            QTest::keyClick(&f, Qt::Key_Up);  // the last slide, not decoded ahead: a load
            QVERIFY(f.loading());
            QVERIFY(!QApplication::overrideCursor());
            move({60, 40});
            QCOMPARE(box->cursor().shape(), Qt::ArrowCursor);
            QCOMPARE(QApplication::overrideCursor() != nullptr, f.loading());
            QTRY_COMPARE(box->cursor().shape(), Qt::BlankCursor);
            QVERIFY(settle(f));
            QVERIFY(!QApplication::overrideCursor());
        }
    }

    // The picture's tool tip tells the keys and the mouse, also in full screen without a tool bar.
    void toolTipTellsTheKeys() {
        writeIni(kIni + "FullScreen=1\n");
        TShowFrm1 f(source(1));
        open(f);
        const QPoint at(40, 40);
        QHelpEvent help(QEvent::ToolTip, at, f.paintBox()->mapToGlobal(at));
        QApplication::sendEvent(f.paintBox(), &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QVERIFY(QToolTip::text().contains(QStringLiteral("Esc, X")));
        QToolTip::hideText();
    }

    // A small slide is centred on the background colour in the 800 x 600 box, windowed under the
    // tool bar or full screen; full screen draws the caption at the top unless the settings hide it.
    void paintsTheSlideAndCaption() {
        const struct {
            const char* ini;
            bool caption;
        } rows[] = {{"", false}, {"FullScreen=1\n", true}, {"FullScreen=1\nFullScreenCaption=1\n", false}};
        for (const auto& r : rows) {
            RowTrace trace{r.ini};
            writeIni(kIni + "ShowColor=16711680\n" + r.ini);  // blue
            ShowSource s = source(0);
            s.files = {pics_.path().toStdString() + "/small.bmp"};
            writeSolidBmp(QString::fromStdString(s.files[0]), 300, 200, 0x00FF00);
            TShowFrm1 f(s);
            f.resize(800, 600 + f.toolBar()->height());
            open(f);
            QCOMPARE(f.toolBar()->isVisible(), !QByteArray(r.ini).contains("FullScreen"));
            QCOMPARE(f.paintBox()->size(), QSize(800, 600));
            const QImage img = f.paintBox()->grab().toImage();
            QCOMPARE(countPixels(img, QRect(250, 200, 300, 200), 0x00FF00), 300 * 200);
            QCOMPARE(countPixels(img, QRect(0, 40, 800, 560), 0x0000FF), 800 * 560 - 300 * 200);
            QCOMPARE(countPixels(img, QRect(0, 0, 800, 40), 0x0000FF) < 800 * 40, r.caption);
            // Yellow text with a grey shadow one pixel further, the text starting at (10, 10).
            QCOMPARE(countPixels(img, QRect(0, 0, 400, 40), qRgb(255, 255, 0)) > 20, r.caption);
            QCOMPARE(countPixels(img, QRect(0, 0, 400, 40), qRgb(128, 128, 128)) > 20, r.caption);
            QCOMPARE(countPixels(img, QRect(0, 0, 400, 10), qRgb(255, 255, 0)), 0);
            QCOMPARE(countPixels(img, QRect(0, 0, 10, 40), qRgb(255, 255, 0)), 0);
        }
    }

    // Paused with "TimeInt" 0: the timer stands at 1 ms; the ticks come from the test.
    void damagedSlideShowsTheWaitTextAndMovesOn() {
        writeIni("[SWindow]\nTimeInt=0\nPauseStart=1\n");
        ShowSource s = source(1);
        s.files.insert(s.files.begin(), pics_.path().toStdString() + "/bad.jpg");
        writeFile(s.files[0], "\xFF\xD8\xFF\xE0 damaged");
        TShowFrm1 f(s);
        open(f);
        QCOMPARE(f.timer()->interval(), 1);
        QVERIFY(f.slide().empty());
        QVERIFY(f.windowTitle().contains(QStringLiteral("bad.jpg  ( 1/2 )")));
        const QImage img = f.paintBox()->grab().toImage();
        int light = 0;  // the text in the inverted background colour: light on black
        for (int y = img.height() / 2 - 20; y < img.height() / 2 + 20; ++y)
            for (int x = 0; x < img.width(); ++x) light += qGray(img.pixel(x, y)) > 160;
        QVERIFY(light > 20);
        tick(f);
        QVERIFY(settle(f));
        QCOMPARE(f.slide().width(), 40);
    }

    // Windows closed while their workers are in hand: the show's loader stopped with a slide
    // decode held, then the window destroyed; the main window destroyed with thumbnails building
    // and a preview decoding. Stopping waits for the work in hand, and what that work hands over
    // afterwards goes nowhere.
    void closedWithWorkInHand() {
        std::atomic<bool> entered{false}, stopping{false}, release{false}, finished{false};
        std::thread releaser([&] {
            while (!stopping) QThread::yieldCurrentThread();
            QThread::msleep(20);  // the loader is waiting by now, or will find the decode done
            release = true;
        });
        auto show = std::make_unique<TShowFrm1>(source(3));
        show->loader()->setDecode([&](const SlideRequest& req, SlideResult& out) {
            SlideLoader::decodeSlide(req, out);
            if (req.path != pic(1)) return;
            entered = true;
            while (!release) QThread::yieldCurrentThread();
            finished = true;
        });
        int delivered = 0;
        show->loader()->onLoaded = [&, take = show->loader()->onLoaded](std::shared_ptr<SlideResult> r) {
            ++delivered;
            take(std::move(r));
        };
        open(*show);
        QVERIFY(QTest::qWaitFor([&] { return entered.load(); }));
        const int before = delivered;
        stopping = true;
        show->loader()->stop();
        releaser.join();
        QVERIFY(finished.load());
        QTest::qWait(20);
        QCOMPARE(delivered, before);
        show.reset();

        for (int i = 0; i < 30; ++i) writeSolidBmp(pics_.path() + QStringLiteral("/m%1.bmp").arg(i), 400, 300);
        auto main = std::make_unique<TKorvelMain>(std::vector<std::string>{pics_.path().toStdString()});
        QVERIFY(showReady(*main));
        clickCell(*main, 7);
        main.reset();  // must neither crash nor touch the window afterwards
        QTest::qWait(50);
    }

    // A settings file that cannot be read gives the defaults and is not replaced at close.
    void unreadableSettingsAreNeitherUsedNorReplaced() {
        UnreadableSettings seam([&](const std::string& path) { return path == ini(); });
        TShowFrm1 f(source(2));
        open(f);
        QCOMPARE(f.timer()->interval(), 3000);  // the file says 100000
        QTest::keyClick(&f, Qt::Key_Escape);
        QCOMPARE(readFile(ini()), kIni.toStdString());
    }

    // One marked cell plays the whole folder; several play only themselves, in grid order.
    void opensFromTheMainWindow() {
        writeIni("[SWindow]\nTimeInt=100000\nPauseStart=1\n");
        source(5);
        const struct {
            QList<int> marks;
            int count, first;
        } rows[] = {{{3}, 5, 0}, {{4, 1}, 2, 1}};
        for (const auto& r : rows) {
            RowTrace trace{QString::number(r.marks.size())};
            TKorvelMain w({pics_.path().toStdString()});
            QVERIFY(showReady(w));
            for (int i = 0; i < r.marks.size(); ++i)
                clickCell(w, size_t(r.marks[i]), i ? Qt::ControlModifier : Qt::NoModifier);
            QCOMPARE(w.markedFiles().size(), size_t(r.marks.size()));
            std::string played;
            ModalScript driver;
            driver.on<TShowFrm1>([&](TShowFrm1& f, int) {
                played = std::to_string(f.playlist().count()) + " " + f.playlist().at(0);
                QTest::keyClick(&f, Qt::Key_Escape);
            });
            QTest::mouseClick(w.toolButton(w.actions().ShowBtn1), Qt::LeftButton);
            QCOMPARE(played, std::to_string(r.count) + " " + pic(r.first));
        }
    }

    // "/s FILE" starts the show at FILE, before the previewed file "SelectStart" names; a file
    // the listed folder does not hold leaves the start to the settings.
    void startsAtTheFileTheCommandLineNames() {
        source(5);
        const std::string other = config_.path().toStdString() + "/elsewhere.bmp";
        writeSolidBmp(QString::fromStdString(other), 20, 20);
        const struct {
            std::vector<std::string> args;
            QByteArray ini;
            int first;
        } rows[] = {
            {{"/s", pic(3)}, kIni, 4},
            {{"/S", pic(3)}, kIni + "SelectStart=1\n", 4},
            {{"/s", other, pics_.path().toStdString()}, kIni, 1},
        };
        for (const auto& r : rows) {
            RowTrace trace{QString::fromStdString(r.args[1])};
            writeIni(r.ini);
            int first = 0;
            ModalScript driver;
            driver.on<TShowFrm1>([&](TShowFrm1& f, int) {
                if (settle(f)) first = shownSlide(f);
                QTest::keyClick(&f, Qt::Key_Escape);
            });
            TKorvelMain w(r.args);
            QVERIFY(showReady(w));
            QTRY_VERIFY(driver.seen == 1);
            QCOMPARE(first, r.first);
        }
    }

    // Started with "/se", the program ends when the show closes, and at once with nothing listed.
    void startModeSeEndsTheProgram() {
        writeIni("[SWindow]\nTimeInt=1\n");
        QTemporaryDir run;  // the program's own runtime folder, apart from any other Korvel
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("XDG_RUNTIME_DIR", run.path().toUtf8());
        QProcess korvel;  // with the settings folder init() put in the environment
        for (const int files : {0, 1}) {  // the empty folder first: it must not store a placement
            RowTrace trace{files ? "one file" : "empty folder"};
            source(files);
            korvel.start(KORVEL_EXE, {QStringLiteral("/SE"), pics_.path()});
            QVERIFY2(korvel.waitForFinished(30000), "the program did not end with the show");
            QCOMPARE(korvel.exitCode(), 0);
            // The show ran and closed by itself: it stored its placement.
            QCOMPARE(korvel::IniFile::load(ini()).hasKey("SWindow", "State"), files > 0);
        }
    }
};

QTEST_MAIN(ShowFrmTest)
#include "show_frm_test.moc"