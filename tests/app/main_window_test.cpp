// The main window: start-up with settings and arguments, the settings written at close, history,
// favourites, the quick-folder buttons and the options dialog, through clicks and keys.
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QLocalSocket>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <csignal>

#include "app/AppIdentity.h"
#include "app/OptionFrm.h"
#include "app/SingleInstance.h"
#include "app/ToolIcons.h"
#include "base/IniFile.h"
#include "browse/FolderScan.h"
#include "nav/QuickFolders.h"
#include "nav/ui/QFSelectFrm.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/GridWindow.h"
#include "tests/support/TempTree.h"
#include "tests/support/UiSupport.h"
#include "view/SubFrm.h"
#include "view/ShowFrm1.h"
#include "view/SubFrmArrange.h"

using namespace korvel::testing;
using Step = ModalScript::Step;

namespace {

// What a window's platform window knows of its owner at the moment it is shown: that is when
// the X11 back end tells the window manager (WM_TRANSIENT_FOR), and only for dialog-like types.
struct ShownOwner : QObject {
    QWindow* owner = nullptr;
    int type = -1;  // the platform window's, once shown
    explicit ShownOwner(QWidget* watched) { watched->installEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override {
        QWindow* h = static_cast<QWidget*>(o)->windowHandle();
        if (e->type() == QEvent::Show && type < 0 && h) {
            owner = h->transientParent();
            type = h->type();
        }
        return false;
    }
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_, pics_;
    TempTree tree_;
    std::unique_ptr<TKorvelMain> w_;
    int relists_ = 0;  // folder listings since the window opened

    std::string f(int i) const { return tree_ / QString::asprintf("f%02d/", i).toStdString(); }
    std::string ini() const { return config_.path().toStdString() + "/Korvel.ini"; }
    QString pics() const { return QString::fromStdString(tree_ / "pics"); }
    // The folder open, then the history newest first.
    QString opened() const {
        std::vector<std::string> l = historyItems(*w_);
        l.insert(l.begin(), w_->selectedFolder());
        return joined(l);
    }
    bool openWindow() {
        w_.reset();
        w_ = std::make_unique<TKorvelMain>(std::vector{pics().toStdString()});
        relists_ = 0;
        connect(w_.get(), &TKorvelMain::folderListed, [this] { ++relists_; });
        return showReady(*w_);
    }
    void rightClickNode(const std::string& folder) {
        QVERIFY(dirTree(*w_)->SelectPath(folder));
        korvel::testing::rightClickNode(*w_, dirTree(*w_)->FindNode(folder));
    }
    void clickTool(QAction* a) { QTest::mouseClick(w_->toolButton(a), Qt::LeftButton); }

private slots:
    void initTestCase() {
        for (int i = 0; i < 22; ++i) tree_.folder(f(i).substr(tree_.root().size()));
        for (const char* name : {"pics", "caf\xe9"}) tree_.folder(name);  // the second Latin-1, not UTF-8
        writePatternBmp(tree_ / "pics/a.bmp", 8, 6);
        writePatternBmp(tree_ / "pics/b.bmp", 8, 6);
    }
    void cleanup() { w_.reset(); }
    void init() {
        qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8());
        QFile::remove(config_.path() + "/Korvel.ini");
        QDir(pics_.path()).mkpath("sub");
        for (const char* name : {"b.bmp", "a.bmp", ".hidden.bmp", "sub/c.bmp"})
            writeSolidBmp(pics_.path() + "/" + name, 4, 3);
        writeFile(pics_.path().toStdString() + "/empty.bmp", "");
        writeFile(pics_.path().toStdString() + "/notes.txt", "text");
    }

