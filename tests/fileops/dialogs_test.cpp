// The file dialogs through clicks and typing. The rules they reach are tested in the core; here
// what the dialogs themselves decide, and one run through each.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <cerrno>

#include "base/IniFile.h"
#include "base/SafeWrite.h"
#include "fileops/ui/NumberFrm.h"
#include "fileops/ui/OpCopyFrm.h"
#include "fileops/ui/RNameFrm.h"
#include "fileops/ui/SelectDir.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestImages.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;

namespace {

void clickItem(QListWidget* l, int row, Qt::KeyboardModifiers mods = {}) {
    l->scrollToItem(l->item(row));
    QTest::mouseClick(l->viewport(), Qt::LeftButton, mods, l->visualItemRect(l->item(row)).center());
}

bool shown(QWidget& w) {
    w.show();
    return QTest::qWaitForWindowExposed(&w);
}

// Counts the runs the chooser starts.
TSelectDir::Hooks selectHooks(int& runs, const std::string& ini) {
    TSelectDir::Hooks h;
    h.ensureFolder = [](const std::string&) { return true; };
    h.run = [&runs](bool, const std::vector<std::string>&, const std::string&) { ++runs; };
    h.settingsPath = ini;
    return h;
}

TOpCopyFrm::Hooks copyHooks(const std::string& ini) {
    TOpCopyFrm::Hooks h;
    h.ensureFolder = [](const std::string&) { return true; };
    h.settingsPath = ini;
    return h;
}

// The extended copy dialog on /p/a.bmp with its settings in a fresh folder, shown.
struct CopyDialog {
    TempTree cfg;
    TOpCopyFrm d{{"/p/a.bmp"}, {"/p/a.bmp"}, {}, copyHooks(cfg / "k.ini")};
    explicit CopyDialog(bool load = true) {
        if (load) d.LoadSettings();
        shown(d);
    }
};

void clickByName(TOpCopyFrm& d, const QString& name) {
    if (name.startsWith("Turn")) return clickBox(d.turnGroup->button(name.mid(4).toInt()));
    auto* b = d.findChild<QAbstractButton*>(name);
    QVERIFY2(b, qPrintable(name));
    clickBox(b);
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void chooserButtonsMoveItemsInOrder() {
        TempTree t;
        int runs = 0;
        TSelectDir d(true, {"/p/a", "/p/b", "/p/c", "/p/d"}, {"/p/c", "/p/a"}, {},
                     selectHooks(runs, t / "k.ini"));
        QVERIFY(shown(d));
        TTwoLists* l = d.lists;
        using V = std::vector<std::string>;
        QCOMPARE(l->yesPaths(), (V{"/p/c", "/p/a"}));
        QCOMPARE(l->noPaths(), (V{"/p/b", "/p/d"}));
        clickItem(l->NoListBox, 1);
        QTest::mouseClick(l->AddBtn, Qt::LeftButton);
        QCOMPARE(l->yesPaths(), (V{"/p/c", "/p/a", "/p/d"}));
        QCOMPARE(l->noPaths(), (V{"/p/b"}));
        QTest::mouseClick(l->AllAddBtn, Qt::LeftButton);
        QCOMPARE(l->yesPaths(), (V{"/p/c", "/p/a", "/p/d", "/p/b"}));
        QTest::mouseClick(l->AllDelBtn, Qt::LeftButton);
        QCOMPARE(l->noPaths(), (V{"/p/c", "/p/a", "/p/d", "/p/b"}));
        // OK with nothing to process does nothing and stays open.
        d.DirCombo->setEditText("/q");
        QTest::mouseClick(d.OKBtn, Qt::LeftButton);
        QCOMPARE(runs, 0);
        QVERIFY(d.isVisible());
    }

    // A folder that runs is tried through the main window; here the ones refused.
    void chooserOkWantsAFullPath() {
        const struct {
            bool copy;
            QString typed, warning;
        } rows[] = {{true, "", "コピー先フォルダをフルパスで指定して下さい。"},
                    {false, "photos", "移動先フォルダをフルパスで指定して下さい。"}};
        for (const auto& r : rows) {
            const RowTrace trace{r.typed};
            TempTree t;
            int runs = 0;
            TSelectDir d(r.copy, {"/p/a", "/p/b"}, {"/p/b"}, {}, selectHooks(runs, t / "k.ini"));
            QVERIFY(shown(d));
            typeInto(d.DirCombo->lineEdit(), r.typed);
            MessageBoxCatcher boxes;
            QTest::mouseClick(d.OKBtn, Qt::LeftButton);
            QCOMPARE(boxes.text, r.warning);
            QCOMPARE(runs, 0);
            QVERIFY(d.isVisible());
        }
    }

    void chooserMaximisedKeepsTheLastNormalSize() {
        TempTree t;
        writeFile(t / "k.ini", "[CopyMove]\nWidth=700\nHeight=500\n");
        int runs = 0;
        TSelectDir d(true, {"/p/a"}, {"/p/a"}, {"/q1", "", "/q3"}, selectHooks(runs, t / "k.ini"));
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

    void serialOkRefusesOrRenames() {
        const QStringList untouched{"1.jpg=1", "2.jpg=2", "x.txt=x"};
        const struct {
            QString pattern, start, box;  // box: the message shown, "" none
            QStringList after;            // the folder afterwards, name=content
            int renames;                  // reported to the list
        } rows[] = {
            {"", "1", "ファイル名を指定して下さい。", untouched, 0},
            {"a\\b\\", "1", "ファイル名の指定に誤りがあります。\n連番を挿入する所に \\ を入れて下さい。",
             untouched, 0},
            {"\\", "2", "1.jpg は名前を変更出来ません。", {"1.jpg=1", "3.jpg=2", "x.txt=x"}, 1},
        };
        for (const auto& row : rows) {
            const RowTrace trace{row.pattern};
            TempTree t;
            const std::string one = t.write("1.jpg", "1"), two = t.write("2.jpg", "2");
            const std::string other = t.write("x.txt", "x");
            std::vector<std::pair<std::string, std::string>> renamed;
            TNumberFrm::Hooks hooks;
            hooks.renamed = [&](const std::string& f, const std::string& to) { renamed.emplace_back(f, to); };
            hooks.settingsPath = t / "k.ini";
            TNumberFrm d(t.root(), {one, two, other}, {one, two}, hooks);
            QVERIFY(shown(d));
            typeInto(d.NameEdit, row.pattern);
            typeInto(d.NumEdit, row.start);
            typeInto(d.KetaEdit, "1");
            MessageBoxCatcher boxes;
            QTest::mouseClick(d.OKBtn, Qt::LeftButton);
            QCOMPARE(boxes.text, row.box);
            QStringList got;
            for (const auto& [n, c] : folderContents(t.dir()))
                if (n != "k.ini") got << QString::fromStdString(n + "=" + c);
            QCOMPARE(got, row.after);
            QCOMPARE(d.result() == QDialog::Accepted, row.renames > 0);
            // The list learns exactly the renames that happened.
            QCOMPARE(int(renamed.size()), row.renames);
            for (const auto& [from, to] : renamed)
                QVERIFY(!std::filesystem::exists(from) && std::filesystem::exists(to));
        }
    }

    void serialPreviewFollowsOrderAndFields() {
        TempTree t;
        const std::string a = t.write("a.JPG", "a"), b = t.write("b.png", "b");
        const std::string taken = t.write("n02.png", "old");
        TNumberFrm::Hooks hooks;
        hooks.settingsPath = t / "k.ini";
        TNumberFrm d(t.root(), {a, b, taken}, {a, b}, hooks);
        QVERIFY(shown(d));
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

    void renameDialogButtons() {
        const struct {
            int selected, radio;
            bool allOk;
            QString shown;  // Edit1.Edit2 after the click
        } rows[] = {{3, 0, false, "Photo.Jpg"}, {3, 1, true, "PHOTO.JPG"}, {3, 2, true, "photo.jpg"},
                    {1, 1, false, "PHOTO.JPG"}};
        for (const auto& row : rows) {
            const RowTrace trace{row.shown + QString::number(row.selected)};
            TRNameFrm d("/p/Photo.Jpg", row.selected, QImage());
            QVERIFY(shown(d));
            QVERIFY(!d.AllOKBtn->isEnabled());
            clickBox(d.radioItems->button(row.radio));
            QCOMPARE(d.AllOKBtn->isEnabled(), row.allOk);
            QCOMPARE(d.Edit1->text() + "." + d.Edit2->text(), row.shown);
            QCOMPARE(d.Edit1->isEnabled(), row.radio == 0);
        }
    }

    void renameDialogOkGivesTheName() {
        const struct {
            QString path, typed, target;
        } rows[] = {{"/p/a.jpg", "", ".jpg"}, {"/p/readme", "notes", "notes."}, {"/p/猫.png", "写真", "写真.png"}};
        for (const auto& r : rows) {
            TRNameFrm d(r.path.toStdString(), 1, QImage());
            QVERIFY(shown(d));
            typeInto(d.Edit1, r.typed);
            QTest::mouseClick(d.OKBtn1, Qt::LeftButton);
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QCOMPARE(QString::fromStdString(d.RenameTarget()), r.target);
        }
    }

    void copyEnablingFollowsClicks() {
        const QStringList free{"SizeRadio3", "SizeCheck"};
        const struct {
            QStringList clicks;
            // Enabled: QualityCombo, PNGLevelRadio1, SizeCombo, WidthEdit, SizeCheck, GasituCheck.
            QString enabled;
            bool heightShown;
            QString center;  // LabelCenter's text
        } rows[] = {
            {{}, "000000", false, "Pixel"},
            {{"JPEGRadio"}, "100000", false, "Pixel"},
            {{"JPEGRadio", "PNGRadio"}, "010000", false, "Pixel"},
            {{"SizeRadio2"}, "001001", false, "Pixel"},
            {{"SizeRadio3"}, "000111", false, "Pixel"},
            {free, "000111", true, "ｘ H"},
            {free + QStringList{"SizeRadio1"}, "000000", false, "Pixel"},
            {free + QStringList{"SizeRadio2", "SizeRadio3"}, "000111", true, "ｘ H"},
        };
        for (const auto& row : rows) {
            const RowTrace trace{row.clicks.join(',')};
            CopyDialog c;
            for (const QString& click : row.clicks) clickByName(c.d, click);
            QString got;
            for (const QWidget* w : std::initializer_list<const QWidget*>{
                     c.d.QualityCombo, c.d.PNGLevelRadio1, c.d.SizeCombo, c.d.WidthEdit, c.d.SizeCheck,
                     c.d.GasituCheck})
                got += w->isEnabled() ? '1' : '0';
            QCOMPARE(got, row.enabled);
            QCOMPARE(c.d.HeightEdit->isVisible(), row.heightShown);
            QCOMPARE(c.d.LabelCenter->text(), row.center);
        }
    }

    void copySizeFieldsOnLeaving() {
        const struct {
            QString typed, after, box;
        } rows[] = {{"120", "120", ""}, {"0", "1", ""}, {"12a", "80", "\"12a\"は整数ではありません。"}};
        for (const auto& r : rows) {
            CopyDialog c(false);
            clickByName(c.d, "SizeRadio3");
            clickByName(c.d, "SizeCheck");
            for (QLineEdit* e : {c.d.WidthEdit, c.d.HeightEdit}) {
                c.d.activateWindow();  // back from the box of the field before
                QVERIFY(QTest::qWaitForWindowActive(&c.d));
                MessageBoxCatcher boxes;
                typeInto(e, r.typed);
                QTest::keyClick(e, Qt::Key_Tab);  // leaves the field
                QTRY_COMPARE(e->objectName() + ":" + e->text(), e->objectName() + ":" + r.after);
                QCOMPARE(boxes.texts, r.box.isEmpty() ? QStringList{} : QStringList{r.box});
            }
        }
    }

    void copyRunWritesSizeTurnAndName() {
        const QStringList given{"SizeRadio3"};
        const struct {
            QSize sourceSize;
            QStringList clicks;
            QString width, height;
            QSize size;
        } rows[] = {
            {{7, 5}, {}, "", "", {7, 5}},
            {{500, 1000}, given + QStringList{"SizeCheck", "GasituCheck"}, "80", "80", {80, 80}},
            {{3, 3}, {"SizeRadio2"}, "", "", {1, 1}},
            {{1000, 500}, given + QStringList{"Turn1"}, "80", "", {40, 80}},
        };
        for (const auto& row : rows) {
            const RowTrace trace{row.clicks.join(',')};
            TempTree src, dst, cfg;
            const std::string in = src / "a.bmp";
            saveBmp(gradientBitmap(row.sourceSize.width(), row.sourceSize.height()), in);
            TOpCopyFrm d({in}, {in}, {}, copyHooks(cfg / "k.ini"));
            d.LoadSettings();
            QVERIFY(shown(d));
            for (const QString& c : row.clicks) clickByName(d, c);
            if (row.clicks.contains("SizeRadio2")) {
                // 25 % is index 35 of the list: 200 - 5 x 35.
                d.SizeCombo->setFocus();
                for (int i = d.SizeCombo->currentIndex(); i < 35; ++i)
                    QTest::keyClick(d.SizeCombo, Qt::Key_Down);
                QCOMPARE(d.SizeCombo->currentText(), QString("25"));
            }
            if (!row.width.isEmpty()) typeInto(d.WidthEdit, row.width);
            if (!row.height.isEmpty()) typeInto(d.HeightEdit, row.height);
            typeInto(d.DirCombo->lineEdit(), QString::fromStdString(dst.dir()));
            MessageBoxCatcher boxes;
            QTest::mouseClick(d.OkBtn, Qt::LeftButton);
            QCOMPARE(boxes.texts, QStringList{});
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QCOMPARE(dst.count(), 1L);
            const korvel::TBitmap out = loadBmp(dst / "a.bmp");
            QCOMPARE(QSize(out.width(), out.height()), row.size);
            if (row.clicks.isEmpty())
                QCOMPARE(pixelDifference(out, loadBmp(in)), std::string());
        }
    }

    // Each file fails alone with its name, and leaves nothing in the destination.
    void copyEveryFileFailsWithItsName() {
        const struct {
            std::string edited;  // a hand-edited setting, "" the disk is full while saving
            QComboBox* TOpCopyFrm::*combo;  // the list it stands outside of
        } rows[] = {{"JPEGQuality=150\n", &TOpCopyFrm::QualityCombo},
                    {"Size=1\nSizeCombo=-3\n", &TOpCopyFrm::SizeCombo},
                    {"", nullptr}};
        for (const auto& r : rows) {
            const RowTrace trace{QString::fromStdString(r.edited)};
            TempTree src, dst, cfg;
            writeFile(cfg / "k.ini", "[OpCopy]\nSaveFormat=1\n" + r.edited);
            const std::vector<std::string> files{src / "a.bmp", src / "b.bmp"};
            for (const std::string& f : files) saveBmp(gradientBitmap(16, 8), f);
            TOpCopyFrm d(files, files, {}, copyHooks(cfg / "k.ini"));
            d.LoadSettings();
            if (r.combo) QCOMPARE((d.*r.combo)->currentText(), QString());
            QVERIFY(shown(d));
            typeInto(d.DirCombo->lineEdit(), QString::fromStdString(dst.dir()));
            korvel::SafeWriteSteps full;
            full.write = [](int, const void*, size_t) -> ssize_t { return errno = ENOSPC, -1; };
            if (r.edited.empty()) korvel::setSafeWriteSteps(full);
            MessageBoxCatcher boxes;
            QTest::mouseClick(d.OkBtn, Qt::LeftButton);
            korvel::setSafeWriteSteps({});
            QCOMPARE(boxes.texts, (QStringList{"\"a.bmp\"は処理出来ませんでした。", "\"b.bmp\"は処理出来ませんでした。"}));
            QCOMPARE(dst.count(), 0L);
            QCOMPARE(d.result(), int(QDialog::Accepted));
        }
    }

    void copySettingsRoundTrip() {
        CopyDialog c;
        for (const char* click : {"JPEGRadio", "SizeRadio3", "SizeCheck", "Turn2", "DateCheck"})
            clickByName(c.d, click);
        c.d.QualityCombo->setFocus();
        QTest::keyClick(c.d.QualityCombo, Qt::Key_Down);  // 85 -> 84
        c.d.SaveSettings();
        const korvel::IniFile ini = korvel::IniFile::load(c.cfg / "k.ini");
        const std::pair<const char*, int> saved[] = {
            {"SaveFormat", 1}, {"Size", 2}, {"JPEGQuality", 16}, {"Turn", 2}};
        for (const auto& [key, value] : saved) QVERIFY2(ini.readInteger("OpCopy", key, -1) == value, key);
        QCOMPARE(ini.readBool("OpCopy", "SizeCheck", true), false);
        QCOMPARE(ini.readBool("OpCopy", "Date", false), true);
        QVERIFY(!ini.hasKey("OpCopy", "PNGInterlaceCheck"));
        // Read back, the enabling matches the stored choices.
        TOpCopyFrm d({"/p/a.bmp"}, {"/p/a.bmp"}, {}, copyHooks(c.cfg / "k.ini"));
        d.LoadSettings();
        QVERIFY(shown(d));
        QCOMPARE(d.QualityCombo->currentText(), QString("84"));
        QVERIFY(d.QualityCombo->isEnabled() && !d.PNGLevelRadio1->isEnabled());
        QVERIFY(d.HeightEdit->isVisible() && d.WidthEdit->isEnabled() && !d.SizeCombo->isEnabled());
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
