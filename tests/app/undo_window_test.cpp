// Undo and redo from the window: Ctrl+Z, Ctrl+Shift+Z, the 編集 menu and the grid's menu after
// the operations a user starts there. The files on disk, the grid and the captions are checked.
#include <filesystem>

#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>

#include "fileops/ui/NumberFrm.h"
#include "fileops/ui/RNameFrm.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/GridWindow.h"
#include "tests/support/TempTree.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;

namespace {
const char* const kNames[] = {"a.bmp", "b.bmp", "c.bmp", "d.bmp", "e.bmp"};
}

class UndoWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_;
    std::unique_ptr<TempTree> tree_;
    std::unique_ptr<TKorvelMain> w_;
    std::vector<std::string> original_ = std::vector<std::string>(5);

    std::string at(const std::string& rel) const { return *tree_ / rel; }

    // Five pictures a … e in pics/, a journal and a Trash of this case's own, the window showing
    // pics/ with b and c marked.
    bool openWindow() {
        w_.reset();
        tree_ = std::make_unique<TempTree>();
        for (const char* f : {"pics", "dst", "data/Trash/files", "data/Trash/info", "state"}) tree_->folder(f);
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(at("data")));
        qputenv("KORVEL_STATE_DIR", QByteArray::fromStdString(at("state/")));
        for (int i = 0; i < 5; ++i) {
            writePatternBmp(at(std::string("pics/") + kNames[i]), 8 + i, 6);
            original_[i] = readFile(at(std::string("pics/") + kNames[i]));
        }
        w_ = std::make_unique<TKorvelMain>(std::vector{at("pics")});
        if (!showReady(*w_)) return false;
        for (const char* f : {"dst/", "pics/"})  // dst gets its node
            if (!dirTree(*w_)->SelectPath(at(f))) return false;
        if (!waitPreview(*w_)) return false;
        clickCell(*w_, 1);
        clickCell(*w_, 2, Qt::ControlModifier);
        return waitPreview(*w_) && w_->markedFiles() == std::vector<size_t>{1, 2};
    }

    // The files of folder as filesIn() in GridWindow.h puts them, for "" the grid's list.
    QString filesIn(const std::string& folder = "") const {
        return QString::fromStdString(korvel::testing::filesIn(*w_, folder, original_));
    }

    // Opens the 編集 menu from the menu bar, as the user does.
    QMenu* openEditMenu() {
        auto* bar = w_->findChild<QMenuBar*>();
        QAction* edit = bar->actions().value(1);
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(edit).center());
        (void)QTest::qWaitFor([&] { return edit->menu()->isVisible(); }, 2000);
        return edit->menu();
    }
    // The two captions of the open 編集 menu without their key column, "-" before a disabled one.
    static QString captions(const TKorvelMain& w) {
        QStringList out;
        for (const QAction* a : {w.actions().Undo1, w.actions().Redo1})
            out << (a->isEnabled() ? "" : "-") + a->text().section('\t', 0, 0);
        return out.join('|');
    }

    // Presses Ctrl+Z (Ctrl+Shift+Z with shift) on the grid once the window is active again, as
    // it is for the user after a box or a menu closed.
    bool pressUndo(bool shift = false) {
        w_->activateWindow();
        if (!QTest::qWaitFor([&] { return w_->isActiveWindow(); })) return false;
        grid(*w_)->setFocus();
        QTest::keyClick(grid(*w_), Qt::Key_Z, shift ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier);
        return true;
    }
    // Waits until no file job runs.
    void waitJob() { QTRY_VERIFY(w_->actions().Refresh1->isEnabled()); }

