// The wallpaper commands end to end, with stand-in desktop tools on PATH that log how they were
// called: which tool each desktop gets and with which options, what registry.ini records, and
// that a failed render changes neither the file nor the desktop.
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include "base/IniFile.h"
#include "imaging/StretchUtils.h"
#include "platform/DesktopWallpaper.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"
#include "tests/support/UiSupport.h"
#include "view/WallpaperCommands.h"

using korvel::WallpaperMode;
using korvel::testing::fileBytes;

namespace {

korvel::TBitmap pattern(int w, int h) {
    korvel::TBitmap b(w, h, korvel::PixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setRawPixel(x, y, korvel::makeColor(uint8_t(x), uint8_t(y), 77));
    return b;
}

// A stand-in tool: logs "name [arg] [arg]..." and ends with $KORVEL_FAKE_STATUS (default 0).
// xfconf-query answers its listing with two backdrops.
void writeFakeTool(const QString& path, const QString& name) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("#!/bin/sh\nprintf '%s' '%1' >> \"$KORVEL_FAKE_LOG\"\n"
                           "for a in \"$@\"; do printf ' [%s]' \"$a\" >> \"$KORVEL_FAKE_LOG\"; done\n"
                           "echo >> \"$KORVEL_FAKE_LOG\"\n"
                           "if [ \"$3\" = \"-l\" ]; then\n"
                           "  echo /backdrop/screen0/monitorHDMI-1/workspace0/color-style\n"
                           "  echo /backdrop/screen0/monitorHDMI-1/workspace0/last-image\n"
                           "  echo /backdrop/screen0/monitoreDP-1/workspace0/last-image\n"
                           "fi\nexit ${KORVEL_FAKE_STATUS:-0}\n")
                .arg(name)
                .toUtf8());
    f.close();
    QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

}  // namespace

class WallpaperDesktopTest : public QObject {
    Q_OBJECT
    QTemporaryDir tmp_;
    QString log_;

    QStringList takeLog() {
        const QStringList lines = QString::fromUtf8(fileBytes(log_)).split('\n', Qt::SkipEmptyParts);
        QFile::remove(log_);
        return lines;
    }
    // Only the named tools are on PATH, on the named desktop.
    void useTools(const QStringList& names, const QByteArray& desktop = "GNOME") {
        const QString tools = tmp_.path() + "/tools";
        QDir(tools).removeRecursively();
        QDir().mkpath(tools);
        for (const QString& n : names) writeFakeTool(tools + QLatin1Char('/') + n, n);
        qputenv("PATH", tools.toUtf8());
        qputenv("XDG_CURRENT_DESKTOP", desktop);
    }

private slots:
    void initTestCase() {
        QVERIFY(tmp_.isValid());
        log_ = tmp_.path() + "/tools.log";
        qputenv("KORVEL_FAKE_LOG", log_.toUtf8());
        qputenv("KORVEL_CONFIG_DIR", (tmp_.path() + "/config").toUtf8());
        qputenv("XDG_DATA_HOME", (tmp_.path() + "/data").toUtf8());
        qunsetenv("DESKTOP_SESSION");
    }
    void init() {
        qunsetenv("KORVEL_FAKE_STATUS");
        QFile::remove(log_);
    }

