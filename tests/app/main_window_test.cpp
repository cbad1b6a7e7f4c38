// The main window on the offscreen platform: start-up with settings and arguments, listing,
// toggles, and the settings written at close.
#include <QComboBox>
#include <QScreen>
#include <QLineEdit>
#include <QLabel>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

#include "app/KorvelMain.h"
#include "app/SingleInstance.h"
#include "browse/ui/DirTree.h"
#include "codecs/Bmp.h"
#include "imaging/Bitmap.h"
#include "settings/IniFile.h"

namespace {

void writeBmp(const QString& path, int w = 4, int h = 3) {
    korvel::TBitmap b(w, h, korvel::PixelFormat::pf24bit);
    std::ofstream out(path.toStdString(), std::ios::binary);
    korvel::writeBmp(b, out);
}

void writeText(const QString& path, const std::string& text) { std::ofstream(path.toStdString()) << text; }

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
        writeBmp(pics_.path() + "/b.bmp");
        writeBmp(pics_.path() + "/a.bmp");
        writeBmp(pics_.path() + "/.hidden.bmp");
        writeBmp(pics_.path() + "/sub/c.bmp");
        writeText(pics_.path() + "/empty.bmp", "");
        writeText(pics_.path() + "/notes.txt", "text");
    }

    void argumentFolderIsListedWhenShown() {
        TKorvelMain w({pics_.path()});
        QCOMPARE(w.windowTitle(), QStringLiteral("Korvel"));
        QCOMPARE(w.FormReady, 0);
        QVERIFY(w.FileList.empty());  // nothing is listed before the window shows
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.FormReady >= 1, true);
        QCOMPARE(w.selectedFolder(), pics_.path().toStdString() + "/");
        // a, b and the hidden file; the empty file and the text file are not listed.
        QCOMPARE(int(w.FileList.size()), 3);
        QCOMPARE(w.StatusPanels[0]->text(), QStringLiteral("3Files"));
        QVERIFY(w.action("CloseBtn")->isEnabled());
        w.FormActivate();
        QCOMPARE(w.FormReady, 2);
    }

    void commandLineModesAndFiles() {
        struct Row {
            QStringList args;
            int mode;
            bool subView;
        } rows[] = {
            {{"/S"}, 1, false},
            {{"/se", "/s"}, 2, false},
            {{"/SE"}, 2, false},
            {{pics_.path() + "/a.bmp"}, 0, true},
            {{pics_.path() + "/missing.bmp"}, 0, false},
        };
        for (const Row& r : rows) {
            TKorvelMain w(r.args);
            QCOMPARE(w.StartMode, r.mode);
            QCOMPARE(!w.SubViewPath.isEmpty(), r.subView);
        }
        // A relative file argument is resolved against the current folder and selects its folder.
        const QString old = QDir::currentPath();
        QDir::setCurrent(pics_.path());
        TKorvelMain w({"sub/c.bmp"});
        QDir::setCurrent(old);
        QCOMPARE(w.SubViewPath, pics_.path() + "/sub/c.bmp");
        QCOMPARE(w.selectedFolder(), (pics_.path() + "/sub/").toStdString());
    }

    void pipeOnTheCommandLineNeverBlocksTheStart() {
        const QString pipe = pics_.path() + "/x.png";
        QVERIFY(::mkfifo(pipe.toLocal8Bit().constData(), 0600) == 0);
        ::alarm(30);  // a start that blocks on the pipe ends the test here as a failure
        {
            TKorvelMain w({pipe});
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QCOMPARE(w.SubViewPath, pipe);
        }
        ::alarm(0);
        QFile::remove(pipe);
    }

    void closeWritesSettingsAndKeepsForeignSections() {
        writeText(config_.path() + "/Korvel.ini", "[OpCopy]\nSaveFormat=2\n; mine\n[Window]\nNameView=7\n");
        {
            TKorvelMain w({pics_.path()});
            QCOMPARE(w.NameView, 7);
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.close();
        }
        QCOMPARE(readIni(config_.path(), "Window", "Path"), pics_.path().toStdString() + "/");
        QCOMPARE(readIni(config_.path(), "Window", "NameView"), std::string("7"));
        QCOMPARE(readIni(config_.path(), "Thumbnil", "Size"), std::string("100"));
        QCOMPARE(readIni(config_.path(), "Window", "State"), std::string("wsNormal"));
        QCOMPARE(readIni(config_.path(), "OpCopy", "SaveFormat"), std::string("2"));
        QCOMPARE(readIni(config_.path(), "History", "Path19"), std::string(""));
    }

    void closeWhilePreviewLoadsWritesNothing() {
        writeText(config_.path() + "/Korvel.ini", "[Window]\nWidth=700\n");
        {
            TKorvelMain w;
            w.PreviewLoading = true;
            w.show();
            w.close();
        }
        QFile f(config_.path() + "/Korvel.ini");
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[Window]\nWidth=700\n"));
    }

    void storedTogglesAreRestored() {
        writeText(config_.path() + "/Korvel.ini",
                  "[Window]\nShowDirBtn=1\nTreeWidth=300\nShowCaption=1\n[SubDir]\nFind=1\nSubDirOnce=1\n"
                  "[QFolder]\nFolder2=/tmp/Barbecue2006/\n[Favorites]\nPath0=/x/\n[History]\nPath0=/h/\nPath1=/h/\n");
        TKorvelMain w({pics_.path()});
        QVERIFY(w.action("ShowDirBtn")->isChecked());
        QVERIFY(!w.DirTree1->isEnabled());
        QCOMPARE(w.Splitter1->sizes()[0], 1);
        QCOMPARE(w.FolderBtns[1]->toolTip(), QStringLiteral("/tmp/Barbecue2006/"));
        QCOMPARE(w.FolderBtns[1]->text(), QStringLiteral("/../Barbecue.."));
        QCOMPARE(w.ComboBox1->count(), 1);  // duplicates are not added twice
        QCOMPARE(w.ComboBox2->count(), 1);
        QVERIFY(w.SubDirSearch);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // The sub-folder listing happened once and switched itself off.
        QCOMPARE(int(w.FileList.size()), 4);
        QVERIFY(!w.action("SubDirFindBtn")->isChecked());
        QVERIFY(!w.SubDirSearch);
        // Showing the tree again gives it back a usable width.
        w.action("ShowDirBtn")->setChecked(false);
        w.ShowDirBtnClick();
        QVERIFY(w.DirTree1->isEnabled());
        QVERIFY(w.Splitter1->sizes()[0] > 1);
    }

    void handEditedGeometryKeepsTheWindowReachable() {
        writeText(config_.path() + "/Korvel.ini", "[Window]\nLeft=100000\nTop=-90000\nWidth=-3\nHeight=5\n");
        TKorvelMain w;
        QCOMPARE(w.geometry().size(), QSize(640, 460));
        QVERIFY(QGuiApplication::primaryScreen()->availableVirtualGeometry().intersects(w.geometry()));
    }

    void windOptionOffRestoresNothing() {
        writeText(config_.path() + "/Korvel.ini", "[Window]\nWindOption=0\nShowDirBtn=1\nWidth=900\n");
        TKorvelMain w;
        QVERIFY(!w.action("ShowDirBtn")->isChecked());
        QCOMPARE(w.width(), 750);
    }

    void statusPanelOneTakesTheRest() {
        TKorvelMain w;
        w.resize(1000, 600);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.StatusBar1Resize();
        const int rest = w.statusBar()->contentsRect().width() - 60 - 60 - 100 - 70 - 20;
        QCOMPARE(w.StatusPanels[1]->width(), std::max(50, rest));
        // Never narrower than 50, however narrow the bar.
        w.statusBar()->setFixedWidth(200);
        w.StatusBar1Resize();
        QCOMPARE(w.StatusPanels[1]->width(), 50);
    }

    void sortButtonsOrderTheList() {
        TKorvelMain w({pics_.path()});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.SortBtn2Click();
        QVERIFY(w.FileList.path(0).find("b.bmp") != std::string::npos);
        w.SortBtn1Click();
        QVERIFY(w.FileList.path(0).find(".hidden.bmp") != std::string::npos);
    }

    void favouritesFromTheTreeMenu() {
        TKorvelMain w({pics_.path()});
        const QString path = QString::fromStdString(w.selectedFolder());
        w.action("TargetPath2")->setText(path);
        w.AddFavMenuClick();
        w.AddFavMenuClick();  // the same folder twice stays once
        QCOMPARE(w.ComboBox2->count(), 1);
        for (int i = 0; i < 25; ++i) {
            w.action("TargetPath2")->setText(QStringLiteral("/f%1/").arg(i));
            w.AddFavMenuClick();
        }
        QCOMPARE(w.ComboBox2->count(), 20);
        QCOMPARE(w.ComboBox2->itemText(0), QStringLiteral("/f24/"));
        QCOMPARE(w.ComboBox2->findText(path), -1);  // the oldest went
    }

    void typedHistoryPathOpensOnEnter() {
        TKorvelMain w({pics_.path()});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const int before = w.ComboBox1->count();
        w.ComboBox1->setEditText(pics_.path() + "/nothing-here");
        QTest::keyClick(w.ComboBox1->lineEdit(), Qt::Key_Return);
        QCOMPARE(w.selectedFolder(), pics_.path().toStdString() + "/");  // ignored
        QCOMPARE(w.ComboBox1->count(), before);
        w.ComboBox1->setEditText(pics_.path() + "/sub/");
        QTest::keyClick(w.ComboBox1->lineEdit(), Qt::Key_Return);
        QCOMPARE(w.selectedFolder(), pics_.path().toStdString() + "/sub/");
        QCOMPARE(w.ComboBox1->itemText(0), pics_.path() + "/sub/");
        QCOMPARE(int(w.FileList.size()), 1);
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