    // Listed when shown, sorted by the buttons, and the commands' states.
    void shownOnAFolder() {
        TKorvelMain w({pics_.path().toStdString()});
        // Nothing is listed before the window shows.
        QVERIFY(w.formState() == TKorvelMain::FormState::Building && w.fileList().empty());
        QVERIFY(showExposed(w) && w.formState() != TKorvelMain::FormState::Building);
        QCOMPARE(w.selectedFolder(), pics_.path().toStdString() + "/");
        // a, b and the hidden file; the empty file and the text file are not listed.
        QCOMPARE(w.statusText(StatusPanel::FileCount), QStringLiteral("3Files"));
        QTRY_COMPARE(w.formState(), TKorvelMain::FormState::Ready);  // activated on the event loop's first turn
        // Another file type in the filter box lists again with its mask; its hint follows.
        QComboBox* filter = filterBox(w);
        for (auto [key, count] : {std::pair{Qt::Key_End, "0Files"}, {Qt::Key_Home, "3Files"}}) {
            QTest::keyClick(filter, key);
            QCOMPARE(w.statusText(StatusPanel::FileCount), QString::fromLatin1(count));
            QCOMPARE(filter->toolTip(), filter->currentText());
        }
        QTest::mouseClick(w.toolButton(w.actions().SortBtn2), Qt::LeftButton);
        QVERIFY(w.fileList().path(0).find("b.bmp") != std::string::npos);
        QTest::mouseClick(w.toolButton(w.actions().SortBtn1), Qt::LeftButton);
        QVERIFY(w.fileList().path(0).find(".hidden.bmp") != std::string::npos);
        // The menus follow the marks; the tool bar's file buttons and slideshow follow the listing.
        const TKorvelMain::Actions& a = w.actions();
        const auto enabled = [&] {
            return QString::number(w.markedFiles().size()) + ":"
                   + enabledMask<QAction>({a.Open1, a.Copy2, a.KCopy, a.Move2, a.Delete1, a.Rename1, a.NumberRN1,
                                           a.Wall2, a.Property1})
                   + " " + enabledMask<QAction>({a.CopyBtn, a.KCopyBtn, a.MoveBtn, a.DeleteBtn, a.ReNameBtn1,
                                                 a.NumberRNBtn1, a.ShowBtn1});
        };
        // The listing marks cell 0; Ctrl+clicks add cell 1, then take both away; then an empty
        // folder is opened, and the pictures' folder again.
        QString states = enabled();
        for (size_t cell : {1, 0, 1}) {
            clickCell(w, cell, Qt::ControlModifier);
            states += " " + enabled();
        }
        for (const std::string& folder : {f(0), pics_.path().toStdString() + "/"}) {
            typeInto(historyBox(w)->lineEdit(), QString::fromStdString(folder));
            QTest::keyClick(historyBox(w)->lineEdit(), Qt::Key_Return);
            QTRY_COMPARE(w.selectedFolder(), folder);
            states += " " + enabled();
        }
        QCOMPARE(states, "1:111111111 1111111 2:111111100 1111111 1:111111111 1111111 0:000000000 1111111 "
                         "0:000000000 0000000 1:111111111 1111111");
        for (auto [button, item] : {std::pair{a.StretchBtn, a.StretchMenu}, {a.DirViewBtn, a.DirViewMenu},
                                    {a.ShowDirBtn, a.ShowDirMenu}, {a.SubDirFindBtn, a.SubDirFindMenu},
                                    {a.ShowCaptionBtn, a.ShowCaptionMenu}}) {
            QTest::mouseClick(w.toolButton(button), Qt::LeftButton);
            QVERIFY2(button->isChecked() && item->isChecked(), qPrintable(item->objectName()));
            item->trigger();
            QVERIFY2(!button->isChecked() && !item->isChecked(), qPrintable(item->objectName()));
        }
    }

    // A file named on the command line, relative to the current folder, selects its folder and
    // opens its viewer when the main window shows, owned by it on the desktop (kept above it,
    // minimised with it). A missing file opens none, and a pipe never blocks the start.
    void commandLineFile() {
        const QString old = QDir::currentPath(), pipe = pics_.path() + "/x.png";
        QVERIFY(::mkfifo(pipe.toLocal8Bit().constData(), 0600) == 0);
        QDir::setCurrent(pics_.path());
        QVERIFY(TKorvelMain({"missing.bmp"}).subViewPath().empty());
        ::alarm(30);  // a start that blocks on the pipe ends the test here as a failure
        {
            TKorvelMain w({"x.png"});
            QVERIFY(showExposed(w));
            QCOMPARE(QString::fromStdString(w.subViewPath()), pipe);
        }
        ::alarm(0);
        QFile::remove(pipe);
        TKorvelMain w({"sub/c.bmp"});
        QDir::setCurrent(old);
        const std::string sub = (pics_.path() + "/sub/").toStdString();
        QCOMPARE(w.subViewPath() + " " + w.selectedFolder(), sub + "c.bmp " + sub);
        QCOMPARE(openSubViewers().size(), 1);
        ShownOwner atShow(openSubViewers().first());
        w.show();
        QTRY_COMPARE(atShow.type, int(Qt::Dialog));
        QCOMPARE(atShow.owner, w.windowHandle());
    }

