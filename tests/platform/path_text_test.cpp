// File names as the windows show them and hand them to the desktop: every byte stays visible in
// the text and exact in the URL.
#include <QtTest>

#include "platform/PathText.h"

class PathTextTest : public QObject {
    Q_OBJECT
private slots:
    void textKeepsEveryByte_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QByteArray("/pics/a b.png") << QStringLiteral("/pics/a b.png");
        QTest::newRow("utf-8") << QByteArray("写真😀") << QStringLiteral("写真😀");
        QTest::newRow("latin-1") << QByteArray("caf\xE9.png") << QStringLiteral("caf\\xE9.png");
        QTest::newRow("shift_jis") << QByteArray("\x83\x5C\x94\x5C") << QStringLiteral("\\x83\\\\x94\\");
        QTest::newRow("overlong") << QByteArray("\xC0\xAF") << QStringLiteral("\\xC0\\xAF");
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << QStringLiteral("\\xED\\xA0\\x80");
        QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << QStringLiteral("\\xF4\\x90\\x80\\x80");
        QTest::newRow("cut short") << QByteArray("a\xE5\x86") << QStringLiteral("a\\xE5\\x86");
        QTest::newRow("lead then ascii") << QByteArray("\xE5z") << QStringLiteral("\\xE5z");
        QTest::newRow("control bytes") << QByteArray("a\nb\x7F") << QStringLiteral("a\\x0Ab\\x7F");
        QTest::newRow("replacement char itself") << QByteArray("\xEF\xBF\xBD") << QString(QChar(0xFFFD));
    }
    void textKeepsEveryByte() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(pathText(bytes.toStdString()), text);
    }

    void urlCarriesTheBytes_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("utf-8") << QByteArray("/pics/写真 1.png");
        QTest::newRow("latin-1") << QByteArray("/pics/caf\xE9.png");
        QTest::newRow("shift_jis") << QByteArray("/\x83\x5C/\x83\x65.jpg");
        QTest::newRow("url delimiters") << QByteArray("/a%20b/#1?x=[y]&z;.png");
    }
    void urlCarriesTheBytes() {
        QFETCH(QByteArray, bytes);
        const QUrl url = fileUrl(bytes.toStdString());
        QVERIFY(url.isValid());
        QVERIFY(url.isLocalFile());
        QCOMPARE(QByteArray::fromPercentEncoding(url.toEncoded()), "file://" + bytes);
        QCOMPARE(url.fragment(), QString());
        QCOMPARE(url.query(), QString());
    }
};

QTEST_MAIN(PathTextTest)
#include "path_text_test.moc"
