// Copy, move and delete of marked cells from the main window, through clicks, drags and keys:
// the chooser, drops on the tree and on a quick-folder button, the drop menu, the conflict and
// Trash questions. Every case ends by checking the files on disk.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "browse/ui/DirTree.h"
#include "fileops/ui/SelectDir.h"
#include "tests/support/GridWindow.h"
#include "tests/support/TempTree.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;

namespace {

const char* const kNames[] = {"a.bmp", "b.bmp", "c.bmp", "d.bmp", "e.bmp"};

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

}  // namespace

class FileOpsWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_;
    std::unique_ptr<TempTree> tree_;
    std::unique_ptr<TKorvelMain> w_;
    std::string original_[5];

    std::string pics(const std::string& name = "") const { return *tree_ / ("pics/" + name); }

    // Five pictures a … e in pics/, the window showing them with b and c marked (c current).
    bool openWindow() {
        tree_ = std::make_unique<TempTree>();
        tree_->folder("pics");
        tree_->folder("dst");
        tree_->folder("data/Trash/files");
        tree_->folder("data/Trash/info");
        tree_->folder("fake/Trash/files");  // the name only, no Trash beside it
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(*tree_ / "data"));
        for (int i = 0; i < 5; ++i) {
            writePatternBmp(pics(kNames[i]), 8 + i, 6);
            original_[i] = readFile(pics(kNames[i]));
        }
        w_ = std::make_unique<TKorvelMain>(QStringList{QString::fromStdString(pics())});
        w_->resize(900, 700);
        w_->show();
        w_->activateWindow();
        if (!QTest::qWaitForWindowActive(w_.get()) || !QTest::qWaitFor([&] { return w_->formReady() == 2; }))
            return false;
        // Every folder a case drops on gets a node, then the pictures are shown again.
        for (const char* f : {"data/Trash/files/", "fake/Trash/files/", "dst/", "pics/"})
            if (!w_->dirTree()->SelectPath(*tree_ / f)) return false;
        if (!waitPreview(*w_)) return false;
        clickCell(*w_, 1);
        clickCell(*w_, 2, Qt::ControlModifier);
        return waitPreview(*w_) && w_->markedFiles() == std::vector<size_t>{1, 2};
    }

    QPoint nodeCenter(const std::string& folder) const {
        QTreeWidgetItem* node = w_->dirTree()->FindNode(folder);
        if (!node) return {-1, -1};
        w_->dirTree()->scrollToItem(node);
        return w_->dirTree()->visualItemRect(node).center();
    }

    // After a move or delete the grid's current cell is the one marked file.
    void checkCurrentCellMarked() {
        const korvel::GridCell cur = w_->grid()->selection();
        const size_t index = size_t(cur.row * w_->grid()->colCount() + cur.col);
        QCOMPARE(w_->markedFiles(), std::vector<size_t>{index});
        QVERIFY(w_->actions().CopyBtn->isEnabled());
    }

    // b and c went to folder (or stayed, per flags); a, d, e never moved.
    void checkFiles(const std::string& folder, bool copied, bool gone) {
        for (int i : {1, 2}) {
            QCOMPARE(exists(folder + kNames[i]), copied);
            if (copied) QVERIFY(readFile(folder + kNames[i]) == original_[i]);
            QCOMPARE(exists(pics(kNames[i])), !gone);
        }
        for (int i : {0, 3, 4}) QVERIFY(readFile(pics(kNames[i])) == original_[i]);
    }

