// Sub-viewer windows, and the commands that hand the grid's selected files to other programs:
// opening, properties and wallpaper.
#include "app/KorvelMain.h"
#include "browse/ui/OrgStGrid.h"
#include "fileops/WallpaperBitmap.h"
#include "platform/ShellServices.h"
#include "view/SubFrm.h"
#include "view/WallpaperCommands.h"

void TKorvelMain::openSubViewer(const std::string& path) {
    // Each viewer keeps its own image and lives on whatever the main window does.
    ::openSubViewer(path, this, photoSwitches());
}

void TKorvelMain::wallpaperFromSelection(int mode) {
    // The same file the properties command of these menus shows.
    const std::ptrdiff_t i = firstSelectedFile();
    if (i >= 0) setWallpaperFromFile(fileList().path(size_t(i)), korvel::WallpaperMode(mode), this);
}

void TKorvelMain::Open1Click() {
    for (size_t i : markedFiles()) openWithDefaultProgram(fileList().path(i));
}

std::ptrdiff_t TKorvelMain::firstSelectedFile() const {
    // The first file of the selection rectangle in reading order.
    const korvel::GridCell a = StringGrid1->selection(), b = StringGrid1->selectionEnd();
    for (int r = a.row; r <= b.row; ++r)
        for (int c = a.col; c <= b.col; ++c) {
            const size_t i = size_t(r) * size_t(StringGrid1->colCount()) + size_t(c);
            if (i < fileList().size()) return std::ptrdiff_t(i);
        }
    return -1;
}

void TKorvelMain::Property1Click() {
    if (const std::ptrdiff_t i = firstSelectedFile(); i >= 0) showShellProperties(fileList().path(size_t(i)), this);
}
