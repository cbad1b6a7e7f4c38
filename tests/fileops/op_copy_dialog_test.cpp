// The extended copy dialog through clicks and typing: enabling by format and size mode, the
// size fields, the sizes, turns and names a run writes, the files that fail, and its settings.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cerrno>

#include "base/IniFile.h"
#include "base/SafeWrite.h"
#include "fileops/ui/OpCopyFrm.h"
#include "tests/support/CodecSamples.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;

namespace {

TOpCopyFrm::Hooks hooks(const std::string& ini) {
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

void showAndWait(QWidget& w) {
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

}  // namespace

class OpCopyDialogTest : public QObject {
    Q_OBJECT
private slots:
    void enablingFollowsClicks_data() {
        QTest::addColumn<QStringList>("clicks");
        // Enabled: QualityCombo, PNGLevelRadio1, SizeCombo, WidthEdit, SizeCheck, GasituCheck;
        // then whether HeightEdit shows, and LabelCenter's text.
        QTest::addColumn<QString>("enabled");
        QTest::addColumn<bool>("heightShown");
        QTest::addColumn<QString>("center");
        QTest::newRow("defaults") << QStringList{} << "000000" << false << "Pixel";
        QTest::newRow("jpeg") << QStringList{"JPEGRadio"} << "100000" << false << "Pixel";
        QTest::newRow("png") << QStringList{"JPEGRadio", "PNGRadio"} << "010000" << false << "Pixel";
        QTest::newRow("scale") << QStringList{"SizeRadio2"} << "001001" << false << "Pixel";
        QTest::newRow("given, kept ratio") << QStringList{"SizeRadio3"} << "000111" << false << "Pixel";
        QTest::newRow("given, free ratio") << QStringList{"SizeRadio3", "SizeCheck"} << "000111" << true << "ｘ H";
        QTest::newRow("free ratio, back to original")
            << QStringList{"SizeRadio3", "SizeCheck", "SizeRadio1"} << "000000" << false << "Pixel";
        QTest::newRow("free ratio, then given again")
            << QStringList{"SizeRadio3", "SizeCheck", "SizeRadio2", "SizeRadio3"} << "000111" << true << "ｘ H";
    }
    void enablingFollowsClicks() {
        QFETCH(QStringList, clicks);
        QFETCH(QString, enabled);
        QFETCH(bool, heightShown);
        QFETCH(QString, center);
        TempTree t;
        TOpCopyFrm d({"/p/a.bmp"}, {"/p/a.bmp"}, {}, hooks(t / "k.ini"));
        d.LoadSettings();
        showAndWait(d);
        for (const QString& c : clicks) clickByName(d, c);
        const QWidget* ws[] = {d.QualityCombo, d.PNGLevelRadio1, d.SizeCombo, d.WidthEdit, d.SizeCheck, d.GasituCheck};
        QString got;
        for (const QWidget* w : ws) got += w->isEnabled() ? '1' : '0';
        QCOMPARE(got, enabled);
        QCOMPARE(d.HeightEdit->isVisible(), heightShown);
        QCOMPARE(d.LabelCenter->text(), center);
    }

    void sizeFieldsOnLeaving_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("box");
        QTest::newRow("number") << "120" << "120" << "";
        QTest::newRow("zero") << "0" << "1" << "";
        QTest::newRow("negative") << "-5" << "1" << "";
        QTest::newRow("letters") << "12a" << "80" << "\"12a\"は整数ではありません。";
        QTest::newRow("empty") << "" << "80" << "\"\"は整数ではありません。";
    }
    void sizeFieldsOnLeaving() {
        QFETCH(QString, typed);
        QFETCH(QString, after);
        QFETCH(QString, box);
        TempTree t;
        TOpCopyFrm d({"/p/a.bmp"}, {"/p/a.bmp"}, {}, hooks(t / "k.ini"));
        showAndWait(d);
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

    // One source converted through the dialog: the size, turn and name it gets.
    void runWritesSizeTurnAndName_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QSize>("sourceSize");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QStringList>("existing");  // files already in the destination
        QTest::addColumn<QString>("written");
        QTest::addColumn<QSize>("size");
        const QStringList given{"SizeRadio3"}, free{"SizeRadio3", "SizeCheck"};
        QTest::newRow("original size") << "a.bmp" << QSize(7, 5) << QStringList{} << "" << "" << QStringList{} << "a.bmp"
                                       << QSize(7, 5);
        QTest::newRow("wide, kept ratio") << "a.bmp" << QSize(1000, 500) << given << "80" << "" << QStringList{} << "a.bmp"
                                          << QSize(80, 40);
        QTest::newRow("tall, kept ratio") << "a.bmp" << QSize(500, 1000) << given << "80" << "" << QStringList{} << "a.bmp"
                                          << QSize(40, 80);
        QTest::newRow("square, kept ratio") << "a.bmp" << QSize(300, 300) << given << "80" << "" << QStringList{}
                                            << "a.bmp" << QSize(80, 80);
        QTest::newRow("wide, free ratio") << "a.bmp" << QSize(1000, 500) << free << "30" << "70" << QStringList{}
                                          << "a.bmp" << QSize(30, 70);
        QTest::newRow("tall, free ratio, plain stretch") << "a.bmp" << QSize(500, 1000) << (free + QStringList{"GasituCheck"})
                                                         << "80" << "80" << QStringList{} << "a.bmp" << QSize(80, 80);
        QTest::newRow("25% of 3x3") << "a.bmp" << QSize(3, 3) << QStringList{"SizeRadio2"} << "" << "" << QStringList{}
                                    << "a.bmp" << QSize(1, 1);
        QTest::newRow("wide, 80, turned 90") << "a.bmp" << QSize(1000, 500) << (given + QStringList{"Turn1"}) << "80" << ""
                                             << QStringList{} << "a.bmp" << QSize(40, 80);
        QTest::newRow("jpeg into empty folder") << "a.jpg" << QSize(20, 10) << QStringList{} << "" << "" << QStringList{}
                                                << "a.bmp" << QSize(20, 10);
        QTest::newRow("jpeg, its own name taken") << "a.jpg" << QSize(20, 10) << QStringList{} << "" << ""
                                                  << QStringList{"a.jpg"} << "a_1.bmp" << QSize(20, 10);
        QTest::newRow("jpeg, the bitmap name taken") << "a.jpg" << QSize(20, 10) << QStringList{} << "" << ""
                                                     << QStringList{"a.bmp"} << "a_1.bmp" << QSize(20, 10);
    }
    void runWritesSizeTurnAndName() {
        QFETCH(QString, source);
        QFETCH(QSize, sourceSize);
        QFETCH(QStringList, clicks);
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QStringList, existing);
        QFETCH(QString, written);
        QFETCH(QSize, size);
        TempTree src, dst, cfg;
        const std::string in = src / source.toStdString();
        if (source.endsWith(".jpg")) writeFile(in, jpegSample(sourceSize.width(), sourceSize.height(), false, false));
        else saveBmp(gradientBitmap(sourceSize.width(), sourceSize.height()), in);
        for (const QString& e : existing) writeFile(dst / e.toStdString(), "taken");
        TOpCopyFrm d({in}, {in}, {}, hooks(cfg / "k.ini"));
        d.LoadSettings();
        showAndWait(d);
        if (clicks.contains("SizeRadio2")) {
            // 25 % is index 35 of the list: 200 - 5 x 35.
            clickByName(d, "SizeRadio2");
            d.SizeCombo->setFocus();
            for (int i = d.SizeCombo->currentIndex(); i < 35; ++i) QTest::keyClick(d.SizeCombo, Qt::Key_Down);
            QCOMPARE(d.SizeCombo->currentText(), QString("25"));
        }
        for (const QString& c : clicks)
            if (c != "SizeRadio2") clickByName(d, c);
        if (!width.isEmpty()) typeInto(d.WidthEdit, width);
        if (!height.isEmpty()) typeInto(d.HeightEdit, height);
        typeInto(d.DirCombo->lineEdit(), QString::fromStdString(dst.dir()));
        MessageBoxCatcher boxes;
        QTest::mouseClick(d.OkBtn, Qt::LeftButton);
        QCOMPARE(boxes.texts, QStringList{});
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(dst.count(), long(existing.size()) + 1);
        const korvel::TBitmap out = loadBmp(dst / written.toStdString());
        QCOMPARE(QSize(out.width(), out.height()), size);
        if (clicks.isEmpty() && source.endsWith(".bmp"))
            QCOMPARE(pixelDifference(out, loadBmp(in)), std::string());
    }