    // Qt's X11 and Wayland back ends append a display name that was set explicitly to every
    // window title ("プラグインの設定 — Korvel"); with none set, the name merely follows the
    // application's name and captions stay as given.
    void noDisplayNameForWindowTitles() {
        const QString testName = QCoreApplication::applicationName();
        setApplicationIdentity();
        QCoreApplication::setApplicationName(QStringLiteral("probe"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("probe"));
        QCoreApplication::setApplicationName(testName);
    }

    // Stored toggles and band widths are applied, a hand-edited geometry reaches the geometry rule
    // with the screen's work area (the rule's rows are tested on their own), and the close writes;
    // a close while the first listing's preview still loads writes nothing.
    void storedSettingsAreApplied() {
        writeFile(ini(),
                  "[Window]\nShowDirBtn=1\nTreeWidth=300\nShowCaption=1\nCoolWidth2=290\nCoolBreak4=1\n"
                  "Left=2147483000\nTop=2147483000\nWidth=-3\nHeight=5\n[SubDir]\nFind=1\nSubDirOnce=1\n");
        TKorvelMain w({pics_.path().toStdString()});
        const TKorvelMain::Actions& a = w.actions();
        QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(w.geometry()));
        QVERIFY(a.ShowDirBtn->isChecked() && !dirTree(w)->isEnabled() && w.listing().options.subFolders);
        QCOMPARE(treeSplitter(w)->sizes()[0], 1);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // The sub-folder listing happened once and switched itself off.
        QCOMPARE(int(w.fileList().size()), 4);
        QVERIFY(!a.SubDirFindBtn->isChecked() && !w.listing().options.subFolders);
        // Showing the tree again gives it back a usable width.
        QTest::mouseClick(w.toolButton(a.ShowDirBtn), Qt::LeftButton);
        QVERIFY(!a.ShowDirMenu->isChecked() && dirTree(w)->isEnabled() && treeSplitter(w)->sizes()[0] > 1);
        QTRY_COMPARE(filterBand(w)->width(), 290);  // it shares a row with the favourites band
        QTest::mouseClick(w.toolButton(a.CloseBtn), Qt::LeftButton);
        QCOMPARE(iniValues(ini(), "Window", {"CoolWidth2"}), "CoolWidth2=290");
        writeFile(ini(), "[Window]\nWidth=700\n");
        TKorvelMain again({pics_.path().toStdString()});
        again.show();
        QVERIFY(again.preview().loading());
        again.close();
        QCOMPARE(readFile(ini()), std::string("[Window]\nWidth=700\n"));
    }

    // A hand-edited band layout (all in one row, the first band as wide as it gets) comes back with
    // every band whole; a right-click on the bands opens no menu that could hide them.
    void bandsComeBackUsableAndHaveNoMenu() {
        writeFile(ini(), "[Window]\nWidth=750\nCoolID0=1\nCoolBreak1=0\nCoolBreak2=0\nCoolWidth0=99999\n");
        TKorvelMain w({pics_.path().toStdString()});
        QVERIFY(showExposed(w));
        int bands = 0;
        for (const QToolBar* b : w.findChildren<QToolBar*>()) {
            if (w.toolBarArea(b) != Qt::TopToolBarArea) continue;
            ++bands;
            const auto* chevron = b->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
            QVERIFY2(b->isVisible() && !chevron->isVisible() && b->geometry().right() < w.width(),
                     qPrintable(b->objectName()));
        }
        QCOMPARE(bands, 5);
        const QToolBar* band = filterBand(w);
        QTest::mouseClick(w.windowHandle(), Qt::RightButton, {}, band->mapTo(&w, QPoint(3, band->height() / 2)));
        QVERIFY(!QApplication::activePopupWidget());
    }

    // Left and Top place the frame, of the main window and of the windowed slideshow, and are
    // written back the same way, so a restart does not drift.
    void leftAndTopPlaceTheFrame() {
        writeFile(ini(), "[Window]\nLeft=100\nTop=80\n[SWindow]\nState=wsNormal\nLeft=120\nTop=90\n");
        TKorvelMain w({pics_.path().toStdString()});
        QVERIFY(showExposed(w) && waitPreview(w));
        TShowFrm1 show(ShowSource{.files = {pics_.path().toStdString() + "/a.bmp"}, .settingsPath = ini()});
        QVERIFY(showExposed(show) && QTest::qWaitFor([&] { return !show.loading(); }));
        QCOMPARE(w.frameGeometry().topLeft(), QPoint(100, 80));
        QCOMPARE(show.frameGeometry().topLeft(), QPoint(120, 90));
        show.close();
        w.close();
        QCOMPARE(iniValues(ini(), "Window", {"Left", "Top"}) + " " + iniValues(ini(), "SWindow", {"Left", "Top"}),
                 "Left=100 Top=80 Left=120 Top=90");
    }

