// Folder commands of the tree's menu on the offscreen platform, driven as the user would: a
// right click on a node, a click on the menu item, typing in the dialog and its buttons, and the
// Delete key in the tree.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <filesystem>

#include "fileops/ui/FolderNameDialogs.h"
#include "tests/support/GridWindow.h"
#include "tests/support/TempTree.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;
namespace fs = std::filesystem;

namespace {

const QString kExists = QStringLiteral("指定したフォルダは既に存在します。");
const QString kCannotCreate = QStringLiteral("フォルダを作成出来ませんでした。");
const QString kCannotRename = QStringLiteral("フォルダ名を変更出来ませんでした。");

// A step that types text into the dialog's name edit (replacing it) and presses a button.
template <class Dialog>
ModalScript::Step typeAndPress(const QString& text, bool ok, bool typed = true) {
    return {Dialog::staticMetaObject.className(), [=](QWidget* d) {
                auto* edit = d->findChild<QLineEdit*>();
                if (typed) {
                    edit->selectAll();
                    if (text.isEmpty()) QTest::keyClick(edit, Qt::Key_Backspace);
                    else QTest::keyClicks(edit, text);
                }
                QTest::mouseClick(d->findChildren<QPushButton*>()[ok ? 0 : 1], Qt::LeftButton);  // OK, Cancel
            }};
}

ModalScript::Step pressBox(QMessageBox::StandardButton b = QMessageBox::Ok) {
    return {"QMessageBox", [b](QWidget* w) {
                auto* box = static_cast<QMessageBox*>(w);
                QTest::mouseClick(box->button(b) ? box->button(b) : box->buttons().first(), Qt::LeftButton);
            }};
}

}  // namespace

class FolderOpsTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_, data_, pics_;
    std::string root_;  // the pictures folder, "/"-terminated

    std::string at(const std::string& rel) const { return root_ + rel; }
    std::unique_ptr<TKorvelMain> openWindow(const std::string& folder) {
        auto w = std::make_unique<TKorvelMain>(QStringList{QString::fromStdString(folder)});
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get())) return nullptr;
        return w;
    }
    // Right-clicks the node and picks the item of the menu that opens.
    static void pickFromFolderMenu(TKorvelMain& w, QTreeWidgetItem* node, QAction* item) {
        rightClickNode(w, node);
        pickFromMenu(w.folderPopup(), item);
    }