private slots:
    void init() { qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8()); }
    void cleanup() {
        w_.reset();
        tree_.reset();
    }

    // Each operation undone where the user reaches it, then redone by Ctrl+Shift+Z: the files
    // come back with their bytes, the grid follows, the captions name the step.
    void undoThenRedo() {
        enum class Op { DeleteKey, DropOnTree, SerialRename };
        enum class By { CtrlZ, GridMenu, EditMenu };
        const struct Row {
            const char* name;
            Op op;
            By undoBy;
            QString step;  // as the captions name it
            const char *done, *listedRedone;  // pics/ after the operation and its redo, the grid after the redo
        } rows[] = {
            {"delete, Ctrl+Z", Op::DeleteKey, By::CtrlZ, "2個のファイルの削除", "a d e", "a d e"},
            {"drop on a tree node, the grid's menu", Op::DropOnTree, By::GridMenu, "2個のファイルの移動", "a d e",
             "a d e"},
            {"serial rename, the 編集 menu", Op::SerialRename, By::EditMenu, "2個のファイルの連番での名前の変更",
             "a d e p01=b p02=c", "a p01=b p02=c d e"},
        };
        for (const Row& r : rows) {
            const RowTrace trace{r.name};
            QVERIFY(openWindow());
            TKorvelMain& w = *w_;
            MessageBoxCatcher boxes;
            boxes.press = QStringLiteral("はい");
            ModalScript dialogs;
            dialogs.on<TNumberFrm>([](TNumberFrm& d, int) {
                typeInto(d.NameEdit, "p\\");
                QTest::mouseClick(d.OKBtn, Qt::LeftButton);
            });
            if (r.op == Op::DeleteKey) {
                QTest::keyClick(grid(w), Qt::Key_Delete);
            } else if (r.op == Op::DropOnTree) {
                TDirTree* t = dirTree(w);
                QVERIFY(dragCellTo(w, 2, t->viewport(), nodePoint(t, t->FindNode(at("dst/")))));
                pickFromMenu(targetPopup(w), w.actions().Move1);
            } else {
                QTest::mouseClick(w.toolButton(w.actions().NumberRNBtn1), Qt::LeftButton);
            }
            waitJob();
            QTRY_COMPARE(filesIn(at("pics")), QString(r.done));
            const QString trashed = filesIn(at("data/Trash/files")), moved = filesIn(at("dst"));

            QMenu* edit = openEditMenu();
            QCOMPARE(captions(w), "元に戻す(&U): " + r.step + "|-やり直し(&R)");
            QCOMPARE(w.actions().Undo1->text().section('\t', 1), QStringLiteral("Ctrl+Z"));  // the key column
            if (r.undoBy == By::EditMenu) {
                pickFromMenu(edit, w.actions().Undo1);
            } else {
                edit->close();
                if (r.undoBy == By::GridMenu) {
                    clickCell(w, 0, {}, Qt::RightButton);
                    QTRY_VERIFY(gridPopup(w)->isVisible());
                    QCOMPARE(w.actions().Undo2->text(), w.actions().Undo1->text());
                    pickFromMenu(gridPopup(w), w.actions().Undo2);
                } else {
                    QVERIFY(pressUndo());
                }
            }
            waitJob();
            QTRY_COMPARE(filesIn(at("pics")), QStringLiteral("a b c d e"));
            QCOMPARE(filesIn(), QStringLiteral("a b c d e"));
            openEditMenu()->close();
            QCOMPARE(captions(w), "-元に戻す(&U)|やり直し(&R): " + r.step);

            QVERIFY(pressUndo(true));
            waitJob();
            QTRY_COMPARE(filesIn(at("pics")), QString(r.done));
            QCOMPARE(filesIn(), QString(r.listedRedone));
            QCOMPARE(filesIn(at("data/Trash/files")) + "|" + filesIn(at("dst")), trashed + "|" + moved);
            QCOMPARE(boxes.texts.size(), r.op == Op::DeleteKey ? 1 : 0);  // only the delete's question
        }
    }

    // After a move, a name taken in pics/ and a file changed in dst/: Ctrl+Z leaves both where
    // they are and lists them in the one box at the end.
    void changedOrTakenIsLeftAndListed() {
        QVERIFY(openWindow());
        TKorvelMain& w = *w_;
        TDirTree* t = dirTree(w);
        QVERIFY(dragCellTo(w, 2, t->viewport(), nodePoint(t, t->FindNode(at("dst/")))));
        pickFromMenu(targetPopup(w), w.actions().Move1);
        waitJob();
        QTRY_COMPARE(filesIn(at("dst")), QString("b c"));
        writeFile(at("pics/b.bmp"), "new");
        const auto c = at("dst/c.bmp");  // the same bytes, another time
        std::filesystem::last_write_time(c, std::filesystem::last_write_time(c) - std::chrono::hours(1));
        MessageBoxCatcher boxes;
        QVERIFY(pressUndo());
        waitJob();
        QTRY_COMPARE(boxes.seen, 1);
        // Undone last item first.
        QCOMPARE(boxes.texts.value(0), "2 個の項目を処理出来ませんでした。\n" + QString::fromStdString(c) +
                                           " は操作の後で変更されたので、そのままにしました。\n" +
                                           QString::fromStdString(at("pics/b.bmp")) + " は既にあるので、そのままにしました。");
        QCOMPARE(filesIn(at("pics")) + "|" + filesIn(at("dst")), QStringLiteral("a b.bmp=new d e|b c"));
    }

    // A folder deleted from the tree's menu comes back with what it held, node and all, and goes
    // again on redo.
    void folderDeleteFollowsInTheTree() {
        QVERIFY(openWindow());
        TKorvelMain& w = *w_;
        tree_->write("dst/kept.txt", "kept");
        TDirTree* t = dirTree(w);
        MessageBoxCatcher boxes;
        boxes.press = QStringLiteral("はい");
        rightClickNode(w, t->FindNode(at("dst/")));
        pickFromMenu(folderPopup(w), w.actions().DeleteDirMenu);
        waitJob();
        QTRY_VERIFY(!t->FindNode(at("dst/")));
        QVERIFY(pressUndo());
        waitJob();
        QTRY_VERIFY(t->FindNode(at("dst/")));
        QCOMPARE(filesIn(at("dst")), QString("kept.txt=kept"));
        QCOMPARE(tree_->count("data/Trash/files"), 0L);
        openEditMenu()->close();
        QCOMPARE(captions(w), "-元に戻す(&U)|やり直し(&R): フォルダの削除");
        QVERIFY(pressUndo(true));
        waitJob();
        QTRY_VERIFY(!t->FindNode(at("dst/")));
        QCOMPARE(filesIn(at("data/Trash/files/dst")), QString("kept.txt=kept"));
    }

    // A journal that cannot be written (a full disk here): the rename and the delete are done,
    // one box says they cannot be undone, and there is nothing to undo.
    void unrecordedCommandIsSaid() {
        for (const bool rename : {true, false}) {
            const RowTrace trace{rename ? "rename" : "delete"};
            QVERIFY(openWindow());
            TKorvelMain& w = *w_;
            FaultyFileSystem fs;
            inject(fs, at("state/"), {{"open", "", ENOSPC}});
            w.findChild<FileCommands*>()->fileSystem = &fs;
            ModalScript dialogs;
            dialogs.on<TRNameFrm>([](TRNameFrm& d, int n) {
                if (n == 0) typeInto(d.Edit1, "new");
                QTest::mouseClick(n == 0 ? d.OKBtn1 : d.AllCanselBtn, Qt::LeftButton);
            });
            MessageBoxCatcher boxes;
            boxes.press = QStringLiteral("はい");
            if (rename) QTest::mouseClick(w.toolButton(w.actions().ReNameBtn1), Qt::LeftButton);
            else QTest::keyClick(grid(w), Qt::Key_Delete);
            waitJob();
            QTRY_COMPARE(boxes.seen, rename ? 1 : 2);
            QCOMPARE(boxes.texts.last(), QStringLiteral("操作を記録出来なかったので、元に戻すことは出来ません。\n空き容量が足りません"));
            QCOMPARE(filesIn(at("pics")), QString(rename ? "a c d e new=b" : "a d e"));
            openEditMenu()->close();
            QCOMPARE(captions(w), QStringLiteral("-元に戻す(&U)|-やり直し(&R)"));
        }
    }
};

QTEST_MAIN(UndoWindowTest)
#include "undo_window_test.moc"
