#include "view/WallpaperCommands.h"
#include "platform/BusyCursor.h"
#include "platform/ErrorBox.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>
#include <cmath>

#include "imaging/Bitmap.h"
#include "platform/DesktopWallpaper.h"
#include "platform/PathText.h"

namespace {

// Under X11 a desktop that did not answer is passed over, as ever. Under Wayland the user would
// otherwise wait for a wallpaper that never comes, so Korvel says why and where the file is.
void tellWhenNotShown(DesktopAnswer answer, const std::string& file, QWidget* parent) {
    if ((answer != DesktopAnswer::NoAnswer && answer != DesktopAnswer::NoWay) || !waylandSession()) return;
    const char* why = answer == DesktopAnswer::NoWay
                          ? QT_TRANSLATE_NOOP("WallpaperCommands", "このデスクトップでは、プログラムから壁紙を設定できません。")
                          : QT_TRANSLATE_NOOP("WallpaperCommands", "デスクトップが壁紙の設定に応えませんでした。");
    const QString saved = QCoreApplication::translate("WallpaperCommands", "壁紙の画像は次の場所に保存しました:");
    QMessageBox::information(parent, QStringLiteral("Korvel"),
                             QCoreApplication::translate("WallpaperCommands", why) + QLatin1Char('\n') + saved +
                                 QLatin1Char('\n') + pathText(file));
}

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
    if (!out.empty()) tellWhenNotShown(SetDesktopWallpaper(out, mode, 0, 0), out, parent);
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
