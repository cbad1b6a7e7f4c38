#pragma once
// Handing the wallpaper file to the running desktop: GNOME (and desktops on its settings),
// Cinnamon and MATE through gsettings, XFCE through xfconf-query, KDE Plasma through its shell's
// scripting call or plasma-apply-wallpaperimage.
#include <QList>
#include <QString>
#include <QStringList>
#include <string>

#include "fileops/WallpaperBitmap.h"

enum class DesktopKind { Unknown, Gnome, Cinnamon, Mate, Xfce, Kde };

// The desktop named by XDG_CURRENT_DESKTOP (a ":"-separated list), else by DESKTOP_SESSION.
DesktopKind detectDesktop(const QString& currentDesktop, const QString& session);

struct DesktopCommand {
    QString program;
    QStringList arguments;
    bool operator==(const DesktopCommand&) const = default;
};

// Alternatives tried in order until one succeeds; each alternative is a list of commands run in
// order (the first one's success counts). xfceImages: the "last-image" properties of XFCE's
// desktop channel.
QList<QList<DesktopCommand>> wallpaperCommands(DesktopKind desktop, const QString& path, korvel::WallpaperMode mode,
                                               const QStringList& xfceImages = {});
// The "…/last-image" properties in the output of "xfconf-query -c xfce4-desktop -l".
QStringList xfceImageProperties(const QString& listing);

// How the running desktop took the wallpaper.
enum class DesktopAnswer {
    Shown,     // its tool answered
    NotAsked,  // the values could not be recorded, so it was not asked
    NoAnswer,  // a desktop Korvel knows, whose tools did not answer
    NoWay,     // a desktop that offers programs no way to set its wallpaper
};

// Asks the running desktop to show path. Reports nothing.
DesktopAnswer askDesktopToShowWallpaper(const QString& path, korvel::WallpaperMode mode);

// Records the wallpaper values in registry.ini and, when they were written, asks the desktop to
// show the file.
DesktopAnswer SetDesktopWallpaper(const std::string& path, korvel::WallpaperMode mode, int originY, int originX);

// A Wayland session, where no program can draw the wallpaper behind the desktop's back (also
// when Korvel itself runs through XWayland).
bool waylandSession();