    // Korvel itself, ended by a signal: settings written as at a normal close, the cache file
    // and the instance socket removed.
    void terminationSignalsCloseTheWindow() {
        for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
            QTemporaryDir run, config;
            QProcess korvel;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QT_QPA_PLATFORM", "offscreen");
            env.insert("XDG_RUNTIME_DIR", run.path());
            env.insert("KORVEL_CONFIG_DIR", config.path());
            korvel.setProcessEnvironment(env);
            korvel.start(KORVEL_EXE, {pics_.path()});
            const QString cache = run.path() + "/korvel.tp0",
                          socket = run.path() + "/Korvel_Dovrans_Application";
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(cache) && QFile::exists(socket), 20000);
            ::kill(pid_t(korvel.processId()), sig);
            QVERIFY(korvel.waitForFinished(20000) && korvel.exitStatus() == QProcess::NormalExit);
            QCOMPARE(iniValues(config.path().toStdString() + "/Korvel.ini", "Window", {"Path"}),
                     "Path=" + pics_.path() + "/");
            QVERIFY(!QFile::exists(cache) && !QFile::exists(socket));
        }
    }

    // Names that are not UTF-8 reach the window as the bytes the shell passed: a Latin-1 and a
    // Shift_JIS file each open a viewer on that very file, at the first start and handed over by a
    // second one, whose relative arguments are taken from its own folder. A client that stalls
    // mid-message holds up no one.
    void argumentsStayBytes() {
        const std::string dir = tree_ / "names/", latin1 = dir + "caf\xe9.bmp", sjis = dir + "\x89\xe6\x91\x9c.bmp";
        tree_.folder("names");
        writePatternBmp(latin1, 8, 6);
        writePatternBmp(sjis, 5, 7);
        const auto viewers = [] {
            std::string l;
            for (const TKorvelSubFrm* v : openSubViewers())
                l += v->path() + "=" + std::to_string(v->subImage().width()) + "x" +
                     std::to_string(v->subImage().height()) + " ";
            return l;
        };
        const std::string both = latin1 + "=8x6 " + sjis + "=5x7 ";
        {
            TKorvelMain w({latin1, sjis});
            QCOMPARE(viewers(), both);
            QCOMPARE(w.subViewPath() + " " + w.selectedFolder(), sjis + " " + dir);
        }
        QVERIFY(openWindow());
        const QString name = QStringLiteral("KorvelTest_%1").arg(QCoreApplication::applicationPid());
        SingleInstance first(name), second(name);
        QVERIFY(first.becomePrimary());
        int handed = 0;
        connect(&first, &SingleInstance::activationRequested, [&] { ++handed; });
        connect(&first, &SingleInstance::activationRequested, w_.get(), &TKorvelMain::activateFromOutside);
        QVERIFY(!second.becomePrimary());
        QLocalSocket stalled;
        stalled.connectToServer(first.socketPath());
        QVERIFY(stalled.waitForConnected(1000));
        stalled.write(QByteArray("KVH1\0\0\0\1\0\0\0\x20/", 13));
        QVERIFY(stalled.waitForBytesWritten(1000));
        const std::string shown = w_->selectedFolder();
        tree_.folder("made");
        writePatternBmp(tree_ / "made/m.bmp", 2, 2);
        std::string played = "none";
        ModalScript driver;
        driver.on<TShowFrm1>([&](TShowFrm1& f, int) {
            played = std::to_string(f.playlist().count());
            QTest::keyClick(&f, Qt::Key_Escape);
        });
        // Handed over, then the folder shown, how many files it lists, and what the slideshow played.
        const std::tuple<std::vector<std::string>, std::string, std::string, size_t, std::string> rows[] = {
            {{}, dir, shown, 2, "none"},  // only raised
            {{"caf\xe9.bmp", "../names/\x89\xe6\x91\x9c.bmp", "missing.bmp"}, dir, dir, 2, "none"},
            {{"."}, dir, dir, 3, "none"},  // the folder shown: listed again, with the new file
            {{"made"}, tree_.root(), tree_ / "made/", 1, "none"},  // made after the tree was read
            {{"/s", "pics/a.bmp"}, tree_.root(), tree_ / "pics/", 2, "2"},  // a show, no viewer
        };
        for (int i = 0; i < int(std::size(rows)); ++i) {
            const auto& [args, cwd, folder, listed, show] = rows[i];
            RowTrace trace{QString::number(i)};
            if (i == 2) writePatternBmp(dir + "new.bmp", 3, 3);
            for (TKorvelSubFrm* v : openSubViewers()) delete v;
            QVERIFY(second.handOver(args, cwd));
            QTRY_COMPARE(handed, i + 1);
            QTRY_COMPARE(played, show);
            QCOMPARE(w_->selectedFolder() + " " + std::to_string(w_->fileList().size()),
                     folder + " " + std::to_string(listed));
            QCOMPARE(viewers(), i == 1 ? both : "");
            played = "none";
        }
        QCOMPARE(historyItems(*w_).front(), tree_ / "pics/");
    }

    // History and favourites from their boxes and the folder menu, organised in the options, and
    // what a restart keeps: a Latin-1 name (not UTF-8) stays bytes, also through the options' OK.
    void historyAndFavourites() {
        const std::string odd = tree_ / "caf\xe9", home = tree_ / "pics/";
        // A full favourites list f19 … f00, and three quick folders for the options' page below.
        std::string stored = "[Favorites]\n";
        for (int i = 0; i < 20; ++i) stored += "Path" + std::to_string(i) + "=" + f(19 - i) + "\n";
        writeFile(ini(), stored + "[QFolder]\nFolder1=/q/one\nCaption1=One\nFolder2=/q/two\nCaption2=Two\nFolder3=" + odd +
                             "\nCaption3=odd\n");
        QVERIFY(openWindow());
        // Opened again: moves up, not added twice; no such folder: ignored.
        for (const std::string& typed : {f(1), f(2), f(3), f(2), tree_ / "missing/"}) {
            typeInto(historyBox(*w_)->lineEdit(), QString::fromStdString(typed));
            QTest::keyClick(historyBox(*w_)->lineEdit(), Qt::Key_Return);
        }
        QCOMPARE(historyBox(*w_)->toolTip(), QString::fromStdString(tree_ / "missing/"));
        QCOMPARE(opened(), joined({f(2), f(2), f(3), f(1), home}));
        // Down in the box chooses the next item, which opens and goes to the top.
        pressOn(historyBox(*w_), Qt::Key_Down);
        QCOMPARE(opened(), joined({f(3), f(3), f(2), f(1), home}));
        QCOMPARE(historyBox(*w_)->toolTip(), QString::fromStdString(f(3)));
        std::vector<std::string> newest;  // f20 … f01: f00 is listed already, f20 pushes it out
        for (int i = 20; i > 0; --i) newest.push_back(f(i));
        for (int i : {0, 20}) {
            rightClickNode(f(i));
            pickFromMenu(folderPopup(*w_), w_->actions().AddFavMenu);
        }
        QCOMPARE(joined(w_->folderBoxes().favourites().items()), joined(newest));
        QCOMPARE(favouritesBox(*w_)->currentText(), QString());  // none chosen yet
        // The favourites-only view shows favourites and the folders leading to them.
        clickTool(w_->actions().DirViewBtn);
        QVERIFY(dirTree(*w_)->SelectPath(f(3)));
        QVERIFY(!dirTree(*w_)->SelectPath(f(0)) && !dirTree(*w_)->SelectPath(home));
        // Home in the favourites box chooses its first item.
        pressOn(favouritesBox(*w_), Qt::Key_Home);
        QCOMPARE(opened(), joined({f(20), f(20), f(3), f(2), f(1), home}));
        // Organising shows the favourites page alone. A folder added to the full list takes the
        // last one's place, one already listed is refused; OK applies the list and writes nothing.
        const std::string before = readFile(ini());
        const int cell = grid(*w_)->defaultSize();
        QList<bool> pages;
        const auto organiseAndAdd = [&](TOptionFrm& d) {
            QTabWidget* tabs = d.PageControl1;
            pages << tabs->isTabVisible(0) << tabs->isTabVisible(2) << (tabs->currentIndex() == 1);
            d.CellSizeCombo->setCurrentIndex(0);
            clickRow(d.ListBox1, 0);
            QTest::mouseClick(d.DownBtn, Qt::LeftButton);
            d.hooks.browseFolder = [&](const QString&, const std::string&) { return odd; };
            clickBox(d.AddBtn);
            clickBox(d.AddBtn);
            QTest::mouseClick(d.OkBtn, Qt::LeftButton);
        };
        ModalScript organise({stepOn<TOptionFrm>(organiseAndAdd), pressBox()});
        rightClickNode(f(3));
        pickFromMenu(folderPopup(*w_), w_->actions().EditFavMenu);
        QTRY_VERIFY(organise.done());
        QCOMPARE(organise.boxTexts,
                 QStringList{QString::fromStdString(tree_.root()) + "caf\\xE9/ は既に登録済みです。"});
        QCOMPARE(pages, (QList<bool>{false, false, true}));
        std::swap(newest[0], newest[1]);
        newest.back() = odd + "/";
        QCOMPARE(joined(w_->folderBoxes().favourites().items()), joined(newest));
        QCOMPARE(grid(*w_)->defaultSize(), cell);
        QCOMPARE(readFile(ini()), before);
        // The quick-folder page of the options: one row cleared, an unbound one bound.
        QStringList seen;  // Clear, Up and Down enabled, then the cleared row, then the editor's folder
        const auto clearAndEdit = [&](TOptionFrm& d) {
            d.PageControl1->setCurrentIndex(2);
            seen << enabledMask<QWidget>({d.QFClearBtn});
            QTreeWidget* list = d.ListView1;
            clickRow(list, 0);
            seen << enabledMask<QWidget>({d.QFClearBtn, d.QFUpBtn, d.QFDownBtn});
            clickBox(d.QFClearBtn);
            seen << list->topLevelItem(0)->text(0) << list->topLevelItem(0)->text(1);
            list->setCurrentItem(list->topLevelItem(3));
            clickBox(d.QFEditBtn);
            clickBox(d.OkBtn);
        };
        const auto bind = [&](TQFSelectFrm& q) {
            seen << q.QFEdit->text();
            QTest::keyClicks(q.QFEdit, pics());
            clickBox(q.OkBtn);
        };
        ModalScript options(
            {stepOn<TOptionFrm>(clearAndEdit), pressBox(QMessageBox::Yes), stepOn<TQFSelectFrm>(bind)});
        clickTool(w_->actions().OptionBtn);
        QVERIFY(options.done());
        QCOMPARE(options.boxTexts, QStringList{"選択した設定をクリアします。よろしいですか？"});
        QCOMPARE(seen, (QStringList{"0", "101", "未設定", "", ""}));  // the unbound row's editor opens empty
        QToolButton* one = quickFolderButton(*w_, 0);
        QVERIFY(one->text().isEmpty() && one->toolTip().isEmpty());
        QCOMPARE(one->icon().pixmap(20, 20).toImage(),
                 toolIcon(ToolIcon::SubFolders).pixmap(20, 20).toImage());
        QCOMPARE(quickFolderButton(*w_, 1)->text(), QStringLiteral("Two"));
        const std::string caption = korvel::MakeQuickFolderCaption(pics().toStdString());
        QCOMPARE(quickFolderButton(*w_, 3)->toolTip() + " " + quickFolderButton(*w_, 3)->text(),
                 pics() + " " + QString::fromStdString(caption));
        // A restart keeps the lists, a quick folder and the toggles.
        clickTool(w_->actions().ShowCaptionBtn);
        QVERIFY(waitPreview(*w_));  // a close while the preview loads writes nothing
        w_->close();
        QVERIFY(openWindow());
        QCOMPARE(opened().section(' ', 2), joined({f(20), f(3), f(2), f(1), home}));  // after where it opened
        QCOMPARE(joined(w_->folderBoxes().favourites().items()), joined(newest));
        QCOMPARE(favouritesBox(*w_)->currentText() + favouritesBox(*w_)->toolTip(), QString());  // none chosen
        QCOMPARE(w_->quickFolderBar().folder(2) + " " + quickFolderButton(*w_, 2)->text().toStdString(), odd + " odd");
        QVERIFY(w_->actions().DirViewBtn->isChecked() && w_->actions().ShowCaptionMenu->isChecked());
    }

    void quickFolderButtons() {
        // Buttons 3 … 12 bound from the file; 1 and 2 are bound below through their dialogs.
        std::string stored = "[QFolder]\n";
        for (int i = 2; i < 12; ++i) stored += "Folder" + std::to_string(i + 1) + "=" + f(i + 8) + "\n";
        writeFile(ini(), stored);
        QVERIFY(openWindow());
        TKorvelMain& w = *w_;
        const TKorvelMain::Actions& a = w.actions();
        // Left click on an unbound button: the dialog, with the tree's folder and a typed caption.
        QStringList shown;  // what each dialog's folder edit held when it opened
        ModalScript dialogs;
        dialogs.on<TQFSelectFrm>([&](TQFSelectFrm& d, int n) {
            shown << d.QFEdit->text();
            typeInto(d.QFEdit, QString::fromStdString(f(n + 3)));
            typeInto(d.QFCaptionEdit, n == 0 ? QStringLiteral("写真フォルダX") : QString(), false);  // 12 cells + 1
            QTest::mouseClick(d.OkBtn, Qt::LeftButton);
        });
        QTest::mouseClick(quickFolderButton(w, 0), Qt::LeftButton);
        QTRY_COMPARE(w.quickFolderBar().folder(0) + " " + quickFolderButton(w, 0)->text().toStdString(),
                     f(3).substr(0, f(3).size() - 1) + " 写真フォルダ");
        // A right click makes its button current: the dialog opens for button 2, not button 1.
        QTest::mouseClick(quickFolderButton(w, 1), Qt::RightButton);
        QVERIFY(!a.QFDeleteMenu->isEnabled());
        pickFromMenu(quickFolderPopup(w), a.QFShowMenu);
        QTRY_COMPARE(dialogs.seen, 2);
        QCOMPARE(quickFolderButton(w, 1)->text(), QStringLiteral("…/f04"));  // derived
        QCOMPARE(shown, QStringList(2, pics() + "/"));                        // the tree's folder
        // A left click on a bound button with a marked file: the drop menu copies it there.
        clickCell(w, 0);
        QTest::mouseClick(quickFolderButton(w, 0), Qt::LeftButton);
        pickFromMenu(targetPopup(w), a.Copy1);
        QTRY_VERIFY(readFile(f(3) + "a.bmp") == readFile(tree_ / "pics/a.bmp"));
        // F1 … F12 on the grid: the drop menu of buttons 1 … 12.
        w.activateWindow();  // the closed drop menu may still hold the activation
        QTRY_VERIFY(w.isActiveWindow());
        for (int i = 0; i < 12; ++i) {
            const std::string bound = i < 2 ? f(i + 3).substr(0, f(i + 3).size() - 1) : f(i + 8);
            pressOn(grid(w), Qt::Key(Qt::Key_F1 + i));
            QTRY_VERIFY(targetPopup(w)->isVisible());
            QCOMPARE(a.TargetPath1->data().toByteArray().toStdString(), bound);
            targetPopup(w)->close();
        }
        // Captions on show the text beside the image; off, the buttons are 23 x 22 again.
        clickTool(a.ShowCaptionBtn);
        QTRY_VERIFY(quickFolderButton(w, 0)->width() > 23);
        a.ShowCaptionMenu->trigger();
        QCOMPARE(quickFolderButton(w, 0)->size(), QSize(23, 22));
        // Clear asks first: No keeps the folder, Yes clears it.
        for (const char* answer : {"いいえ", "はい"}) {
            MessageBoxCatcher boxes;
            boxes.press = QString::fromUtf8(answer);
            QTest::mouseClick(quickFolderButton(w, 0), Qt::RightButton);
            pickFromMenu(quickFolderPopup(w), a.QFDeleteMenu);
            QTRY_COMPARE(boxes.texts, QStringList{"フォルダの設定をクリアします。\nよろしいですか？"});
            QCOMPARE(w.quickFolderBar().folder(0).empty(), boxes.press == "はい");
        }
        QCOMPARE(quickFolderButton(w, 0)->text(), QString());
    }

    // Browse starts at the edit's folder, else the tree's; the folder chosen fills an empty caption.
    void quickFolderBrowseButton() {
        TQFSelectFrm d(nullptr);
        d.treeFolder = tree_ / "pics/";
        std::vector<std::string> starts;
        d.browseFolder = [&](const std::string& start) { return starts.push_back(start), tree_ / "f03"; };
        QTest::mouseClick(d.FSelectBtn, Qt::LeftButton);
        QCOMPARE(d.caption(), QStringLiteral("…/f03"));
        typeInto(d.QFCaptionEdit, QStringLiteral("mine"));
        QTest::mouseClick(d.FSelectBtn, Qt::LeftButton);
        QCOMPARE(starts, (std::vector{tree_ / "pics/", tree_ / "f03"}));
        QCOMPARE(d.folder() + " " + d.caption().toStdString(), tree_ / "f03 mine");
    }

    void quickFolderDialogChecks() {
        const QString prompt = QStringLiteral("設定するﾌｫﾙﾀﾞ名をﾌﾙﾊﾟｽで指定して下さい。"),
                      ask = QStringLiteral(" は存在しません。作成しますか？");
        // Folder typed ("/": under the tree), the answer to whether to make it, the error making it
        // meets; the boxes, and whether the dialog accepts and the folder is there afterwards.
        const std::tuple<QString, QString, int, QString, bool> rows[] = {
            {"", "", 0, prompt, false},
            {"pics", "", 0, prompt, false},
            {"/f01/", "", 0, "", true},
            {"/new/a", "いいえ", 0, "/new/a" + ask, false},
            {"/new/b/", "はい", 0, "/new/b" + ask, true},
            {"/new/c", "はい", EACCES, "/new/c" + ask + "|指定したフォルダを作成出来ません。\nアクセス権がありません", false},
        };
        for (const auto& [folder, answer, mkdirError, box, accepted] : rows) {
            const RowTrace trace{folder};
            const std::string path = (folder.startsWith('/') ? tree_.dir() : "") + folder.toStdString();
            FaultyFileSystem fs;
            fs.fault = [&](const std::string& call, const std::string&) {
                return call == "mkdir" ? mkdirError : 0;
            };
            TQFSelectFrm d(nullptr);
            d.fileSystem = &fs;
            d.show();
            typeInto(d.QFEdit, QString::fromStdString(path));
            const QString boxes = boxesAfterClick(d.OkBtn, answer).join('|');
            QCOMPARE(QString(boxes).replace(QString::fromStdString(tree_.dir()), QString()), box);
            QCOMPARE(d.result() == QDialog::Accepted, accepted);
            QCOMPARE(korvel::isExistingFolder(path), accepted);
        }
    }

    // OK applies and writes each switch; a display switch re-lists the folder and the window writes
    // it again at close, the slide interval re-lists nothing and only OK writes it, its digits as
    // typed. Cancel keeps all as it was but the history, which is cleared at once.
    void optionsOkAgainstCancel() {
        // Control, cell-size keys, OK or not, section, key; re-listings, cell, key after OK and after close.
        const std::tuple<const char*, const char*, bool, const char*, const char*, QString> rows[] = {
            {"HideCheck", "6", true, "Window", "NoHideFile", "1 65 NoHideFile=1 NoHideFile=1"},
            {"HideCheck", "6", false, "Window", "NoHideFile", "0 105 NoHideFile NoHideFile=0"},
            {"SpeedCheck", "", true, "Thumbnil", "SpeedFlg", "1 105 SpeedFlg=1 SpeedFlg=1"},
            {"ChangeImCheck", "", true, "Window", "ChangeImFlg", "1 105 ChangeImFlg=0 ChangeImFlg=0"},
            {"PictFitCheck", "", true, "Window", "PictFitFlg", "1 105 PictFitFlg=1 PictFitFlg=1"},
            {"ExifRotateCheck", "", true, "Window", "ExifRotate", "1 105 ExifRotate=0 ExifRotate=0"},
            {"ColorManageCheck", "", true, "Window", "ColorManage", "1 105 ColorManage=0 ColorManage=0"},
            {"SharedCacheCheck", "", true, "Thumbnil", "SharedCache", "1 105 SharedCache=0 SharedCache=0"},
            {"TurnKeepsTimeCheck", "", true, "Window", "TurnKeepsTime", "0 105 TurnKeepsTime=1 TurnKeepsTime=1"},
            {"SlidNumEdit", "", true, "SWindow", "TimeInt", "0 105 TimeInt=1500 TimeInt=1500"},
        };
        for (const auto& [control, cellKeys, ok, section, key, state] : rows) {
            const RowTrace trace{state};
            const auto play = [&](TOptionFrm& d) {
                if (auto* box = d.findChild<QCheckBox*>(control))
                    clickBox(box);
                else
                    typeInto(d.SlidNumEdit, "1a5-0x0 ");
                d.CellSizeCombo->setFocus();
                QTest::keyClicks(d.CellSizeCombo, cellKeys);
                clickBox(d.BitBtn1);
                clickBox(ok ? d.OkBtn : d.CancelBtn);
            };
            writeFile(ini(), "");
            QVERIFY(openWindow());
            relists_ = 0;
            ModalScript script({stepOn<TOptionFrm>(play), pressBox(QMessageBox::Yes)});
            clickTool(w_->actions().OptionBtn);
            QVERIFY(script.done());
            QCOMPARE(script.boxTexts, QStringList{"履歴を全て削除します。よろしいですか？"});
            QCOMPARE(historyBox(*w_)->count(), 0);
            const QString written = iniValues(ini(), section, {key});
            w_->close();
            const QString got = QString("%1 %2 ").arg(relists_).arg(grid(*w_)->defaultSize()) + written;
            QCOMPARE(got + " " + iniValues(ini(), section, {key}), state);
        }
    }

    // Each page shows every control whole (none squeezed, none cut off) at the installed font.
    void optionPagesShowEveryControlWhole() {
        TOptionFrm d(korvel::OptionValues{}, 100, {}, {}, {});
        QVERIFY(showExposed(d));
        QTabBar* tabs = d.PageControl1->tabBar();
        for (int page = 0; page < tabs->count(); ++page) {
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(page).center());
            for (QWidget* c : d.PageControl1->currentWidget()->findChildren<QWidget*>()) {
                const bool button = qobject_cast<QAbstractButton*>(c);
                if (!c->isVisible() || c->minimumSize() == c->maximumSize() ||
                    !(button || qobject_cast<QLineEdit*>(c) || qobject_cast<QComboBox*>(c)))
                    continue;
                const QSize want = button ? c->sizeHint() : QSize(0, c->sizeHint().height());
                QVERIFY2(c->width() >= want.width() && c->height() >= want.height() &&
                             d.rect().contains(QRect(c->mapTo(&d, QPoint()), c->size())),
                         qPrintable(c->objectName()));
            }
        }
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
