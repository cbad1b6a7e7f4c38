// Listing the selected folder: the handlers that rebuild the file list and what depends on it.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

#include "app/KorvelMain.h"
#include "platform/BusyCursor.h"
#include "browse/ExtensionSet.h"
#include "browse/FolderScan.h"
#include "browse/ui/DirTree.h"
#include "browse/GridModel.h"
#include "browse/ui/OrgStGrid.h"

void TKorvelMain::OpenCurrentFolder() {
    if (formState_ == FormState::Building) return;
    // The list is replaced only after a running file job, which reports into it, has ended.
    if (fileCommands_->holdListing()) return;
    BusyCursor busy;
    StringGrid1->setTopRow(0);
    StringGrid1->setSelection({0, 0}, false);
    const std::string folder = selectedFolder();
    korvel::ListOptions options;
    options.mask = currentFilterMask();
    options.noHideFile = NoHideFile;
    options.subDirSearch = SubDirSearch;
    options.nameView = int(infoMode_);
    // Every replacing listing discards the cached thumbnails with the old entries.
    thumbnailGrid_->resetThumbnails();
    if (folder.empty()) FileList.clear();
    else korvel::ListFolder(FileList, folder, korvel::ListMode::Replace, options);
    if (SubDirOnce) SubDirSearch = false;
    statusBar_->showFileCount(FileList.size());
    // The layout hands the new list to the workers, the cells on screen first.
    LayoutGrid(ThumbSize, false);
    StringGrid1->marks().set(0, true);
    StringGrid1->repaintCells();
    StringGrid1->setFocus();
    updateActions();
    emit folderListed();
}

void TKorvelMain::DirTree1Change() {
    // Marks belong to the folder that was shown.
    thumbnailGrid_->forgetPointerMarks();
    OpenCurrentFolder();
}

void TKorvelMain::Refresh1Click() {
    folderTree_->blockSignals(true);
    folderTree_->Reload();
    folderTree_->blockSignals(false);
    OpenCurrentFolder();
}

void TKorvelMain::setSubDirSearch(bool on) {
    SubDirSearch = on;
    OpenCurrentFolder();
}


void TKorvelMain::sortList(bool ascending) {
    // Marks follow their files; the previewed file stays the selection.
    const korvel::MarkedSort sorted =
        korvel::sortKeepingMarks(FileList, StringGrid1->marks(), int(infoMode_), !ascending, previewPanel_->path());
    if (!sorted.sorted) return;
    thumbnailGrid_->syncThumbnails();
    if (sorted.shownIndex) {
        const size_t cols = size_t(StringGrid1->colCount()), i = *sorted.shownIndex;
        const int row = int(i / cols);
        StringGrid1->setSelection({int(i % cols), row}, false);
        StringGrid1->setTopRow(row == StringGrid1->rowCount() - 1 && row > 0 ? row - 1 : row);
    }
    StringGrid1->repaintCells();
    updateActions();
}

void TKorvelMain::SortBtn1Click() { sortList(true); }
void TKorvelMain::SortBtn2Click() { sortList(false); }

void TKorvelMain::PruneVanishedFiles() {
    // The list must not shrink under a grid layout that is walking it: prune when it is done.
    if (thumbnailGrid_->layingOut()) {
        if (!pruneQueued_) QTimer::singleShot(0, this, [this] {
            pruneQueued_ = false;
            PruneVanishedFiles();
        });
        pruneQueued_ = true;
        return;
    }
    if (korvel::removeVanishedFiles(FileList) == 0) return;
    statusBar_->showFileCount(FileList.size());
    LayoutGrid(ThumbSize, false);
    // The grid's current cell becomes the one marked file, so the commands have a file again.
    const korvel::GridCell current = StringGrid1->selection();
    ShowCellPreview(current.col, current.row);
    StringGrid1->marks().set(size_t(current.row) * size_t(StringGrid1->colCount()) + size_t(current.col), true);
    StringGrid1->repaintCells();
    updateActions();
}
