// A failing core call becomes exactly one message box with the command's text; a call that
// succeeds, or an error the core does not report this way, shows none.
#include <QtTest>
#include <new>
#include <stdexcept>

#include "base/Errors.h"
#include "platform/ErrorBox.h"
#include "tests/support/UiSupport.h"

class ErrorBoxTest : public QObject {
    Q_OBJECT
private slots:
    void failuresShowTheBoxOnce() {
        enum Outcome { Succeeds, ReturnsFalse, Throws, OutOfMemory };
        for (Outcome o : {Succeeds, ReturnsFalse, Throws, OutOfMemory}) {
            korvel::testing::MessageBoxCatcher boxes;
            const bool ok = runOrReport(nullptr, {QMessageBox::Warning, QStringLiteral("Copy Error"), QStringLiteral("no")}, [o] {
                if (o == Throws) throw korvel::EInvalidGraphic("bad");
                if (o == OutOfMemory) throw std::bad_alloc();
                return o == Succeeds;
            });
            QCOMPARE(ok, o == Succeeds);
            QCOMPARE(boxes.seen, o == Succeeds ? 0 : 1);
            if (o != Succeeds) QCOMPARE(boxes.title + boxes.text, QStringLiteral("Copy Errorno"));
        }
        // Anything else is a fault of Korvel's own and is not swallowed.
        QVERIFY_THROWS_EXCEPTION(std::logic_error, coreSucceeds([]() -> bool { throw std::logic_error("bug"); }));
    }
};

QTEST_MAIN(ErrorBoxTest)
#include "error_box_test.moc"
