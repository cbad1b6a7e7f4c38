// The options dialog from the tool button: what OK stores and applies against Cancel, the
// display switches that re-list the folder, the interval box, and the favourites and
// quick-folder editors.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include "app/OptionFrm.h"
#include "app/ToolIcons.h"
#include "base/IniFile.h"
#include "base/UserFolders.h"
#include "nav/QuickFolders.h"
#include "nav/ui/QFSelectFrm.h"
#include "tests/support/GridWindow.h"
#include "tests/support/TempTree.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;
using Step = ModalScript::Step;

namespace {
void answer(QWidget* box, QMessageBox::StandardButton b) { static_cast<QMessageBox*>(box)->button(b)->click(); }
}  // namespace

class OptionDialogTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_, pics_;
    std::string iniPath() const { return korvel::mainSettingsPath(QCoreApplication::applicationFilePath().toStdString()); }
    korvel::IniFile ini() const { return korvel::IniFile::load(iniPath()); }
    QString pics() const { return pics_.path(); }

    // Opens the dialog from the tool button on the pictures folder; the script plays the user.
    int runDialog(const std::string& iniText, std::vector<Step> steps, const std::function<void(TKorvelMain&)>& check) {
        writeFile(iniPath(), iniText);
        TKorvelMain w(QStringList{pics()});
        if (!showReady(w)) return -1;
        int relists = 0;
        connect(&w, &TKorvelMain::folderListed, [&] { ++relists; });
        ModalScript script(std::move(steps));
        clickBox(w.toolButton(w.actions().OptionBtn));
        if (!script.done()) return -1;
        check(w);
        boxTexts_ = script.boxTexts;
        return relists;
    }
    QStringList boxTexts_;

