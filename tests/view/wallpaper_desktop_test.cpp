// The wallpaper commands end to end, with stand-in desktop tools on PATH that log how they were
// called: which tool each desktop gets and with which options, what registry.ini records, and
// that a failed render changes neither the file nor the desktop.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <fstream>

#include "imaging/Bmp.h"
#include "fileops/WallpaperBitmap.h"
#include "imaging/Bitmap.h"
#include "imaging/StretchUtils.h"
#include "platform/DesktopWallpaper.h"
#include "base/IniFile.h"
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
void writeFakeTool(const QString& folder, const QString& name) {
    const QString path = folder + QLatin1Char('/') + name;
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("#!/bin/sh\n"
                           "printf '%s' '%1' >> \"$KORVEL_FAKE_LOG\"\n"
                           "for a in \"$@\"; do printf ' [%s]' \"$a\" >> \"$KORVEL_FAKE_LOG\"; done\n"
                           "echo >> \"$KORVEL_FAKE_LOG\"\n"
                           "if [ \"$3\" = \"-l\" ]; then\n"
                           "  echo /backdrop/screen0/monitorHDMI-1/workspace0/color-style\n"
                           "  echo /backdrop/screen0/monitorHDMI-1/workspace0/last-image\n"
                           "  echo /backdrop/screen0/monitoreDP-1/workspace0/last-image\n"
                           "fi\n"
                           "exit ${KORVEL_FAKE_STATUS:-0}\n")
                .arg(name)
                .toUtf8());
    f.close();
    QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

}  // namespace

class WallpaperDesktopTest : public QObject {
    Q_OBJECT
    QTemporaryDir tmp_;
    QString tools_, log_;

