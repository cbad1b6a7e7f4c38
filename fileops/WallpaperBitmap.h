#pragma once
// The wallpaper bitmap: the image rendered at its own size, the screen size or fitted to the
// screen, saved as a bitmap file in Korvel's data folder, and the wallpaper values recorded in
// registry.ini.
#include <string>

#include "imaging/Bitmap.h"

namespace korvel {

class TGraphic;

// The four wallpaper commands.
enum class WallpaperMode { Tile, Center, Stretch, Fit };
enum class WallpaperRender { OwnSize, ScreenSize, Fitted };

WallpaperRender renderOf(WallpaperMode mode);
// "TileWallPaper" is 1 only for the tiled command.
bool tileFlagOf(WallpaperMode mode);

struct WallpaperSize {
    int width = 0, height = 0;
    bool operator==(const WallpaperSize&) const = default;
};

// Size of the bitmap for an image of w x h on a screen of screenW x screenH. Fitted keeps the
// proportions: the side that limits takes the screen's length, the other w*SH div h (or
// h*SW div w), at least 1.
WallpaperSize wallpaperBitmapSize(int w, int h, WallpaperRender render, int screenW, int screenH);

// The picture drawn (own size) or plain-stretched (screen size, fitted) onto a new 24-bit bitmap.
TBitmap renderWallpaper(const TGraphic& picture, WallpaperRender render, int screenW, int screenH);

// $XDG_DATA_HOME/korvel/ (default ~/.local/share/korvel/), ending with "/".
std::string wallpaperFolder();
// The login name of the user running Korvel; "" when it cannot be read.
std::string loginName();
// wallpaperFolder() + "Korvel_" + loginName() + "_WP.bmp".
std::string wallpaperFilePath();

// Renders shown (or, when shown is null, sourceFile loaded by its extension) and writes it to
// outPath through a temporary file, creating the folder when missing. Returns outPath. Throws
// the decoder's or the file system's Exception (or bad_alloc); a failure leaves an existing
// file at outPath as it was.
std::string MakeWallpaperBitmap(const std::string& sourceFile, const TGraphic* shown, WallpaperRender render,
                                int screenW, int screenH, const std::string& outPath);

}  // namespace korvel
