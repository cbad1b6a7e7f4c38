// Rename from the main window through its tool buttons: the dialogs' answers rename the marked
// files on disk and replace their paths in the file list in place, so the grid keeps its order.
#include <QButtonGroup>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "fileops/ui/NumberFrm.h"
#include "fileops/ui/RNameFrm.h"
#include "tests/support/GridWindow.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;

class MainRenameTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_, pics_;

    std::vector<std::string> names(const TKorvelMain& w) {
        std::vector<std::string> out;
        for (size_t i = 0; i < w.fileList().size(); ++i) out.push_back(w.fileList().path(i).substr(pics_.path().size() + 1));
        return out;
    }

private slots:
    void init() { qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8()); }

    void renameLoopAndSerial_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("script");  // what the user answers, see below
        QTest::addColumn<QStringList>("after");
        QTest::newRow("typed name, then stop") << "ReNameBtn1" << 0 << QStringList{"a.bmp", "new.bmp", "c.bmp"};
        QTest::newRow("upper case for all") << "ReNameBtn1" << 1 << QStringList{"a.bmp", "B.BMP", "C.BMP"};
        QTest::newRow("serial") << "NumberRNBtn1" << 2 << QStringList{"a.bmp", "p01.bmp", "p02.bmp"};
    }
    void renameLoopAndSerial() {
        QFETCH(QString, button);
        QFETCH(int, script);
        QFETCH(QStringList, after);
        QDir(pics_.path()).removeRecursively();
        QDir().mkpath(pics_.path());
        for (const char* n : {"a.bmp", "b.bmp", "c.bmp"}) writeSolidBmp(pics_.path() + "/" + n, 16, 16);
        TKorvelMain w(QStringList{pics_.path()});
        QVERIFY(showReady(w));
        clickCell(w, 1);
        clickCell(w, 2, Qt::ControlModifier);
        QCOMPARE(int(w.markedFiles().size()), 2);
        ModalScript dialogs;
        dialogs.on<TRNameFrm>([&](TRNameFrm& d, int n) {
            if (script == 0 && n == 0) {
                d.Edit1->setText("new");
                QTest::mouseClick(d.OKBtn1, Qt::LeftButton);
            } else if (script == 0) {
                QTest::mouseClick(d.AllCanselBtn, Qt::LeftButton);
            } else {
                clickBox(d.radioItems->button(1));
                QTest::mouseClick(d.AllOKBtn, Qt::LeftButton);
            }
        });
        dialogs.on<TNumberFrm>([&](TNumberFrm& d, int) {
            d.NameEdit->setText("p\\");
            QTest::mouseClick(d.OKBtn, Qt::LeftButton);
        });
        QTest::mouseClick(w.findChild<QToolButton*>(button), Qt::LeftButton);
        std::vector<std::string> expected;
        for (const QString& s : after) expected.push_back(s.toStdString());
        QCOMPARE(names(w), expected);
        for (const QString& s : after) QVERIFY(QFile::exists(pics_.path() + "/" + s));
        QCOMPARE(QDir(pics_.path()).entryList(QDir::Files).size(), 3);
    }
};

QTEST_MAIN(MainRenameTest)
#include "main_rename_test.moc"
