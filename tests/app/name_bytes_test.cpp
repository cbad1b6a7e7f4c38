// Names that are not UTF-8 (Latin-1 from an old archive, Shift_JIS from a camera card) edited in
// every box that holds a name or a folder: each byte the user did not touch reaches the disk and
// the settings file as it was, and what the user typed arrives as UTF-8.
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>

#include "app/OptionFrm.h"
#include "base/FileNames.h"
#include "base/IniFile.h"
#include "base/UserFolders.h"
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

namespace {

// 'café' in Latin-1 and 画像 in Shift_JIS.
const std::string kOddNames[] = {"caf\xE9", "\x89\xE6\x91\x9C"};

std::string names(const std::string& folder) { return listing(folder, false); }

void appendTo(QLineEdit* e, const QString& text) {
    e->setFocus();
    QTest::keyClick(e, Qt::Key_End);
    QTest::keyClicks(e, text);
}

// Chooses item i of a combo box's drop-down with the mouse.
void chooseFromDropDown(QComboBox* box, int i) {
    box->showPopup();
    QAbstractItemView* list = box->view();
    QTRY_VERIFY(list->isVisible());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(i, 0)).center());
}

// Presses ok; a dialog that refused and stayed open is closed, so a fault fails the checks after
// it instead of leaving the test waiting.
void pressOk(QDialog& d, QAbstractButton* ok) {
    QTest::mouseClick(ok, Qt::LeftButton);
    if (d.isVisible()) d.reject();
}

// Unexpected message boxes are closed with Esc (their texts stay in the script).
void escapeBoxes(ModalScript& s) {
    s.on<QMessageBox>([](QMessageBox& box, int) { QTest::keyClick(&box, Qt::Key_Escape); });
}

std::string programIni() {
    return korvel::programSettingsPath(QCoreApplication::applicationFilePath().toStdString());
}

}  // namespace

class NameBytesTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_;
    std::unique_ptr<TempTree> tree_;
    std::unique_ptr<TKorvelMain> w_;

    std::string pics(const std::string& name = "") const { return *tree_ / ("pics/" + name); }
    std::string dst(const std::string& name = "") const { return *tree_ / ("dst/" + name); }
    // pics/ holding the pictures named, dst/ holding the folders named; the window on pics/ with
    // the first picture marked. "@" in the settings stands for the tree's root.
    bool open(const std::vector<std::string>& pictures, const std::vector<std::string>& folders = {},
              const std::string& programSettings = "") {
        w_.reset();
        tree_ = std::make_unique<TempTree>();
        tree_->folder("pics");
        tree_->folder("dst");
        for (const std::string& p : pictures) writePatternBmp(pics(p), 8, 6);
        for (const std::string& f : folders) tree_->folder("dst/" + f);
        std::string settings = programSettings;
        if (const size_t at = settings.find('@'); at != std::string::npos) settings.replace(at, 1, tree_->root());
        writeFile(programIni(), settings);
        w_ = std::make_unique<TKorvelMain>(std::vector<std::string>{pics()});
        if (!showReady(*w_)) return false;
        clickCell(*w_, 0);
        return waitPreview(*w_) && w_->markedFiles() == std::vector<size_t>{0};
    }
    void click(QAction* TKorvelMain::Actions::*action) { QTest::mouseClick(w_->toolButton(w_->actions().*action), Qt::LeftButton); }
    void folderMenu(const std::string& folder, QAction* TKorvelMain::Actions::*item) {
        QVERIFY(w_->dirTree()->SelectPath(folder));
        rightClickNode(*w_, w_->dirTree()->FindNode(folder));
        pickFromMenu(w_->folderPopup(), w_->actions().*item);
    }

