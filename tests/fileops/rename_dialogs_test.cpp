// The rename and serial rename dialogs through clicks and typing: what OK refuses, what the
// preview says, which files get which names, and the enabling rules of their buttons.
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include "fileops/ui/NumberFrm.h"
#include "fileops/ui/RNameFrm.h"
#include "tests/support/FolderContents.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;

namespace {
void clickItem(QListWidget* l, int row, Qt::KeyboardModifiers mods = {}) {
    QTest::mouseClick(l->viewport(), Qt::LeftButton, mods, l->visualItemRect(l->item(row)).center());
}
}  // namespace

class RenameDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void serialOkRefusesOrRenames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("box");       // the message shown, "" none
        QTest::addColumn<QStringList>("after");  // the folder afterwards, name=content
        QTest::addColumn<bool>("closed");
        const QStringList untouched{"1.jpg=1", "2.jpg=2", "x.txt=x"};
        QTest::newRow("empty name") << "" << "1" << "ファイル名を指定して下さい。" << untouched << false;
        QTest::newRow("two placeholders") << "a\\b\\" << "1"
                                          << "ファイル名の指定に誤りがあります。\n連番を挿入する所に \\ を入れて下さい。"
                                          << untouched << false;
        QTest::newRow("no placeholder") << "ab" << "1"
                                        << "ファイル名の指定に誤りがあります。\n連番を挿入する所に \\ を入れて下さい。"
                                        << untouched << false;
        QTest::newRow("taken by a later file") << "\\" << "2" << "1.jpg は名前を変更出来ません。"
                                               << QStringList{"1.jpg=1", "3.jpg=2", "x.txt=x"} << true;
        QTest::newRow("percent typed") << "%s\\%d" << "7" << ""
                                       << QStringList{"%s7%d.jpg=1", "%s8%d.jpg=2", "x.txt=x"} << true;
    }
    void serialOkRefusesOrRenames() {
        QFETCH(QString, name);
        QFETCH(QString, start);
        QFETCH(QString, box);
        QFETCH(QStringList, after);
        QFETCH(bool, closed);
        TempTree t;
        const std::string one = t.write("1.jpg", "1"), two = t.write("2.jpg", "2"), other = t.write("x.txt", "x");
        std::vector<std::pair<std::string, std::string>> renamed;
        TNumberFrm::Hooks hooks;
        hooks.renamed = [&](const std::string& f, const std::string& to) { renamed.emplace_back(f, to); };
        hooks.settingsPath = t / "k.ini";
        TNumberFrm d(t.root(), {one, two, other}, {one, two}, hooks);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        typeInto(d.NameEdit, name);
        typeInto(d.NumEdit, start);
        typeInto(d.KetaEdit, "1");
        MessageBoxCatcher boxes;
        QTest::mouseClick(d.OKBtn, Qt::LeftButton);
        QCOMPARE(boxes.text, box);
        QStringList got;
        for (const auto& [n, c] : folderContents(t.dir()))
            if (n != "k.ini") got << QString::fromStdString(n + "=" + c);
        QCOMPARE(got, after);
        QCOMPARE(d.result() == QDialog::Accepted, closed);
        // The list learns exactly the renames that happened.
        for (const auto& [from, to] : renamed) QVERIFY(!QFile::exists(QString::fromStdString(from)) && QFile::exists(QString::fromStdString(to)));
        QCOMPARE(int(renamed.size()), closed ? int(after.size()) - 1 - (box.isEmpty() ? 0 : 1) : 0);
    }

    void serialPreviewFollowsOrderAndFields() {
        TempTree t;
        const std::string a = t.write("a.JPG", "a"), b = t.write("b.png", "b"), taken = t.write("n02.png", "old");
        TNumberFrm::Hooks hooks;
        hooks.settingsPath = t / "k.ini";
        TNumberFrm d(t.root(), {a, b, taken}, {a, b}, hooks);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QVERIFY(!d.UpBtn->isEnabled());
        typeInto(d.NameEdit, "n\\");
        auto cell = [&](int row, int col) { return d.preview->model()->index(row, col).data().toString(); };
        QCOMPARE(cell(0, 1), QString("n01.JPG"));
        QCOMPARE(cell(1, 1), QString("n02.png"));
        QVERIFY(d.previewSummary->text().contains("1 個は変更出来ません"));
        // Lower-case extensions, then b first: b takes n01 and a n02.jpg, nothing fails.
        clickBox(d.radioItems->button(2));
        QListWidget* rn = d.lists->YesListBox;
        clickItem(rn, 1);
        QVERIFY(d.UpBtn->isEnabled());
        QTest::mouseClick(d.UpBtn, Qt::LeftButton);
        QCOMPARE(cell(0, 0), QString("b.png"));
        QCOMPARE(cell(0, 1), QString("n01.png"));
        QCOMPARE(cell(1, 1), QString("n02.jpg"));
        QVERIFY(!d.previewSummary->text().contains("変更出来ません"));
        // Two selected: the buttons go off; "全て戻す" needs a selection in its list.
        clickItem(rn, 1, Qt::ShiftModifier);
        QVERIFY(!d.UpBtn->isEnabled());
        rn->clearSelection();
        QTest::mouseClick(d.lists->AllDelBtn, Qt::LeftButton);
        QCOMPARE(rn->count(), 2);
        QCOMPARE(folderContents(t.dir()).size(), size_t(3));  // the preview wrote nothing
    }

    void renameDialogButtons_data() {
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("radio");
        QTest::addColumn<bool>("allOk");
        QTest::addColumn<QString>("name");  // Edit1, Edit2 after the click
        QTest::newRow("typed name, many") << 3 << 0 << false << "Photo.Jpg";
        QTest::newRow("upper, many") << 3 << 1 << true << "PHOTO.JPG";
        QTest::newRow("lower, many") << 3 << 2 << true << "photo.jpg";
        QTest::newRow("upper, one") << 1 << 1 << false << "PHOTO.JPG";
    }
    void renameDialogButtons() {
        QFETCH(int, selected);
        QFETCH(int, radio);
        QFETCH(bool, allOk);
        QFETCH(QString, name);
        TRNameFrm d("/p/Photo.Jpg", selected, QImage());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QVERIFY(!d.AllOKBtn->isEnabled());
        clickBox(d.radioItems->button(radio));
        QCOMPARE(d.AllOKBtn->isEnabled(), allOk);
        QCOMPARE(d.Edit1->text() + "." + d.Edit2->text(), name);
        QCOMPARE(d.Edit1->isEnabled(), radio == 0);
    }

    void renameDialogOkGivesTheName_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("target");
        QTest::newRow("cleared name") << "/p/a.jpg" << "" << ".jpg";
        QTest::newRow("no extension") << "/p/readme" << "notes" << "notes.";
        QTest::newRow("Japanese") << "/p/猫.png" << "写真" << "写真.png";
    }
    void renameDialogOkGivesTheName() {
        QFETCH(QString, path);
        QFETCH(QString, typed);
        QFETCH(QString, target);
        TRNameFrm d(path.toStdString(), 1, QImage());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        typeInto(d.Edit1, typed);
        QTest::mouseClick(d.OKBtn1, Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(QString::fromStdString(d.RenameTarget()), target);
    }
};

QTEST_MAIN(RenameDialogsTest)
#include "rename_dialogs_test.moc"
