// The copy/move destination chooser, the rename and serial rename dialogs and the extended copy
// dialog through clicks and typing: what OK refuses, which files get which names, sizes and turns,
// the enabling of their controls, and the settings they keep.
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
#include "tests/support/CodecSamples.h"
#include "tests/support/FolderContents.h"
#include "tests/support/TestImages.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;

struct SerialRow {
    const char* name;
    QString pattern, start, box;  // box: the message shown, "" none
    QStringList after;            // the folder afterwards, name=content
    int renames;                  // reported to the list
};
struct RNameRow {
    const char* name;
    int selected, radio;
    bool allOk;
    QString shown;  // Edit1.Edit2 after the click
};
struct ClickRow {
    const char* name;
    QStringList clicks;
    // Enabled: QualityCombo, PNGLevelRadio1, SizeCombo, WidthEdit, SizeCheck, GasituCheck.
    QString enabled;
    bool heightShown;
    QString center;  // LabelCenter's text
};
struct RunRow {  // one source converted through the extended copy dialog
    const char* name;
    QString source;
    QSize sourceSize;
    QStringList clicks;
    QString width, height;
    QStringList existing;  // already in the destination
    QString written;
    QSize size;
};
Q_DECLARE_METATYPE(SerialRow)
Q_DECLARE_METATYPE(RNameRow)
Q_DECLARE_METATYPE(ClickRow)
Q_DECLARE_METATYPE(RunRow)

namespace {

template <class Row, size_t N>
void addRows(const Row (&rows)[N]) {
    QTest::addColumn<Row>("row");
    for (const Row& r : rows) QTest::newRow(r.name) << r;
}

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
    void chooserOkWantsAFullPath_data() {
        QTest::addColumn<bool>("copy");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("warning");
        QTest::newRow("empty") << true << "" << "コピー先フォルダをフルパスで指定して下さい。";
        QTest::newRow("bare name") << false << "photos" << "移動先フォルダをフルパスで指定して下さい。";
    }
    void chooserOkWantsAFullPath() {
        QFETCH(bool, copy);
        QFETCH(QString, typed);
        TempTree t;
        int runs = 0;
        TSelectDir d(copy, {"/p/a", "/p/b"}, {"/p/b"}, {}, selectHooks(runs, t / "k.ini"));
        QVERIFY(shown(d));
        typeInto(d.DirCombo->lineEdit(), typed);
        MessageBoxCatcher boxes;
        QTest::mouseClick(d.OKBtn, Qt::LeftButton);
        QTEST(boxes.text, "warning");
        QCOMPARE(runs, 0);
        QVERIFY(d.isVisible());
    }