private slots:
    void initTestCase() {
        qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8());
        for (const char* n : {"a.bmp", "b.bmp"}) writeSolidBmp(pics() + "/" + n, 16, 16);
    }

    void okAgainstCancel_data() {
        QTest::addColumn<bool>("ok");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }
    void okAgainstCancel() {
        QFETCH(bool, ok);
        const std::string before = "[Window]\nNoHideFile=0\n";
        int cell = 0, info = 0, history = -1;
        QString shownSize, chosenSize;
        const int relists = runDialog(
            before,
            {{"TOptionFrm",
              [&](QWidget* w) {
                  auto* d = static_cast<TOptionFrm*>(w);
                  shownSize = d->CellSizeCombo->currentText();
                  clickBox(d->HideCheck);
                  d->CellSizeCombo->setFocus();
                  QTest::keyClick(d->CellSizeCombo, Qt::Key_6);
                  chosenSize = d->CellSizeCombo->currentText();
                  clickBox(d->BitBtn1);
                  clickBox(ok ? d->OkBtn : d->CancelBtn);
              }},
             {"QMessageBox", [](QWidget* box) { answer(box, QMessageBox::Yes); }}},
            [&](TKorvelMain& w) {
                cell = w.grid()->defaultSize(), info = w.infoHeight(), history = w.historyBox()->count();
            });
        QCOMPARE(shownSize, QStringLiteral("100"));
        QCOMPARE(chosenSize, QStringLiteral("60"));
        QCOMPARE(boxTexts_, QStringList{"履歴を全て削除します。よろしいですか？"});
        QCOMPARE(history, 0);  // cleared at once, also when cancelled
        QCOMPARE(relists, ok ? 1 : 0);
        QCOMPARE(cell, ok ? 65 : 105);
        QCOMPARE(info, ok ? 12 : 20);
        if (ok) QVERIFY(ini().readBool("Window", "NoHideFile", false));
        else QCOMPARE(readFile(iniPath()), before);
    }

    void displaySwitchesRelist_data() {
        QTest::addColumn<QString>("check");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("wanted");
        QTest::newRow("hidden files") << "HideCheck" << "Window" << "NoHideFile" << true;
        QTest::newRow("fast thumbnails") << "SpeedCheck" << "Thumbnil" << "SpeedFlg" << true;
        QTest::newRow("first image") << "ChangeImCheck" << "Window" << "ChangeImFlg" << false;
        QTest::newRow("enlarge small") << "PictFitCheck" << "Window" << "PictFitFlg" << true;
        QTest::newRow("EXIF rotation") << "ExifRotateCheck" << "Window" << "ExifRotate" << false;
        QTest::newRow("colour profiles") << "ColorManageCheck" << "Window" << "ColorManage" << false;
        QTest::newRow("shared cache") << "SharedCacheCheck" << "Thumbnil" << "SharedCache" << false;
    }
    void displaySwitchesRelist() {
        QFETCH(QString, check);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(bool, wanted);
        const int relists = runDialog(
            "", {{"TOptionFrm", [&](QWidget* w) {
                      clickBox(w->findChild<QCheckBox*>(check));
                      clickBox(static_cast<TOptionFrm*>(w)->OkBtn);
                  }}},
            [](TKorvelMain& w) { w.close(); });  // the window writes what it holds at close
        QCOMPARE(relists, 1);
        QCOMPARE(ini().readBool(section.toStdString(), key.toStdString(), !wanted), wanted);
    }

    void intervalAloneIsWrittenAsTypedWithoutRelisting() {
        QString shown, opened;
        const int relists = runDialog(
            "", {{"TOptionFrm", [&](QWidget* w) {
                      auto* d = static_cast<TOptionFrm*>(w);
                      opened = d->SlidNumEdit->text();
                      d->SlidNumEdit->setFocus();
                      QTest::keyClick(d->SlidNumEdit, Qt::Key_A, Qt::ControlModifier);
                      QTest::keyClicks(d->SlidNumEdit, "1a5-0x0 ");
                      shown = d->SlidNumEdit->text();
                      clickBox(d->OkBtn);
                  }}},
            [](TKorvelMain&) {});
        QCOMPARE(opened, QStringLiteral("3000"));
        QCOMPARE(shown, QStringLiteral("1500"));
        QCOMPARE(relists, 0);
        QVERIFY(readFile(iniPath()).find("TimeInt=1500") != std::string::npos);
    }

    void twentyFirstFavouriteReplacesTheLastAndDuplicatesAreRefused() {
        std::string text = "[Favorites]\n";
        for (int i = 0; i < 20; ++i) text += "Path" + std::to_string(i) + "=/fav/" + std::to_string(i) + "/\n";
        const QString added = pics() + "/";
        QStringList favorites, edited;
        runDialog(text,
                  {{"TOptionFrm",
                    [&](QWidget* w) {
                        auto* d = static_cast<TOptionFrm*>(w);
                        d->PageControl1->setCurrentIndex(1);
                        d->hooks.browseFolder = [&](const QString&, const std::string&) { return pics().toStdString(); };
                        clickBox(d->AddBtn);
                        clickBox(d->AddBtn);
                        for (int i = 0; i < d->ListBox1->count(); ++i) edited << d->ListBox1->item(i)->text();
                        clickBox(d->OkBtn);
                    }},
                   {"QMessageBox", [](QWidget* box) { answer(box, QMessageBox::Ok); }}},
                  [&](TKorvelMain& w) {
                      for (int i = 0; i < w.favoritesBox()->count(); ++i) favorites << w.favoritesBox()->itemText(i);
                  });
        QCOMPARE(boxTexts_, QStringList{added + " は既に登録済みです。"});
        QCOMPARE(edited, favorites);
        QCOMPARE(favorites.size(), 20);
        QCOMPARE(favorites[18], QStringLiteral("/fav/18/"));
        QCOMPARE(favorites[19], added);
    }

    void clearingOneQuickFolderRowAndBindingAnother() {
        const std::string text = "[QFolder]\nFolder1=/q/one\nCaption1=One\nFolder2=/q/two\nCaption2=Two\n";
        QStringList cleared;
        QList<bool> enabled;
        runDialog(text,
                  {{"TOptionFrm",
                    [&](QWidget* w) {
                        auto* d = static_cast<TOptionFrm*>(w);
                        d->PageControl1->setCurrentIndex(2);
                        enabled << d->QFClearBtn->isEnabled();
                        QTreeWidget* list = d->ListView1;
                        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                          list->visualItemRect(list->topLevelItem(0)).center());
                        enabled << d->QFClearBtn->isEnabled() << d->QFUpBtn->isEnabled() << d->QFDownBtn->isEnabled();
                        clickBox(d->QFClearBtn);
                        cleared << list->topLevelItem(0)->text(0) << list->topLevelItem(0)->text(1);
                        list->setCurrentItem(list->topLevelItem(2));
                        clickBox(d->QFEditBtn);
                        clickBox(d->OkBtn);
                    }},
                   {"QMessageBox", [](QWidget* box) { answer(box, QMessageBox::Yes); }},
                   {"TQFSelectFrm",
                    [&](QWidget* w) {
                        auto* f = static_cast<TQFSelectFrm*>(w);
                        cleared << f->QFEdit->text();
                        QTest::keyClicks(f->QFEdit, pics());
                        clickBox(f->OkBtn);
                    }}},
                  [&](TKorvelMain& w) {
                      QToolButton* one = w.quickFolderButton(0);
                      QVERIFY(one->text().isEmpty() && one->toolTip().isEmpty());
                      QCOMPARE(one->icon().pixmap(20, 20).toImage(), toolIcon(ToolIcon::SubFolders).pixmap(20, 20).toImage());
                      QCOMPARE(w.quickFolderButton(1)->text(), QStringLiteral("Two"));
                      QCOMPARE(w.quickFolderButton(2)->toolTip(), pics());
                      QCOMPARE(w.quickFolderButton(2)->text(),
                               QString::fromStdString(korvel::MakeQuickFolderCaption(pics().toStdString())));
                  });
        QCOMPARE(boxTexts_, QStringList{"選択した設定をクリアします。よろしいですか？"});
        QCOMPARE(cleared, (QStringList{"未設定", "", ""}));  // the unbound row opens the editor empty
        QCOMPARE(enabled, (QList<bool>{false, true, false, true}));
    }
};

QTEST_MAIN(OptionDialogTest)
#include "option_dialog_test.moc"
