// Sub-viewer windows and the wallpaper commands of the main window.
#include "app/KorvelMain.h"
#include "fileops/WallpaperBitmap.h"
#include "view/SubFrm.h"
#include "view/WallpaperCommands.h"

void TKorvelMain::openSubViewer(const std::string& path) {
    // Each viewer keeps its own image and lives on whatever the main window does.
    ::openSubViewer(path, this, photoSwitches());
}

void TKorvelMain::wallpaperFromSelection(int mode) {
    // The same file the properties command of these menus shows.
    const std::ptrdiff_t i = firstSelectedFile();
    if (i >= 0) setWallpaperFromFile(FileList.path(size_t(i)), korvel::WallpaperMode(mode), this);
}

void TKorvelMain::wallpaperFromPreview(int mode) {
    if (const korvel::TBitmap* shown = preview_.bitmap()) setWallpaperFromBitmap(*shown, korvel::WallpaperMode(mode), this);
}
