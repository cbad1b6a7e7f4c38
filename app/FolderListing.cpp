// Listing the selected folder: the file list and what follows each change of it.
#include "app/FolderListing.h"

#include <QTimer>

#include "app/PreviewPanel.h"
#include "app/StatusBar.h"
#include "app/ThumbnailGridPanel.h"
#include "base/FileNames.h"
#include "browse/FolderScan.h"
#include "browse/GridModel.h"
#include "browse/ui/DirTree.h"
#include "browse/ui/OrgStGrid.h"
#include "platform/BusyCursor.h"

FolderListing::FolderListing(QObject* parent) : QObject(parent) {}

korvel::ListOptions FolderListing::listOptions() const {
    korvel::ListOptions list;
    list.mask = hooks.filterMask();
    list.noHideFile = options.showHiddenFiles;
    list.nameView = hooks.sortKey();
    return list;
}

void FolderListing::listSelectedFolder() {
    if (hooks.building()) return;
    // The list is replaced only after a running file job, which reports into it, has ended.
    if (hooks.jobRunning()) {
        listAfterJob_ = true;
        return;
    }
    BusyCursor busy;
    TOrgStGrid* cells = parts_.grid->view();
    cells->setTopRow(0);
    cells->setSelection({0, 0}, false);
    const std::string folder = hooks.folder();
    korvel::ListOptions list = listOptions();
    list.subDirSearch = options.subFolders;
    // Every replacing listing discards the cached thumbnails with the old entries.
    parts_.grid->resetThumbnails();
    if (folder.empty()) files_.clear();
    else korvel::ListFolder(files_, folder, korvel::ListMode::Replace, list);
    if (options.subFoldersOnce) options.subFolders = false;
    parts_.status->showFileCount(files_.size());
    // The layout hands the new list to the workers, the cells on screen first.
    hooks.layOut();
    cells->marks().set(0, true);
    cells->repaintCells();
    cells->setFocus();
    hooks.changed();
    emit listed();
}

void FolderListing::folderChosen() {
    // Marks belong to the folder that was shown.
    parts_.grid->forgetPointerMarks();
    listSelectedFolder();
}

void FolderListing::refresh() {
    parts_.tree->blockSignals(true);
    parts_.tree->Reload();
    parts_.tree->blockSignals(false);
    listSelectedFolder();
}

void FolderListing::setSubFolders(bool on) {
    options.subFolders = on;
    listSelectedFolder();
}

void FolderListing::sort(bool ascending) {
    TOrgStGrid* cells = parts_.grid->view();
    // Marks follow their files; the previewed file stays the selection.
    const korvel::MarkedSort sorted =
        korvel::sortKeepingMarks(files_, cells->marks(), hooks.sortKey(), !ascending, parts_.preview->path());
    if (!sorted.sorted) return;
    parts_.grid->syncThumbnails();
    if (sorted.shownIndex) {
        const size_t cols = size_t(cells->colCount()), i = *sorted.shownIndex;
        const int row = int(i / cols);
        cells->setSelection({int(i % cols), row}, false);
        cells->setTopRow(row == cells->rowCount() - 1 && row > 0 ? row - 1 : row);
    }
    cells->repaintCells();
    hooks.changed();
}

void FolderListing::pruneVanished() {
    // The list must not shrink under a grid layout that is walking it: prune when it is done.
    if (parts_.grid->layingOut()) {
        if (!pruneQueued_) QTimer::singleShot(0, this, [this] {
            pruneQueued_ = false;
            pruneVanished();
        });
        pruneQueued_ = true;
        return;
    }
    if (korvel::removeVanishedFiles(files_) == 0) return;
    parts_.status->showFileCount(files_.size());
    hooks.layOut();
    // The grid's current cell becomes the one marked file, so the commands have a file again.
    TOrgStGrid* cells = parts_.grid->view();
    const korvel::GridCell current = cells->selection();
    parts_.preview->showCell(current.col, current.row);
    cells->marks().set(size_t(current.row) * size_t(cells->colCount()) + size_t(current.col), true);
    cells->repaintCells();
    hooks.changed();
}

void FolderListing::jobEnded() {
    if (std::exchange(listAfterJob_, false)) listSelectedFolder();
}

void FolderListing::addNewFilesIfShown(const std::string& folder) {
    const std::string shown = hooks.folder();
    if (folder.empty() || shown.empty() || korvel::withSlash(shown) != korvel::withSlash(folder)) return;
    // Only the folder itself: copies never land in its subfolders.
    korvel::ListFolder(files_, shown, korvel::ListMode::Add, listOptions());
    parts_.status->showFileCount(files_.size());
    hooks.changed();
    hooks.layOut();
}

void FolderListing::renamed(const std::string& from, const std::string& to) {
    const std::ptrdiff_t i = files_.indexOf(from);
    if (i >= 0) files_.setPath(size_t(i), to);
}
