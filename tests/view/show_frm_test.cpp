// The slideshow window on the offscreen platform: the play order and its end, keys, where slides
// are painted, the caption in full screen, a damaged slide, closing mid-decode, opening from the
// main window, and "/se" ending the program. The timer is driven by its signal, never waited on.
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <atomic>

#include "app/KorvelMain.h"
#include "base/IniFile.h"
#include "tests/support/GridWindow.h"
#include "tests/support/SettingsSeam.h"
#include "tests/support/TempTree.h"
#include "tests/support/UiSupport.h"
#include "view/PaintBox.h"
#include "view/ShowFrm1.h"
#include "view/SlideLoader.h"

namespace {

const QByteArray kIni = "[Window]\nWindOption=0\n[SWindow]\nTimeInt=100000\n";

bool settle(TShowFrm1& f) { return QTest::qWaitFor([&] { return !f.loading(); }, 10000); }
void tick(TShowFrm1& f) { QMetaObject::invokeMethod(f.timer(), "timeout"); }
// The 1-based position the caption names, or 0 when the window has closed.
int shownSlide(const TShowFrm1& f) {
    return f.isVisible() ? f.windowTitle().section(QStringLiteral("( "), -1).section(QLatin1Char('/'), 0, 0).toInt() : 0;
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
    void writeIni(const QByteArray& text) { korvel::testing::writeFile(ini(), text.toStdString()); }
    std::string pic(int i) const { return pics_.path().toStdString() + "/s" + std::to_string(i) + ".bmp"; }
    ShowSource source(int count, int cols = 1) {
        ShowSource s;
        for (int i = 0; i < count; ++i) {
            korvel::testing::writeSolidBmp(QString::fromStdString(pic(i)), 40 + i, 30);
            s.files.push_back(pic(i));
        }
        s.gridColumns = cols;
        s.settingsPath = ini();
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

    void playsInOrderToTheEnd_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("previewed");
        QTest::addColumn<QList<int>>("slides");  // after opening, then after each tick; 0 = closed
        QTest::newRow("plain") << kIni << -1 << QList<int>{1, 2, 3, 4, 5, 0};
        QTest::newRow("repeat") << kIni + "RepeatFlg=1\n" << -1 << QList<int>{1, 2, 3, 4, 5, 1, 2};
        QTest::newRow("select start") << kIni + "SelectStart=1\n" << 2 << QList<int>{3, 4, 5, 0};
        QTest::newRow("select start, not listed") << kIni + "SelectStart=1\n" << 9 << QList<int>{1, 2};
    }
    void playsInOrderToTheEnd() {
        QFETCH(QByteArray, ini);
        QFETCH(int, previewed);
        QFETCH(QList<int>, slides);
        writeIni(ini);
        ShowSource s = source(5);
        s.previewed = previewed < 0 ? "" : pic(previewed);
        TShowFrm1 f(s);
        open(f);
        QVERIFY(f.timer()->isActive());
        for (int i = 0; i < slides.size(); ++i) {
            if (i > 0) tick(f);
            QVERIFY(settle(f));
            QCOMPARE(shownSlide(f), slides[i]);
        }
    }

    // The wrap and the Shift jumps are the playlist's own rules; here each key reaches them.
    // Navigating while playing keeps playing; navigating paused stays paused.
    void keys() {
        TShowFrm1 f(source(10, 4));
        open(f);
        const auto& a = f.actions();
        const struct {
            Qt::Key key;
            Qt::KeyboardModifiers mods;
            int slide;
            bool playing;
        } presses[] = {{Qt::Key_Right, {}, 2, true},   {Qt::Key_Right, Qt::ShiftModifier, 6, true},
                       {Qt::Key_Left, Qt::ShiftModifier, 2, true}, {Qt::Key_Left, {}, 1, true},
                       {Qt::Key_Up, {}, 10, true},     {Qt::Key_N, {}, 1, true},
                       {Qt::Key_F, {}, 10, true},      {Qt::Key_Space, {}, 10, false},
                       {Qt::Key_Down, {}, 1, false},   {Qt::Key_S, {}, 2, true}};  // playing again moves on
        for (const auto& p : presses) {
            QTest::keyClick(&f, p.key, p.mods);
            QVERIFY(settle(f));
            const QString row = QKeySequence(p.key | p.mods).toString();
            QVERIFY2(shownSlide(f) == p.slide, qPrintable(row));
            QVERIFY2(f.timer()->isActive() == p.playing, qPrintable(row));
            QVERIFY2(a.PlayBtn->isChecked() == p.playing, qPrintable(row));
        }
        // The pop-up menu's marks follow the buttons; its pause item pauses.
        f.popupMenu()->popup(f.mapToGlobal(QPoint(10, 40)));
        QVERIFY(a.PlayMenu->isChecked() && !a.PauseMenu->isChecked());
        a.PauseMenu->trigger();
        f.popupMenu()->hide();
        QVERIFY(a.PauseBtn->isChecked() && !f.timer()->isActive());
        QTest::keyClick(&f, Qt::Key_Escape);
        QVERIFY(!f.isVisible());
    }

    // The 800 x 600 box: a small slide is centred on the background colour.
    void paintsASlideAtItsPlace() {
        writeIni(kIni + "ShowColor=16711680\n");  // blue
        ShowSource s = source(0);
        s.files = {pics_.path().toStdString() + "/small.bmp"};
        korvel::testing::writeSolidBmp(QString::fromStdString(s.files[0]), 300, 200, 0x00FF00);
        TShowFrm1 f(s);
        f.resize(800, 600 + f.toolBar()->height());
        open(f);
        QCOMPARE(f.paintBox()->size(), QSize(800, 600));
        const QImage img = f.paintBox()->grab().toImage();
        QCOMPARE(countPixels(img, QRect(250, 200, 300, 200), 0x00FF00), 300 * 200);
        QCOMPARE(countPixels(img, img.rect(), 0x0000FF), 800 * 600 - 300 * 200);
    }

    void fullScreenCaption_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("drawn");
        QTest::newRow("full screen") << QByteArray("FullScreen=1\n") << true;
        QTest::newRow("hidden") << QByteArray("FullScreen=1\nFullScreenCaption=1\n") << false;
        QTest::newRow("windowed") << QByteArray("") << false;
    }
    void fullScreenCaption() {
        QFETCH(QByteArray, ini);
        QFETCH(bool, drawn);
        writeIni("[SWindow]\nTimeInt=100000\n" + ini);
        TShowFrm1 f(source(1));
        open(f);
        QCOMPARE(f.toolBar()->isVisible(), !ini.contains("FullScreen"));
        const QImage img = f.paintBox()->grab().toImage();
        QCOMPARE(countPixels(img, QRect(0, 0, 400, 40), qRgb(255, 255, 0)) > 20, drawn);
        QCOMPARE(countPixels(img, QRect(0, 0, 400, 40), qRgb(128, 128, 128)) > 20, drawn);
        // The text starts at (10, 10), its shadow one pixel further.
        QCOMPARE(countPixels(img, QRect(0, 0, 400, 10), qRgb(255, 255, 0)), 0);
        QCOMPARE(countPixels(img, QRect(0, 0, 10, 40), qRgb(255, 255, 0)), 0);
    }

