// The file dialogs through clicks and typing. The rules they reach are tested in the core; here
// what the dialogs themselves decide, and one run through each.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <cerrno>

#include "base/ErrorReason.h"
#include "base/SafeWrite.h"
#include "fileops/ui/NumberFrm.h"
#include "fileops/ui/OpCopyFrm.h"
#include "fileops/ui/RNameFrm.h"
#include "fileops/ui/SelectDir.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TakenSamples.h"
#include "tests/support/TestImages.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;
using Paths = std::vector<std::string>;

namespace {

// The folder chooser with its settings in a fresh folder, counting the runs it starts.
struct Chooser {
    TempTree cfg;
    int runs = 0;
    TSelectDir d;
    Chooser(bool copy, const Paths& all, const Paths& selected, const Paths& quick = {})
        : d(copy, all, selected, quick, hooks()) {}
    TSelectDir::Hooks hooks() {
        TSelectDir::Hooks h;
        h.ensureFolder = [](const std::string&) { return true; };
        h.run = [this](bool, const Paths&, const std::string&) { ++runs; };
        h.settingsPath = cfg / "k.ini";
        return h;
    }
};

// The extended copy dialog on files, its settings (ini, when given) in a fresh folder, shown.
struct CopyDialog {
    TempTree cfg;
    TOpCopyFrm d;
    explicit CopyDialog(const Paths& files = {"/p/a.bmp"}, const std::string& ini = "", bool load = true)
        : d(files, files, {}, hooks(ini)) {
        if (load) d.LoadSettings();
        showExposed(d);
    }
    TOpCopyFrm::Hooks hooks(const std::string& ini) {
        if (!ini.empty()) writeFile(cfg / "k.ini", ini);
        TOpCopyFrm::Hooks h;
        h.ensureFolder = [](const std::string&) { return true; };
        h.settingsPath = cfg / "k.ini";
        return h;
    }
};

void clickByName(TOpCopyFrm& d, const QString& name) {
    if (name.startsWith("Turn")) return clickBox(d.turnGroup->button(name.mid(4).toInt()));
    auto* b = d.findChild<QAbstractButton*>(name);
    QVERIFY2(b, qPrintable(name));
    clickBox(b);
}

// Enabled (1) or not: QualityCombo, PNGLevelRadio1, SizeCombo, WidthEdit, SizeCheck, GasituCheck;
// then whether the height shows, and the label between the sizes.
QString copyState(const TOpCopyFrm& d) {
    return enabledMask<QWidget>({d.QualityCombo, d.PNGLevelRadio1, d.SizeCombo, d.WidthEdit, d.SizeCheck,
                                 d.GasituCheck})
           + (d.HeightEdit->isVisible() ? " H " : " - ") + d.LabelCenter->text();
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void chooserButtonsMoveItemsInOrder() {
        Chooser c(true, {"/p/a", "/p/b", "/p/c", "/p/d"}, {"/p/c", "/p/a"});
        QVERIFY(showExposed(c.d));
        TTwoLists* l = c.d.lists;
        const auto lists = [l] { return joined(l->yesPaths()) + " | " + joined(l->noPaths()); };
        QCOMPARE(lists(), "/p/c /p/a | /p/b /p/d");
        clickRow(l->NoListBox, 1);
        QTest::mouseClick(l->AddBtn, Qt::LeftButton);
        QCOMPARE(lists(), "/p/c /p/a /p/d | /p/b");
        QTest::mouseClick(l->AllAddBtn, Qt::LeftButton);
        QCOMPARE(lists(), "/p/c /p/a /p/d /p/b | ");
        QTest::mouseClick(l->AllDelBtn, Qt::LeftButton);
        QCOMPARE(lists(), " | /p/c /p/a /p/d /p/b");
    }

    // A folder that runs is tried through the main window; here the ones refused, and OK with
    // nothing to process, which says nothing.
    void chooserOkWantsAFullPath() {
        const std::tuple<bool, Paths, QString, QStringList> rows[] = {
            {true, {"/p/b"}, "", {"コピー先フォルダをフルパスで指定して下さい。"}},
            {false, {"/p/b"}, "photos", {"移動先フォルダをフルパスで指定して下さい。"}},
            {true, {}, "/q", {}}};
        for (const auto& [copy, selected, typed, warning] : rows) {
            const RowTrace trace{typed};
            Chooser c(copy, {"/p/a", "/p/b"}, selected);
            QVERIFY(showExposed(c.d));
            typeInto(c.d.DirCombo->lineEdit(), typed);
            QCOMPARE(boxesAfterClick(c.d.OKBtn), warning);
            QVERIFY(c.runs == 0 && c.d.isVisible());
        }
        // Enter in the folder box or a list is OK with its checks.
        for (const bool inList : {false, true}) {
            Chooser c(false, {"/p/a", "/p/b"}, {"/p/b"});
            QVERIFY(showExposed(c.d));
            MessageBoxCatcher boxes;
            pressOn(inList ? static_cast<QWidget*>(c.d.lists->NoListBox) : c.d.DirCombo->lineEdit(), Qt::Key_Return);
            QCOMPARE(boxes.texts, QStringList{"移動先フォルダをフルパスで指定して下さい。"});
        }
    }

    // A hand-edited size is fitted to the screen and neither list can be squeezed away.
    void chooserHandEditedPlacementIsFitted() {
        Chooser c(true, {"/p/a", "/p/b"}, {"/p/b"});
        writeFile(c.cfg / "k.ini", "[CopyMove]\nWidth=700\nHeight=99999\nPanel=-50\n");
        c.d.LoadSettings();
        QVERIFY(showExposed(c.d));
        const QRect screen = c.d.screen()->availableGeometry();
        QVERIFY(c.d.height() <= screen.height() && c.d.lists->NoListBox->width() >= 100);
        for (const QWidget* b : {c.d.OKBtn, c.d.CancelBtn})
            QVERIFY(screen.contains(QRect(b->mapToGlobal(QPoint()), b->size())));
    }

    void chooserMaximisedKeepsTheLastNormalSize() {
        Chooser c(true, {"/p/a"}, {"/p/a"}, {"/q1", "", "/q3"});
        writeFile(c.cfg / "k.ini", "[CopyMove]\nWidth=700\nHeight=500\n");
        c.d.LoadSettings();
        QCOMPARE(c.d.size(), QSize(700, 500));
        QCOMPARE(c.d.DirCombo->count(), 2);
        c.d.showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&c.d));
        c.d.SaveSettings();
        QCOMPARE(iniValues(c.cfg / "k.ini", "CopyMove", {"wState", "Width", "Height"}),
                 "wState=2 Width=700 Height=500");
        QVERIFY(korvel::IniFile::load(c.cfg / "k.ini").hasKey("CopyMove", "Panel"));
    }

    void serialOkRefusesOrRenames() {
        const QString untouched = "1.jpg=1 2.jpg=2 x.txt=x";
        // Typed pattern and start; the boxes, the folder after (name=content), the renames reported.
        const std::tuple<QString, QString, QStringList, QString, QStringList> rows[] = {
            {"", "1", {"ファイル名を指定して下さい。"}, untouched, {}},
            {"a\\b\\", "1", {"ファイル名の指定に誤りがあります。\n連番を挿入する所に \\ を入れて下さい。"},
             untouched, {}},
            {"\\", "2", {"1.jpg は名前を変更出来ません。\n同じ名前のファイルが既にあります"}, "1.jpg=1 3.jpg=2 x.txt=x",
             {"2.jpg>3.jpg"}},
        };
        for (const auto& [pattern, start, box, after, reported] : rows) {
            const RowTrace trace{pattern};
            TempTree t, cfg;
            const std::string one = t.write("1.jpg", "1"), two = t.write("2.jpg", "2");
            QStringList renamed;  // name>new name
            TNumberFrm::Hooks hooks;
            hooks.renamed = [&, n = t.root().size()](const std::string& f, const std::string& to) {
                renamed << QString::fromStdString(f.substr(n) + ">" + to.substr(n));
            };
            hooks.settingsPath = cfg / "k.ini";
            TNumberFrm d(t.root(), {one, two, t.write("x.txt", "x")}, {one, two}, hooks);
            QVERIFY(showExposed(d));
            typeInto(d.NameEdit, pattern);
            typeInto(d.NumEdit, start);
            typeInto(d.KetaEdit, "1");
            QCOMPARE(boxesAfterClick(d.OKBtn), box);
            QStringList got;
            for (const auto& [n, c] : folderContents(t.dir())) got << QString::fromStdString(n + "=" + c);
            QCOMPARE(got.join(' '), after);
            QCOMPARE(renamed, reported);  // exactly the renames that happened
            QCOMPARE(d.result() == QDialog::Accepted, !reported.isEmpty());
        }
    }

    // Date tokens typed into the name: the preview shows the dates, a clash is flagged and the
    // OK button refuses it; a malformed token is named as such.
    void serialPreviewTakesDates() {
        TempTree t;
        const PhotoBytes photo = jpegWithExif(exifTakenBlock("2021:03:04 05:06:07", "+09:00"));
        const std::string a = t.write("a.jpg", std::string(photo.begin(), photo.end()));
        const std::string b = t.write("b.jpg", std::string(photo.begin(), photo.end()));
        const std::string c = t.write("c.png", "c");
        t.mtime("c.png", localTime(2022, 11, 12, 13, 14, 15));
        TNumberFrm::Hooks hooks;
        hooks.settingsPath = t / "k.ini";
        TNumberFrm d(t.root(), {a, b, c}, {a, c}, hooks);
        QVERIFY(showExposed(d));
        const auto newNames = [&] {
            QStringList l;
            for (int r = 0; r < d.preview->model()->rowCount(); ++r) l << d.preview->model()->index(r, 1).data().toString();
            return l.join(' ');
        };
        typeInto(d.NameEdit, "{taken:yyyyMMdd_HHmmss}");
        QCOMPARE(newNames(), "20210304_050607.jpg 20221112_131415.png");
        QVERIFY(!d.previewSummary->text().contains("同じ名前"));
        typeInto(d.NameEdit, "{taken:yyyyMMdd_HHmmssX}");
        QCOMPARE(d.previewSummary->text(), "日付の指定に誤りがあります。");
        // b, taken in the same second as a, joins the files to rename.
        clickRow(d.lists->NoListBox, 0);
        QTest::mouseClick(d.lists->AddBtn, Qt::LeftButton);
        typeInto(d.NameEdit, "{taken:yyyyMMdd}");
        QVERIFY(newNames().count("20210304.jpg") == 2);
        QVERIFY(d.previewSummary->text().contains("2 個のファイルが同じ名前になります"));
        QCOMPARE(boxesAfterClick(d.OKBtn), QStringList{"2 個のファイルが同じ名前になります。名前は変更しませんでした。"});
        QVERIFY(std::filesystem::exists(a) && std::filesystem::exists(b) && std::filesystem::exists(c));
    }

    void serialPreviewFollowsOrderAndFields() {
        TempTree t;
        const std::string a = t.write("a.JPG", "a"), b = t.write("b.png", "b");
        TNumberFrm::Hooks hooks;
        hooks.settingsPath = t / "k.ini";
        TNumberFrm d(t.root(), {a, b, t.write("n02.png", "old")}, {a, b}, hooks);
        d.resize(1, 1);
        QVERIFY(showExposed(d));
        QVERIFY(!d.UpBtn->isEnabled());
        typeInto(d.NameEdit, "n\\");
        // At its smallest the lists show three files each.
        for (const QListWidget* l : {d.lists->NoListBox, d.lists->YesListBox})
            QVERIFY2(l->viewport()->height() >= 3 * 50, qPrintable(QString::number(l->viewport()->height())));
        QCOMPARE(d.findChild<QLabel*>("Label3")->text(), "連番を挿入する場所に半角英数で  \\ を入れて下さい。");
        const auto rows = [&] {
            QStringList l;
            for (int r = 0; r < 2; ++r)
                for (int col = 0; col < 2; ++col) l << d.preview->model()->index(r, col).data().toString();
            return l.join(' ');
        };
        QCOMPARE(rows(), "a.JPG n01.JPG b.png n02.png");
        QVERIFY(d.previewSummary->text().contains("1 個は変更出来ません"));
        // Lower-case extensions, then b first: b takes n01 and a n02.jpg, nothing fails.
        clickBox(d.radioItems->button(2));
        QListWidget* rn = d.lists->YesListBox;
        clickRow(rn, 1);
        QVERIFY(d.UpBtn->isEnabled());
        QTest::mouseClick(d.UpBtn, Qt::LeftButton);
        QCOMPARE(rows(), "b.png n01.png a.JPG n02.jpg");
        QVERIFY(!d.previewSummary->text().contains("変更出来ません"));
        // The new names get the preview's width.
        const QHeaderView* head = d.preview->horizontalHeader();
        QVERIFY(head->sectionSize(1) > head->sectionSize(0) && head->sectionSize(2) < head->sectionSize(0));
        QCOMPARE(head->length(), head->viewport()->width());
        // Two selected: the buttons go off; "全て戻す" needs a selection in its list.
        clickRow(rn, 1, Qt::ShiftModifier);
        QVERIFY(!d.UpBtn->isEnabled());
        rn->clearSelection();
        QTest::mouseClick(d.lists->AllDelBtn, Qt::LeftButton);
        QCOMPARE(rn->count(), 2);
        QCOMPARE(folderContents(t.dir()).size(), size_t(3));  // the preview wrote nothing
    }

    // The case buttons convert the name shown (the name edit takes typing only as it was); "all OK"
    // wants more than one file and a conversion. OK gives the name typed with the extension shown.
    void renameDialog() {
        // File, marked count, radio; Edit1.Edit2 and enabled Edit1/AllOK after it; name typed, target.
        const std::tuple<std::string, int, int, QString, QString, QString> rows[] = {
            {"/p/Photo.Jpg", 3, 0, "Photo.Jpg edit", "", ".Jpg"},
            {"/p/Photo.Jpg", 3, 1, "PHOTO.JPG all", "x", "PHOTO.JPG"},
            {"/p/Photo.Jpg", 3, 2, "photo.jpg all", "x", "photo.jpg"},
            {"/p/Photo.Jpg", 1, 1, "PHOTO.JPG", "x", "PHOTO.JPG"},
            {"/p/readme", 1, 0, "readme. edit", "notes", "notes."},
            {"/p/猫.png", 1, 0, "猫.png edit", "写真", "写真.png"},
        };
        for (const auto& [path, selected, radio, state, typed, target] : rows) {
            const RowTrace trace{state};
            TRNameFrm d(path, selected, QImage());
            QVERIFY(showExposed(d));
            QVERIFY(!d.AllOKBtn->isEnabled());
            clickBox(d.radioItems->button(radio));
            QCOMPARE(d.Edit1->text() + "." + d.Edit2->text() + (d.Edit1->isEnabled() ? " edit" : "")
                         + (d.AllOKBtn->isEnabled() ? " all" : ""),
                     state);
            typeInto(d.Edit1, typed);
            QTest::mouseClick(d.OKBtn1, Qt::LeftButton);
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QCOMPARE(QString::fromStdString(d.RenameTarget()), target);
        }
    }

    void copyEnablingFollowsClicks() {
        const std::pair<QStringList, QString> rows[] = {  // the clicks, and copyState after them
            {{}, "000000 - Pixel"},
            {{"JPEGRadio"}, "100000 - Pixel"},
            {{"JPEGRadio", "PNGRadio"}, "010000 - Pixel"},
            {{"SizeRadio2"}, "001001 - Pixel"},
            {{"SizeRadio3"}, "000111 - Pixel"},
            {{"SizeRadio3", "SizeCheck"}, "000111 H ｘ H"},
            {{"SizeRadio3", "SizeCheck", "SizeRadio1"}, "000000 - Pixel"},
            {{"SizeRadio3", "SizeCheck", "SizeRadio2", "SizeRadio3"}, "000111 H ｘ H"},
        };
        for (const auto& [clicks, state] : rows) {
            const RowTrace trace{clicks.join(',')};
            CopyDialog c;
            for (const QString& click : clicks) clickByName(c.d, click);
            QCOMPARE(copyState(c.d), state);
        }
    }

    void copySizeFieldsOnLeaving() {
        const std::tuple<QString, QString, QStringList> rows[] = {  // typed, shown after, boxes
            {"120", "120", {}}, {"0", "1", {}}, {"12a", "80", {"\"12a\"は整数ではありません。"}}};
        for (const auto& [typed, after, box] : rows) {
            CopyDialog c({"/p/a.bmp"}, "", false);
            for (const char* click : {"SizeRadio3", "SizeCheck"}) clickByName(c.d, click);
            for (QLineEdit* e : {c.d.WidthEdit, c.d.HeightEdit}) {
                c.d.activateWindow();  // back from the box of the field before
                QVERIFY(QTest::qWaitForWindowActive(&c.d));
                MessageBoxCatcher boxes;
                typeInto(e, typed);
                QTest::keyClick(e, Qt::Key_Tab);  // leaves the field
                QTRY_COMPARE(e->objectName() + ":" + e->text(), e->objectName() + ":" + after);
                QCOMPARE(boxes.texts, box);
            }
        }
    }

    // What arrives, each file as its difference from its source ("" the same pixels). A file that
    // fails, from a hand-edited setting outside its list or a full disk, fails alone with its name.
    void copyWritesOrFailsEachFile() {
        const auto failed = [](const QString& reason) {
            return QStringList{"\"a.bmp\"は処理出来ませんでした。\n" + reason, "\"b.bmp\"は処理出来ませんでした。\n" + reason};
        };
        const QStringList unset = failed("サイズまたは画質の設定が空です");
        const QStringList full = failed(QString::fromStdString(korvel::errorReason(ENOSPC)));
        // Settings, a full disk, the sources' size, clicks, Down presses in the percent list (5 a step),
        // width and height typed; quality and percent at OK ("" outside their lists), boxes, arrivals.
        using Row = std::tuple<std::string, bool, QSize, QStringList, int, QString, QString, QString,
                               QStringList, QString>;
        const Row rows[] = {
            {"", false, {7, 5}, {}, 0, "", "", "85 100", {}, "a.bmp= b.bmp="},
            {"", false, {500, 1000}, {"SizeRadio3", "SizeCheck", "GasituCheck"}, 0, "80", "80", "85 100",
             {}, "a.bmp=80x80 vs 500x1000 b.bmp=80x80 vs 500x1000"},
            {"", false, {3, 3}, {"SizeRadio2"}, 15, "", "", "85 25", {}, "a.bmp=1x1 vs 3x3 b.bmp=1x1 vs 3x3"},
            {"", false, {1000, 500}, {"SizeRadio3", "Turn1"}, 0, "80", "", "85 100", {},
             "a.bmp=40x80 vs 1000x500 b.bmp=40x80 vs 1000x500"},
            {"SaveFormat=1\nJPEGQuality=150\n", false, {16, 8}, {}, 0, "", "", " 100", unset, ""},
            {"SaveFormat=1\nSize=1\nSizeCombo=-3\n", false, {16, 8}, {}, 0, "", "", "85 ", unset, ""},
            {"SaveFormat=1\n", true, {16, 8}, {}, 0, "", "", "85 100", full, ""},
        };
        for (const auto& [settings, diskFull, source, clicks, downs, width, height, combos, boxes, arrived] :
             rows) {
            const RowTrace trace{QString::fromStdString(settings) + arrived};
            TempTree src, dst;
            const Paths files{src / "a.bmp", src / "b.bmp"};
            for (const std::string& f : files)
                saveBmp(gradientBitmap(source.width(), source.height()), f);
            CopyDialog c(files, "[OpCopy]\n" + settings);
            for (const QString& click : clicks) clickByName(c.d, click);
            pressOn(c.d.SizeCombo, Qt::Key_Down, downs);
            if (!width.isEmpty()) typeInto(c.d.WidthEdit, width);
            if (!height.isEmpty()) typeInto(c.d.HeightEdit, height);
            typeInto(c.d.DirCombo->lineEdit(), QString::fromStdString(dst.dir()));
            QCOMPARE(c.d.QualityCombo->currentText() + " " + c.d.SizeCombo->currentText(), combos);
            korvel::SafeWriteSteps full;
            full.write = [](int, const void*, size_t) -> ssize_t { return errno = ENOSPC, -1; };
            korvel::setSafeWriteSteps(diskFull ? full : korvel::SafeWriteSteps{});
            const QStringList shown = boxesAfterClick(c.d.OkBtn);
            korvel::setSafeWriteSteps({});
            QCOMPARE(shown, boxes);
            QCOMPARE(c.d.result(), int(QDialog::Accepted));
            QStringList got;
            for (const auto& [name, bytes] : folderContents(dst.dir())) {
                const std::string difference = pixelDifference(loadBmp(dst / name), loadBmp(src / name));
                got << QString::fromStdString(name + "=" + difference);
            }
            QCOMPARE(got.join(' '), arrived);
        }
    }

    // The user during a run: a turn chosen after the first file turns every later one; while a broken
    // file's box is open only the files before it are on disk and the bar counts them; ｷｬﾝｾﾙ right
    // after the box's OK stops the run.
    void copyRunFollowsTheUserBetweenFiles() {
        TempTree src, dst;
        CopyDialog c(nineBitmaps(src.dir(), 3));
        typeInto(c.d.DirCombo->lineEdit(), QString::fromStdString(dst.dir()));
        QString whileBox;
        MessageBoxCatcher boxes;
        boxes.onBox = [&] {
            whileBox = QString("%1 at %2").arg(bitmapSizes(dst.dir()).c_str()).arg(c.d.ProgressBar1->value());
            QTimer::singleShot(0, &c.d, [&] { clickByName(c.d, "CancelBtn"); });  // once the box is gone
        };
        QObject::connect(c.d.ProgressBar1, &QProgressBar::valueChanged, &c.d, [&](int v) {
            if (v == 1) clickByName(c.d, "Turn1");
        });
        QTest::mouseClick(c.d.OkBtn, Qt::LeftButton);
        QTRY_VERIFY(!c.d.running());
        QCOMPARE(c.d.result(), int(QDialog::Accepted));
        QCOMPARE(whileBox, "f0=30x20 f1=20x30 f2=20x30 at 3");
        QCOMPARE(QString::fromStdString(bitmapSizes(dst.dir())), "f0=30x20 f1=20x30 f2=20x30");
    }

    void copySettingsRoundTrip() {
        CopyDialog c;
        for (const char* click : {"JPEGRadio", "SizeRadio3", "SizeCheck", "Turn2", "DateCheck"})
            clickByName(c.d, click);
        pressOn(c.d.QualityCombo, Qt::Key_Down);  // 85 -> 84
        c.d.SaveSettings();
        const std::string saved = c.cfg / "k.ini";
        QCOMPARE(iniValues(saved, "OpCopy", {"SaveFormat", "Size", "JPEGQuality", "Turn", "SizeCheck", "Date",
                                             "PNGInterlaceCheck"}),
                 "SaveFormat=1 Size=2 JPEGQuality=16 Turn=2 SizeCheck=0 Date=1 PNGInterlaceCheck");
        CopyDialog back({"/p/a.bmp"}, readFile(saved));
        QCOMPARE(back.d.QualityCombo->currentText(), QString("84"));
        QCOMPARE(copyState(back.d), "100111 H ｘ H");
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