    // "…" in an expected call stands for any text.
    void toolsEachDesktopIsAsked_data() {
        const QString file = "/tmp/my pictures/壁紙.bmp";
        const QString uri = "file:///tmp/my%20pictures/%E5%A3%81%E7%B4%99.bmp";
        const QString gnome = "gsettings [set] [org.gnome.desktop.background] ";
        const QString xfce = "xfconf-query [-c] [xfce4-desktop] [-p] [/backdrop/screen0/";
        const QString plasma = "qdbus [org.kde.plasmashell] [/PlasmaShell] [org.kde.PlasmaShell.evaluateScript] "
                               "[…d.writeConfig(\"Image\", \"" + uri + "\");…d.writeConfig(\"FillMode\", ";
        QTest::addColumn<QByteArray>("desktop");
        QTest::addColumn<QStringList>("tools");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("status");  // each tool's exit status
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("GNOME fit") << QByteArray("ubuntu:GNOME") << QStringList{"gsettings"} << int(WallpaperMode::Fit)
                                   << QByteArray("0") << QStringList{gnome + "[picture-uri] [" + uri + "]",
                                       gnome + "[picture-uri-dark] [" + uri + "]", gnome + "[picture-options] [scaled]"};
        QTest::newRow("GNOME stretch") << QByteArray("GNOME") << QStringList{"gsettings"} << int(WallpaperMode::Stretch)
                                       << QByteArray("0") << QStringList{"…", "…", gnome + "[picture-options] [stretched]"};
        QTest::newRow("GNOME refuses") << QByteArray("GNOME") << QStringList{"gsettings"} << int(WallpaperMode::Fit)
                                       << QByteArray("1") << QStringList{gnome + "[picture-uri] […"};  // no options then
        QTest::newRow("Cinnamon tile") << QByteArray("X-Cinnamon") << QStringList{"gsettings"} << int(WallpaperMode::Tile)
                                       << QByteArray("0")
                                       << QStringList{"gsettings [set] [org.cinnamon.desktop.background] [picture-uri] [" + uri + "]",
                                                      "gsettings [set] [org.cinnamon.desktop.background] [picture-options] [wallpaper]"};
        QTest::newRow("MATE centre") << QByteArray("MATE") << QStringList{"gsettings"} << int(WallpaperMode::Center)
                                     << QByteArray("0")
                                     << QStringList{"gsettings [set] [org.mate.background] [picture-filename] [" + file + "]",
                                                    "gsettings [set] [org.mate.background] [picture-options] [centered]"};
        QTest::newRow("XFCE stretch, every monitor")
            << QByteArray("XFCE") << QStringList{"xfconf-query", "xfdesktop"} << int(WallpaperMode::Stretch) << QByteArray("0")
            << QStringList{"xfconf-query [-c] [xfce4-desktop] [-l]", xfce + "monitorHDMI-1/workspace0/last-image] [-s] [" + file + "]",
                           xfce + "monitorHDMI-1/workspace0/image-style] [-s] [3]",
                           xfce + "monitoreDP-1/workspace0/last-image] [-s] [" + file + "]",
                           xfce + "monitoreDP-1/workspace0/image-style] [-s] [3]", "xfdesktop [--reload]"};
        QTest::newRow("KDE without any tool") << QByteArray("KDE") << QStringList{} << int(WallpaperMode::Fit)
                                              << QByteArray("0") << QStringList{};
        QTest::newRow("KDE apply tool") << QByteArray("KDE") << QStringList{"plasma-apply-wallpaperimage"}
                                        << int(WallpaperMode::Fit) << QByteArray("0")
                                        << QStringList{"plasma-apply-wallpaperimage [" + file + "]"};
        // The first tool that answers is the only one asked.
        const QStringList kde{"qdbus", "plasma-apply-wallpaperimage"};
        QTest::newRow("Plasma tile") << QByteArray("KDE") << kde << int(WallpaperMode::Tile) << QByteArray("0")
                                     << QStringList{plasma + "3);…"};
        QTest::newRow("Plasma centre") << QByteArray("KDE") << kde << int(WallpaperMode::Center) << QByteArray("0")
                                       << QStringList{plasma + "6);…"};
        QTest::newRow("Plasma stretch") << QByteArray("KDE") << kde << int(WallpaperMode::Stretch) << QByteArray("0")
                                        << QStringList{plasma + "0);…"};
        QTest::newRow("Plasma fit") << QByteArray("KDE") << kde << int(WallpaperMode::Fit) << QByteArray("0")
                                    << QStringList{plasma + "1);…"};
        QTest::newRow("unknown desktop") << QByteArray("Hyprland") << QStringList{"gsettings", "xfconf-query"}
                                         << int(WallpaperMode::Fit) << QByteArray("0") << QStringList{};
    }
    void toolsEachDesktopIsAsked() {
        QFETCH(QByteArray, desktop);
        QFETCH(QStringList, tools);
        QFETCH(int, mode);
        QFETCH(QByteArray, status);
        QFETCH(QStringList, calls);
        useTools(tools, desktop);
        qputenv("KORVEL_FAKE_STATUS", status);
        const bool answered = askDesktopToShowWallpaper("/tmp/my pictures/壁紙.bmp", WallpaperMode(mode));
        QCOMPARE(answered, status == "0" && !calls.isEmpty());
        const QStringList log = takeLog();
        QCOMPARE(log.size(), calls.size());
        for (int i = 0; i < calls.size(); ++i) {
            QStringList parts = calls[i].split(QStringLiteral("…"));
            for (QString& p : parts) p = QRegularExpression::escape(p);
            const QRegularExpression re(QRegularExpression::anchoredPattern(parts.join(".*")),
                                        QRegularExpression::DotMatchesEverythingOption);
            QVERIFY2(re.match(log[i]).hasMatch(), qPrintable(log[i]));
        }
    }

