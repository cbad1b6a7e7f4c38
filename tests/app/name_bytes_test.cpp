// Names that are not UTF-8 (Latin-1 from an old archive, Shift_JIS from a camera card, a byte
// UTF-8 never has) edited in every box that holds a name or a folder: each byte the user did not
// touch reaches the disk and the settings files as it was, and what the user typed arrives as UTF-8.
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <filesystem>

#include "app/OptionFrm.h"
#include "platform/JobRunner.h"
#include "base/FileNames.h"
#include "base/IniFile.h"
#include "base/UserFolders.h"
#include "browse/ui/FolderPicker.h"
#include "fileops/ui/FolderNameDialogs.h"
#include "fileops/ui/NumberFrm.h"
#include "fileops/ui/OpCopyFrm.h"
#include "fileops/ui/RNameFrm.h"
#include "fileops/ui/SelectDir.h"
#include "nav/ui/QFSelectFrm.h"
#include "platform/PathText.h"
#include "tests/support/GridWindow.h"
#include "tests/support/TempTree.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;
using A = TKorvelMain::Actions;

namespace {

// 'café' in Latin-1, 画像 in Shift_JIS, and a byte UTF-8 never has.
const std::string kOddNames[] = {"caf\xE9", "\x89\xE6\x91\x9C", "bad\xFF" "dir"};

void appendTo(QLineEdit* e, const QString& text) {
    e->setFocus();
    QTest::keyClick(e, Qt::Key_End);
    QTest::keyClicks(e, text);
}

// A step that plays edit in the next dialog of class T and clicks its OK. A dialog that refused
// and stayed open is closed, so a fault fails the checks instead of leaving the test waiting.
template <class T>
ModalScript::Step thenOk(std::function<void(T&)> edit = {}) {
    return stepOn<T>([edit](T& d) {
        if (edit) edit(d);
        for (QPushButton* b : d.template findChildren<QPushButton*>()) {
            if (b->text() != QLatin1String("OK")) continue;
            QTest::mouseClick(b, Qt::LeftButton);
            // A run started by OK disables it and closes the dialog when it ends.
            (void)QTest::qWaitFor([&] { return b->isEnabled() || !d.isVisible(); }, 20000);
        }
        if (d.isVisible()) d.reject();
    });
}

std::string programIni() {
    return korvel::programSettingsPath(QCoreApplication::applicationFilePath().toStdString());
}

// One edit in one box. pics/ holds <name>.bmp (marked by the listing), dst/ the folder
// <name>/In/, the settings files the texts given. The command is a tool button, the folder menu on
// dst/<name>/ or the first quick folder's editor; its dialogs play the steps. Without a command,
// typed goes into the history box. Once the window has closed, pics/ and dst/ are compared where
// the row gives them, and the value saved under key in file.
struct Saved {
    std::string file;
    const char *section = "", *key = "";
    std::string value;
};
struct Row {
    const char* name;
    std::string program, user;
    QAction* A::*command = nullptr;
    std::vector<ModalScript::Step> steps;
    std::string typed, pics, dst;
    Saved saved;  // none without a file
};

}  // namespace

class NameBytesTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_;
    TempTree tree_;
    std::unique_ptr<TKorvelMain> w_;

    std::string pics(const std::string& name = "") const { return tree_ / ("pics/" + name); }
    std::string dst(const std::string& name = "") const { return tree_ / ("dst/" + name); }
    std::string userIni() const { return config_.path().toStdString() + "/Korvel.ini"; }

    std::vector<Row> rows(const std::string& odd) const {
        const std::string folder = dst(odd + "/"), in = folder + "In", program = programIni(), user = userIni();
        const std::string quick = "[QFolder]\nFolder1=" + folder + "\n";
        const std::string copied = odd + "/ " + odd + "/In/ " + odd + "/" + odd + ".bmp";
        return {
            {.name = "rename, append", .command = &A::ReNameBtn1,
             .steps = {thenOk<TRNameFrm>([](TRNameFrm& d) { appendTo(d.Edit1, "2"); })}, .pics = odd + "2.bmp"},
            {.name = "rename, upper case", .command = &A::ReNameBtn1,
             .steps = {thenOk<TRNameFrm>([](TRNameFrm& d) { clickBox(d.radioItems->button(1)); })},
             .pics = korvel::asciiUpper(odd) + ".BMP"},
            {.name = "rename, retyped", .command = &A::ReNameBtn1,
             .steps = {thenOk<TRNameFrm>([](TRNameFrm& d) { typeInto(d.Edit1, "新"); })}, .pics = "新.bmp"},
            {.name = "serial pattern, restored, appended", .program = "[NumberReName]\nString=" + odd + "_\\\n",
             .command = &A::NumberRNBtn1,
             .steps = {thenOk<TNumberFrm>([](TNumberFrm& d) { appendTo(d.NameEdit, "b"); })},
             .pics = odd + "_01b.bmp", .saved = {program, "NumberReName", "String", odd + "_\\b"}},
            {.name = "folder renamed", .command = &A::FRename1,
             .steps = {thenOk<TFolderNameInputFrm>([](TFolderNameInputFrm& d) { appendTo(d.FolderNameEdit, "2"); })},
             .dst = odd + "2/ " + odd + "2/In/", .saved = {user, "History", "Path0", dst(odd + "2/")}},
            {.name = "folder made", .command = &A::CreateDirMenu,
             .steps = {thenOk<TInputNameFrm>([](TInputNameFrm& d) { typeInto(d.FNameEdit, "新"); })},
             .dst = odd + "/ " + odd + "/In/ " + odd + "/新/"},
            {.name = "copy chooser, from the drop-down", .user = quick, .command = &A::CopyBtn,
             .steps = {thenOk<TSelectDir>([](TSelectDir& d) { pressOn(d.DirCombo, Qt::Key_Down); })},
             .dst = copied, .saved = {program, "CopyMove", "Dir", folder}},
            {.name = "copy chooser, browsed from the folder typed", .command = &A::CopyBtn,
             .steps = {thenOk<TSelectDir>([in](TSelectDir& d) {
                           typeInto(d.DirCombo->lineEdit(), pathText(in));
                           QTest::mouseClick(d.SpeedButton1, Qt::LeftButton);
                       }),
                       stepOn<TFolderPicker>([](TFolderPicker& d) {
                           QTest::keyClick(d.Tree, Qt::Key_Left);  // up to the parent
                           QTest::keyClick(d.Tree, Qt::Key_Return);
                           QCOMPARE(d.PromptLabel->text(), QStringLiteral("コピー先フォルダを指定して下さい"));
                       })},
             .dst = copied, .saved = {program, "CopyMove", "Dir", folder}},
            {.name = "copy chooser, restored, appended", .program = "[CopyMove]\nDir=" + folder + "\n",
             .command = &A::CopyBtn,
             .steps = {thenOk<TSelectDir>([](TSelectDir& d) { appendTo(d.DirCombo->lineEdit(), "sub"); }),
                       pressBox(QMessageBox::Yes)},  // makes the new folder
             .dst = odd + "/ " + odd + "/In/ " + odd + "/sub/ " + odd + "/sub/" + odd + ".bmp",
             .saved = {program, "CopyMove", "Dir", folder + "sub/"}},
            {.name = "extended copy, restored", .program = "[OpCopy]\nSelectFolder=" + folder + "\n",
             .command = &A::KCopyBtn, .steps = {thenOk<TOpCopyFrm>()},
             .dst = copied, .saved = {program, "OpCopy", "SelectFolder", folder}},
            {.name = "quick-folder editor, appended, saved at close", .user = quick, .command = &A::QFShowMenu,
             .steps = {thenOk<TQFSelectFrm>([](TQFSelectFrm& d) { appendTo(d.QFEdit, "In/"); })},
             .saved = {user, "QFolder", "Folder1", in}},
            {.name = "options' start folder, picked, appended", .command = &A::OptionBtn,
             .steps = {thenOk<TOptionFrm>([folder](TOptionFrm& d) {
                 d.hooks.browseFolder = [folder](const QString&, const std::string&) { return folder; };
                 clickBox(d.siteiRadio);
                 QTest::mouseClick(d.SpeedButton1, Qt::LeftButton);
                 appendTo(d.Edit1, "In");
             })},
             .saved = {user, "Window", "Path", in}},
            {.name = "history box, typed", .typed = in + "/", .saved = {user, "History", "Path0", in + "/"}},
        };
    }

    bool open(const Row& r, const std::string& odd) {
        w_.reset();
        std::filesystem::remove_all(tree_.dir());
        tree_.folder("pics");
        tree_.folder("dst/" + odd + "/In");  // "In" sorts before the files copied beside it
        writePatternBmp(pics(odd + ".bmp"), 8, 6);
        writeFile(programIni(), r.program);
        writeFile(userIni(), r.user);
        w_ = std::make_unique<TKorvelMain>(std::vector<std::string>{pics()});
        return showReady(*w_) && w_->markedFiles() == std::vector<size_t>{0};
    }

    void run(const Row& r, const std::string& odd) {
        QAction* command = r.command ? w_->actions().*r.command : nullptr;
        if (!command) {
            QLineEdit* history = historyBox(*w_)->lineEdit();
            typeInto(history, pathText(r.typed));
            QTest::keyClick(history, Qt::Key_Return);
        } else if (command == w_->actions().FRename1 || command == w_->actions().CreateDirMenu) {
            QVERIFY(dirTree(*w_)->SelectPath(dst(odd + "/")));
            rightClickNode(*w_, dirTree(*w_)->FindNode(dst(odd + "/")));
            pickFromMenu(folderPopup(*w_), command);
        } else if (command == w_->actions().QFShowMenu) {
            QTest::mouseClick(quickFolderButton(*w_, 0), Qt::RightButton);
            pickFromMenu(quickFolderPopup(*w_), command);
        } else {
            QTest::mouseClick(w_->toolButton(command), Qt::LeftButton);
        }
    }

