// The window's side of the file commands: what they ask of the file list, the grid, the preview
// and the tree.
#include "app/KorvelMain.h"
#include "app/FolderTreePanel.h"
#include "base/FileNames.h"
#include "base/UserFolders.h"
#include "browse/FolderScan.h"
#include "browse/ui/DirTree.h"
#include "browse/ui/OrgStGrid.h"
#include "fileops/FolderOps.h"

std::vector<std::string> TKorvelMain::markedPaths() const {
    std::vector<std::string> out;
    for (size_t i : markedFiles()) out.push_back(fileList().path(i));
    return out;
}

void TKorvelMain::connectFileCommands() {
    FileCommands::Hooks& h = fileCommands_->hooks;
    h.files = [this]() -> const korvel::FileList& { return listing_->files(); };
    h.markedPaths = [this] { return markedPaths(); };
    h.thumbnail = [this](size_t i) { return thumbnailImage(i); };
    h.thumbnailNow = [this](size_t i) { return thumbnailImageNow(i); };
    h.shownFolder = [this] { return selectedFolder(); };
    h.browseFolder = [this](const QString& prompt, const std::string& start) { return browseForFolder(prompt, start); };
    h.pruneVanished = [this] { listing_->pruneVanished(); };
    h.listNewFiles = [this](const std::string& folder) { listing_->addNewFilesIfShown(folder); };
    h.jobEnded = [this] { listing_->jobEnded(); };
    h.renamed = [this](const std::string& from, const std::string& to) { listing_->renamed(from, to); };
    h.renamesEnded = [this] {
        thumbnailGrid_->view()->viewport()->update();
        ShowCellPreview(thumbnailGrid_->view()->selection().col, thumbnailGrid_->view()->selection().row);
    };
    h.stateChanged = [this] { updateActions(); };
    // Copies are written in sRGB, whatever the monitor.
    h.copyPhoto = [this] { return korvel::PhotoSwitches{display_.exifRotate, display_.colorManage, false}; };
    h.settingsPath = korvel::programSettingsPath(exePath_);
    fileCommands_->takeDrops(folderPanel_->tree(), quickFolders_);
    connect(this, &TKorvelMain::thumbnailsArrived, fileCommands_, &FileCommands::thumbnailsArrived);
    folderPanel_->deleteFolderHook = [this](const std::string& folder, std::function<void()> then) {
        fileCommands_->deleteFolder(folder, std::move(then));
    };
    // An undo or redo moves folders as the folder commands do, and the tree follows likewise.
    TDirTree* tree = folderPanel_->tree();
    undo_->hooks.itemMoved = [tree](const std::string& from, const std::string& to) {
        if (!from.empty()) tree->RemovePathNode(korvel::withSlash(from));
        if (!to.empty() && korvel::FolderOps().isFolder(to)) tree->AddPathNodes(to);
    };
    undo_->hooks.folderRenamed = [this, tree](const std::string& from, const std::string& to) {
        tree->RenamePathNode(korvel::withSlash(from), korvel::withSlash(to));
        followFolderRename(from, to);
    };
}
