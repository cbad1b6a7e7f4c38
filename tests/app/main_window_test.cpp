// The main window on the offscreen platform: start-up with settings and arguments, listing,
// toggles, and the settings written at close.
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <csignal>

#include "app/AppIdentity.h"
#include "app/SingleInstance.h"
#include "base/IniFile.h"
#include "tests/support/GridWindow.h"
#include "tests/support/ShownOwner.h"
#include "tests/support/TempTree.h"
#include "view/SubFrm.h"
#include "view/SubFrmArrange.h"

using korvel::testing::readFile;

namespace {

void writeText(const QString& path, const std::string& text) {
    korvel::testing::writeFile(path.toStdString(), text);
}

std::string readIni(const QString& dir, const char* section, const char* key) {
    return korvel::IniFile::load((dir + "/Korvel.ini").toStdString()).readString(section, key, "<none>");
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_, pics_;

private slots:
    void init() {
        QVERIFY(config_.isValid() && pics_.isValid());
        qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8());
        QFile::remove(config_.path() + "/Korvel.ini");
        QDir(pics_.path()).mkpath("sub");
        korvel::testing::writeSolidBmp(pics_.path() + "/b.bmp", 4, 3);
        korvel::testing::writeSolidBmp(pics_.path() + "/a.bmp", 4, 3);
        korvel::testing::writeSolidBmp(pics_.path() + "/.hidden.bmp", 4, 3);
        korvel::testing::writeSolidBmp(pics_.path() + "/sub/c.bmp", 4, 3);
        writeText(pics_.path() + "/empty.bmp", "");
        writeText(pics_.path() + "/notes.txt", "text");
    }

