// Folders from the tree's menu: create, rename and delete, which commands the menu offers for a
// folder, and the Delete key in the tree.
#include <QComboBox>
#include <QMessageBox>
#include <cerrno>

#include "app/KorvelMain.h"
#include "browse/Drives.h"
#include "browse/ui/DirTree.h"
#include "fileops/FolderOps.h"
#include "fileops/ui/FolderNameDialogs.h"
#include "platform/Translations.h"

namespace {

std::string withSlash(std::string p) { return p.empty() || p.back() == '/' ? p : p + '/'; }
// Less one trailing "/"; the root stays "/".
std::string withoutSlash(std::string p) {
    if (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

}  // namespace

// The folder of the menu's title item, as bytes, without its trailing "/".
std::string TKorvelMain::popupFolder() const {
    return withoutSlash(actions_.TargetPath2->data().toByteArray().toStdString());
}

// The top-level nodes (home, root, mounted volumes) stand for the drives.
bool TKorvelMain::isDriveRoot(const std::string& folder) const {
    const std::string path = withSlash(folder);
    for (int i = 0; i < DirTree1->topLevelItemCount(); ++i)
        if (TDirTree::nodePath(DirTree1->topLevelItem(i)) == path) return true;
    return false;
}

void TKorvelMain::DirPopupPopup() {
    const std::string p = popupFolder();
    const bool bin = korvel::IsRecycleBinFolder(p);
    const bool root = isDriveRoot(p);
    actions_.CreateDirMenu->setVisible(!bin);
    actions_.FRename1->setVisible(!bin && !root);
    actions_.DeleteDirMenu->setVisible(!bin && !root);
}

void TKorvelMain::CreateDirMenuClick() {
    const std::string parent = withSlash(popupFolder());
    if (parent.empty()) return;
    TInputNameFrm dialog(parent, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const std::string made = korvel::FolderOps().createNested(parent, dialog.name());
    if (made.empty()) {
        const int err = errno;
        QMessageBox::critical(this, tr("エラー"), withReason(tr("フォルダを作成出来ませんでした。"), errorReasonLine(err)));
        return;
    }
    DirTree1->AddPathNodes(made);
}

void TKorvelMain::FRename1Click() {
    const std::string old = popupFolder();
    if (old.empty()) return;
    TFolderNameInputFrm dialog(old, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const std::string now = dialog.newPath();
    if (!korvel::FolderOps().renameFolder(old, now)) {
        const int err = errno;
        QMessageBox::critical(this, tr("エラー"), withReason(tr("フォルダ名を変更出来ませんでした。"), errorReasonLine(err)));
        return;
    }
    DirTree1->RenamePathNode(old + '/', now + '/');
    // Visited folders inside the renamed one keep leading to it.
    std::vector<std::string> history = historyPaths();
    for (std::string& item : history) item = korvel::followRename(item, old, now);
    setHistoryPaths(history);
    OpenCurrentFolder();
    addSelectedFolderToHistory();
}

// Moves the folder to the Trash after the file operation's question; its node goes only when the
// folder is gone.
void TKorvelMain::deleteFolder(const std::string& folder) {
    runFileOperation(korvel::FileCommand::Delete, {folder}, {}, [this, folder] {
        if (!korvel::FolderOps().isFolder(folder)) DirTree1->RemovePathNode(withSlash(folder));
    });
}

void TKorvelMain::DeleteDirMenuClick() {
    const std::string p = popupFolder();
    if (!p.empty()) deleteFolder(p);
}

void TKorvelMain::DirTree1KeyUp(int key) {
    const std::string selected = DirTree1->SelectedPath();
    if (key != Qt::Key_Delete || selected == "?") return;
    // No Trash check on this road: the tree shows no folder inside the Trash.
    const std::string p = withoutSlash(selected);
    if (!isDriveRoot(p)) deleteFolder(p);
}