    QStringList takeLog() {
        const QStringList lines = QString::fromUtf8(fileBytes(log_)).split('\n', Qt::SkipEmptyParts);
        QFile::remove(log_);
        return lines;
    }
    // Only the named tools are on PATH.
    void useTools(const QStringList& names) {
        QDir(tools_).removeRecursively();
        QDir().mkpath(tools_);
        for (const QString& n : names) writeFakeTool(tools_, n);
        qputenv("PATH", tools_.toUtf8());
    }

private slots:
    void initTestCase() {
        QVERIFY(tmp_.isValid());
        tools_ = tmp_.path() + "/tools";
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

    void toolsEachDesktopIsAsked_data() {
        const QString file = "/tmp/my pictures/壁紙.bmp";
        const QString uri = "file:///tmp/my%20pictures/%E5%A3%81%E7%B4%99.bmp";
        const QString gnome = "gsettings [set] [org.gnome.desktop.background] ";
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QStringList>("tools");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("GNOME fit") << "ubuntu:GNOME" << QStringList{"gsettings"} << int(WallpaperMode::Fit) << true
                                   << QStringList{gnome + "[picture-uri] [" + uri + "]", gnome + "[picture-uri-dark] [" + uri + "]",
                                                  gnome + "[picture-options] [scaled]"};
        QTest::newRow("Cinnamon tile") << "X-Cinnamon" << QStringList{"gsettings"} << int(WallpaperMode::Tile) << true
                                       << QStringList{"gsettings [set] [org.cinnamon.desktop.background] [picture-uri] [" + uri + "]",
                                                      "gsettings [set] [org.cinnamon.desktop.background] [picture-options] [wallpaper]"};
        QTest::newRow("MATE centre") << "MATE" << QStringList{"gsettings"} << int(WallpaperMode::Center) << true
                                     << QStringList{"gsettings [set] [org.mate.background] [picture-filename] [" + file + "]",
                                                    "gsettings [set] [org.mate.background] [picture-options] [centered]"};
        const QString xfce = "xfconf-query [-c] [xfce4-desktop] [-p] [/backdrop/screen0/";
        QTest::newRow("XFCE stretch, every monitor")
            << "XFCE" << QStringList{"xfconf-query", "xfdesktop"} << int(WallpaperMode::Stretch) << true
            << QStringList{"xfconf-query [-c] [xfce4-desktop] [-l]",
                           xfce + "monitorHDMI-1/workspace0/last-image] [-s] [" + file + "]",
                           xfce + "monitorHDMI-1/workspace0/image-style] [-s] [3]",
                           xfce + "monitoreDP-1/workspace0/last-image] [-s] [" + file + "]",
                           xfce + "monitoreDP-1/workspace0/image-style] [-s] [3]", "xfdesktop [--reload]"};
        QTest::newRow("KDE without any tool") << "KDE" << QStringList{} << int(WallpaperMode::Fit) << false << QStringList{};
        QTest::newRow("KDE apply tool") << "KDE" << QStringList{"plasma-apply-wallpaperimage"} << int(WallpaperMode::Fit)
                                        << true << QStringList{"plasma-apply-wallpaperimage [" + file + "]"};
        QTest::newRow("unknown desktop") << "Hyprland" << QStringList{"gsettings", "xfconf-query"} << int(WallpaperMode::Fit)
                                         << false << QStringList{};
    }
    void toolsEachDesktopIsAsked() {
        QFETCH(QString, desktop);
        QFETCH(QStringList, tools);
        QFETCH(int, mode);
        QFETCH(bool, answered);
        QFETCH(QStringList, calls);
        useTools(tools);
        qputenv("XDG_CURRENT_DESKTOP", desktop.toUtf8());
        QCOMPARE(askDesktopToShowWallpaper("/tmp/my pictures/壁紙.bmp", WallpaperMode(mode)), answered);
        QCOMPARE(takeLog(), calls);
    }

    // Plasma's script sets the image and the fill mode on every desktop.
    void plasmaScriptCarriesFillMode_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("fill");
        QTest::newRow("tile") << int(WallpaperMode::Tile) << "\"FillMode\", 3)";
        QTest::newRow("centre") << int(WallpaperMode::Center) << "\"FillMode\", 6)";
        QTest::newRow("stretch") << int(WallpaperMode::Stretch) << "\"FillMode\", 0)";
        QTest::newRow("fit") << int(WallpaperMode::Fit) << "\"FillMode\", 1)";
    }
    void plasmaScriptCarriesFillMode() {
        QFETCH(int, mode);
        QFETCH(QString, fill);
        useTools({"qdbus", "plasma-apply-wallpaperimage"});
        qputenv("XDG_CURRENT_DESKTOP", "KDE");
        QVERIFY(askDesktopToShowWallpaper("/home/me/a\"b.bmp", WallpaperMode(mode)));
        const QStringList calls = takeLog();
        QCOMPARE(calls.size(), 1);  // the first tool that answers is the only one asked
        QVERIFY2(calls[0].startsWith("qdbus [org.kde.plasmashell] [/PlasmaShell] [org.kde.PlasmaShell.evaluateScript] ["),
                 qPrintable(calls[0]));
        QVERIFY(calls[0].contains(fill));
        QVERIFY(calls[0].contains("d.writeConfig(\"Image\", \"file:///home/me/a%22b.bmp\")"));
    }

    void failingToolAnswersNothing() {
        useTools({"gsettings"});
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
        qputenv("KORVEL_FAKE_STATUS", "1");
        QVERIFY(!askDesktopToShowWallpaper("/tmp/w.bmp", WallpaperMode::Fit));
        QCOMPARE(takeLog().size(), 1);  // the options are not set when the picture was refused
    }

    void xfceWithoutBackdropsCreatesTheFirst() {
        const QList<QList<DesktopCommand>> cmds = wallpaperCommands(DesktopKind::Xfce, "/w.bmp", WallpaperMode::Tile, {});
        QCOMPARE(cmds.size(), 1);
        QCOMPARE(cmds[0].size(), 3);
        QCOMPARE(cmds[0][0].arguments, (QStringList{"-c", "xfce4-desktop", "-p", "/backdrop/screen0/monitor0/workspace0/last-image",
                                                    "-n", "-t", "string", "-s", "/w.bmp"}));
        QCOMPARE(cmds[0][1].arguments, (QStringList{"-c", "xfce4-desktop", "-p", "/backdrop/screen0/monitor0/workspace0/image-style",
                                                    "-n", "-t", "int", "-s", "2"}));
    }

