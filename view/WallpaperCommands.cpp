#include "view/WallpaperCommands.h"
#include "platform/BusyCursor.h"
#include "platform/ErrorBox.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

#include "imaging/Bitmap.h"
#include "platform/DesktopWallpaper.h"

namespace {

std::string makeAndSet(const std::string& source, const korvel::TGraphic* shown, korvel::WallpaperMode mode,
                       QWidget* parent) {
    std::string out;
    {
        BusyCursor busy;
        const QSize screen = wallpaperScreenSize(parent);
        // Making the wallpaper fails silently.
        coreSucceeds([&] {
            out = korvel::MakeWallpaperBitmap(source, shown, korvel::renderOf(mode), screen.width(),
                                              screen.height(), korvel::wallpaperFilePath());
            return true;
        });
    }
    // Without a new file the user's wallpaper stays as it is.
    if (!out.empty()) SetDesktopWallpaper(out, mode, 0, 0);
    return out;
}

}  // namespace

QSize wallpaperScreenSize(QWidget* parent) {
    QScreen* screen = parent ? parent->screen() : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return QSize(1024, 768);
    const QSize logical = screen->geometry().size();
    const double ratio = screen->devicePixelRatio();
    return QSize(int(std::lround(logical.width() * ratio)), int(std::lround(logical.height() * ratio)));
}

std::string setWallpaperFromFile(const std::string& path, korvel::WallpaperMode mode, QWidget* parent) {
    return makeAndSet(path, nullptr, mode, parent);
}

std::string setWallpaperFromBitmap(const korvel::TBitmap& shown, korvel::WallpaperMode mode, QWidget* parent) {
    if (shown.empty()) return {};
    return makeAndSet({}, &shown, mode, parent);
}
