// Copy, move, delete, rename and extended copy of marked cells from the main window, and the
// folder commands of the tree's menu, through clicks, drags and keys: the chooser, drops on the
// tree and on a quick-folder button, the drop menu, the conflict and Trash questions, the name
// dialogs. Every case checks the files on disk.
#include <QComboBox>
#include <filesystem>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

#include "base/IniFile.h"
#include "base/UserFolders.h"
#include "fileops/ui/FolderNameDialogs.h"
#include "fileops/ui/NumberFrm.h"
#include "fileops/ui/OpCopyFrm.h"
#include "fileops/ui/RNameFrm.h"
#include "fileops/ui/SelectDir.h"
#include "tests/support/GridWindow.h"
#include "tests/support/TempTree.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;

namespace {

const char* const kNames[] = {"a.bmp", "b.bmp", "c.bmp", "d.bmp", "e.bmp"};

const QString kExists = QStringLiteral("指定したフォルダは既に存在します。");
const QString kCannotCreate = QStringLiteral("フォルダを作成出来ませんでした。");
const QString kCannotRename = QStringLiteral("フォルダ名を変更出来ませんでした。");

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// A step that types text into the dialog's name edit (replacing it; "<keep>" types nothing) and
// presses OK, or Cancel for "<cancel>".
template <class Dialog>
ModalScript::Step typeAndPress(const QString& text) {
    return stepOn<Dialog>([=](Dialog& d) {
        auto* edit = d.template findChild<QLineEdit*>();
        if (text != "<keep>" && text != "<cancel>") {
            edit->selectAll();
            if (text.isEmpty()) QTest::keyClick(edit, Qt::Key_Backspace);
            else QTest::keyClicks(edit, text);
        }
        const auto buttons = d.template findChildren<QPushButton*>();
        QTest::mouseClick(buttons[text == "<cancel>" ? 1 : 0], Qt::LeftButton);
    });
}

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
        w_.reset();
        tree_ = std::make_unique<TempTree>();
        for (const char* f : {"pics", "dst", "data/Trash/files", "data/Trash/info", "fake/Trash/files"})
            tree_->folder(f);  // fake/: the name only, no Trash beside it
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(*tree_ / "data"));
        for (int i = 0; i < 5; ++i) {
            writePatternBmp(pics(kNames[i]), 8 + i, 6);
            original_[i] = readFile(pics(kNames[i]));
        }
        w_ = std::make_unique<TKorvelMain>(QStringList{QString::fromStdString(pics())});
        if (!showReady(*w_)) return false;
        // Every folder a case drops on gets a node, then the pictures are shown again.
        for (const char* f : {"data/Trash/files/", "fake/Trash/files/", "dst/", "pics/"})
            if (!w_->dirTree()->SelectPath(*tree_ / f)) return false;
        if (!waitPreview(*w_)) return false;
        clickCell(*w_, 1);
        clickCell(*w_, 2, Qt::ControlModifier);
        return waitPreview(*w_) && w_->markedFiles() == std::vector<size_t>{1, 2};
    }

    // After a move or delete the grid's current cell is the one marked file.
    void checkCurrentCellMarked() {
        const korvel::GridCell cur = w_->grid()->selection();
        QCOMPARE(w_->markedFiles(), std::vector<size_t>{size_t(cur.row * w_->grid()->colCount() + cur.col)});
        QVERIFY(w_->actions().CopyBtn->isEnabled());
    }

    // Photos (a.bmp, 2020/b.bmp), Other and a file "notes" in f/, the window on f/shown.
    std::string at(const std::string& rel) const { return *tree_ / ("f/" + rel); }
    bool openFolders(const std::string& shown) {
        w_.reset();
        tree_ = std::make_unique<TempTree>();
        for (const char* f : {"f/Photos/2020", "f/Other", "data/Trash/files"}) tree_->folder(f);
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(*tree_ / "data"));
        writeSolidBmp(QString::fromStdString(at("Photos/a.bmp")), 4, 4);
        writeSolidBmp(QString::fromStdString(at("Photos/2020/b.bmp")), 4, 4);
        tree_->write("f/notes", "text");
        w_ = std::make_unique<TKorvelMain>(QStringList{QString::fromStdString(at(shown))});
        w_->show();
        return QTest::qWaitForWindowExposed(w_.get());
    }
    // Right-clicks the node and picks the item of the menu that opens.
    void pickFromFolderMenu(QTreeWidgetItem* node, QAction* item) {
        rightClickNode(*w_, node);
        pickFromMenu(w_->folderPopup(), item);
    }

    std::vector<std::string> listedNames() const {
        std::vector<std::string> out;
        for (size_t i = 0; i < w_->fileList().size(); ++i)
            out.push_back(w_->fileList().path(i).substr(pics().size()));
        return out;
    }

