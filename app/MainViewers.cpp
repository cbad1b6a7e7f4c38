// Sub-viewer windows and the wallpaper commands of the main window.
#include <QMenu>

#include "app/KorvelMain.h"
#include "fileops/WallpaperBitmap.h"
#include "view/SubFrm.h"
#include "view/WallpaperCommands.h"

void TKorvelMain::openSubViewer(const std::string& path) {
    // Each viewer keeps its own image and lives on whatever the main window does.
    ::openSubViewer(path, this);
}

void TKorvelMain::wallpaperFromSelection(int mode) {
    // The same file the properties command of these menus shows.
    const std::ptrdiff_t i = firstSelectedFile();
    if (i >= 0) setWallpaperFromFile(FileList.path(size_t(i)), korvel::WallpaperMode(mode), this);
}

void TKorvelMain::wallpaperFromPreview(int mode) {
    if (const korvel::TBitmap* shown = previewBitmap()) setWallpaperFromBitmap(*shown, korvel::WallpaperMode(mode), this);
}

void TKorvelMain::connectWallpaperItems() {
    const char* fromSelection[][4] = {{"Wall_Tile1", "Wall_Center1", "Wall_Strech1", "Wall_Fit1"},
                                      {"Wall_Tile", "Wall_Center", "Wall_Strech", "Wall_Fit"}};
    const korvel::WallpaperMode modes[] = {korvel::WallpaperMode::Tile, korvel::WallpaperMode::Center,
                                           korvel::WallpaperMode::Stretch, korvel::WallpaperMode::Fit};
    for (auto& names : fromSelection)
        for (int i = 0; i < 4; ++i)
            connect(action(names[i]), &QAction::triggered, this, [this, m = int(modes[i])] { wallpaperFromSelection(m); });
    const char* fromPreview[] = {"Wall_Tile2", "Wall_Center2", "Wall_Strech2", "Wall_Fit2"};
    for (int i = 0; i < 4; ++i)
        connect(action(fromPreview[i]), &QAction::triggered, this, [this, m = int(modes[i])] { wallpaperFromPreview(m); });
    for (const char* name : {"Wall1", "Wall2", "Wall3"}) action(name)->setProperty("notYetBuilt", false);
    action("Wall3")->setEnabled(true);
}
