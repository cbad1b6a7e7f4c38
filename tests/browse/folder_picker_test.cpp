// The folder picker on folders whose names are not UTF-8, offscreen: where it opens, the keys,
// the places beside the tree and a new folder, each giving back the folder's bytes.
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <filesystem>

#include "browse/FolderScan.h"
#include "browse/ui/DirTree.h"
#include "browse/ui/FolderPicker.h"
#include "fileops/ui/FolderNameDialogs.h"
#include "platform/PathText.h"
#include "tests/support/TempTree.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;

namespace {

const std::string kLatin = "caf\xe9";          // café in Latin-1
const std::string kSjis = "\x89\xe6\x91\x9c";  // 画像 in Shift_JIS

QTreeWidgetItem* placeItem(QTreeWidget* list, const std::string& path) {
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        for (int j = 0; j < list->topLevelItem(i)->childCount(); ++j)
            if (list->topLevelItem(i)->child(j)->data(0, Qt::UserRole).toByteArray().toStdString() == path)
                return list->topLevelItem(i)->child(j);
    return nullptr;
}

}  // namespace

class FolderPickerTest : public QObject {
    Q_OBJECT
    TempTree t_;
    std::string root_;

private slots:
    void initTestCase() {
        t_.folder(kSjis + "/a");
        t_.folder(kSjis + "/b/" + kLatin);
        t_.folder(kLatin + "/inner");
        root_ = std::filesystem::canonical(t_.dir()).string() + "/";
        // The home node is the tree's first; an empty or relative start opens there.
        qputenv("HOME", QByteArray::fromStdString(root_));
    }

    // The rule itself is the core's; these show the tree follows it down to non-UTF-8 names.
    void opensAtTheNearestFolderThere() {
        const struct {
            std::string start, selected;
        } rows[] = {
            {root_ + kSjis + "/a/", root_ + kSjis + "/a/"},
            {root_ + kSjis + "/b/" + kLatin, root_ + kSjis + "/b/" + kLatin + "/"},
            {root_ + kLatin + "/inner/gone/deeper/", root_ + kLatin + "/inner/"},
            {"", root_},
        };
        for (const auto& r : rows) {
            const RowTrace trace{pathText(r.start)};
            TFolderPicker picker(QStringLiteral("コピー先フォルダを指定して下さい"), r.start, {});
            QCOMPARE(picker.Tree->SelectedPath(), r.selected);
        }
    }

    void keysWalkTheTreeAndOkGivesTheBytes() {
        TFolderPicker picker(QStringLiteral("移動先フォルダを指定して下さい"), root_ + kSjis + "/a/", {});
        picker.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picker));
        QCOMPARE(QApplication::focusWidget(), picker.Tree);
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_Right, Qt::Key_Down, Qt::Key_Return})
            QTest::keyClick(picker.Tree, key);
        QCOMPARE(picker.result(), int(QDialog::Accepted));
        const std::string want = root_ + kSjis + "/b/" + kLatin + "/";
        QCOMPARE(picker.chosenPath(), want);
        QVERIFY(korvel::isExistingFolder(want));
    }

    // Run modally as the browse buttons do: Enter takes the node at the start (an empty start
    // opens at the fallback), Esc gives nothing.
    void modalReturnAndEscape() {
        const std::string start = root_ + kLatin + "/inner/";
        for (const auto& [key, want] :
             {std::pair{Qt::Key_Return, std::optional(start)}, {Qt::Key_Escape, std::nullopt}}) {
            ModalScript script(
                {{"TFolderPicker", [key = key](QWidget* d) { QTest::keyClick(d->focusWidget(), key); }}});
            QCOMPARE(pickFolder(nullptr, QStringLiteral(" フォルダを選択して下さい"), "", start, {}), want);
            QVERIFY(script.done());
        }
    }

    // A place selects its folder in the tree and Enter takes it; a double-click returns it at
    // once; a place whose folder is gone cannot be chosen.
    void placesGiveTheirBytes() {
        const std::string quick = root_ + kLatin + "/inner/", favourite = root_ + kSjis + "/a/",
                          gone = root_ + "gone/";
        const PickerPlaces places{{{root_ + kSjis + "/a", {}}, {gone, {}}}, {{quick, QStringLiteral("café")}}, {}};
        for (bool doubleClick : {false, true}) {
            const RowTrace trace{doubleClick ? "double-click" : "click, Enter"};
            TFolderPicker picker(QStringLiteral("コピー先フォルダを指定して下さい"), root_, places);
            picker.show();
            QVERIFY(QTest::qWaitForWindowExposed(&picker));
            QTreeWidget* list = picker.PlacesList;
            QTreeWidgetItem* missing = placeItem(list, gone);
            QVERIFY(missing && placeItem(list, favourite));
            // A widget's double-click comes after a click.
            const QPoint off = list->visualItemRect(missing).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, off);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, off);
            QVERIFY(picker.isVisible());
            const std::string want = doubleClick ? favourite : quick;
            const QPoint at = list->visualItemRect(placeItem(list, want)).center();
            if (doubleClick) {
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            } else {
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
                QCOMPARE(picker.Tree->SelectedPath(), want);
                QTest::keyClick(list, Qt::Key_Return);
            }
            QCOMPARE(picker.result(), int(QDialog::Accepted));
            QCOMPARE(picker.chosenPath(), want);
        }
    }

    void newFolderIsMadeInsideTheSelectedOne() {
        std::string made;
        PickerPlaces places;
        places.folderMade = [&](const std::string& path) { made = path; };
        TFolderPicker picker(QStringLiteral(" フォルダを選択して下さい"), root_ + kSjis + "/b/", places);
        ModalScript script({{"TInputNameFrm", [](QWidget* d) {
                                 auto* ask = static_cast<TInputNameFrm*>(d);
                                 typeInto(ask->FNameEdit, QStringLiteral("新"));
                                 QTest::mouseClick(ask->OkBtn, Qt::LeftButton);
                             }}});
        QTest::mouseClick(picker.NewFolderBtn, Qt::LeftButton);
        const std::string want = root_ + kSjis + "/b/\xe6\x96\xb0";
        QCOMPARE(made, want);
        QVERIFY(korvel::isExistingFolder(want));
        QCOMPARE(picker.Tree->SelectedPath(), want + "/");
    }
};

QTEST_MAIN(FolderPickerTest)
#include "folder_picker_test.moc"