    void chooserMaximisedKeepsTheLastNormalSize() {
        TempTree t;
        {
            korvel::IniFile ini;
            ini.writeInteger("CopyMove", "Width", 700);
            ini.writeInteger("CopyMove", "Height", 500);
            ini.save(t / "k.ini");
        }
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

    void serialOkRefusesOrRenames_data() {
        const QStringList untouched{"1.jpg=1", "2.jpg=2", "x.txt=x"};
        const SerialRow rows[] = {
            {"empty name", "", "1", "ファイル名を指定して下さい。", untouched, 0},
            {"two placeholders", "a\\b\\", "1",
             "ファイル名の指定に誤りがあります。\n連番を挿入する所に \\ を入れて下さい。", untouched, 0},
            {"taken by a later file", "\\", "2", "1.jpg は名前を変更出来ません。", {"1.jpg=1", "3.jpg=2", "x.txt=x"}, 1},
            {"percent typed", "%s\\%d", "7", "", {"%s7%d.jpg=1", "%s8%d.jpg=2", "x.txt=x"}, 2},
        };
        addRows(rows);
    }
    void serialOkRefusesOrRenames() {
        QFETCH(SerialRow, row);
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

    void renameDialogButtons_data() {
        const RNameRow rows[] = {
            {"typed name, many", 3, 0, false, "Photo.Jpg"},
            {"upper, many", 3, 1, true, "PHOTO.JPG"},
            {"lower, many", 3, 2, true, "photo.jpg"},
            {"upper, one", 1, 1, false, "PHOTO.JPG"},
        };
        addRows(rows);
    }
    void renameDialogButtons() {
        QFETCH(RNameRow, row);
        TRNameFrm d("/p/Photo.Jpg", row.selected, QImage());
        QVERIFY(shown(d));
        QVERIFY(!d.AllOKBtn->isEnabled());
        clickBox(d.radioItems->button(row.radio));
        QCOMPARE(d.AllOKBtn->isEnabled(), row.allOk);
        QCOMPARE(d.Edit1->text() + "." + d.Edit2->text(), row.shown);
        QCOMPARE(d.Edit1->isEnabled(), row.radio == 0);
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
        TRNameFrm d(path.toStdString(), 1, QImage());
        QVERIFY(shown(d));
        typeInto(d.Edit1, typed);
        QTest::mouseClick(d.OKBtn1, Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QTEST(QString::fromStdString(d.RenameTarget()), "target");
    }

    void copyEnablingFollowsClicks_data() {
        const QStringList free{"SizeRadio3", "SizeCheck"};
        const ClickRow rows[] = {
            {"defaults", {}, "000000", false, "Pixel"},
            {"jpeg", {"JPEGRadio"}, "100000", false, "Pixel"},
            {"png", {"JPEGRadio", "PNGRadio"}, "010000", false, "Pixel"},
            {"scale", {"SizeRadio2"}, "001001", false, "Pixel"},
            {"given, kept ratio", {"SizeRadio3"}, "000111", false, "Pixel"},
            {"given, free ratio", free, "000111", true, "ｘ H"},
            {"free ratio, back to original", free + QStringList{"SizeRadio1"}, "000000", false, "Pixel"},
            {"free ratio, then given again", free + QStringList{"SizeRadio2", "SizeRadio3"}, "000111", true,
             "ｘ H"},
        };
        addRows(rows);
    }
    void copyEnablingFollowsClicks() {
        QFETCH(ClickRow, row);
        TempTree t;
        TOpCopyFrm d({"/p/a.bmp"}, {"/p/a.bmp"}, {}, copyHooks(t / "k.ini"));
        d.LoadSettings();
        QVERIFY(shown(d));
        for (const QString& c : row.clicks) clickByName(d, c);
        const QWidget* ws[] = {d.QualityCombo, d.PNGLevelRadio1, d.SizeCombo,
                               d.WidthEdit,    d.SizeCheck,      d.GasituCheck};
        QString got;
        for (const QWidget* w : ws) got += w->isEnabled() ? '1' : '0';
        QCOMPARE(got, row.enabled);
        QCOMPARE(d.HeightEdit->isVisible(), row.heightShown);
        QCOMPARE(d.LabelCenter->text(), row.center);
    }

    void copySizeFieldsOnLeaving_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("box");
        QTest::newRow("number") << "120" << "120" << "";
        QTest::newRow("zero") << "0" << "1" << "";
        QTest::newRow("letters") << "12a" << "80" << "\"12a\"は整数ではありません。";
    }
    void copySizeFieldsOnLeaving() {
        QFETCH(QString, typed);
        QFETCH(QString, after);
        QFETCH(QString, box);
        TempTree t;
        TOpCopyFrm d({"/p/a.bmp"}, {"/p/a.bmp"}, {}, copyHooks(t / "k.ini"));
        QVERIFY(shown(d));
        clickByName(d, "SizeRadio3");
        clickByName(d, "SizeCheck");
        for (QLineEdit* e : {d.WidthEdit, d.HeightEdit}) {
            d.activateWindow();  // back from the box of the field before
            QVERIFY(QTest::qWaitForWindowActive(&d));
            MessageBoxCatcher boxes;
            typeInto(e, typed);
            QTest::keyClick(e, Qt::Key_Tab);  // leaves the field
            QTRY_COMPARE(e->objectName() + ":" + e->text(), e->objectName() + ":" + after);
            QCOMPARE(boxes.texts, box.isEmpty() ? QStringList{} : QStringList{box});
        }
    }

    void copyRunWritesSizeTurnAndName_data() {
        const QStringList given{"SizeRadio3"};
        const RunRow rows[] = {
            {"original size", "a.bmp", {7, 5}, {}, "", "", {}, "a.bmp", {7, 5}},
            {"wide, kept ratio", "a.bmp", {1000, 500}, given, "80", "", {}, "a.bmp", {80, 40}},
            {"tall, free ratio, plain stretch", "a.bmp", {500, 1000},
             given + QStringList{"SizeCheck", "GasituCheck"}, "80", "80", {}, "a.bmp", {80, 80}},
            {"25% of 3x3", "a.bmp", {3, 3}, {"SizeRadio2"}, "", "", {}, "a.bmp", {1, 1}},
            {"wide, 80, turned 90", "a.bmp", {1000, 500}, given + QStringList{"Turn1"}, "80", "", {}, "a.bmp",
             {40, 80}},
            {"jpeg, the bitmap name taken", "a.jpg", {20, 10}, {}, "", "", {"a.bmp"}, "a_1.bmp", {20, 10}},
        };
        addRows(rows);
    }
    void copyRunWritesSizeTurnAndName() {
        QFETCH(RunRow, row);
        TempTree src, dst, cfg;
        const std::string in = src / row.source.toStdString();
        const QSize s = row.sourceSize;
        if (row.source.endsWith(".jpg")) writeFile(in, jpegSample(s.width(), s.height(), false, false));
        else saveBmp(gradientBitmap(s.width(), s.height()), in);
        for (const QString& e : row.existing) writeFile(dst / e.toStdString(), "taken");
        TOpCopyFrm d({in}, {in}, {}, copyHooks(cfg / "k.ini"));
        d.LoadSettings();
        QVERIFY(shown(d));
        for (const QString& c : row.clicks) clickByName(d, c);
        if (row.clicks.contains("SizeRadio2")) {
            // 25 % is index 35 of the list: 200 - 5 x 35.
            d.SizeCombo->setFocus();
            for (int i = d.SizeCombo->currentIndex(); i < 35; ++i) QTest::keyClick(d.SizeCombo, Qt::Key_Down);
            QCOMPARE(d.SizeCombo->currentText(), QString("25"));
        }
        if (!row.width.isEmpty()) typeInto(d.WidthEdit, row.width);
        if (!row.height.isEmpty()) typeInto(d.HeightEdit, row.height);
        typeInto(d.DirCombo->lineEdit(), QString::fromStdString(dst.dir()));
        MessageBoxCatcher boxes;
        QTest::mouseClick(d.OkBtn, Qt::LeftButton);
        QCOMPARE(boxes.texts, QStringList{});
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(dst.count(), long(row.existing.size()) + 1);
        const korvel::TBitmap out = loadBmp(dst / row.written.toStdString());
        QCOMPARE(QSize(out.width(), out.height()), row.size);
        if (row.clicks.isEmpty() && row.source.endsWith(".bmp"))
            QCOMPARE(pixelDifference(out, loadBmp(in)), std::string());
    }

    // Each file fails alone with its name, and leaves nothing in the destination.
    void copyEveryFileFailsWithItsName_data() {
        QTest::addColumn<QString>("key");  // a hand-edited setting, "" none
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("fullDisk");
        QTest::newRow("quality outside its list") << "JPEGQuality" << 150 << false;
        QTest::newRow("percentage outside its list") << "SizeCombo" << -3 << false;
        QTest::newRow("disk full while saving") << "" << 0 << true;
    }
    void copyEveryFileFailsWithItsName() {
        QFETCH(QString, key);
        QFETCH(int, value);
        QFETCH(bool, fullDisk);
        TempTree src, dst, cfg;
        {
            korvel::IniFile ini;
            ini.writeInteger("OpCopy", "SaveFormat", 1);
            ini.writeInteger("OpCopy", "Size", key == "SizeCombo" ? 1 : 0);
            if (!key.isEmpty()) ini.writeInteger("OpCopy", key.toStdString(), value);
            ini.save(cfg / "k.ini");
        }
        const std::vector<std::string> files{src / "a.bmp", src / "b.bmp"};
        for (const std::string& f : files) saveBmp(gradientBitmap(16, 8), f);
        TOpCopyFrm d(files, files, {}, copyHooks(cfg / "k.ini"));
        d.LoadSettings();
        if (!key.isEmpty())
            QCOMPARE((key == "SizeCombo" ? d.SizeCombo : d.QualityCombo)->currentText(), QString());
        QVERIFY(shown(d));
        typeInto(d.DirCombo->lineEdit(), QString::fromStdString(dst.dir()));
        korvel::SafeWriteSteps full;
        full.write = [](int, const void*, size_t) -> ssize_t { return errno = ENOSPC, -1; };
        if (fullDisk) korvel::setSafeWriteSteps(full);
        MessageBoxCatcher boxes;
        QTest::mouseClick(d.OkBtn, Qt::LeftButton);
        korvel::setSafeWriteSteps({});
        QCOMPARE(boxes.texts, (QStringList{"\"a.bmp\"は処理出来ませんでした。", "\"b.bmp\"は処理出来ませんでした。"}));
        QCOMPARE(dst.count(), 0L);
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }

    void copySettingsRoundTrip() {
        TempTree cfg;
        {
            TOpCopyFrm d({"/p/a.bmp"}, {"/p/a.bmp"}, {}, copyHooks(cfg / "k.ini"));
            d.LoadSettings();
            QVERIFY(shown(d));
            for (const char* c : {"JPEGRadio", "SizeRadio3", "SizeCheck", "Turn2", "DateCheck"})
                clickByName(d, c);
            d.QualityCombo->setFocus();
            QTest::keyClick(d.QualityCombo, Qt::Key_Down);  // 85 -> 84
            d.SaveSettings();
        }
        const korvel::IniFile ini = korvel::IniFile::load(cfg / "k.ini");
        const std::pair<const char*, int> saved[] = {
            {"SaveFormat", 1}, {"Size", 2}, {"JPEGQuality", 16}, {"Turn", 2}};
        for (const auto& [key, value] : saved) QVERIFY2(ini.readInteger("OpCopy", key, -1) == value, key);
        QCOMPARE(ini.readBool("OpCopy", "SizeCheck", true), false);
        QCOMPARE(ini.readBool("OpCopy", "Date", false), true);
        QVERIFY(!ini.hasKey("OpCopy", "PNGInterlaceCheck"));
        // Read back, the enabling matches the stored choices.
        TOpCopyFrm d({"/p/a.bmp"}, {"/p/a.bmp"}, {}, copyHooks(cfg / "k.ini"));
        d.LoadSettings();
        QVERIFY(shown(d));
        QCOMPARE(d.QualityCombo->currentText(), QString("84"));
        QVERIFY(d.QualityCombo->isEnabled() && !d.PNGLevelRadio1->isEnabled());
        QVERIFY(d.HeightEdit->isVisible() && d.WidthEdit->isEnabled() && !d.SizeCombo->isEnabled());
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
