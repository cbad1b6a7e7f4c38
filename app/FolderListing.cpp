// Listing the selected folder: the file list and what follows each change of it.
#include "app/FolderListing.h"

#include <QApplication>
#include <QTimer>

#include "app/PreviewPanel.h"
#include "app/StatusBar.h"
#include "app/ThumbnailGridPanel.h"
#include "base/FileNames.h"
#include "browse/FolderScan.h"
#include "browse/GridModel.h"
#include "browse/ListingUpdate.h"
#include "browse/ui/DirTree.h"
#include "browse/ui/LiveFolders.h"
#include "browse/ui/OrgStGrid.h"
#include "platform/BusyCursor.h"

FolderListing::FolderListing(QObject* parent) : QObject(parent) {
    live_ = new LiveFolders(korvel::FolderWatch::Watch::Files, this);
    live_->held = [this] { return listBusy(); };
    live_->changed = [this](const korvel::FolderUpdate& u) { folderChanged(u); };
}

bool FolderListing::listBusy() const {
    // A job reports into the list, a layout walks it, a dialog may hold its paths and marks.
    return hooks.building() || hooks.jobRunning() || parts_.grid->layingOut() ||
           QApplication::activeModalWidget() != nullptr;
}

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
    // Changes from now on update this list; earlier ones are in it.
    descending_ = false;
    subFoldersListed_ = list.subDirSearch;
    listedFolder_ = folder.empty() ? std::string() : korvel::withSlash(folder);
    live_->watchOnly(folder.empty() ? std::set<std::string>() : std::set<std::string>{listedFolder_});
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
    descending_ = !ascending;
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
    // What other programs did meanwhile; the job's own files are listed already.
    live_->poke();
}

void FolderListing::addNewFilesIfShown(const std::string& folder) {
    const std::string shown = hooks.folder();
    if (folder.empty() || shown.empty() || korvel::withSlash(shown) != korvel::withSlash(folder)) return;
    // Only the folder itself: copies never land in its subfolders.
    korvel::ListFolder(files_, shown, korvel::ListMode::Add, listOptions());
    descending_ = false;  // the whole list was sorted again
    parts_.status->showFileCount(files_.size());
    hooks.changed();
    hooks.layOut();
}

void FolderListing::renamed(const std::string& from, const std::string& to) {
    const std::ptrdiff_t i = files_.indexOf(from);
    if (i >= 0) files_.setPath(size_t(i), to);
}

void FolderListing::folderChanged(const korvel::FolderUpdate& update) {
    // A listing of another folder is on its way.
    if (listedFolder_.empty() || korvel::withSlash(hooks.folder()) != listedFolder_) return;
    TOrgStGrid* cells = parts_.grid->view();
    // What the user sees stays: the marked files, the current file, the top row.
    std::vector<std::string> marked;
    for (size_t i : parts_.grid->markedFiles()) marked.push_back(files_.path(i));
    const korvel::GridCell sel = cells->selection();
    const size_t wasAt = size_t(sel.row) * size_t(cells->colCount()) + size_t(sel.col);
    std::string current = wasAt < files_.size() ? files_.path(wasAt) : std::string();
    std::string previewed = parts_.preview->path();
    const int top = cells->topRow();
    korvel::ListOptions list = listOptions();
    list.subDirSearch = subFoldersListed_;
    const korvel::ListingChange change = korvel::applyFolderUpdate(files_, listedFolder_, update, list, descending_);
    if (!change.any()) return;
    auto follow = [&](std::string& path) {
        for (const auto& [from, to] : change.renamed)
            if (path == from) path = to;
    };
    for (std::string& p : marked) follow(p);
    follow(current);
    const std::string previewedBefore = previewed;
    follow(previewed);
    // The current file's cell, or the cell where it was when it went.
    auto currentCell = [&] {
        const std::ptrdiff_t i = files_.indexOf(current);
        const size_t at = i >= 0 ? size_t(i) : std::min(wasAt, files_.empty() ? 0 : files_.size() - 1);
        const size_t cols = size_t(cells->colCount());
        return korvel::GridCell{int(at % cols), int(at / cols)};
    };
    if (change.added || change.removed) {
        // Placed first, so that a layout that previews its current cell previews this one.
        cells->setSelection(currentCell(), false);
        hooks.layOut();
        cells->setSelection(currentCell(), false);
        parts_.status->showFileCount(files_.size());
    } else {
        parts_.grid->syncThumbnails();
    }
    korvel::GridMarks& marks = cells->marks();
    marks.clear();
    for (const std::string& p : marked)
        if (const std::ptrdiff_t i = files_.indexOf(p); i >= 0) marks.set(size_t(i), true);
    const korvel::GridCell now = cells->selection();
    const size_t nowAt = size_t(now.row) * size_t(cells->colCount()) + size_t(now.col);
    // When every marked file went, the current cell is marked, so the commands have a file again.
    if (!marked.empty() && marks.markedFiles(files_.size()).empty()) marks.set(nowAt, true);
    cells->setTopRow(top);
    // A previewed file that went or took another name is previewed no longer as it was.
    if (!previewed.empty() && (previewed != previewedBefore || !files_.contains(previewed)))
        parts_.preview->showCell(now.col, now.row);
    cells->repaintCells();
    hooks.changed();
}
