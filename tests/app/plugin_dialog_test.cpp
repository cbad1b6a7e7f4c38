// The plug-in settings dialog and the exclusion file across starts, and the main window's
// plug-in formats in its filter box.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <fstream>
#include <sstream>

#include "app/KorvelMain.h"
#include "formats/FormatRegistry.h"
#include "formats/SpiExclusion.h"
#include "formats/SpiGraphic.h"
#include "formats/SpiHost.h"
#include "formats/SpiStartup.h"
#include "app/PlugInFrm.h"
#include "base/IniFile.h"

namespace {

const std::string kAppDir = std::string(KORVEL_TEST_SPI_DIR) + "/app/";

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Message {
    bool warning;
    QString title, text;
};

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

}  // namespace

class PluginDialogTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_;
    std::string spd_;

    static QTreeWidgetItem* itemOf(TPlugInFrm& dlg, const std::string& caption) {
        auto found = dlg.ListView1->findItems(QString::fromStdString(caption), Qt::MatchExactly, 0);
        return found.isEmpty() ? nullptr : found.first();
    }
    static std::vector<Message> pressOK(TPlugInFrm& dlg) {
        std::vector<Message> shown;
        dlg.showMessage = [&](bool warning, const QString& title, const QString& text) {
            shown.push_back({warning, title, text});
        };
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
        return shown;
    }

private slots:
    void init() {
        QVERIFY(config_.isValid());
        spd_ = config_.path().toStdString() + "/Korvel.spd";
        QFile::remove(QString::fromStdString(spd_));
    }

    void listsLoadedAndExcludedPluginsSorted() {
        std::ofstream(spd_, std::ios::binary) << "/elsewhere/gone.spi\r\nGone about\r\n*.gon\r\nGone\r\n"
                                              << "/cut/short.spi\r\nonly two lines\r\n";
        Start start(spd_);
        TPlugInFrm dlg(start.host.get(), spd_);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("プラグインの設定"));
        QCOMPARE(dlg.Label2->text(), QStringLiteral("使用しないプラグインのチェックを外して下さい。"));
        QCOMPARE(dlg.Label1->text(), QStringLiteral("設定の変更は次回起動時より反映されます。"));
        QCOMPARE(dlg.CanselBtn->text(), QStringLiteral("キャンセル"));
        QCOMPARE(dlg.ListView1->headerItem()->text(1), QStringLiteral("AboutPlugIn"));
        QCOMPARE(dlg.ListView1->columnWidth(0), 180);

        // Three loaded (checked) and the one complete record (unchecked), by caption.
        QStringList captions;
        for (int i = 0; i < dlg.ListView1->topLevelItemCount(); ++i) captions << dlg.ListView1->topLevelItem(i)->text(0);
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
        QCOMPARE(two->text(1), QStringLiteral("Korvel test plug-in twomask"));
        QCOMPARE(two->text(2), QStringLiteral("*.ka;*.kb"));
        QCOMPARE(two->text(3), QStringLiteral("Two masks"));
    }

    void uncheckedPluginIsGoneAtNextStartAndComesBack() {
        {
            Start first(spd_);
            QVERIFY(first.loaded("kvtB.spi"));
            TPlugInFrm dlg(first.host.get(), spd_);
            itemOf(dlg, kAppDir + "kvtB.spi")->setCheckState(0, Qt::Unchecked);
            const auto shown = pressOK(dlg);
            QCOMPARE(shown.size(), size_t(1));
            QVERIFY(!shown[0].warning);
            QCOMPARE(shown[0].title, QStringLiteral("プラグインの設定"));
            QCOMPARE(shown[0].text, QStringLiteral("設定の変更は次回起動時より有効になります。"));
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QCOMPARE(readText(spd_), kAppDir + "kvtB.spi\r\nKorvel test plug-in kvtB\r\n*.kvt\r\nKVT image B\r\n");
            // The running host is unchanged.
            QVERIFY(first.loaded("kvtB.spi"));
        }
        {
            Start second(spd_);
            QVERIFY(!second.loaded("kvtB.spi"));
            QVERIFY(second.loaded("kvtA.spi"));
            QCOMPARE(second.formats.findEntryByExtension("kvt")->description, std::string("KVT image A"));
            TPlugInFrm dlg(second.host.get(), spd_);
            QTreeWidgetItem* b = itemOf(dlg, kAppDir + "kvtB.spi");
            QVERIFY(b);
            QCOMPARE(b->checkState(0), Qt::Unchecked);
            b->setCheckState(0, Qt::Checked);
            pressOK(dlg);
            QCOMPARE(readText(spd_), std::string());  // every item checked: an empty file
        }
        Start third(spd_);
        QVERIFY(third.loaded("kvtB.spi"));
    }

    void cancelEmptyListAndWriteFailure() {
        {
            Start start(spd_);
            TPlugInFrm dlg(start.host.get(), spd_);
            itemOf(dlg, kAppDir + "kvtA.spi")->setCheckState(0, Qt::Unchecked);
            QTest::mouseClick(dlg.CanselBtn, Qt::LeftButton);
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            QVERIFY(!QFile::exists(QString::fromStdString(spd_)));
        }
        {
            TPlugInFrm empty(nullptr, spd_);  // nothing loaded, no file: nothing to write
            QCOMPARE(empty.ListView1->topLevelItemCount(), 0);
            QVERIFY(pressOK(empty).empty());
            QVERIFY(!QFile::exists(QString::fromStdString(spd_)));
        }
        // The file's place is taken by a folder: the warning, and the dialog closes all the same.
        QVERIFY(QDir().mkpath(QString::fromStdString(spd_)));
        Start start(spd_);
        TPlugInFrm dlg(start.host.get(), spd_);
        const auto shown = pressOK(dlg);
        QCOMPARE(shown.size(), size_t(1));
        QVERIFY(shown[0].warning);
        QCOMPARE(shown[0].text, QStringLiteral("設定の変更を保存出来ませんでした。"));
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
            QVERIFY(w.filterBox()->findText(QStringLiteral("KVT image B (*.kvt)")) >= 0);
            QVERIFY(w.filterBox()->itemData(0).toString().contains(QStringLiteral("*.kvt")));
            QVERIFY(w.mediaExtensions().contains(".mov"));
            QVERIFY(w.actions().PlugInSet1->isEnabled());
            QVERIFY(w.actions().PlugInSetBtn1->isEnabled());
            QCOMPARE(w.windowTitle(), QStringLiteral("Korvel"));
        }
        // Closing the window releases the plug-ins and their registrations.
        QVERIFY(!korvel::TSPIs::instance());
        QCOMPARE(korvel::fileFormats().findFormatByExtension("kvt"), nullptr);
    }
};

QTEST_MAIN(PluginDialogTest)
#include "plugin_dialog_test.moc"
