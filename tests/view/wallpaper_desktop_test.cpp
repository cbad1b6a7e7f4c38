// The wallpaper commands end to end, with stand-in desktop tools on PATH that log how they were
// called: which tool each desktop gets and with which options, what registry.ini records, and
// that a failed render changes neither the file nor the desktop.
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include "settings/RegistrySettings.h"
#include "base/IniFile.h"
#include "imaging/StretchUtils.h"
#include "platform/DesktopWallpaper.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"
#include "tests/support/UiSupport.h"
#include "view/WallpaperCommands.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

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

    std::string registry() const { return tmp_.path().toStdString() + "/config/registry.ini"; }

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
        const QString cinnamon = "gsettings [set] [org.cinnamon.desktop.background] ";
        const QString mate = "gsettings [set] [org.mate.background] ";
        const QString xfce = "xfconf-query [-c] [xfce4-desktop] [-p] [/backdrop/screen0/monitor";
        const QString plasma = "qdbus [org.kde.plasmashell] [/PlasmaShell] "
                               "[org.kde.PlasmaShell.evaluateScript] […d.writeConfig(\"Image\", \"" + uri +
                               "\");…d.writeConfig(\"FillMode\", ";
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QStringList>("tools");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("status");  // each tool's exit status
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<int>("answer");
        const auto row = [](const char* name, const char* desktop, const QStringList& tools, WallpaperMode mode,
                            const QStringList& calls, DesktopAnswer answer = DesktopAnswer::Shown, int status = 0) {
            QTest::newRow(name) << QString(desktop) << tools << int(mode) << status << calls << int(answer);
        };
        row("GNOME fit", "ubuntu:GNOME", {"gsettings"}, WallpaperMode::Fit,
            {gnome + "[picture-uri] [" + uri + "]", gnome + "[picture-uri-dark] [" + uri + "]",
             gnome + "[picture-options] [scaled]"});
        row("GNOME stretch", "GNOME", {"gsettings"}, WallpaperMode::Stretch,
            {"…", "…", gnome + "[picture-options] [stretched]"});
        row("GNOME refuses", "GNOME", {"gsettings"}, WallpaperMode::Fit, {gnome + "[picture-uri] […"},
            DesktopAnswer::NoAnswer, 1);
        row("Cinnamon tile", "X-Cinnamon", {"gsettings"}, WallpaperMode::Tile,
            {cinnamon + "[picture-uri] [" + uri + "]", cinnamon + "[picture-options] [wallpaper]"});
        row("MATE centre", "MATE", {"gsettings"}, WallpaperMode::Center,
            {mate + "[picture-filename] [" + file + "]", mate + "[picture-options] [centered]"});
        row("XFCE stretch, every monitor", "XFCE", {"xfconf-query", "xfdesktop"}, WallpaperMode::Stretch,
            {"xfconf-query [-c] [xfce4-desktop] [-l]",
             xfce + "HDMI-1/workspace0/last-image] [-s] [" + file + "]",
             xfce + "HDMI-1/workspace0/image-style] [-s] [3]",
             xfce + "eDP-1/workspace0/last-image] [-s] [" + file + "]",
             xfce + "eDP-1/workspace0/image-style] [-s] [3]", "xfdesktop [--reload]"});
        row("KDE without any tool", "KDE", {}, WallpaperMode::Fit, {}, DesktopAnswer::NoAnswer);
        row("KDE apply tool", "KDE", {"plasma-apply-wallpaperimage"}, WallpaperMode::Fit,
            {"plasma-apply-wallpaperimage [" + file + "]"});
        // The first tool that answers is the only one asked.
        const QStringList kde{"qdbus", "plasma-apply-wallpaperimage"};
        row("Plasma tile", "KDE", kde, WallpaperMode::Tile, {plasma + "3);…"});
        row("Plasma centre", "KDE", kde, WallpaperMode::Center, {plasma + "6);…"});
        row("Plasma stretch", "KDE", kde, WallpaperMode::Stretch, {plasma + "0);…"});
        row("Plasma fit", "KDE", kde, WallpaperMode::Fit, {plasma + "1);…"});
        row("unknown desktop", "Hyprland", {"gsettings", "xfconf-query"}, WallpaperMode::Fit, {}, DesktopAnswer::NoWay);
    }
    void toolsEachDesktopIsAsked() {
        QFETCH(QString, desktop);
        QFETCH(QStringList, tools);
        QFETCH(int, mode);
        QFETCH(int, status);
        QFETCH(QStringList, calls);
        QFETCH(int, answer);
        useTools(tools, desktop.toUtf8());
        qputenv("KORVEL_FAKE_STATUS", QByteArray::number(status));
        QCOMPARE(int(askDesktopToShowWallpaper("/tmp/my pictures/壁紙.bmp", WallpaperMode(mode))), answer);
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
        const QString p = "/backdrop/screen0/monitor0/workspace0/";
        const QList<DesktopCommand> expect{
            {"xfconf-query",
             {"-c", "xfce4-desktop", "-p", p + "last-image", "-n", "-t", "string", "-s", "/w.bmp"}},
            {"xfconf-query", {"-c", "xfce4-desktop", "-p", p + "image-style", "-n", "-t", "int", "-s", "2"}},
            {"xfdesktop", {"--reload"}}};
        QCOMPARE(wallpaperCommands(DesktopKind::Xfce, "/w.bmp", WallpaperMode::Tile, {}), {expect});
    }

    // A file is rendered in the mode asked for (the sizes are the renderer's rule); the pane's
    // commands use the image as shown (turned). registry.ini names the file, and the desktop is
    // asked with the mode.
    void menuCommandsEndToEnd() {
        useTools({"gsettings"});
        const std::string source = tmp_.path().toStdString() + "/photo.bmp";
        saveBmp(gradientBitmap(300, 200), source);
        const std::string out = setWallpaperFromFile(source, WallpaperMode::Fit, nullptr);
        QCOMPARE(out, wallpaperFilePath());
        QCOMPARE(takeLog().last(), QStringLiteral("gsettings [set] [org.gnome.desktop.background] "
                                                  "[picture-options] [scaled]"));

        const std::unique_ptr<TBitmap> turned = Rotate90Right(gradientBitmap(300, 200));
        QCOMPARE(setWallpaperFromBitmap(*turned, WallpaperMode::Center, nullptr), out);
        QCOMPARE(pixelDifference(loadBmp(out), *turned), "");
        QCOMPARE(IniFile::load(registry()).readString(kDesktopRegistryKey, "WallPaper", "?"), out);
        const QStringList calls = takeLog();
        QCOMPARE(calls.size(), 3);
        const QUrl url = QUrl::fromLocalFile(QString::fromStdString(out));
        QVERIFY(calls[0].endsWith(url.toString(QUrl::FullyEncoded) + "]"));
        QVERIFY(calls[2].endsWith("[centered]"));
    }

    // Under Wayland a wallpaper the desktop did not take is told about, with where the file is;
    // under X11 nothing is said, as before.
    void waylandTellsWhenTheDesktopDidNotTakeIt() {
        const QString noWay = "このデスクトップでは、プログラムから壁紙を設定できません。";
        const QString noAnswer = "デスクトップが壁紙の設定に応えませんでした。";
        const struct {
            const char* session;
            const char* desktop;
            QStringList tools;
            int status;
            QString said;  // the box's first line; "" = no box
        } rows[] = {
            {"wayland", "sway", {}, 0, noWay},
            {"wayland", "GNOME", {"gsettings"}, 0, ""},
            {"wayland", "GNOME", {"gsettings"}, 1, noAnswer},
            {"x11", "i3", {}, 0, ""},
            {"x11", "GNOME", {"gsettings"}, 1, ""},
        };
        const std::string source = tmp_.path().toStdString() + "/photo.bmp";
        saveBmp(gradientBitmap(30, 20), source);
        for (const auto& r : rows) {
            RowTrace trace{QStringLiteral("%1 %2 %3").arg(r.session, r.desktop).arg(r.status)};
            useTools(r.tools, r.desktop);
            qputenv("XDG_SESSION_TYPE", r.session);
            qputenv("KORVEL_FAKE_STATUS", QByteArray::number(r.status));
            MessageBoxCatcher box;
            const std::string out = setWallpaperFromFile(source, WallpaperMode::Center, nullptr);
            QCOMPARE(out, wallpaperFilePath());
            QCOMPARE(box.text.section('\n', 0, 0), r.said);
            if (!r.said.isEmpty()) QVERIFY(box.text.endsWith("\n" + QString::fromStdString(out)));
            QCOMPARE(box.seen, r.said.isEmpty() ? 0 : 1);
            takeLog();
        }
        qunsetenv("XDG_SESSION_TYPE");
    }

    void failedRenderChangesNothing() {
        useTools({"gsettings"});
        QDir().mkpath(tmp_.path() + "/data/korvel");
        QDir().mkpath(tmp_.path() + "/config");
        const std::string reg = "[HKEY_CURRENT_USER\\Control Panel\\desktop]\nWallPaper=/old.bmp\n";
        writeFile(wallpaperFilePath(), "the old wallpaper");
        writeFile(registry(), reg);
        const std::string missing = tmp_.path().toStdString() + "/missing.bmp";
        QCOMPARE(setWallpaperFromFile(missing, WallpaperMode::Fit, nullptr), std::string());
        QCOMPARE(setWallpaperFromBitmap(TBitmap(), WallpaperMode::Tile, nullptr), std::string());
        QCOMPARE(readFile(wallpaperFilePath()), "the old wallpaper");
        QCOMPARE(readFile(registry()), reg);
        QVERIFY(takeLog().isEmpty());  // the desktop was not asked
    }
};

QTEST_MAIN(WallpaperDesktopTest)
#include "wallpaper_desktop_test.moc"