private slots:
    void init() { qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8()); }
    void cleanup() {
        w_.reset();
        tree_.reset();
    }

    // b and c marked, sent by the chooser (a tool button or the grid's menu; type a folder, OK,
    // answer the boxes), by a drop on the tree or a quick-folder button, F3 or the Delete key: the
    // drop menu for a folder, the Trash without a menu.
    void transfers() {
        struct Row {
            const char* name;
            QString how;         // an action's name (CopyBtn, MoveBtn: tool button; Copy3, Move3: grid
                                 // menu), "tree", "button", "F3" or "Delete"
            std::string target;  // relative to the tree
            bool conflict;       // dst/b.bmp holds "old" beforehand
            QString answer;      // the button pressed on every box
            const char* choose;  // the drop menu's item; "" when no menu may open
            const char* targetB;  // what target/b.bmp holds after: "orig", "old" or nothing
            bool targetC;         // target/c.bmp is a copy of c
            bool sourcesGone;
        } rows[] = {
            {"copy into the shown folder", "CopyBtn", "pics", false, "", "", "orig", true, false},
            {"move to a new folder", "MoveBtn", "new/deep", false, "Yes", "", "orig", true, true},
            {"copy by the grid menu, skip the existing", "Copy3", "dst", true, "スキップ(N)", "", "old", true,
             false},
            {"move by the grid menu, replace the existing", "Move3", "dst", true, "置き換え(Y)", "", "orig",
             true, true},
            {"move, cancel at the conflict", "MoveBtn", "dst", true, "ｷｬﾝｾﾙ", "", "old", false, false},
            {"tree, move here", "tree", "dst", false, "Yes", "Move1", "orig", true, true},
            {"quick-folder button, move here", "button", "dst", false, "Yes", "Move1", "orig", true, true},
            {"F3, copy here", "F3", "dst", false, "Yes", "Copy1", "orig", true, false},
            {"a folder only named like the Trash asks", "tree", "fake/Trash/files", false, "Yes",
             "CancelMenu", "", false, false},
            {"the Trash deletes at once", "tree", "data/Trash/files", false, "Yes", "", "orig", true, true},
            {"Delete key", "Delete", "data/Trash/files", false, "Yes", "", "orig", true, true},
        };
        for (const Row& r : rows) {
            const RowTrace trace{r.name};
            QVERIFY(openWindow());
            TKorvelMain& w = *w_;
            const std::string folder = *tree_ / (r.target + "/");
            if (r.conflict) tree_->write("dst/b.bmp", "old");
            QToolButton* button = w.quickFolderButton(2);
            button->setToolTip(QString::fromStdString(folder));
            MessageBoxCatcher boxes;
            boxes.press = r.answer;
            ModalScript chooser;
            chooser.on<TSelectDir>([&](TSelectDir& d, int) {
                d.DirCombo->lineEdit()->clear();
                QTest::keyClicks(d.DirCombo->lineEdit(), QString::fromStdString(*tree_ / r.target));
                QTest::mouseClick(d.OKBtn, Qt::LeftButton);
            });
            QSignalSpy popups(w.targetPopup(), &QMenu::aboutToShow);
            QAction* action = w.findChild<QAction*>(r.how);
            if (r.how == "tree") {
                QTreeWidgetItem* node = w.dirTree()->FindNode(folder);
                QVERIFY(node);
                w.dirTree()->scrollToItem(node);
                QVERIFY(
                    dragCellTo(w, 2, w.dirTree()->viewport(), w.dirTree()->visualItemRect(node).center()));
                QCOMPARE(w.markedFiles(), (std::vector<size_t>{1, 2}));
            } else if (r.how == "button") {
                QVERIFY(dragCellTo(w, 2, button, button->rect().center()));
            } else if (r.how.endsWith("Btn")) {
                QTest::mouseClick(w.toolButton(action), Qt::LeftButton);
            } else if (action) {
                clickCell(w, 1, {}, Qt::RightButton);  // a marked cell keeps the marks
                pickFromMenu(w.gridPopup(), action);
            } else {
                QTest::keyClick(w.grid(), r.how == "F3" ? Qt::Key_F3 : Qt::Key_Delete);
            }
            QCOMPARE(chooser.seen, action ? 1 : 0);
            if (*r.choose) {
                QTRY_VERIFY(w.targetPopup()->isVisible());
                QCOMPARE(w.actions().TargetPath1->text(), QString::fromStdString(folder));
                pickFromMenu(w.targetPopup(), w.targetPopup()->findChild<QAction*>(r.choose));
                QCOMPARE(boxes.seen, 0);
            } else if (!action) {
                QTRY_COMPARE(boxes.seen, 1);  // the Trash question, answered Yes
                QCOMPARE(popups.count(), 0);
            }
            if (r.target == "new/deep")
                QCOMPARE(boxes.texts.value(0),
                         QString::fromStdString(*tree_ / "new/deep") + " は存在しません。作成しますか？");
            QTRY_COMPARE(exists(pics("c.bmp")), !r.sourcesGone);
            QCOMPARE(readFile(folder + "b.bmp"), r.targetB == std::string("orig") ? original_[1] : r.targetB);
            QCOMPARE(exists(folder + "c.bmp") && readFile(folder + "c.bmp") == original_[2], r.targetC);
            QCOMPARE(exists(pics("b.bmp")), !r.sourcesGone);
            for (int i : {0, 3, 4}) QVERIFY(readFile(pics(kNames[i])) == original_[i]);
            // No temporary file is left in the target.
            QCOMPARE(int(entryCount(folder)), r.target == "pics" ? 7 : int(*r.targetB != 0) + r.targetC);
            if (r.target == "data/Trash/files")  // in the Trash as every file manager finds it again
                for (const char* name : {"b.bmp", "c.bmp"})
                    QVERIFY(exists(*tree_ / "data/Trash/info/" + name + ".trashinfo"));
            if (r.target == "pics") {
                // The copies of the shown folder are listed.
                QVERIFY(readFile(pics("b_1.bmp")) == original_[1] &&
                        readFile(pics("c_1.bmp")) == original_[2]);
                QVERIFY(w.fileList().contains(pics("b_1.bmp")) && w.fileList().contains(pics("c_1.bmp")));
            }
            QCOMPARE(int(w.fileList().size()), r.sourcesGone ? 3 : r.target == "pics" ? 7 : 5);
            if (r.sourcesGone) checkCurrentCellMarked();
        }
    }

    // The rename dialogs' answers rename the marked files on disk and replace their paths in the
    // file list in place, so the grid keeps its order.
    void renameFromTheToolButtons() {
        struct Row {
            const char* name;
            QAction* TKorvelMain::Actions::*button;
            std::vector<std::string> after;
        } rows[] = {
            {"typed name, then stop", &TKorvelMain::Actions::ReNameBtn1, {"a.bmp", "new.bmp", "c.bmp"}},
            {"serial", &TKorvelMain::Actions::NumberRNBtn1, {"a.bmp", "p01.bmp", "p02.bmp"}},
        };
        for (const Row& r : rows) {
            const RowTrace trace{r.name};
            QVERIFY(openWindow());
            ModalScript dialogs;
            dialogs.on<TRNameFrm>([&](TRNameFrm& d, int n) {
                if (n == 0) d.Edit1->setText("new");
                QTest::mouseClick(n == 0 ? d.OKBtn1 : d.AllCanselBtn, Qt::LeftButton);
            });
            dialogs.on<TNumberFrm>([&](TNumberFrm& d, int) {
                d.NameEdit->setText("p\\");
                QTest::mouseClick(d.OKBtn, Qt::LeftButton);
            });
            QTest::mouseClick(w_->toolButton(w_->actions().*r.button), Qt::LeftButton);
            std::vector<std::string> expected = r.after;
            expected.insert(expected.end(), {"d.bmp", "e.bmp"});
            QCOMPARE(listedNames(), expected);
            for (const std::string& name : expected) QVERIFY(exists(pics(name)));
            QCOMPARE(int(entryCount(pics())), 5);
        }
    }

    // Extended copy from its tool button into the shown folder, stopped while it runs: the files
    // in hand are finished in list order, the dialog still closes with OK, the folder it used is
    // kept, and the grid lists the new copies.
    void extendedCopyStoppedDuringTheRun() {
        QVERIFY(openWindow());
        TKorvelMain& w = *w_;
        clickCell(w, 3, Qt::ControlModifier);
        QCOMPARE(int(w.markedFiles().size()), 3);
        bool sawRun = false;
        ModalScript driver;
        driver.on<TOpCopyFrm>([&](TOpCopyFrm& d, int) {
            QCOMPARE(d.lists->yesPaths().size(), size_t(3));
            d.DirCombo->lineEdit()->setText(QString::fromStdString(pics()));
            // ｷｬﾝｾﾙ pressed while the first file's progress shows.
            QObject::connect(d.ProgressBar1, &QProgressBar::valueChanged, &d, [&d, &sawRun](int v) {
                if (v != 1) return;
                sawRun = d.running() && !d.OkBtn->isEnabled() && d.CancelBtn->isEnabled();
                QTimer::singleShot(0, &d, [&d] { QTest::mouseClick(d.CancelBtn, Qt::LeftButton); });
            });
            QTest::mouseClick(d.OkBtn, Qt::LeftButton);
        });
        QTest::mouseClick(w.toolButton(w.actions().KCopyBtn), Qt::LeftButton);
        QVERIFY(sawRun);
        // Which files were still in hand at the stop is the batch's rule; the grid lists them all.
        const long files = entryCount(pics());
        QVERIFY(files > 5 && files < 9);
        QCOMPARE(long(w.fileList().size()), files);
        QVERIFY(w.fileList().contains(pics("b_1.bmp")));
        const korvel::IniFile ini = korvel::IniFile::load(
            korvel::programSettingsPath(QCoreApplication::applicationFilePath().toStdString()));
        QCOMPARE(ini.readString("OpCopy", "SelectFolder", ""), pics());
    }

    // Which commands the folder menu offers: all three for a folder, only creation for a drive,
    // none for the Trash.
    void folderMenuHidesWhatMakesNoSense() {
        struct Row {
            const char* name;
            int kind;  // 0 folder, 1 drive (top-level node), 2 the Trash
            bool create, renameAndDelete;
        } rows[] = {{"folder", 0, true, true}, {"drive", 1, true, false}, {"trash", 2, false, false}};
        for (const Row& r : rows) {
            const RowTrace trace{r.name};
            QVERIFY(openFolders("Photos"));
            TDirTree* tree = w_->dirTree();
            if (r.kind == 2) QVERIFY(tree->SelectPath(*tree_ / "data/Trash/files/"));
            rightClickNode(*w_, r.kind == 1 ? tree->topLevelItem(0) : tree->currentItem());
            QTRY_VERIFY(w_->folderPopup()->isVisible());
            const auto& a = w_->actions();
            QCOMPARE(a.CreateDirMenu->isVisible(), r.create);
            QCOMPARE(a.FRename1->isVisible(), r.renameAndDelete);
            QCOMPARE(a.DeleteDirMenu->isVisible(), r.renameAndDelete);
            for (QAction* x : {a.CreateDirMenu, a.FRename1, a.DeleteDirMenu})
                QVERIFY(!x->isVisible() || x->isEnabled());
            w_->folderPopup()->close();
        }
    }

    void createFolder() {
        struct Row {
            QString typed;  // "<keep>": the name offered is accepted unchanged
            bool already;   // 新しいﾌｫﾙﾀﾞ exists before
            QString message;
            std::string made;  // relative to Photos; "" nothing made
        } rows[] = {
            {"<keep>", true, kExists, ""}, {"a/b", false, "", "a/b"}, {"../out", false, kCannotCreate, ""},
            {"", false, "", ""},           {"<cancel>", false, "", ""},
        };
        for (const Row& r : rows) {
            const RowTrace trace{r.typed + (r.already ? " (exists)" : "")};
            QVERIFY(openFolders("Photos"));
            if (r.already) tree_->folder("f/Photos/新しいﾌｫﾙﾀﾞ");
            const long before = entryCount(at("Photos"));
            std::vector<ModalScript::Step> steps = {typeAndPress<TInputNameFrm>(r.typed)};
            if (!r.message.isEmpty()) steps.push_back(pressBox());
            // A refused name keeps the dialog open: the last step cancels it there.
            if (r.message == kExists || r.typed.isEmpty())
                steps.push_back(typeAndPress<TInputNameFrm>("<cancel>"));
            ModalScript script(steps);
            pickFromFolderMenu(w_->dirTree()->currentItem(), w_->actions().CreateDirMenu);
            QTRY_VERIFY(script.done());
            QCOMPARE(script.boxTexts, r.message.isEmpty() ? QStringList() : QStringList{r.message});
            if (r.made.empty()) {
                QCOMPARE(entryCount(at("Photos")), before);
                QVERIFY(!exists(at("out")));
                continue;
            }
            QVERIFY(std::filesystem::is_directory(at("Photos/" + r.made)));
            QTreeWidgetItem* node = w_->dirTree()->FindNode(at("Photos/" + r.made + "/"));
            QVERIFY(node);  // every level got its node
            QCOMPARE(node->text(0), QString::fromStdString(r.made).section('/', -1));
            QVERIFY(!node->isSelected());
        }
    }

    // The new name is typed and taken by keys: Enter in the name, then Enter on the focused OK.
    void renameFolder() {
        const struct {
            QString typed;  // "<keep>" unchanged, "<cancel>" cancelled
            QString message;
        } rows[] = {{"Trip", ""}, {"<keep>", kExists}, {"notes", kCannotRename}, {"<cancel>", ""}};
        for (const auto& r : rows) {
            const RowTrace trace{r.typed};
            const bool renamed = r.typed == "Trip";
            QVERIFY(openFolders("Photos/2020"));  // Photos is expanded, its sub-folder visited
            TDirTree* tree = w_->dirTree();
            QVERIFY(tree->SelectPath(at("Photos")));
            QTreeWidgetItem* photos = tree->currentItem();
            QTreeWidgetItem* sub = tree->FindNode(at("Photos/2020/"));
            QVERIFY(sub);
            bool focusMoved = false;
            std::vector<ModalScript::Step> steps = {typeAndPress<TFolderNameInputFrm>(r.typed)};
            if (renamed)
                steps[0].second = [&](QWidget* d) {
                    auto* edit = d->findChild<QLineEdit*>();
                    edit->selectAll();
                    QTest::keyClicks(edit, r.typed);
                    QTest::keyClick(edit, Qt::Key_Return);
                    focusMoved = d->isVisible() &&
                                 QApplication::focusWidget() == d->findChild<QPushButton*>("BitBtn1");
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                };
            if (!r.message.isEmpty()) steps.push_back(pressBox());
            if (r.message == kExists) steps.push_back(typeAndPress<TFolderNameInputFrm>("<cancel>"));
            ModalScript script(steps);
            pickFromFolderMenu(photos, w_->actions().FRename1);
            QTRY_VERIFY(script.done());
            QCOMPARE(script.boxTexts, r.message.isEmpty() ? QStringList() : QStringList{r.message});
            QCOMPARE(focusMoved, renamed);
            QCOMPARE(readFile(at("notes")), std::string("text"));
            const std::string now = renamed ? at("Trip") : at("Photos");
            QVERIFY(exists(now + "/a.bmp") && exists(now + "/2020/b.bmp"));
            QCOMPARE(exists(at("Photos")), !renamed);
            // The node keeps its place and children; the listing and the history follow.
            QCOMPARE(photos->text(0), QString::fromStdString(renamed ? "Trip" : "Photos"));
            QCOMPARE(tree->FindNode(now + "/2020/"), sub);
            QCOMPARE(w_->selectedFolder(), now + "/");
            QCOMPARE(int(w_->fileList().size()), 1);
            QCOMPARE(w_->fileList().path(0), now + "/a.bmp");
            if (renamed) QCOMPARE(w_->historyBox()->itemText(0).toStdString(), now + "/");
            QVERIFY(w_->historyBox()->findText(QString::fromStdString(now + "/2020/")) >= 0);
        }
    }

    void deleteFolder() {
        struct Row {
            const char* name;
            bool byKey, confirm, driveRoot;
        } rows[] = {
            {"menu, yes", false, true, false},
            {"menu, no", false, false, false},
            {"Delete key, yes", true, true, false},
            {"Delete key on a drive", true, true, true},
        };
        for (const Row& r : rows) {
            const RowTrace trace{r.name};
            QVERIFY(openFolders("Photos"));
            TDirTree* tree = w_->dirTree();
            if (r.driveRoot) tree->setCurrentItem(tree->topLevelItem(0));
            const std::string shown = w_->selectedFolder();
            // A drive must never be asked about; should it be, the answer is no.
            ModalScript script({pressBox(r.confirm && !r.driveRoot ? QMessageBox::Yes : QMessageBox::No)});
            if (r.byKey) QTest::keyClick(tree, Qt::Key_Delete);
            else pickFromFolderMenu(tree->currentItem(), w_->actions().DeleteDirMenu);
            if (r.driveRoot) {
                QTest::qWait(100);
                QVERIFY(script.boxTexts.isEmpty());
                QCOMPARE(w_->selectedFolder(), shown);
                continue;
            }
            QTRY_VERIFY(script.done());
            QCOMPARE(exists(at("Photos")), !r.confirm);
            QCOMPARE(exists(*tree_ / "data/Trash/files/Photos/2020/b.bmp"), r.confirm);
            QCOMPARE(tree->FindNode(at("Photos/")) != nullptr, !r.confirm);
            if (!r.confirm) continue;
            // The tree shows another folder, and the grid lists that folder.
            QVERIFY(std::filesystem::is_directory(w_->selectedFolder()));
            for (size_t i = 0; i < w_->fileList().size(); ++i)
                QVERIFY(w_->fileList().path(i).rfind(at("Photos/"), 0) != 0);
        }
    }
};

QTEST_MAIN(FileOpsWindowTest)
#include "file_ops_window_test.moc"
