// The icons: every name Korvel asks the theme for has an image in the built-in set that renders
// at 100, 150 and 200 % of the tool bar's size, and a theme that has a name wins over the set.
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/ThemeIcons.h"

namespace {

// Pixels that are not fully transparent.
int inked(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += qAlpha(image.pixel(x, y)) > 0;
    return n;
}

QImage at(const QIcon& icon, int px) { return icon.pixmap(QSize(px, px), 1.0).toImage().convertToFormat(QImage::Format_ARGB32); }

}  // namespace

class IconSetTest : public QObject {
    Q_OBJECT
    QTemporaryDir themes_;

private slots:
    void initTestCase() {
        // A theme of one icon, so that the desktop's own theme plays no part.
        QVERIFY(themes_.isValid());
        QDir(themes_.path()).mkpath(QStringLiteral("one/20x20/actions"));
        QFile index(themes_.filePath(QStringLiteral("one/index.theme")));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write("[Icon Theme]\nName=one\nDirectories=20x20/actions\n\n[20x20/actions]\nSize=20\nType=Fixed\n");
        index.close();
        QImage magenta(20, 20, QImage::Format_ARGB32);
        magenta.fill(QColor(255, 0, 255));
        QVERIFY(magenta.save(themes_.filePath(QStringLiteral("one/20x20/actions/edit-copy.png"))));
        QIcon::setThemeSearchPaths({themes_.path()});
        QIcon::setThemeName(QStringLiteral("one"));
        // The built-in set is registered with the first icon asked for.
        QVERIFY(!toolIcon(ToolIcon::Copy).isNull());
    }

    // Each icon's stand-in draws something at each scale.
    void everyNameHasItsImage_data() {
        QTest::addColumn<QString>("name");
        for (int i = 0; i < kToolIconCount; ++i)
            QTest::newRow(toolIconName(ToolIcon(i))) << QString::fromLatin1(toolIconName(ToolIcon(i)));
        for (int n = 1; n <= kQuickFolderIconCount; ++n)
            QTest::newRow(qPrintable(quickFolderIconName(n))) << quickFolderIconName(n);
    }
    void everyNameHasItsImage() {
        QFETCH(QString, name);
        const QIcon icon(fallbackIconPath(name));
        for (int px : {20, 30, 40}) {
            const QImage image = at(icon, px);
            QCOMPARE(image.size(), QSize(px, px));
            // A drawing, not an empty canvas, filling a fair part of its square.
            QVERIFY2(inked(image) > px * px / 8, qPrintable(QStringLiteral("%1 px").arg(px)));
        }
    }

    // The theme's icon where it has the name; the built-in image where it has not.
    void themeFirstThenTheSet() {
        QCOMPARE(at(toolIcon(ToolIcon::Copy), 20).pixel(10, 10), qRgb(255, 0, 255));
        QCOMPARE(at(toolIcon(ToolIcon::Delete), 20), at(QIcon(fallbackIconPath(toolIconName(ToolIcon::Delete))), 20));
    }

    // Twenty buttons, twenty different images: none stands in for another.
    void quickFoldersAreNumbered() {
        QSet<QByteArray> seen;
        for (int n = 1; n <= kQuickFolderIconCount; ++n) {
            const QImage image = at(quickFolderIcon(n), 40);
            seen.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
        }
        QCOMPARE(seen.size(), kQuickFolderIconCount);
    }
};

QTEST_MAIN(IconSetTest)
#include "icon_set_test.moc"