private slots:
    void init() {
        QVERIFY(config_.isValid() && data_.isValid() && pics_.isValid());
        qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8());
        qputenv("XDG_DATA_HOME", data_.path().toUtf8());  // the home Trash of these tests
        root_ = pics_.path().toStdString() + "/";
        fs::remove_all(pics_.path().toStdString());
        fs::remove_all(data_.path().toStdString() + "/Trash");
        fs::create_directories(at("Photos/2020"));
        fs::create_directories(at("Other"));
        writeSolidBmp(QString::fromStdString(at("Photos/a.bmp")), 4, 4);
        writeSolidBmp(QString::fromStdString(at("Photos/2020/b.bmp")), 4, 4);
        writeFile(at("notes"), "text");
    }

    // Which commands the menu offers: all three for a folder, only creation for a drive, none
    // for the Trash.
    void menuHidesWhatMakesNoSense_data() {
        QTest::addColumn<int>("kind");  // 0 folder, 1 drive (top-level node), 2 the Trash
        QTest::addColumn<bool>("create");
        QTest::addColumn<bool>("renameAndDelete");
        QTest::newRow("folder") << 0 << true << true;
        QTest::newRow("drive") << 1 << true << false;
        QTest::newRow("trash") << 2 << false << false;
    }
    void menuHidesWhatMakesNoSense() {
        QFETCH(int, kind);
        const std::string trash = data_.path().toStdString() + "/Trash/files/";
        fs::create_directories(trash);
        auto w = openWindow(at("Photos"));
        QVERIFY(w);
        TDirTree* tree = w->dirTree();
        if (kind == 2) QVERIFY(tree->SelectPath(trash));
        rightClickNode(*w, kind == 1 ? tree->topLevelItem(0) : tree->currentItem());
        QTRY_VERIFY(w->folderPopup()->isVisible());
        const auto& a = w->actions();
        QTEST(a.CreateDirMenu->isVisible(), "create");
        QTEST(a.FRename1->isVisible(), "renameAndDelete");
        QTEST(a.DeleteDirMenu->isVisible(), "renameAndDelete");
        for (QAction* x : {a.CreateDirMenu, a.FRename1, a.DeleteDirMenu}) QVERIFY(!x->isVisible() || x->isEnabled());
        w->folderPopup()->close();
    }

    void createFolder_data() {
        QTest::addColumn<QString>("typed");  // "<keep>": the name offered is accepted unchanged
        QTest::addColumn<bool>("already");   // 新しいﾌｫﾙﾀﾞ exists before
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("made");   // relative to Photos; "" nothing made
        QTest::newRow("offered name") << "<keep>" << false << "" << QStringLiteral("新しいﾌｫﾙﾀﾞ");
        QTest::newRow("offered name twice") << "<keep>" << true << kExists << "";
        QTest::newRow("nested") << "a/b" << false << "" << "a/b";
        QTest::newRow("leaves the parent") << "../out" << false << kCannotCreate << "";
        QTest::newRow("empty, then cancel") << "" << false << "" << "";
        QTest::newRow("cancel") << "<cancel>" << false << "" << "";
    }
    void createFolder() {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(QString, made);
        QFETCH(bool, already);
        if (already) fs::create_directories(at("Photos/新しいﾌｫﾙﾀﾞ"));
        auto w = openWindow(at("Photos"));
        QVERIFY(w);
        const long before = entryCount(at("Photos"));
        // A refused name keeps the dialog open: the last step cancels it there.
        const bool staysOpen = message == kExists || typed.isEmpty();
        std::vector<ModalScript::Step> steps = {
            typeAndPress<TInputNameFrm>(typed, typed != "<cancel>", typed != "<keep>" && typed != "<cancel>")};
        if (!message.isEmpty()) steps.push_back(pressBox());
        if (staysOpen) steps.push_back(typeAndPress<TInputNameFrm>({}, false, false));
        ModalScript script(steps);
        pickFromFolderMenu(*w, w->dirTree()->currentItem(), w->actions().CreateDirMenu);
        QTRY_VERIFY(script.done());
        QCOMPARE(script.boxTexts, message.isEmpty() ? QStringList() : QStringList{message});
        if (made.isEmpty()) {
            QCOMPARE(entryCount(at("Photos")), before);
            QVERIFY(!fs::exists(at("out")));
            return;
        }
        const std::string path = at("Photos/" + made.toStdString());
        QVERIFY(fs::is_directory(path));
        QTreeWidgetItem* node = w->dirTree()->FindNode(path + "/");
        QVERIFY(node);  // every level got its node
        QCOMPARE(node->text(0), made.section('/', -1));
        QVERIFY(!node->isSelected());
    }

    void renameFolder_data() {
        QTest::addColumn<QString>("typed");  // "<keep>" unchanged, "<cancel>" cancelled
        QTest::addColumn<bool>("byKeys");    // Enter in the name, then Enter on the focused OK
        QTest::addColumn<QString>("message");
        QTest::newRow("new name") << "Trip" << false << "";
        QTest::newRow("new name by keys") << "Trip" << true << "";
        QTest::newRow("unchanged") << "<keep>" << false << kExists;
        QTest::newRow("a file's name") << "notes" << false << kCannotRename;
        QTest::newRow("cancel") << "<cancel>" << false << "";
    }
    void renameFolder() {
        QFETCH(QString, typed);
        QFETCH(bool, byKeys);
        QFETCH(QString, message);
        const bool renamed = typed == "Trip";
        auto w = openWindow(at("Photos/2020"));  // Photos is expanded, its sub-folder visited
        QVERIFY(w);
        TDirTree* tree = w->dirTree();
        QVERIFY(tree->SelectPath(at("Photos")));
        QTreeWidgetItem* photos = tree->currentItem();
        QTreeWidgetItem* sub = tree->FindNode(at("Photos/2020/"));
        QVERIFY(sub);
        bool focusMoved = false;
        std::vector<ModalScript::Step> steps;
        if (byKeys) {
            steps.push_back({"TFolderNameInputFrm", [&](QWidget* d) {
                                 auto* edit = d->findChild<QLineEdit*>();
                                 edit->selectAll();
                                 QTest::keyClicks(edit, typed);
                                 QTest::keyClick(edit, Qt::Key_Return);
                                 focusMoved = d->isVisible() && QApplication::focusWidget() == d->findChild<QPushButton*>("BitBtn1");
                                 QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                             }});
        } else {
            steps.push_back(typeAndPress<TFolderNameInputFrm>(typed, typed != "<cancel>",
                                                              typed != "<keep>" && typed != "<cancel>"));
        }
        if (!message.isEmpty()) steps.push_back(pressBox());
        if (message == kExists) steps.push_back(typeAndPress<TFolderNameInputFrm>({}, false, false));
        ModalScript script(steps);
        pickFromFolderMenu(*w, photos, w->actions().FRename1);
        QTRY_VERIFY(script.done());
        QCOMPARE(script.boxTexts, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(focusMoved, byKeys);
        QCOMPARE(readFile(at("notes")), std::string("text"));
        const std::string now = renamed ? at("Trip") : at("Photos");
        QVERIFY(fs::exists(now + "/a.bmp") && fs::exists(now + "/2020/b.bmp"));
        QCOMPARE(fs::exists(at("Photos")), !renamed);
        // The node keeps its place and children; the listing and the history follow.
        QCOMPARE(photos->text(0), QString::fromStdString(renamed ? "Trip" : "Photos"));
        QCOMPARE(tree->FindNode(now + "/2020/"), sub);
        QCOMPARE(w->selectedFolder(), now + "/");
        QCOMPARE(int(w->fileList().size()), 1);
        QCOMPARE(w->fileList().path(0), now + "/a.bmp");
        if (renamed) QCOMPARE(w->historyBox()->itemText(0).toStdString(), now + "/");
        QVERIFY(w->historyBox()->findText(QString::fromStdString(now + "/2020/")) >= 0);
    }

    void deleteFolder_data() {
        QTest::addColumn<bool>("byKey");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<bool>("driveRoot");
        QTest::newRow("menu, yes") << false << true << false;
        QTest::newRow("menu, no") << false << false << false;
        QTest::newRow("Delete key, yes") << true << true << false;
        QTest::newRow("Delete key on a drive") << true << true << true;
    }
    void deleteFolder() {
        QFETCH(bool, byKey);
        QFETCH(bool, confirm);
        QFETCH(bool, driveRoot);
        auto w = openWindow(at("Photos"));
        QVERIFY(w);
        TDirTree* tree = w->dirTree();
        if (driveRoot) tree->setCurrentItem(tree->topLevelItem(0));
        const std::string shown = w->selectedFolder();
        // A drive must never be asked about; should it be, the answer is no.
        ModalScript script({pressBox(confirm && !driveRoot ? QMessageBox::Yes : QMessageBox::No)});
        if (byKey) QTest::keyClick(tree, Qt::Key_Delete);
        else pickFromFolderMenu(*w, tree->currentItem(), w->actions().DeleteDirMenu);
        if (driveRoot) {
            QTest::qWait(100);
            QVERIFY(script.boxTexts.isEmpty());
            QCOMPARE(w->selectedFolder(), shown);
            return;
        }
        QTRY_VERIFY(script.done());
        QCOMPARE(fs::exists(at("Photos")), !confirm);
        QCOMPARE(fs::exists(data_.path().toStdString() + "/Trash/files/Photos/2020/b.bmp"), confirm);
        QCOMPARE(tree->FindNode(at("Photos/")) != nullptr, !confirm);
        if (!confirm) return;
        // The tree shows another folder, and the grid lists that folder.
        QVERIFY(fs::is_directory(w->selectedFolder()));
        for (size_t i = 0; i < w->fileList().size(); ++i)
            QVERIFY(w->fileList().path(i).rfind(at("Photos/"), 0) != 0);
    }
};

QTEST_MAIN(FolderOpsTest)
#include "folder_ops_test.moc"