    // Paused with "TimeInt" 0: the timer stands at 1 ms; the ticks come from the test.
    void damagedSlideShowsTheWaitTextAndMovesOn() {
        writeIni("[SWindow]\nTimeInt=0\nPauseStart=1\n");
        ShowSource s = source(1);
        s.files.insert(s.files.begin(), pics_.path().toStdString() + "/bad.jpg");
        korvel::testing::writeFile(s.files[0], "\xFF\xD8\xFF\xE0 damaged");
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

    void closingMidDecodeStopsCleanly() {
        auto f = std::make_unique<TShowFrm1>(source(4));
        open(*f);
        const QString caption = f->windowTitle();
        std::atomic<bool> release{false}, entered{false}, finished{false};
        f->loader()->setDecode([&](const SlideRequest& r, SlideResult& out) {
            entered = true;
            while (!release) QThread::yieldCurrentThread();
            SlideLoader::decodeSlide(r, out);
            finished = true;
        });
        QTest::keyClick(f.get(), Qt::Key_Up);  // the last slide, not decoded ahead
        QVERIFY(QTest::qWaitFor([&] { return entered.load(); }));
        QVERIFY(f->loading());
        QTest::keyClick(f.get(), Qt::Key_Escape);
        QVERIFY(!f->isVisible());
        release = true;
        QVERIFY(QTest::qWaitFor([&] { return finished.load(); }));
        QCoreApplication::processEvents();
        QCOMPARE(f->windowTitle(), caption);  // nothing arrived after the close
        QCOMPARE(f->slide().width(), 40);
        f.reset();
        // The placement is not written by a show closed while loading.
        QVERIFY(!korvel::IniFile::load(ini()).hasKey("SWindow", "State"));
    }

    // A settings file that cannot be read gives the defaults and is not replaced at close.
    void unreadableSettingsAreNeitherUsedNorReplaced() {
        korvel::testing::UnreadableSettings seam([&](const std::string& path) { return path == ini(); });
        TShowFrm1 f(source(2));
        open(f);
        QCOMPARE(f.timer()->interval(), 3000);  // the file says 100000
        QTest::keyClick(&f, Qt::Key_Escape);
        QCOMPARE(korvel::testing::readFile(ini()), kIni.toStdString());
    }

    // One marked cell plays the whole folder; several play only themselves, in grid order.
    void opensFromTheMainWindow_data() {
        QTest::addColumn<QList<int>>("marks");
        QTest::addColumn<int>("count");
        QTest::newRow("one") << QList<int>{3} << 5;
        QTest::newRow("two") << QList<int>{4, 1} << 2;
    }
    void opensFromTheMainWindow() {
        QFETCH(QList<int>, marks);
        QFETCH(int, count);
        writeIni("[SWindow]\nTimeInt=100000\nPauseStart=1\n");
        source(5);
        TKorvelMain w({pics_.path()});
        QVERIFY(korvel::testing::showReady(w));
        for (int i = 0; i < marks.size(); ++i)
            korvel::testing::clickCell(w, size_t(marks[i]), i ? Qt::ControlModifier : Qt::NoModifier);
        QCOMPARE(w.markedFiles().size(), size_t(marks.size()));
        int played = -1;
        std::string first;
        korvel::testing::ModalScript driver;
        driver.on<TShowFrm1>([&](TShowFrm1& f, int) {
            played = int(f.playlist().count());
            first = f.playlist().at(0);
            QTest::keyClick(&f, Qt::Key_Escape);
        });
        QTest::mouseClick(w.toolButton(w.actions().ShowBtn1), Qt::LeftButton);
        QCOMPARE(played, count);
        QCOMPARE(first, pic(marks.size() > 1 ? 1 : 0));
    }

    // Started with "/se", the program ends when the show closes, and at once with nothing listed.
    void startModeSeEndsTheProgram_data() {
        QTest::addColumn<int>("files");
        QTest::newRow("one file") << 1;
        QTest::newRow("empty folder") << 0;
    }
    void startModeSeEndsTheProgram() {
        QFETCH(int, files);
        source(files);
        writeIni("[SWindow]\nTimeInt=1\n");
        QTemporaryDir run;
        QProcess korvel;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", run.path());
        env.insert("KORVEL_CONFIG_DIR", config_.path());
        korvel.setProcessEnvironment(env);
        korvel.start(KORVEL_EXE, {QStringLiteral("/SE"), pics_.path()});
        QVERIFY2(korvel.waitForFinished(30000), "the program did not end with the show");
        QCOMPARE(korvel.exitCode(), 0);
        // The show ran and closed by itself: it stored its placement.
        QCOMPARE(korvel::IniFile::load(ini()).hasKey("SWindow", "State"), files > 0);
    }
};

QTEST_MAIN(ShowFrmTest)
#include "show_frm_test.moc"