private slots:
    void init() { qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8()); }
    void cleanup() {
        w_.reset();
        tree_.reset();
    }

    // The chooser from the tool buttons and the grid's menu: type a folder, OK, answer the boxes.
    void chooser_data() {
        QTest::addColumn<bool>("fromMenu");
        QTest::addColumn<bool>("copy");
        QTest::addColumn<QString>("target");  // relative to the tree
        QTest::addColumn<bool>("conflict");   // dst/b.bmp holds "old" beforehand
        QTest::addColumn<QString>("answer");  // the button pressed on every box
        QTest::addColumn<QString>("targetB"); // what target/b.bmp holds after: "orig", "old" or nothing
        QTest::addColumn<bool>("targetC");    // target/c.bmp is a copy of c
        QTest::addColumn<bool>("sourcesGone");
        QTest::addColumn<int>("gridCount");
        QTest::addColumn<int>("targetCount");  // entries in the target folder: no temporary left
        QTest::newRow("copy elsewhere") << false << true << "dst" << false << "" << "orig" << true << false << 5 << 2;
        QTest::newRow("move by the grid menu") << true << false << "dst/" << false << "" << "orig" << true << true << 3 << 2;
        QTest::newRow("copy into the shown folder") << false << true << "pics" << false << "" << "orig" << true << false << 7 << 7;
        QTest::newRow("move to a new folder") << false << false << "new/deep" << false << "Yes" << "orig" << true << true << 3 << 2;
        QTest::newRow("copy, skip the existing") << false << true << "dst" << true << "スキップ(N)" << "old" << true << false << 5 << 2;
        QTest::newRow("move, replace the existing") << true << false << "dst" << true << "置き換え(Y)" << "orig" << true << true << 3 << 2;
        QTest::newRow("move, cancel at the conflict") << false << false << "dst" << true << "ｷｬﾝｾﾙ" << "old" << false << false << 5 << 1;
    }
    void chooser() {
        QFETCH(bool, fromMenu);
        QFETCH(bool, copy);
        QFETCH(QString, target);
        QFETCH(bool, conflict);
        QFETCH(QString, answer);
        QFETCH(QString, targetB);
        QFETCH(bool, targetC);
        QFETCH(bool, sourcesGone);
        QVERIFY(openWindow());
        TKorvelMain& w = *w_;
        std::string folder = *tree_ / target.toStdString();
        if (folder.back() != '/') folder += '/';
        if (conflict) tree_->write("dst/b.bmp", "old");
        MessageBoxCatcher boxes;
        boxes.press = answer;
        QString title;
        ModalScript chooser;
        chooser.on<TSelectDir>([&](TSelectDir& dialog, int) {
            TSelectDir* d = &dialog;
            title = d->windowTitle();
            d->DirCombo->lineEdit()->clear();
            QTest::keyClicks(d->DirCombo->lineEdit(), QString::fromStdString(*tree_ / target.toStdString()));
            QTest::mouseClick(d->OKBtn, Qt::LeftButton);
        });
        if (fromMenu) {
            clickCell(w, 1, {}, Qt::RightButton);  // a marked cell keeps the marks
            pickFromMenu(w.gridPopup(), copy ? w.actions().Copy3 : w.actions().Move3);
        } else {
            QTest::mouseClick(w.toolButton(copy ? w.actions().CopyBtn : w.actions().MoveBtn), Qt::LeftButton);
        }
        QCOMPARE(chooser.seen, 1);
        QCOMPARE(title, copy ? QString("ファイルのコピー") : QString("ファイルの移動"));
        if (target == "new/deep")
            QCOMPARE(boxes.texts.value(0), QString::fromStdString(*tree_ / "new/deep") + " は存在しません。作成しますか？");
        QCOMPARE(readFile(folder + "b.bmp"), targetB == "orig" ? original_[1] : targetB.toStdString());
        QCOMPARE(exists(folder + "c.bmp") && readFile(folder + "c.bmp") == original_[2], targetC);
        QCOMPARE(exists(pics("b.bmp")), !sourcesGone);
        QCOMPARE(exists(pics("c.bmp")), !sourcesGone);
        for (int i : {0, 3, 4}) QVERIFY(readFile(pics(kNames[i])) == original_[i]);
        QTEST(int(w.fileList().size()), "gridCount");
        QTEST(int(entryCount(folder)), "targetCount");
        if (target == "pics") {
            // The copies of the shown folder are listed.
            QVERIFY(readFile(pics("b_1.bmp")) == original_[1] && readFile(pics("c_1.bmp")) == original_[2]);
            QVERIFY(w.fileList().contains(pics("b_1.bmp")) && w.fileList().contains(pics("c_1.bmp")));
        }
        if (sourcesGone) checkCurrentCellMarked();
    }

    // Drops on the tree and on a quick-folder button, F3, and the Delete key: the drop menu for
    // the folder, or the Trash without a menu.
    void drops_data() {
        QTest::addColumn<QString>("how");     // "tree", "button", "F3", "Delete"
        QTest::addColumn<QString>("target");  // relative to the tree
        QTest::addColumn<QString>("choose");  // the drop menu's item; "" when no menu may open
        QTest::addColumn<bool>("copied");
        QTest::addColumn<bool>("sourcesGone");
        QTest::newRow("tree, copy here") << "tree" << "dst" << "Copy1" << true << false;
        QTest::newRow("tree, move here") << "tree" << "dst" << "Move1" << true << true;
        QTest::newRow("tree, cancel") << "tree" << "dst" << "CancelMenu" << false << false;
        QTest::newRow("quick-folder button, move here") << "button" << "dst" << "Move1" << true << true;
        QTest::newRow("F3, copy here") << "F3" << "dst" << "Copy1" << true << false;
        QTest::newRow("a folder only named like the Trash asks") << "tree" << "fake/Trash/files" << "CancelMenu" << false << false;
        QTest::newRow("the Trash deletes at once") << "tree" << "data/Trash/files" << "" << true << true;
        QTest::newRow("Delete key") << "Delete" << "data/Trash/files" << "" << true << true;
    }
    void drops() {
        QFETCH(QString, how);
        QFETCH(QString, target);
        QFETCH(QString, choose);
        QFETCH(bool, copied);
        QFETCH(bool, sourcesGone);
        QVERIFY(openWindow());
        TKorvelMain& w = *w_;
        const std::string folder = *tree_ / (target.toStdString() + "/");
        w.quickFolderButton(2)->setToolTip(QString::fromStdString(folder));
        MessageBoxCatcher boxes;
        boxes.press = "Yes";
        QSignalSpy popups(w.targetPopup(), &QMenu::aboutToShow);
        if (how == "tree") {
            const QPoint at = nodeCenter(folder);
            QVERIFY(at.x() >= 0);
            QVERIFY(dragCellTo(w, 2, w.dirTree()->viewport(), at));
            QCOMPARE(w.markedFiles(), (std::vector<size_t>{1, 2}));
        } else if (how == "button") {
            QVERIFY(dragCellTo(w, 2, w.quickFolderButton(2), w.quickFolderButton(2)->rect().center()));
        } else if (how == "F3") {
            QTest::keyClick(w.grid(), Qt::Key_F3);
        } else {
            QTest::keyClick(w.grid(), Qt::Key_Delete);
        }
        if (choose.isEmpty()) {
            QTRY_COMPARE(boxes.seen, 1);  // the Trash question, answered Yes
            QCOMPARE(popups.count(), 0);
        } else {
            QTRY_VERIFY(w.targetPopup()->isVisible());
            QCOMPARE(w.actions().TargetPath1->text(), QString::fromStdString(folder));
            pickFromMenu(w.targetPopup(), w.targetPopup()->findChild<QAction*>(choose));
            QCOMPARE(boxes.seen, 0);
        }
        QTRY_COMPARE(exists(pics("c.bmp")), !sourcesGone);
        checkFiles(folder, copied, sourcesGone);
        QCOMPARE(int(w.fileList().size()), sourcesGone ? 3 : 5);
        if (sourcesGone) checkCurrentCellMarked();
        // In the Trash as every file manager finds it again.
        if (target == "data/Trash/files")
            for (int i : {1, 2}) QVERIFY(exists(*tree_ / "data/Trash/info/" + kNames[i] + ".trashinfo"));
    }
};

QTEST_MAIN(FileOpsWindowTest)
#include "file_ops_window_test.moc"
