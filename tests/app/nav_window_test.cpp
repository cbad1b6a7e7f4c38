// History, favourites and the quick-folder buttons of the main window, through clicks and keys,
// and what of them a restart keeps.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "app/OptionFrm.h"
#include "browse/FolderScan.h"
#include "browse/ui/DirTree.h"
#include "nav/ui/QFSelectFrm.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/GridWindow.h"
#include "tests/support/TempTree.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;

class NavWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_;
    TempTree tree_;
    std::unique_ptr<TKorvelMain> w_;

    std::string f(int i) const { return tree_ / (QStringLiteral("f%1/").arg(i, 2, 10, QChar('0')).toStdString()); }
    bool openWindow() {
        w_ = std::make_unique<TKorvelMain>(QStringList{QString::fromStdString(tree_ / "pics")});
        return showReady(*w_);
    }
    void typeHistory(const std::string& path) {
        typeInto(w_->historyBox()->lineEdit(), QString::fromStdString(path));
        QTest::keyClick(w_->historyBox()->lineEdit(), Qt::Key_Return);
    }
    void rightClickNode(const std::string& folder) {
        QVERIFY(w_->dirTree()->SelectPath(folder));
        korvel::testing::rightClickNode(*w_, w_->dirTree()->FindNode(folder));
    }

