// The folder picker on folders whose names are not UTF-8, offscreen: where it opens, the keys,
// the places beside the tree and a new folder, each giving back the folder's bytes.
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidgetItemIterator>
#include <QtTest>
#include <filesystem>
#include <optional>
#include <tuple>

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

const QString kPrompt = QStringLiteral("コピー先フォルダを指定して下さい");

// Clicks the place of path beside the tree, then double-clicks it if asked (a widget's
// double-click comes after a click).
void clickPlace(TFolderPicker& picker, const std::string& path, bool doubleClick) {
    QTreeWidget* list = picker.PlacesList;
    for (QTreeWidgetItemIterator item(list); *item; ++item)
        if ((*item)->data(0, Qt::UserRole).toByteArray().toStdString() == path) {
            const QPoint at = list->visualItemRect(*item).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            if (doubleClick) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            return;
        }
    QFAIL(("no place " + path).c_str());
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

    // Run modally as the browse buttons do, the start empty: the keys reach the tree at once,
    // Enter gives the bytes of the node they lead to from where it opened (the nearest folder to
    // the fallback, else home), Esc gives nothing.
    void keysPickAFolder() {
        const std::tuple<std::vector<Qt::Key>, std::string, std::optional<std::string>> rows[] = {
            {{Qt::Key_Down, Qt::Key_Right, Qt::Key_Down, Qt::Key_Return}, root_ + kSjis + "/a/",
             root_ + kSjis + "/b/" + kLatin + "/"},
            {{Qt::Key_Return}, root_ + kLatin + "/inner/gone/deeper", root_ + kLatin + "/inner/"},
            {{Qt::Key_Return}, "", root_},
            {{Qt::Key_Escape}, root_, std::nullopt},
        };
        for (const auto& [keys, fallback, want] : rows) {
            const RowTrace trace{pathText(fallback)};
            ModalScript script({stepOn<TFolderPicker>([&keys = keys](TFolderPicker& d) {
                for (Qt::Key key : keys) QTest::keyClick(QApplication::focusWidget(), key);
            })});
            QCOMPARE(pickFolder(nullptr, kPrompt, "", fallback, {}), want);
            QVERIFY(script.done());
        }
    }

    // A place selects its folder in the tree and Enter takes it; a double-click returns it at
    // once; a place whose folder is gone cannot be chosen.
    void placesGiveTheirBytes() {
        const std::string quick = root_ + kLatin + "/inner/", favourite = root_ + kSjis + "/a/", gone = root_ + "gone/";
        const PickerPlaces places{{{root_ + kSjis + "/a", {}}, {gone, {}}}, {{quick, QStringLiteral("café")}}, {}};
        for (bool doubleClick : {false, true}) {
            const RowTrace trace{doubleClick ? "double-click" : "click, Enter"};
            TFolderPicker picker(kPrompt, root_, places);
            QVERIFY(showExposed(picker));
            clickPlace(picker, gone, true);
            QVERIFY(picker.isVisible());
            const std::string want = doubleClick ? favourite : quick;
            clickPlace(picker, want, doubleClick);
            if (!doubleClick) QTest::keyClick(picker.PlacesList, Qt::Key_Return);
            QCOMPARE(picker.result(), int(QDialog::Accepted));
            QCOMPARE(picker.chosenPath(), want);
        }
    }

    void newFolderIsMadeInsideTheSelectedOne() {
        std::string made;
        PickerPlaces places;
        places.folderMade = [&](const std::string& path) { made = path; };
        TFolderPicker picker(kPrompt, root_ + kSjis + "/b/", places);
        ModalScript script({stepOn<TInputNameFrm>([](TInputNameFrm& d) {
            typeInto(d.FNameEdit, QStringLiteral("新"));
            QTest::mouseClick(d.OkBtn, Qt::LeftButton);
        })});
        QTest::mouseClick(picker.NewFolderBtn, Qt::LeftButton);
        const std::string want = root_ + kSjis + "/b/\xe6\x96\xb0";
        QVERIFY(korvel::isExistingFolder(want));
        QCOMPARE(made + " " + picker.Tree->SelectedPath(), want + " " + want + "/");
    }
};

QTEST_MAIN(FolderPickerTest)
#include "folder_picker_test.moc"
