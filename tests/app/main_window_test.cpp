#include <QtTest>

#include "app/KorvelMain.h"

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void captionIsKorvel() {
        TKorvelMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.windowTitle(), QStringLiteral("Korvel"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
