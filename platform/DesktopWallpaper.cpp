#include "platform/DesktopWallpaper.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QUrl>

#include "base/UserFolders.h"
#include "settings/RegistrySettings.h"

namespace {

QString gnomeOption(korvel::WallpaperMode mode) {
    switch (mode) {
    case korvel::WallpaperMode::Tile: return QStringLiteral("wallpaper");
    case korvel::WallpaperMode::Center: return QStringLiteral("centered");
    case korvel::WallpaperMode::Stretch: return QStringLiteral("stretched");
    case korvel::WallpaperMode::Fit: return QStringLiteral("scaled");
    }
    return QStringLiteral("centered");
}

// xfdesktop's image-style: 1 centred, 2 tiled, 3 stretched, 4 scaled.
int xfceStyle(korvel::WallpaperMode mode) {
    switch (mode) {
    case korvel::WallpaperMode::Tile: return 2;
    case korvel::WallpaperMode::Center: return 1;
    case korvel::WallpaperMode::Stretch: return 3;
    case korvel::WallpaperMode::Fit: return 4;
    }
    return 1;
}

// Plasma's image wallpaper takes a QML Image fill mode: 0 stretch, 1 fit, 3 tile, 6 pad.
int plasmaFillMode(korvel::WallpaperMode mode) {
    switch (mode) {
    case korvel::WallpaperMode::Tile: return 3;
    case korvel::WallpaperMode::Center: return 6;
    case korvel::WallpaperMode::Stretch: return 0;
    case korvel::WallpaperMode::Fit: return 1;
    }
    return 6;
}

QList<DesktopCommand> gsettings(const QString& schema, const QString& key, const QString& value,
                                const QString& option, bool darkToo) {
    const QString set = QStringLiteral("set");
    QList<DesktopCommand> cmds{{QStringLiteral("gsettings"), {set, schema, key, value}}};
    if (darkToo) cmds.append({QStringLiteral("gsettings"), {set, schema, QStringLiteral("picture-uri-dark"), value}});
    cmds.append({QStringLiteral("gsettings"), {set, schema, QStringLiteral("picture-options"), option}});
    return cmds;
}

QString plasmaScript(const QString& uri, int fillMode) {
    QString quoted = uri;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QStringLiteral(
               "var all = desktops();"
               "for (var i = 0; i < all.length; i++) {"
               " var d = all[i];"
               " d.wallpaperPlugin = \"org.kde.image\";"
               " d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];"
               " d.writeConfig(\"Image\", \"%1\");"
               " d.writeConfig(\"FillMode\", %2);"
               "}")
        .arg(quoted)
        .arg(fillMode);
}

// Runs one command; true when it started and ended with status 0 in time.
bool run(const DesktopCommand& cmd, QString* output = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(cmd.program, cmd.arguments);
    if (!p.waitForStarted(3000)) return false;
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(1000);
        return false;
    }
    if (output) *output = QString::fromUtf8(p.readAllStandardOutput());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

}  // namespace

DesktopKind detectDesktop(const QString& currentDesktop, const QString& session) {
    QStringList names = currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (names.isEmpty() && !session.isEmpty()) names.append(session);
    for (QString n : names) {
        n = n.toLower();
        if (n.contains(QLatin1String("cinnamon"))) return DesktopKind::Cinnamon;
        if (n == QLatin1String("mate")) return DesktopKind::Mate;
        if (n.contains(QLatin1String("xfce"))) return DesktopKind::Xfce;
        if (n == QLatin1String("kde") || n.contains(QLatin1String("plasma"))) return DesktopKind::Kde;
        // Desktops that keep their background in GNOME's settings.
        if (n == QLatin1String("gnome") || n == QLatin1String("unity") || n == QLatin1String("budgie") ||
            n == QLatin1String("pantheon") || n == QLatin1String("ubuntu") || n.startsWith(QLatin1String("gnome-")))
            return DesktopKind::Gnome;
    }
    return DesktopKind::Unknown;
}

QStringList xfceImageProperties(const QString& listing) {
    QStringList props;
    for (const QString& line : listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString p = line.trimmed();
        if (p.startsWith(QLatin1String("/backdrop/")) && p.endsWith(QLatin1String("/last-image"))) props.append(p);
    }
    return props;
}

