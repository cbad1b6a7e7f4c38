#include "fileops/WallpaperBitmap.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <sstream>

#include "imaging/Bmp.h"
#include "base/SafeWrite.h"
#include "base/Errors.h"
#include "base/FileNames.h"
#include "formats/Picture.h"
#include "base/UserFolders.h"

namespace korvel {

WallpaperRender renderOf(WallpaperMode mode) {
    switch (mode) {
    case WallpaperMode::Tile:
    case WallpaperMode::Center: return WallpaperRender::OwnSize;
    case WallpaperMode::Stretch: return WallpaperRender::ScreenSize;
    case WallpaperMode::Fit: return WallpaperRender::Fitted;
    }
    return WallpaperRender::OwnSize;
}

bool tileFlagOf(WallpaperMode mode) { return mode == WallpaperMode::Tile; }

WallpaperSize wallpaperBitmapSize(int w, int h, WallpaperRender render, int screenW, int screenH) {
    switch (render) {
    case WallpaperRender::OwnSize: return {w, h};
    case WallpaperRender::ScreenSize: return {screenW, screenH};
    case WallpaperRender::Fitted: break;
    }
    if (w <= 0 || h <= 0) return {0, 0};
    if (double(screenH) / h <= double(screenW) / w)
        return {int(std::max<int64_t>(1, int64_t(w) * screenH / h)), screenH};
    return {screenW, int(std::max<int64_t>(1, int64_t(h) * screenW / w))};
}

TBitmap renderWallpaper(const TGraphic& picture, WallpaperRender render, int screenW, int screenH) {
    const WallpaperSize size = wallpaperBitmapSize(picture.width(), picture.height(), render, screenW, screenH);
    if (size.width <= 0 || size.height <= 0) throw EInvalidGraphic("empty image");
    TBitmap canvas(size.width, size.height, PixelFormat::pf24bit);
    // A new canvas is white, so transparent areas show white as in the rest of Korvel.
    for (int y = 0; y < canvas.height(); ++y) std::fill_n(canvas.scanLine(y), canvas.stride(), 0xFF);
    picture.draw(canvas, Rect{0, 0, size.width, size.height});
    return canvas;
}

std::string wallpaperFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') return withSlash(xdg) + "korvel/";
    const char* home = std::getenv("HOME");
    return withSlash(home && *home ? home : "/tmp") + ".local/share/korvel/";
}

std::string loginName() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) return pw->pw_name;
    if (const char* user = std::getenv("USER"); user) return user;
    return {};
}

std::string wallpaperFilePath() { return wallpaperFolder() + "Korvel_" + loginName() + "_WP.bmp"; }

std::string MakeWallpaperBitmap(const std::string& sourceFile, const TGraphic* shown, WallpaperRender render,
                                int screenW, int screenH, const std::string& outPath) {
    TPicture picture;
    if (!shown) {
        picture.loadFromFile(sourceFile);
        shown = picture.graphic();
    }
    if (!shown) throw EInvalidGraphic("No image to make a wallpaper of");
    const TBitmap bitmap = renderWallpaper(*shown, render, screenW, screenH);
    std::ostringstream bytes;
    writeBmp(bitmap, bytes);
    makeFolders(extractFilePath(outPath));
    replaceFileAtomically(outPath, std::move(bytes).str());
    return outPath;
}

}  // namespace korvel