private slots:
    void initTestCase() {
        for (int i = 0; i < 22; ++i) tree_.folder(f(i).substr(tree_.root().size()));
        tree_.folder("pics");
        writePatternBmp(tree_ / "pics/a.bmp", 8, 6);
    }
    void init() {
        qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8());
        QFile::remove(config_.path() + "/Korvel.ini");
    }
    void cleanup() { w_.reset(); }

    void historyAndFavourites() {
        QVERIFY(openWindow());
        for (int i = 0; i <= 20; ++i) typeHistory(f(i));
        typeHistory(f(5));              // opened again: moves up, not added twice
        typeHistory(tree_ / "missing/"); // no such folder: ignored
        QCOMPARE(w_->historyBox()->toolTip(), QString::fromStdString(tree_ / "missing/"));
        std::vector<std::string> newest;  // f20 … f01
        for (int i = 20; i > 0; --i) newest.push_back(f(i));
        std::vector<std::string> want = newest;
        std::rotate(want.begin(), want.begin() + 15, want.begin() + 16);  // f05 first
        QCOMPARE(w_->historyPaths(), want);
        QCOMPARE(w_->selectedFolder(), f(5));
        // Down in the box chooses the next item, which opens and goes to the top.
        w_->historyBox()->setFocus();
        QTest::keyClick(w_->historyBox(), Qt::Key_Down);
        QCOMPARE(w_->selectedFolder(), f(20));
        QCOMPARE(w_->historyPaths().front(), f(20));
        QCOMPARE(w_->historyBox()->toolTip(), QString::fromStdString(f(20)));
        for (int i : {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}) {
            rightClickNode(f(i));
            pickFromMenu(w_->folderPopup(), w_->actions().AddFavMenu);
        }
        QCOMPARE(w_->favoritePaths(), newest);  // f00 twice counts once; the 21st pushed out the last
        // The favourites-only view shows favourites and the folders leading to them.
        QTest::mouseClick(w_->toolButton(w_->actions().DirViewBtn), Qt::LeftButton);
        QVERIFY(w_->dirTree()->SelectPath(f(3)));
        QVERIFY(!w_->dirTree()->SelectPath(f(0)));
        QVERIFY(!w_->dirTree()->SelectPath(tree_ / "pics/"));
        // Home in the favourites box chooses its first item.
        w_->favoritesBox()->setFocus();
        QTest::keyClick(w_->favoritesBox(), Qt::Key_Home);
        QCOMPARE(w_->selectedFolder(), f(20));
        QCOMPARE(w_->historyPaths().front(), f(20));
        // Organising shows the favourites page alone; OK takes its list and applies and writes nothing else.
        const std::string ini = (config_.path() + "/Korvel.ini").toStdString(), before = readFile(ini);
        const int cell = w_->grid()->defaultSize();
        QList<bool> pages;
        ModalScript organise;
        organise.on<TOptionFrm>([&](TOptionFrm& d, int) {
            QTabWidget* tabs = d.PageControl1;
            pages << tabs->isTabVisible(0) << tabs->isTabVisible(2) << (tabs->currentIndex() == 1);
            d.CellSizeCombo->setCurrentIndex(0);
            QListWidget* list = d.ListBox1;
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
            QTest::mouseClick(d.DownBtn, Qt::LeftButton);
            QTest::mouseClick(d.OkBtn, Qt::LeftButton);
        });
        rightClickNode(f(3));
        pickFromMenu(w_->folderPopup(), w_->actions().EditFavMenu);
        QTRY_COMPARE(organise.seen, 1);
        QCOMPARE(pages, (QList<bool>{false, false, true}));
        std::swap(newest[0], newest[1]);
        QCOMPARE(w_->favoritePaths(), newest);
        QCOMPARE(w_->grid()->defaultSize(), cell);
        QCOMPARE(readFile(ini), before);
    }

    void quickFolderButtons() {
        QVERIFY(openWindow());
        TKorvelMain& w = *w_;
        // Left click on an unbound button: the dialog, with the tree's folder and a typed caption.
        QStringList shown;  // what each dialog's folder edit held when it opened
        ModalScript dialogs;
        dialogs.on<TQFSelectFrm>([&](TQFSelectFrm& d, int n) {
            shown << d.QFEdit->text();
            typeInto(d.QFEdit, QString::fromStdString(f(n + 3)));
            typeInto(d.QFCaptionEdit, n == 0 ? QStringLiteral("写真フォルダX") : QString(), false);  // 12 cells + 1
            QTest::mouseClick(d.OkBtn, Qt::LeftButton);
        });
        QTest::mouseClick(w.quickFolderButton(0), Qt::LeftButton);
        QTRY_COMPARE(w.quickFolder(0), f(3).substr(0, f(3).size() - 1));
        QCOMPARE(w.quickFolderButton(0)->text(), QStringLiteral("写真フォルダ"));
        // A right click makes its button current: the dialog opens for button 2, not button 1.
        QTest::mouseClick(w.quickFolderButton(1), Qt::RightButton);
        QVERIFY(!w.actions().QFDeleteMenu->isEnabled());
        pickFromMenu(w.quickFolderPopup(), w.actions().QFShowMenu);
        QTRY_COMPARE(dialogs.seen, 2);
        QCOMPARE(w.quickFolderButton(1)->text(), QStringLiteral("/../f04"));  // derived
        QCOMPARE(shown, QStringList(2, QString::fromStdString(tree_ / "pics/")));  // the tree's folder
        // A left click on a bound button with a marked file: the drop menu copies it there.
        clickCell(w, 0);
        QTest::mouseClick(w.quickFolderButton(0), Qt::LeftButton);
        pickFromMenu(w.targetPopup(), w.actions().Copy1);
        QTRY_VERIFY(readFile(f(3) + "a.bmp") == readFile(tree_ / "pics/a.bmp"));
        // F1 … F12 on the grid: the drop menu of buttons 1 … 12.
        w.activateWindow();  // the closed drop menu may still hold the activation
        QTRY_VERIFY(w.isActiveWindow());
        w.grid()->setFocus();
        for (int i = 0; i < 12; ++i) {
            w.setQuickFolder(i, f(i + 8), QStringLiteral("q"));
            QTest::keyClick(w.grid(), Qt::Key(Qt::Key_F1 + i));
            QTRY_VERIFY(w.targetPopup()->isVisible());
            QCOMPARE(w.actions().TargetPath1->data().toByteArray().toStdString(), f(i + 8));
            w.targetPopup()->close();
        }
        // Captions on show the text beside the image; off, the buttons are 23 x 22 again.
        QTest::mouseClick(w.toolButton(w.actions().ShowCaptionBtn), Qt::LeftButton);
        QTRY_VERIFY(w.quickFolderButton(0)->width() > 23);
        w.actions().ShowCaptionMenu->trigger();
        QVERIFY(!w.actions().ShowCaptionBtn->isChecked());
        QCOMPARE(w.quickFolderButton(0)->size(), QSize(23, 22));
        // Clear asks first: No keeps the folder, Yes clears it.
        for (const char* answer : {"No", "Yes"}) {
            MessageBoxCatcher boxes;
            boxes.press = QString::fromLatin1(answer);
            QTest::mouseClick(w.quickFolderButton(0), Qt::RightButton);
            pickFromMenu(w.quickFolderPopup(), w.actions().QFDeleteMenu);
            QTRY_COMPARE(boxes.seen, 1);
            QCOMPARE(boxes.text, QStringLiteral("フォルダの設定をクリアします。\nよろしいですか？"));
            QCOMPARE(w.quickFolder(0).empty(), boxes.press == "Yes");
        }
        QCOMPARE(w.quickFolderButton(0)->text(), QString());
    }

    void keptAcrossRestart_data() {
        QTest::addColumn<bool>("clearHistory");  // [History] Flag
        QTest::newRow("history kept") << false;
        QTest::newRow("history cleared at close") << true;
    }
    void keptAcrossRestart() {
        QFETCH(bool, clearHistory);
        writeFile((config_.path() + "/Korvel.ini").toStdString(), clearHistory ? "[History]\nFlag=1\n" : "");
        tree_.folder("caf\xe9");  // Latin-1, not UTF-8: kept as bytes, also through the options' OK
        const std::string odd = tree_ / "caf\xe9", pics = tree_ / "pics/";
        QVERIFY(openWindow());
        typeHistory(f(1));
        typeHistory(f(2));
        for (const std::string& fav : {pics, f(7), odd + "/"}) {
            rightClickNode(fav);
            pickFromMenu(w_->folderPopup(), w_->actions().AddFavMenu);
        }
        w_->setQuickFolder(2, odd, QStringLiteral("odd"));
        ModalScript options;
        options.on<TOptionFrm>([](TOptionFrm& d, int) { QTest::mouseClick(d.OkBtn, Qt::LeftButton); });
        QTest::mouseClick(w_->toolButton(w_->actions().OptionBtn), Qt::LeftButton);
        QTest::mouseClick(w_->toolButton(w_->actions().DirViewBtn), Qt::LeftButton);
        QTest::mouseClick(w_->toolButton(w_->actions().ShowCaptionBtn), Qt::LeftButton);
        QVERIFY(waitPreview(*w_));  // a close while the preview loads writes nothing
        w_->close();
        QVERIFY(openWindow());
        QCOMPARE(w_->historyPaths(), (clearHistory ? std::vector{pics} : std::vector{pics, f(2), f(1)}));
        QCOMPARE(w_->favoritePaths(), (std::vector{odd + "/", f(7), pics}));
        QCOMPARE(w_->quickFolder(2), odd);
        QCOMPARE(w_->quickFolderButton(2)->text(), QStringLiteral("odd"));
        QVERIFY(w_->actions().DirViewBtn->isChecked());
        QVERIFY(w_->actions().ShowCaptionMenu->isChecked());
    }

    // Browse starts at the edit's folder, else the tree's; the folder chosen fills an empty caption.
    void browseButton() {
        TQFSelectFrm d(nullptr);
        d.treeFolder = tree_ / "pics/";
        std::vector<std::string> starts;
        d.browseFolder = [&](const std::string& start) { return starts.push_back(start), tree_ / "f03"; };
        QTest::mouseClick(d.FSelectBtn, Qt::LeftButton);
        QCOMPARE(d.caption(), QStringLiteral("/../f03"));
        typeInto(d.QFCaptionEdit, QStringLiteral("mine"));
        QTest::mouseClick(d.FSelectBtn, Qt::LeftButton);
        QCOMPARE(starts, (std::vector{tree_ / "pics/", tree_ / "f03"}));
        QCOMPARE(d.folder(), tree_ / "f03");
        QCOMPARE(d.caption(), QStringLiteral("mine"));
    }

    void dialogChecks_data() {
        QTest::addColumn<QString>("folder");  // relative to the tree unless it starts with "/" or is ""
        QTest::addColumn<QString>("answer");  // to the question whether to make it
        QTest::addColumn<bool>("mkdirFails");
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("accepted");
        const QString prompt = QStringLiteral("設定するﾌｫﾙﾀﾞ名をﾌﾙﾊﾟｽで指定して下さい。");
        QTest::newRow("empty") << "" << "" << false << prompt << false;
        QTest::newRow("bare name") << "pics" << "" << false << prompt << false;
        QTest::newRow("exists") << "/f01/" << "" << false << "" << true;
        QTest::newRow("missing, not made") << "/new/a" << "No" << false << "/new/a は存在しません。作成しますか？" << false;
        QTest::newRow("missing, made") << "/new/b/" << "Yes" << false << "/new/b は存在しません。作成しますか？" << true;
        QTest::newRow("cannot make") << "/new/c" << "Yes" << true
                                       << "/new/c は存在しません。作成しますか？|指定したフォルダを作成出来ません。" << false;
    }
    void dialogChecks() {
        QFETCH(QString, folder);
        QFETCH(QString, answer);
        QFETCH(bool, mkdirFails);
        QFETCH(bool, accepted);
        const std::string path = folder.startsWith('/') ? tree_.dir() + folder.toStdString() : folder.toStdString();
        FaultyFileSystem fs;
        fs.fault = [&](const std::string& call, const std::string&) { return mkdirFails && call == "mkdir" ? EACCES : 0; };
        TQFSelectFrm d(nullptr);
        d.fileSystem = &fs;
        d.show();
        typeInto(d.QFEdit, QString::fromStdString(path));
        MessageBoxCatcher boxes;
        boxes.press = answer;
        QTest::mouseClick(d.OkBtn, Qt::LeftButton);
        QTEST(boxes.texts.join('|').replace(QString::fromStdString(tree_.dir()), QString()), "box");
        QCOMPARE(d.result() == QDialog::Accepted, accepted);
        QCOMPARE(korvel::isExistingFolder(path), accepted);
    }
};

QTEST_MAIN(NavWindowTest)
#include "nav_window_test.moc"