    void argumentFolderIsListedWhenShown() {
        TKorvelMain w({pics_.path()});
        QCOMPARE(w.formReady(), 0);
        QVERIFY(w.fileList().empty());  // nothing is listed before the window shows
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.formReady() >= 1, true);
        QCOMPARE(w.selectedFolder(), pics_.path().toStdString() + "/");
        // a, b and the hidden file; the empty file and the text file are not listed.
        QCOMPARE(int(w.fileList().size()), 3);
        QCOMPARE(w.statusPanel(0)->text(), QStringLiteral("3Files"));
        QTRY_COMPARE(w.formReady(), 2);  // activated on the event loop's first turn
    }

    void commandLineModesAndFiles() {
        struct Row {
            QStringList args;
            int mode;
            bool subView;
        } rows[] = {
            {{"/SE"}, 2, false},
            {{pics_.path() + "/a.bmp"}, 0, true},
            {{pics_.path() + "/missing.bmp"}, 0, false},
        };
        for (const Row& r : rows) {
            TKorvelMain w(r.args);
            QCOMPARE(w.startMode(), r.mode);
            QCOMPARE(!w.subViewPath().empty(), r.subView);
        }
        // A relative file argument is resolved against the current folder and selects its folder.
        const QString old = QDir::currentPath();
        QDir::setCurrent(pics_.path());
        TKorvelMain w({"sub/c.bmp"});
        QDir::setCurrent(old);
        QCOMPARE(w.subViewPath(), (pics_.path() + "/sub/c.bmp").toStdString());
        QCOMPARE(w.selectedFolder(), (pics_.path() + "/sub/").toStdString());
    }

    // A file named on the command line opens its viewer when the main window shows, owned by it
    // on the desktop (kept above it, minimised with it).
    void commandLineViewerIsOwnedByTheMainWindow() {
        TKorvelMain w({pics_.path() + "/a.bmp"});
        QCOMPARE(openSubViewers().size(), 1);
        ShownOwner atShow(openSubViewers().first());
        w.show();
        QTRY_VERIFY(atShow.shown);
        QCOMPARE(atShow.transientParent, w.windowHandle());
        QCOMPARE(atShow.type, Qt::Dialog);
    }

    // Qt's X11 and Wayland back ends append a display name that was set explicitly to every
    // window title ("プラグインの設定 — Korvel"); with none set, the name merely follows the
    // application's name and captions stay as given.
    void noDisplayNameForWindowTitles() {
        const QString testName = QCoreApplication::applicationName();
        setApplicationIdentity();
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Korvel"));
        QCoreApplication::setApplicationName(QStringLiteral("probe"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("probe"));
        QCoreApplication::setApplicationName(testName);
    }

    void pipeOnTheCommandLineNeverBlocksTheStart() {
        const QString pipe = pics_.path() + "/x.png";
        QVERIFY(::mkfifo(pipe.toLocal8Bit().constData(), 0600) == 0);
        ::alarm(30);  // a start that blocks on the pipe ends the test here as a failure
        {
            TKorvelMain w({pipe});
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QCOMPARE(QString::fromStdString(w.subViewPath()), pipe);
        }
        ::alarm(0);
        QFile::remove(pipe);
    }

    void closeWhilePreviewLoadsWritesNothing() {
        writeText(config_.path() + "/Korvel.ini", "[Window]\nWidth=700\n");
        {
            // The first listing starts the preview loader; the window closes before it runs.
            TKorvelMain w({pics_.path()});
            w.show();
            QVERIFY(w.previewLoading());
            w.close();
        }
        QCOMPARE(readFile(config_.path().toStdString() + "/Korvel.ini"),
                 std::string("[Window]\nWidth=700\n"));
    }

    void storedTogglesAreRestored() {
        writeText(config_.path() + "/Korvel.ini",
                  "[Window]\nShowDirBtn=1\nTreeWidth=300\nShowCaption=1\n[SubDir]\nFind=1\nSubDirOnce=1\n");
        TKorvelMain w({pics_.path()});
        QVERIFY(w.actions().ShowDirBtn->isChecked());
        QVERIFY(!w.dirTree()->isEnabled());
        QCOMPARE(w.treeSplitter()->sizes()[0], 1);
        QVERIFY(w.subDirSearch());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // The sub-folder listing happened once and switched itself off.
        QCOMPARE(int(w.fileList().size()), 4);
        QVERIFY(!w.actions().SubDirFindBtn->isChecked());
        QVERIFY(!w.subDirSearch());
        // Showing the tree again gives it back a usable width.
        QTest::mouseClick(w.toolButton(w.actions().ShowDirBtn), Qt::LeftButton);
        QVERIFY(!w.actions().ShowDirMenu->isChecked());
        QVERIFY(w.dirTree()->isEnabled());
        QVERIFY(w.treeSplitter()->sizes()[0] > 1);
    }

    // The window reaches the geometry rule with the screen's work area (the rule's rows are
    // tested on their own).
    void handEditedGeometryKeepsTheWindowReachable() {
        writeText(config_.path() + "/Korvel.ini",
                  "[Window]\nLeft=2147483000\nTop=2147483000\nWidth=-3\nHeight=5\n");
        TKorvelMain w;
        QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(w.geometry()));
    }

    void storedBandWidthsAreApplied() {
        // Filter and favourites bands share a row; the history band has its own.
        writeText(config_.path() + "/Korvel.ini", "[Window]\nCoolWidth2=290\nCoolBreak4=1\n");
        {
            TKorvelMain w;
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QTRY_COMPARE(w.filterBand()->width(), 290);
            QTest::mouseClick(w.toolButton(w.actions().CloseBtn), Qt::LeftButton);
        }
        QCOMPARE(readIni(config_.path(), "Window", "CoolWidth2"), std::string("290"));
    }

    // Korvel itself, ended by a signal: settings written as at a normal close, the cache file
    // and the instance socket removed.
    void terminationSignalsCloseTheWindow() {
        for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
            QTemporaryDir run, config;
            QFile::setPermissions(run.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QProcess korvel;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QT_QPA_PLATFORM", "offscreen");
            env.insert("XDG_RUNTIME_DIR", run.path());
            env.insert("KORVEL_CONFIG_DIR", config.path());
            korvel.setProcessEnvironment(env);
            korvel.start(KORVEL_EXE, {pics_.path()});
            QVERIFY(korvel.waitForStarted());
            const QString cache = run.path() + "/korvel.tp0",
                          socket = run.path() + "/Korvel_Dovrans_Application";
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(cache) && QFile::exists(socket), 20000);
            ::kill(pid_t(korvel.processId()), sig);
            QVERIFY(korvel.waitForFinished(20000));
            QCOMPARE(korvel.exitStatus(), QProcess::NormalExit);
            QCOMPARE(readIni(config.path(), "Window", "Path"), pics_.path().toStdString() + "/");
            QVERIFY(!QFile::exists(cache));
            QVERIFY(!QFile::exists(socket));
        }
    }

    // Enabled states follow the marks; a tool button and its menu item always show one state.
    void commandStatesFollowTheWindow() {
        TKorvelMain w({pics_.path()});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const TKorvelMain::Actions& a = w.actions();
        struct Step {
            size_t cell;
            int marked;
        };
        // The listing marks cell 0; Ctrl+clicks add cell 1, then take both away.
        for (Step s : {Step{size_t(-1), 1}, Step{1, 2}, Step{0, 1}, Step{1, 0}}) {
            if (s.cell != size_t(-1)) korvel::testing::clickCell(w, s.cell, Qt::ControlModifier);
            QCOMPARE(int(w.markedFiles().size()), s.marked);
            for (QAction* each :
                 {a.Open1, a.Copy2, a.CopyBtn, a.KCopy, a.KCopyBtn, a.Move2, a.MoveBtn, a.Delete1,
                  a.DeleteBtn, a.Rename1, a.ReNameBtn1, a.NumberRN1, a.NumberRNBtn1})
                QVERIFY2(each->isEnabled() == (s.marked > 0), qPrintable(each->objectName()));
            QCOMPARE(a.Wall2->isEnabled(), s.marked == 1);
            QCOMPARE(a.Property1->isEnabled(), s.marked == 1);
        }
        const std::pair<QAction*, QAction*> toggles[] = {{a.StretchBtn, a.StretchMenu},
                                                         {a.DirViewBtn, a.DirViewMenu},
                                                         {a.ShowDirBtn, a.ShowDirMenu},
                                                         {a.SubDirFindBtn, a.SubDirFindMenu},
                                                         {a.ShowCaptionBtn, a.ShowCaptionMenu}};
        for (auto [button, item] : toggles) {
            QTest::mouseClick(w.toolButton(button), Qt::LeftButton);
            QVERIFY2(button->isChecked() && item->isChecked(), qPrintable(item->objectName()));
            item->trigger();
            QVERIFY2(!button->isChecked() && !item->isChecked(), qPrintable(item->objectName()));
        }
    }

    void sortButtonsOrderTheList() {
        TKorvelMain w({pics_.path()});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(w.toolButton(w.actions().SortBtn2), Qt::LeftButton);
        QVERIFY(w.fileList().path(0).find("b.bmp") != std::string::npos);
        QTest::mouseClick(w.toolButton(w.actions().SortBtn1), Qt::LeftButton);
        QVERIFY(w.fileList().path(0).find(".hidden.bmp") != std::string::npos);
    }

    void secondStartActivatesTheFirst() {
        const QString name = QStringLiteral("KorvelTest_%1").arg(QCoreApplication::applicationPid());
        SingleInstance first(name), second(name);
        QVERIFY(first.becomePrimary());
        QSignalSpy spy(&first, &SingleInstance::activationRequested);
        QVERIFY(!second.becomePrimary());
        second.askPrimaryToActivate();
        QVERIFY(spy.wait(3000));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