QList<QList<DesktopCommand>> wallpaperCommands(DesktopKind desktop, const QString& path, korvel::WallpaperMode mode,
                                               const QStringList& xfceImages) {
    const QString uri = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    switch (desktop) {
    case DesktopKind::Unknown: return {};
    case DesktopKind::Gnome:
        return {gsettings(QStringLiteral("org.gnome.desktop.background"), QStringLiteral("picture-uri"), uri,
                          gnomeOption(mode), true)};
    case DesktopKind::Cinnamon:
        return {gsettings(QStringLiteral("org.cinnamon.desktop.background"), QStringLiteral("picture-uri"), uri,
                          gnomeOption(mode), false)};
    case DesktopKind::Mate:
        return {gsettings(QStringLiteral("org.mate.background"), QStringLiteral("picture-filename"), path,
                          gnomeOption(mode), false)};
    case DesktopKind::Xfce: {
        const QString prog = QStringLiteral("xfconf-query");
        const QString channel = QStringLiteral("xfce4-desktop");
        QList<DesktopCommand> cmds;
        QStringList images = xfceImages;
        // A session that never had a backdrop set has no properties yet: create the first screen's.
        const bool create = images.isEmpty();
        if (create) images.append(QStringLiteral("/backdrop/screen0/monitor0/workspace0/last-image"));
        for (const QString& image : images) {
            QString style = image;
            style.replace(style.size() - int(sizeof("last-image") - 1), int(sizeof("last-image") - 1), QStringLiteral("image-style"));
            QStringList setImage{QStringLiteral("-c"), channel, QStringLiteral("-p"), image};
            QStringList setStyle{QStringLiteral("-c"), channel, QStringLiteral("-p"), style};
            if (create) {
                setImage << QStringLiteral("-n") << QStringLiteral("-t") << QStringLiteral("string");
                setStyle << QStringLiteral("-n") << QStringLiteral("-t") << QStringLiteral("int");
            }
            cmds.append({prog, setImage << QStringLiteral("-s") << path});
            cmds.append({prog, setStyle << QStringLiteral("-s") << QString::number(xfceStyle(mode))});
        }
        // The same path set again changes no property, so xfdesktop is told to read the file anew.
        cmds.append({QStringLiteral("xfdesktop"), {QStringLiteral("--reload")}});
        return {cmds};
    }
    case DesktopKind::Kde: {
        QList<QList<DesktopCommand>> alternatives;
        const QStringList call{QStringLiteral("org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
                               QStringLiteral("org.kde.PlasmaShell.evaluateScript"), plasmaScript(uri, plasmaFillMode(mode))};
        for (const char* qdbus : {"qdbus6", "qdbus", "qdbus-qt6"}) alternatives.append({{QLatin1String(qdbus), call}});
        alternatives.append({{QStringLiteral("plasma-apply-wallpaperimage"), {path}}});
        return alternatives;
    }
    }
    return {};
}

DesktopAnswer askDesktopToShowWallpaper(const QString& path, korvel::WallpaperMode mode) {
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const DesktopKind desktop =
        detectDesktop(env.value(QStringLiteral("XDG_CURRENT_DESKTOP")), env.value(QStringLiteral("DESKTOP_SESSION")));
    QStringList xfceImages;
    if (desktop == DesktopKind::Xfce) {
        QString listing;
        if (run({QStringLiteral("xfconf-query"), {QStringLiteral("-c"), QStringLiteral("xfce4-desktop"), QStringLiteral("-l")}},
                &listing))
            xfceImages = xfceImageProperties(listing);
    }
    const QList<QList<DesktopCommand>> alternatives = wallpaperCommands(desktop, path, mode, xfceImages);
    if (alternatives.isEmpty()) return DesktopAnswer::NoWay;
    for (const QList<DesktopCommand>& alternative : alternatives) {
        bool answered = false;
        for (int i = 0; i < alternative.size(); ++i) {
            // Later commands set options an older desktop may not know; only the first decides.
            const bool ok = run(alternative[i]);
            if (i == 0 && !ok) break;
            if (i == 0) answered = true;
        }
        if (answered) return DesktopAnswer::Shown;
    }
    return DesktopAnswer::NoAnswer;
}

DesktopAnswer SetDesktopWallpaper(const std::string& path, korvel::WallpaperMode mode, int originY, int originX) {
    const std::string registry = korvel::registryPath(QCoreApplication::applicationFilePath().toStdString());
    if (!korvel::recordWallpaperValues(registry, path, korvel::tileFlagOf(mode), originY, originX))
        return DesktopAnswer::NotAsked;
    return askDesktopToShowWallpaper(QString::fromStdString(path), mode);
}

bool waylandSession() {
    return QGuiApplication::platformName() == QLatin1String("wayland") ||
           qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
}