private slots:
    void init() { qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8()); }
    void cleanup() {
        w_.reset();
        tree_.reset();
    }

    // The rename dialog: appending, changing case and retyping, for each name.
    void renameKeepsTheUntouchedBytes() {
        enum Edit { Append, Upper, Retype };
        for (const std::string& odd : kOddNames)
            for (Edit edit : {Append, Upper, Retype}) {
                const RowTrace trace{pathText(odd) + " " + QString::number(edit)};
                QVERIFY(open({odd + ".bmp"}));
                ModalScript dialogs({stepOn<TRNameFrm>([edit](TRNameFrm& d) {
                    if (edit == Append) appendTo(d.Edit1, "2");
                    if (edit == Upper) clickBox(d.radioItems->button(1));
                    if (edit == Retype) typeInto(d.Edit1, "新");
                    pressOk(d, d.OKBtn1);
                })});
                escapeBoxes(dialogs);
                click(&TKorvelMain::Actions::ReNameBtn1);
                QVERIFY(dialogs.done());
                const std::string renamed[] = {odd + "2.bmp", korvel::asciiUpper(odd) + ".BMP", "新.bmp"};
                QCOMPARE(names(pics()), renamed[edit]);
                QCOMPARE(w_->fileList().path(0), pics(renamed[edit]));
            }
    }

    // The serial pattern comes back from the settings with its bytes, takes an appended letter,
    // names the files with it and is saved again as bytes.
    void serialPatternKeepsItsBytes() {
        for (const std::string& odd : kOddNames) {
            const RowTrace trace{pathText(odd)};
            QVERIFY(open({"a.bmp"}, {}, "[NumberReName]\nString=" + odd + "_\\\n"));
            ModalScript dialogs({stepOn<TNumberFrm>([](TNumberFrm& d) {
                appendTo(d.NameEdit, "b");
                pressOk(d, d.OKBtn);
            })});
            escapeBoxes(dialogs);
            click(&TKorvelMain::Actions::NumberRNBtn1);
            QVERIFY(dialogs.done());
            QCOMPARE(names(pics()), odd + "_01b.bmp");
            QCOMPARE(korvel::IniFile::load(programIni()).readString("NumberReName", "String", ""), odd + "_\\b");
        }
    }

    // Renaming a folder by appending to its name, then creating a folder inside it.
    void folderDialogsKeepTheParentsBytes() {
        for (const std::string& odd : kOddNames) {
            const RowTrace trace{pathText(odd)};
            QVERIFY(open({"a.bmp"}, {odd}));
            ModalScript rename({stepOn<TFolderNameInputFrm>([](TFolderNameInputFrm& d) {
                appendTo(d.FolderNameEdit, "2");
                pressOk(d, d.BitBtn1);
            })});
            escapeBoxes(rename);
            folderMenu(dst(odd + "/"), &TKorvelMain::Actions::FRename1);
            QTRY_VERIFY(rename.done());
            ModalScript create({stepOn<TInputNameFrm>([](TInputNameFrm& d) {
                typeInto(d.FNameEdit, "新");
                pressOk(d, d.OkBtn);
            })});
            escapeBoxes(create);
            folderMenu(dst(odd + "2/"), &TKorvelMain::Actions::CreateDirMenu);
            QTRY_VERIFY(create.done());
            QCOMPARE(names(dst()), odd + "2/ " + odd + "2/新/");
        }
    }

    // The copy chooser's folder box: chosen from the drop-down, restored from the settings, and
    // appended to (which makes a new folder inside the odd one).
    void chooserFolderKeepsItsBytes() {
        for (const std::string& odd : kOddNames) {
            const RowTrace trace{pathText(odd)};
            QVERIFY(open({"a.bmp", "b.bmp", "c.bmp"}, {odd}));
            w_->setQuickFolder(0, dst(odd + "/"), "q");
            enum Edit { Choose, Restored, Append };
            for (Edit edit : {Choose, Restored, Append}) {
                clickCell(*w_, size_t(edit));
                ModalScript dialogs({stepOn<TSelectDir>([edit](TSelectDir& d) {
                                         if (edit == Choose) chooseFromDropDown(d.DirCombo, 0);
                                         if (edit == Append) appendTo(d.DirCombo->lineEdit(), "sub");
                                         pressOk(d, d.OKBtn);
                                     }),
                                     pressBox(QMessageBox::Yes)});  // create the new folder
                click(&TKorvelMain::Actions::CopyBtn);
                escapeBoxes(dialogs);
                QTRY_VERIFY(dialogs.seen >= (edit == Append ? 2 : 1));
            }
            QCOMPARE(names(dst()), odd + "/ " + odd + "/a.bmp " + odd + "/b.bmp " + odd + "/sub/ " + odd + "/sub/c.bmp");
            QCOMPARE(korvel::IniFile::load(programIni()).readString("CopyMove", "Dir", ""), dst(odd + "/sub/"));
        }
    }

    // The extended copy's folder box restored from a hand-edited settings file names an existing
    // folder that is not UTF-8: the copy goes there, no look-alike folder is made, and the same
    // bytes are saved.
    void extendedCopyFolderKeepsItsBytes() {
        for (const std::string& odd : {kOddNames[0], kOddNames[1], std::string("bad\xFF" "dir")}) {
            const RowTrace trace{pathText(odd)};
            QVERIFY(open({"a.bmp"}, {odd}, "[OpCopy]\nSelectFolder=@dst/" + odd + "/\n"));
            ModalScript dialogs({stepOn<TOpCopyFrm>([](TOpCopyFrm& d) { pressOk(d, d.OkBtn); })});
            escapeBoxes(dialogs);
            click(&TKorvelMain::Actions::KCopyBtn);
            QVERIFY(dialogs.done());
            QCOMPARE(names(dst()), odd + "/ " + odd + "/a.bmp");
            QCOMPARE(korvel::IniFile::load(programIni()).readString("OpCopy", "SelectFolder", ""), dst(odd + "/"));
        }
    }

    // A quick folder's editor, the options' start folder and a path typed into the history box.
    void folderBoxesOfTheMainWindowKeepBytes() {
        for (const std::string& odd : kOddNames) {
            const RowTrace trace{pathText(odd)};
            QVERIFY(open({"a.bmp"}, {odd, odd + "/in"}));
            // The quick-folder editor opened on its folder and taken one level down by typing.
            w_->setQuickFolder(0, dst(odd + "/"), "q");
            ModalScript quick({stepOn<TQFSelectFrm>([](TQFSelectFrm& d) {
                appendTo(d.QFEdit, "in/");
                pressOk(d, d.OkBtn);
            })});
            escapeBoxes(quick);
            QTest::mouseClick(w_->quickFolderButton(0), Qt::RightButton);
            pickFromMenu(w_->quickFolderPopup(), w_->actions().QFShowMenu);
            QTRY_VERIFY(quick.done());
            QCOMPARE(w_->quickFolder(0), dst(odd + "/in"));
            // The start folder, typed by appending to a folder picked before.
            ModalScript options({stepOn<TOptionFrm>([&](TOptionFrm& d) {
                d.hooks.browseFolder = [&](const QString&, const std::string&) { return dst(odd + "/"); };
                clickBox(d.siteiRadio);
                QTest::mouseClick(d.SpeedButton1, Qt::LeftButton);
                appendTo(d.Edit1, "in");
                pressOk(d, d.OkBtn);
            })});
            escapeBoxes(options);
            click(&TKorvelMain::Actions::OptionBtn);
            QVERIFY(options.done());
            const korvel::IniFile main = korvel::IniFile::load(config_.path().toStdString() + "/Korvel.ini");
            QCOMPARE(main.readString("Window", "Path", ""), dst(odd + "/in"));
            // A folder typed into the history box, its odd byte as the box shows it.
            QLineEdit* history = w_->historyBox()->lineEdit();
            typeInto(history, pathText(dst(odd + "/in/")));
            QTest::keyClick(history, Qt::Key_Return);
            QCOMPARE(w_->selectedFolder(), dst(odd + "/in/"));
            // And the quick folder's bytes reach the settings at close.
            w_->close();
            QCOMPARE(korvel::IniFile::load(config_.path().toStdString() + "/Korvel.ini").readString("QFolder", "Folder1", ""),
                     dst(odd + "/in"));
        }
    }
};

QTEST_MAIN(NameBytesTest)
#include "name_bytes_test.moc"
