// Extended copy from the main window: the tool button opens the dialog on the marked files; a
// stop during the run keeps the files in hand, still closes with OK, keeps the settings, and
// the shown folder lists the new copies.
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "base/IniFile.h"
#include "base/UserFolders.h"
#include "fileops/ui/OpCopyFrm.h"
#include "tests/support/GridWindow.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;

class MainOpCopyTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_, pics_;

private slots:
    void init() { qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8()); }

    void stopDuringRunIntoTheShownFolder() {
        for (const char* n : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"}) writeSolidBmp(pics_.path() + "/" + n, 16, 16);
        TKorvelMain w(QStringList{pics_.path()});
        QVERIFY(showReady(w));
        clickCell(w, 1);
        clickCell(w, 2, Qt::ControlModifier);
        clickCell(w, 3, Qt::ControlModifier);
        QCOMPARE(int(w.markedFiles().size()), 3);
        bool sawRun = false;
        ModalScript driver;
        driver.on<TOpCopyFrm>([&](TOpCopyFrm& d, int) {
            QCOMPARE(d.lists->yesPaths().size(), size_t(3));
            d.DirCombo->lineEdit()->setText(pics_.path());
            // ｷｬﾝｾﾙ pressed while the first file's progress shows.
            QObject::connect(d.ProgressBar1, &QProgressBar::valueChanged, &d, [&d, &sawRun](int v) {
                if (v != 1) return;
                sawRun = d.running() && !d.OkBtn->isEnabled() && d.CancelBtn->isEnabled();
                QTimer::singleShot(0, &d, [&d] { QTest::mouseClick(d.CancelBtn, Qt::LeftButton); });
            });
            QTest::mouseClick(d.OkBtn, Qt::LeftButton);
        });
        QTest::mouseClick(w.toolButton(w.actions().KCopyBtn), Qt::LeftButton);
        QVERIFY(sawRun);
        // The workers may hold more than one file when ｷｬﾝｾﾙ comes; those finish, in list order,
        // so the copies are b_1.bmp and then possibly c_1.bmp and d_1.bmp, never a gap.
        const QStringList names = QDir(pics_.path()).entryList(QDir::Files);
        const QStringList copies{"b_1.bmp", "c_1.bmp", "d_1.bmp"};
        const qsizetype written = names.size() - 4;
        QVERIFY(written >= 1);
        QStringList want{"a.bmp", "b.bmp", "c.bmp", "d.bmp"};
        want += copies.mid(0, written);
        want.sort();
        QCOMPARE(names, want);
        QCOMPARE(w.fileList().size(), size_t(names.size()));
        QVERIFY(w.fileList().indexOf(pics_.path().toStdString() + "/b_1.bmp") >= 0);
        const korvel::IniFile ini = korvel::IniFile::load(korvel::programSettingsPath(QCoreApplication::applicationFilePath().toStdString()));
        QCOMPARE(ini.readString("OpCopy", "SelectFolder", ""), pics_.path().toStdString() + "/");
    }
};

QTEST_MAIN(MainOpCopyTest)
#include "main_op_copy_test.moc"