    void xfceWithoutBackdropsCreatesTheFirst() {
        const QList<QList<DesktopCommand>> cmds = wallpaperCommands(DesktopKind::Xfce, "/w.bmp", WallpaperMode::Tile, {});
        const QString p = "/backdrop/screen0/monitor0/workspace0/";
        const QList<DesktopCommand> expect{
            {"xfconf-query", {"-c", "xfce4-desktop", "-p", p + "last-image", "-n", "-t", "string", "-s", "/w.bmp"}},
            {"xfconf-query", {"-c", "xfce4-desktop", "-p", p + "image-style", "-n", "-t", "int", "-s", "2"}},
            {"xfdesktop", {"--reload"}}};
        QCOMPARE(cmds, QList<QList<DesktopCommand>>{expect});
    }

    // The menu commands: the file rendered for the screen in the mode asked for, registry.ini
    // written, the desktop asked. The pane's commands use the image as shown (turned).
    void menuCommandsEndToEnd_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("tile");
        QTest::addColumn<QString>("option");
        QTest::newRow("file, tile") << int(WallpaperMode::Tile) << false << "1" << "wallpaper";
        QTest::newRow("file, fit") << int(WallpaperMode::Fit) << false << "0" << "scaled";
        QTest::newRow("shown, centre") << int(WallpaperMode::Center) << true << "0" << "centered";
    }
    void menuCommandsEndToEnd() {
        QFETCH(int, mode);
        QFETCH(bool, shown);
        QFETCH(QString, tile);
        QFETCH(QString, option);
        useTools({"gsettings"});
        const QString source = tmp_.path() + "/photo.bmp";
        korvel::testing::saveBmp(pattern(300, 200), source.toStdString());
        const std::unique_ptr<korvel::TBitmap> turned = korvel::Rotate90Right(pattern(300, 200));
        const std::string out = shown ? setWallpaperFromBitmap(*turned, WallpaperMode(mode), nullptr)
                                      : setWallpaperFromFile(source.toStdString(), WallpaperMode(mode), nullptr);
        QCOMPARE(out, korvel::wallpaperFilePath());
        QVERIFY(QString::fromStdString(out).startsWith(tmp_.path() + "/data/korvel/Korvel_"));
        const QSize screen = wallpaperScreenSize(nullptr);
        const korvel::WallpaperSize size = korvel::wallpaperBitmapSize(
            shown ? 200 : 300, shown ? 300 : 200, korvel::renderOf(WallpaperMode(mode)), screen.width(), screen.height());
        const korvel::TBitmap written = korvel::testing::loadBmp(out);
        QCOMPARE(QSize(written.width(), written.height()), QSize(size.width, size.height));
        if (shown) QCOMPARE(written.pixel(199, 299), turned->pixel(199, 299));

        const korvel::IniFile reg = korvel::IniFile::load((tmp_.path() + "/config/registry.ini").toStdString());
        QCOMPARE(QString::fromStdString(reg.readString(korvel::kDesktopRegistryKey, "TileWallPaper", "?")), tile);
        QCOMPARE(reg.readString(korvel::kDesktopRegistryKey, "WallPaper", "?"), out);
        const QStringList calls = takeLog();
        QCOMPARE(calls.size(), 3);
        QVERIFY(calls[0].endsWith("[" + QUrl::fromLocalFile(QString::fromStdString(out)).toString(QUrl::FullyEncoded) + "]"));
        QVERIFY(calls[2].endsWith("[" + option + "]"));
    }

    void failedRenderChangesNothing() {
        useTools({"gsettings"});
        QDir().mkpath(tmp_.path() + "/data/korvel");
        QDir().mkpath(tmp_.path() + "/config");
        const std::string wp = korvel::wallpaperFilePath(), reg = (tmp_.path() + "/config/registry.ini").toStdString();
        korvel::testing::writeFile(wp, "the old wallpaper");
        korvel::testing::writeFile(reg, "[HKEY_CURRENT_USER\\Control Panel\\desktop]\nWallPaper=/old.bmp\n");
        korvel::testing::writeFile(tmp_.path().toStdString() + "/damaged.bmp", "BM broken");
        for (const QString& source : {tmp_.path() + "/damaged.bmp", tmp_.path() + "/missing.bmp"})
            QCOMPARE(setWallpaperFromFile(source.toStdString(), WallpaperMode::Fit, nullptr), std::string());
        QCOMPARE(setWallpaperFromBitmap(korvel::TBitmap(), WallpaperMode::Tile, nullptr), std::string());
        QCOMPARE(korvel::testing::readFile(wp), "the old wallpaper");
        QCOMPARE(korvel::testing::readFile(reg), "[HKEY_CURRENT_USER\\Control Panel\\desktop]\nWallPaper=/old.bmp\n");
        QVERIFY(takeLog().isEmpty());  // the desktop was not asked
    }
};

QTEST_MAIN(WallpaperDesktopTest)
#include "wallpaper_desktop_test.moc"