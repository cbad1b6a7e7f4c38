// Folders from the tree's menu: create, rename and delete, and whether a folder is a drive.
#include <QMessageBox>
#include <cerrno>

#include "app/FolderTreePanel.h"
#include "app/UndoCommands.h"
#include "base/FileNames.h"
#include "browse/ui/DirTree.h"
#include "fileops/FolderOps.h"
#include "fileops/ui/FolderNameDialogs.h"
#include "platform/Translations.h"

using korvel::withSlash;

bool FolderTreePanel::isDriveRoot(const std::string& folder) const {
    const std::string path = withSlash(folder);
    for (int i = 0; i < folderTree_->topLevelItemCount(); ++i)
        if (TDirTree::nodePath(folderTree_->topLevelItem(i)) == path) return true;
    return false;
}

void FolderTreePanel::createFolder() {
    const std::string parent = withSlash(menuFolder_);
    if (parent.empty()) return;
    TInputNameFrm dialog(parent, window());
    if (dialog.exec() != QDialog::Accepted) return;
    const korvel::FolderOps ops;
    const std::string made = ops.createNested(parent, dialog.name());
    if (made.empty()) {
        const int err = errno;
        QMessageBox::critical(window(), tr("エラー"), withReason(tr("フォルダを作成出来ませんでした。"), errorReasonLine(err)));
    } else {
        folderTree_->AddPathNodes(made);
    }
    // Levels made before a failure are recorded too.
    if (ops.recordError()) showNotRecorded(window(), ops.recordError());
}

void FolderTreePanel::renameFolder() {
    const std::string old = menuFolder_;
    if (old.empty()) return;
    TFolderNameInputFrm dialog(old, window());
    if (dialog.exec() != QDialog::Accepted) return;
    const std::string now = dialog.newPath();
    const korvel::FolderOps ops;
    if (!ops.renameFolder(old, now)) {
        const int err = errno;
        QMessageBox::critical(window(), tr("エラー"), withReason(tr("フォルダ名を変更出来ませんでした。"), errorReasonLine(err)));
        return;
    }
    folderTree_->RenamePathNode(old + '/', now + '/');
    if (folderRenamed) folderRenamed(old, now);
    if (ops.recordError()) showNotRecorded(window(), ops.recordError());
}

// Moves the folder to the Trash after the file operation's question; its node goes only when the
// folder is gone.
void FolderTreePanel::deleteFolder(const std::string& folder) {
    if (!deleteFolderHook) return;
    deleteFolderHook(folder, [this, folder] {
        if (!korvel::FolderOps().isFolder(folder)) folderTree_->RemovePathNode(withSlash(folder));
    });
}