private slots:
    void initTestCase() { qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8()); }
    void cleanup() { w_.reset(); }

    void boxesKeepTheBytes_data() {
        QTest::addColumn<int>("name");
        QTest::addColumn<int>("row");
        for (int n = 0; n < int(std::size(kOddNames)); ++n) {
            const std::vector<Row> table = rows(kOddNames[n]);
            for (int i = 0; i < int(table.size()); ++i)
                QTest::addRow("%s: %s", qPrintable(pathText(kOddNames[n])), table[size_t(i)].name) << n << i;
        }
    }
    void boxesKeepTheBytes() {
        QFETCH(int, name);
        QFETCH(int, row);
        const std::string& odd = kOddNames[name];
        const Row r = rows(odd)[size_t(row)];
        QVERIFY(open(r, odd));
        ModalScript dialogs(r.steps);
        dialogs.on<QMessageBox>([](QMessageBox& box, int) { QTest::keyClick(&box, Qt::Key_Escape); });  // unexpected
        run(r, odd);
        QTRY_VERIFY(dialogs.done());
        // A copy or rename the dialogs started runs as a job: its files are checked once it ended.
        const JobRunner* jobs = w_->findChild<JobRunner*>();
        QTRY_VERIFY(!jobs || !jobs->busy());
        for (size_t i = 0; i < w_->fileList().size(); ++i)  // the window lists the new names
            QVERIFY2(std::filesystem::exists(w_->fileList().path(i)), qPrintable(pathText(w_->fileList().path(i))));
        w_->close();
        if (!r.pics.empty()) QCOMPARE(listing(pics(), false), r.pics);
        if (!r.dst.empty()) QCOMPARE(listing(dst(), false), r.dst);
        if (const Saved& s = r.saved; !s.file.empty())
            QCOMPARE(korvel::IniFile::load(s.file).readString(s.section, s.key, ""), s.value);
    }
};

QTEST_MAIN(NameBytesTest)
#include "name_bytes_test.moc"