    // Each file fails alone with its name, and leaves nothing in the destination.
    void everyFileFailsWithItsName_data() {
        QTest::addColumn<QString>("key");  // a hand-edited setting, "" none
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("fullDisk");
        QTest::newRow("quality outside its list") << "JPEGQuality" << 150 << false;
        QTest::newRow("percentage outside its list") << "SizeCombo" << -3 << false;
        QTest::newRow("disk full while saving") << "" << 0 << true;
    }
    void everyFileFailsWithItsName() {
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
        TOpCopyFrm d(files, files, {}, hooks(cfg / "k.ini"));
        d.LoadSettings();
        if (!key.isEmpty()) QCOMPARE((key == "SizeCombo" ? d.SizeCombo : d.QualityCombo)->currentText(), QString());
        showAndWait(d);
        typeInto(d.DirCombo->lineEdit(), QString::fromStdString(dst.dir()));
        if (fullDisk)
            korvel::setSafeWriteSteps({[](int, const void*, size_t) -> ssize_t { return errno = ENOSPC, -1; }, {}, {}});
        MessageBoxCatcher boxes;
        QTest::mouseClick(d.OkBtn, Qt::LeftButton);
        korvel::setSafeWriteSteps({});
        QCOMPARE(boxes.texts, (QStringList{"\"a.bmp\"は処理出来ませんでした。", "\"b.bmp\"は処理出来ませんでした。"}));
        QCOMPARE(dst.count(), 0L);
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }

    void settingsRoundTrip() {
        TempTree cfg;
        {
            TOpCopyFrm d({"/p/a.bmp"}, {"/p/a.bmp"}, {}, hooks(cfg / "k.ini"));
            d.LoadSettings();
            // Defaults: bitmap, original size, no turn, quality 85, 100 %, 630 x 470 unless the
            // font needs more room.
            QVERIFY(d.BMPRadio->isChecked() && d.SizeRadio1->isChecked() && d.turnGroup->button(0)->isChecked());
            QCOMPARE(d.QualityCombo->currentText(), QString("85"));
            QCOMPARE(d.SizeCombo->currentText(), QString("100"));
            QCOMPARE(d.size(), QSize(630, 470).expandedTo(d.minimumSize()));
            showAndWait(d);
            for (const char* c : {"JPEGRadio", "SizeRadio3", "SizeCheck", "Turn2", "DateCheck"}) clickByName(d, c);
            d.QualityCombo->setFocus();
            QTest::keyClick(d.QualityCombo, Qt::Key_Down);  // 84
            d.SaveSettings();
        }
        const korvel::IniFile ini = korvel::IniFile::load(cfg / "k.ini");
        QCOMPARE(ini.readInteger("OpCopy", "SaveFormat", -1), 1);
        QCOMPARE(ini.readInteger("OpCopy", "Size", -1), 2);
        QCOMPARE(ini.readInteger("OpCopy", "JPEGQuality", -1), 16);
        QCOMPARE(ini.readInteger("OpCopy", "Turn", -1), 2);
        QCOMPARE(ini.readBool("OpCopy", "SizeCheck", true), false);
        QCOMPARE(ini.readBool("OpCopy", "Date", false), true);
        QVERIFY(!ini.hasKey("OpCopy", "PNGInterlaceCheck"));
        // Read back, the enabling matches the stored choices.
        TOpCopyFrm d({"/p/a.bmp"}, {"/p/a.bmp"}, {}, hooks(cfg / "k.ini"));
        d.LoadSettings();
        showAndWait(d);
        QCOMPARE(d.QualityCombo->currentText(), QString("84"));
        QVERIFY(d.QualityCombo->isEnabled() && !d.PNGLevelRadio1->isEnabled());
        QVERIFY(d.HeightEdit->isVisible() && d.WidthEdit->isEnabled() && !d.SizeCombo->isEnabled());
    }
};

QTEST_MAIN(OpCopyDialogTest)
#include "op_copy_dialog_test.moc"
