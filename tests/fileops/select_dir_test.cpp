// The destination chooser through clicks: the four move buttons, OK's checks, its settings.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "base/IniFile.h"
#include "fileops/ui/SelectDir.h"
#include "tests/support/TempTree.h"
#include "tests/support/UiSupport.h"

using korvel::testing::MessageBoxCatcher;

namespace {
std::vector<std::string> texts(const QListWidget* l) {
    std::vector<std::string> out;
    for (int i = 0; i < l->count(); ++i) out.push_back(l->item(i)->text().toStdString());
    return out;
}
struct Ran {
    int times = 0;
    bool copy = false;
    std::vector<std::string> files;
    std::string folder;
};
TSelectDir::Hooks hooks(Ran& ran, const std::string& ini) {
    TSelectDir::Hooks h;
    h.ensureFolder = [](const std::string&) { return true; };
    h.run = [&ran](bool copy, const std::vector<std::string>& f, const std::string& d) {
        ++ran.times, ran.copy = copy, ran.files = f, ran.folder = d;
    };
    h.settingsPath = ini;
    return h;
}
}  // namespace

class SelectDirTest : public QObject {
    Q_OBJECT
private slots:
    void buttonsMoveItemsInOrder() {
        korvel::testing::TempTree t;
        Ran ran;
        TSelectDir d(true, {"/p/a", "/p/b", "/p/c", "/p/d"}, {"/p/c", "/p/a"}, {}, hooks(ran, t / "k.ini"));
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        TTwoLists* l = d.lists;
        QCOMPARE(texts(l->YesListBox), (std::vector<std::string>{"/p/c", "/p/a"}));
        QCOMPARE(texts(l->NoListBox), (std::vector<std::string>{"/p/b", "/p/d"}));
        // Select d on the left with a click and add it.
        l->NoListBox->scrollToItem(l->NoListBox->item(1));
        QTest::mouseClick(l->NoListBox->viewport(), Qt::LeftButton, {},
                          l->NoListBox->visualItemRect(l->NoListBox->item(1)).center());
        QTest::mouseClick(l->AddBtn, Qt::LeftButton);
        QCOMPARE(texts(l->YesListBox), (std::vector<std::string>{"/p/c", "/p/a", "/p/d"}));
        QCOMPARE(texts(l->NoListBox), (std::vector<std::string>{"/p/b"}));
        QTest::mouseClick(l->AllAddBtn, Qt::LeftButton);
        QCOMPARE(texts(l->YesListBox), (std::vector<std::string>{"/p/c", "/p/a", "/p/d", "/p/b"}));
        QTest::mouseClick(l->AllDelBtn, Qt::LeftButton);
        QCOMPARE(texts(l->NoListBox), (std::vector<std::string>{"/p/c", "/p/a", "/p/d", "/p/b"}));
        // OK with nothing to process does nothing and stays open.
        d.DirCombo->setEditText("/q");
        QTest::mouseClick(d.OKBtn, Qt::LeftButton);
        QCOMPARE(ran.times, 0);
        QVERIFY(d.isVisible());
    }

    void okChecksTheFolderAndRuns_data() {
        QTest::addColumn<bool>("copy");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("warning");  // empty: runs with typed + "/"
        QTest::newRow("empty") << true << "" << "コピー先フォルダをフルパスで指定して下さい。";
        QTest::newRow("bare name") << false << "photos" << "移動先フォルダをフルパスで指定して下さい。";
        QTest::newRow("full path, copy") << true << "/dst" << "";
        QTest::newRow("full path, move") << false << "/dst/" << "";
    }
    void okChecksTheFolderAndRuns() {
        QFETCH(bool, copy);
        QFETCH(QString, typed);
        QFETCH(QString, warning);
        korvel::testing::TempTree t;
        Ran ran;
        TSelectDir d(copy, {"/p/a", "/p/b"}, {"/p/b"}, {}, hooks(ran, t / "k.ini"));
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        d.DirCombo->setFocus();
        d.DirCombo->lineEdit()->clear();
        QTest::keyClicks(d.DirCombo->lineEdit(), typed);
        MessageBoxCatcher boxes;
        QTest::mouseClick(d.OKBtn, Qt::LeftButton);
        QCOMPARE(boxes.text, warning);
        QCOMPARE(ran.times, warning.isEmpty() ? 1 : 0);
        QCOMPARE(d.result(), warning.isEmpty() ? int(QDialog::Accepted) : int(QDialog::Rejected));
        if (warning.isEmpty()) {
            QCOMPARE(ran.copy, copy);
            QCOMPARE(ran.files, std::vector<std::string>{"/p/b"});
            QCOMPARE(ran.folder, std::string("/dst/"));
        }
    }

    void maximisedKeepsTheLastNormalSize() {
        korvel::testing::TempTree t;
        {
            korvel::IniFile ini;
            ini.writeInteger("CopyMove", "Width", 700);
            ini.writeInteger("CopyMove", "Height", 500);
            ini.save(t / "k.ini");
        }
        Ran ran;
        TSelectDir d(true, {"/p/a"}, {"/p/a"}, {"/q1", "", "/q3"}, hooks(ran, t / "k.ini"));
        d.LoadSettings();
        QCOMPARE(d.size(), QSize(700, 500));
        QCOMPARE(d.DirCombo->count(), 2);
        d.showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        d.SaveSettings();
        const korvel::IniFile ini = korvel::IniFile::load(t / "k.ini");
        QCOMPARE(ini.readInteger("CopyMove", "wState", -1), 2);
        QCOMPARE(ini.readInteger("CopyMove", "Width", -1), 700);
        QCOMPARE(ini.readInteger("CopyMove", "Height", -1), 500);
        QVERIFY(ini.hasKey("CopyMove", "Panel"));
    }
};

QTEST_MAIN(SelectDirTest)
#include "select_dir_test.moc"