    // The menu commands: the file rendered for the screen, registry.ini written, GNOME asked.
    void menuCommandsEndToEnd_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("tile");
        QTest::addColumn<QString>("option");
        QTest::newRow("tile") << int(WallpaperMode::Tile) << "1" << "wallpaper";
        QTest::newRow("centre") << int(WallpaperMode::Center) << "0" << "centered";
        QTest::newRow("stretch") << int(WallpaperMode::Stretch) << "0" << "stretched";
        QTest::newRow("fit") << int(WallpaperMode::Fit) << "0" << "scaled";
    }
    void menuCommandsEndToEnd() {
        QFETCH(int, mode);
        QFETCH(QString, tile);
        QFETCH(QString, option);
        useTools({"gsettings"});
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
        const QString source = tmp_.path() + "/photo.bmp";
        korvel::testing::saveBmp(pattern(300, 200), source.toStdString());

        const std::string out = setWallpaperFromFile(source.toStdString(), WallpaperMode(mode), nullptr);
        QCOMPARE(QString::fromStdString(out), QString::fromStdString(korvel::wallpaperFilePath()));
        QVERIFY(QString::fromStdString(out).startsWith(tmp_.path() + "/data/korvel/Korvel_"));
        const QSize screen = wallpaperScreenSize(nullptr);
        const korvel::WallpaperSize size =
            korvel::wallpaperBitmapSize(300, 200, korvel::renderOf(WallpaperMode(mode)), screen.width(), screen.height());
        const korvel::TBitmap written = korvel::testing::loadBmp(out);
        QCOMPARE(written.width(), size.width);
        QCOMPARE(written.height(), size.height);

        const korvel::IniFile reg = korvel::IniFile::load((tmp_.path() + "/config/registry.ini").toStdString());
        QCOMPARE(QString::fromStdString(reg.readString(korvel::kDesktopRegistryKey, "TileWallPaper", "?")), tile);
        QCOMPARE(reg.readString(korvel::kDesktopRegistryKey, "WallPaper", "?"), out);
        const QStringList calls = takeLog();
        QCOMPARE(calls.size(), 3);
        QVERIFY(calls[0].endsWith("[" + QUrl::fromLocalFile(QString::fromStdString(out)).toString(QUrl::FullyEncoded) + "]"));
        QVERIFY(calls[2].endsWith("[" + option + "]"));
    }

    // The pane's commands use the image as shown: a turned 300x200 becomes a 200x300 wallpaper.
    void shownImageIsUsedAsItIs() {
        useTools({"gsettings"});
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
        const std::unique_ptr<korvel::TBitmap> turned = korvel::Rotate90Right(pattern(300, 200));
        const std::string out = setWallpaperFromBitmap(*turned, WallpaperMode::Center, nullptr);
        const korvel::TBitmap written = korvel::testing::loadBmp(out);
        QCOMPARE(written.width(), 200);
        QCOMPARE(written.height(), 300);
        QCOMPARE(written.pixel(0, 0), turned->pixel(0, 0));
        QCOMPARE(written.pixel(199, 299), turned->pixel(199, 299));
    }

    void failedRenderChangesNothing() {
        useTools({"gsettings"});
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
        QDir().mkpath(tmp_.path() + "/data/korvel");
        const QString wp = QString::fromStdString(korvel::wallpaperFilePath());
        QFile f(wp);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("the old wallpaper");
        f.close();
        const QString regPath = tmp_.path() + "/config/registry.ini";
        QDir().mkpath(tmp_.path() + "/config");
        QFile r(regPath);
        QVERIFY(r.open(QIODevice::WriteOnly));
        r.write("[HKEY_CURRENT_USER\\Control Panel\\desktop]\nWallPaper=/old.bmp\nTileWallPaper=1\n");
        r.close();
        const QByteArray regBefore = fileBytes(regPath);

        std::ofstream(tmp_.path().toStdString() + "/damaged.bmp") << "BM broken";
        for (const QString& source : {tmp_.path() + "/damaged.bmp", tmp_.path() + "/missing.bmp"})
            QCOMPARE(setWallpaperFromFile(source.toStdString(), WallpaperMode::Fit, nullptr), std::string());
        QCOMPARE(setWallpaperFromBitmap(korvel::TBitmap(), WallpaperMode::Tile, nullptr), std::string());
        QCOMPARE(fileBytes(wp), QByteArray("the old wallpaper"));
        QCOMPARE(fileBytes(regPath), regBefore);
        QVERIFY(takeLog().isEmpty());  // the desktop was not asked
    }
};

QTEST_MAIN(WallpaperDesktopTest)
#include "wallpaper_desktop_test.moc"
