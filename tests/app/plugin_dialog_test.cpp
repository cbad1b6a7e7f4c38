// The plug-in settings dialog and the exclusion file across starts, and the main window's
// plug-in formats in its filter box.
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "app/PlugInFrm.h"
#include "base/IniFile.h"
#include "formats/FormatRegistry.h"
#include "formats/SpiStartup.h"
#include "tests/support/GridWindow.h"
#include "tests/support/TempTree.h"

using korvel::testing::readFile;
using korvel::testing::filterBox;

namespace {

const std::string kAppDir = std::string(KORVEL_TEST_SPI_DIR) + "/app/";

// One start: the test plug-ins' folder searched with Korvel's policy into a fresh registry.
struct Start {
    korvel::TFileFormatsList formats;
    korvel::MediaExtList media;
    std::unique_ptr<korvel::TSPIs> host;
    explicit Start(const std::string& exclusionPath) {
        host = std::make_unique<korvel::TSPIs>("", &formats);
        korvel::installStartupPolicy(*host, exclusionPath, media, {});
        for (const char* name : {"kvtA", "kvtB", "twomask"}) host->Search(kAppDir + name + ".spi");
    }
    bool loaded(const std::string& name) const { return host->IndexOf(kAppDir + name) >= 0; }
};

QTreeWidgetItem* itemOf(TPlugInFrm& dlg, const std::string& caption) {
    const auto found = dlg.ListView1->findItems(QString::fromStdString(caption), Qt::MatchExactly, 0);
    return found.isEmpty() ? nullptr : found.first();
}

// Presses OK; returns the messages shown, "!" before a warning's text.
QStringList pressOK(TPlugInFrm& dlg) {
    QStringList shown;
    dlg.showMessage = [&](bool warning, const QString&, const QString& text) {
        shown << (warning ? "!" : "") + text;
    };
    QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    return shown;
}

}  // namespace

class PluginDialogTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_;
    std::string spd_;

private slots:
    void init() {
        spd_ = config_.path().toStdString() + "/Korvel.spd";
        QFile::remove(QString::fromStdString(spd_));
    }

    // Three loaded (checked) and the one complete excluded record (unchecked), sorted by caption.
    void listsLoadedAndExcludedPluginsSorted() {
        korvel::testing::writeFile(spd_, "/elsewhere/gone.spi\r\nGone about\r\n*.gon\r\nGone\r\n");
        Start start(spd_);
        TPlugInFrm dlg(start.host.get(), spd_);
        QStringList captions;
        for (int i = 0; i < dlg.ListView1->topLevelItemCount(); ++i)
            captions << dlg.ListView1->topLevelItem(i)->text(0);
        QStringList sorted = captions;
        std::sort(sorted.begin(), sorted.end(),
                  [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        QCOMPARE(captions.size(), 4);
        QCOMPARE(captions, sorted);
        QTreeWidgetItem* gone = itemOf(dlg, "/elsewhere/gone.spi");
        QVERIFY(gone);
        QCOMPARE(gone->checkState(0), Qt::Unchecked);
        QCOMPARE(gone->text(2), QStringLiteral("*.gon"));
        QTreeWidgetItem* two = itemOf(dlg, kAppDir + "twomask.spi");
        QVERIFY(two);
        QCOMPARE(two->checkState(0), Qt::Checked);
        QCOMPARE(QStringList({two->text(1), two->text(2), two->text(3)}),
                 QStringList({"Korvel test plug-in twomask", "*.ka;*.kb", "Two masks"}));
    }

    void uncheckedPluginIsGoneAtNextStartAndComesBack() {
        {
            Start first(spd_);
            TPlugInFrm dlg(first.host.get(), spd_);
            itemOf(dlg, kAppDir + "kvtB.spi")->setCheckState(0, Qt::Unchecked);
            QCOMPARE(pressOK(dlg), QStringList{"設定の変更は次回起動時より有効になります。"});
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QCOMPARE(readFile(spd_),
                     kAppDir + "kvtB.spi\r\nKorvel test plug-in kvtB\r\n*.kvt\r\nKVT image B\r\n");
            QVERIFY(first.loaded("kvtB.spi"));  // the running host is unchanged
        }
        {
            // Which plug-ins an exclusion file keeps out is the start-up policy's rule.
            Start second(spd_);
            QVERIFY(!second.loaded("kvtB.spi"));
            TPlugInFrm dlg(second.host.get(), spd_);
            QTreeWidgetItem* b = itemOf(dlg, kAppDir + "kvtB.spi");
            QVERIFY(b);
            QCOMPARE(b->checkState(0), Qt::Unchecked);
            b->setCheckState(0, Qt::Checked);
            pressOK(dlg);
            QCOMPARE(readFile(spd_), std::string());  // every item checked: an empty file
        }
    }

    void cancelEmptyListAndWriteFailure() {
        {
            Start start(spd_);
            TPlugInFrm dlg(start.host.get(), spd_);
            itemOf(dlg, kAppDir + "kvtA.spi")->setCheckState(0, Qt::Unchecked);
            QTest::mouseClick(dlg.CanselBtn, Qt::LeftButton);
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            TPlugInFrm empty(nullptr, spd_);  // nothing loaded, no file: nothing to write
            QCOMPARE(empty.ListView1->topLevelItemCount(), 0);
            QVERIFY(pressOK(empty).empty());
            QVERIFY(!QFile::exists(QString::fromStdString(spd_)));
        }
        // The file's place is taken by a folder: the warning with why, and the dialog closes all the same.
        QVERIFY(QDir().mkpath(QString::fromStdString(spd_)));
        Start start(spd_);
        TPlugInFrm dlg(start.host.get(), spd_);
        QCOMPARE(pressOK(dlg), QStringList{"!設定の変更を保存出来ませんでした。\nファイルではなくフォルダです"});
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QDir(QString::fromStdString(spd_)).removeRecursively();
    }

    void mainWindowOffersPluginFormats() {
        // The Susie folder holds the test plug-ins; ifmm.spi feeds the media list.
        qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8());
        korvel::IniFile ini;
        ini.writeString("HKEY_CURRENT_USER\\Software\\Takechin\\Susie\\Plug-in", "Path", kAppDir);
        ini.save(config_.path().toStdString() + "/registry.ini");
        {
            TKorvelMain w;
            QVERIFY(korvel::TSPIs::instance());
            QVERIFY(filterBox(w)->findText(QStringLiteral("KVT image B (*.kvt)")) >= 0);
            QVERIFY(filterBox(w)->itemData(0).toString().contains(QStringLiteral("*.kvt")));
            QVERIFY(w.mediaExtensions().contains(".mov"));
            QVERIFY(w.actions().PlugInSet1->isEnabled());
            QVERIFY(w.actions().PlugInSetBtn1->isEnabled());
        }
        // Closing the window releases the plug-ins and their registrations.
        QVERIFY(!korvel::TSPIs::instance());
        QCOMPARE(korvel::fileFormats().findFormatByExtension("kvt"), nullptr);
    }
};

QTEST_MAIN(PluginDialogTest)
#include "plugin_dialog_test.moc"
