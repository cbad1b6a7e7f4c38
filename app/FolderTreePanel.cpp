// The folder tree's panel: the tree, its pop-up menu opened on a node and the Delete key.
#include "app/FolderTreePanel.h"

#include <QAction>
#include <QMenu>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>

#include "browse/Drives.h"
#include "browse/ui/DirTree.h"
#include "platform/PathText.h"
#include "platform/ShellServices.h"

namespace {
// Less one trailing "/"; the root stays "/".
std::string withoutSlash(std::string p) {
    if (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}
}  // namespace

FolderTreePanel::FolderTreePanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Panel1"));
    setMinimumWidth(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    folderTree_ = new TDirTree(this);
    folderTree_->setObjectName(QStringLiteral("DirTree1"));
    layout->addWidget(folderTree_);
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("DirPopup"));
    connect(folderTree_, &TDirTree::OnRightClick, this, &FolderTreePanel::showMenu);
    connect(folderTree_, &TDirTree::OnKeyUp, this, &FolderTreePanel::treeKeyUp);
}

void FolderTreePanel::showMenu(const QPoint& globalPos) {
    // The title shows the folder; the commands use its bytes.
    const std::string folder = folderTree_->SelectedPath();
    menuFolder_ = withoutSlash(folder);
    if (titleItem_) {
        titleItem_->setText(pathText(folder));
        titleItem_->setData(QByteArray::fromStdString(folder));
    }
    menu_->popup(globalPos);
}

FolderTreePanel::Offered FolderTreePanel::offeredCommands() const {
    const bool bin = korvel::IsRecycleBinFolder(menuFolder_);
    const bool root = isDriveRoot(menuFolder_);
    return {.create = !bin, .rename = !bin && !root, .remove = !bin && !root};
}

void FolderTreePanel::showProperties() {
    if (!menuFolder_.empty()) showShellProperties(menuFolder_, this);
}

void FolderTreePanel::deleteMenuFolder() {
    if (!menuFolder_.empty()) deleteFolder(menuFolder_);
}

void FolderTreePanel::treeKeyUp(int key) {
    const std::string selected = folderTree_->SelectedPath();
    if (key != Qt::Key_Delete || selected == "?") return;
    // No Trash check on this road: the tree shows no folder inside the Trash.
    const std::string p = withoutSlash(selected);
    if (!isDriveRoot(p)) deleteFolder(p);
}

void FolderTreePanel::setHidden(bool hide) {
    auto* splitter = qobject_cast<QSplitter*>(parentWidget());
    if (!splitter) return;
    hidden_ = hide;
    QList<int> sizes = splitter->sizes();
    if (hide) {
        widthBeforeHiding_ = sizes[0];
        sizes[1] += sizes[0] - 1;
        sizes[0] = 1;
        splitter->handle(1)->setCursor(Qt::ForbiddenCursor);
    } else {
        const int w = widthBeforeHiding_ < 2 ? window()->width() / 4 : widthBeforeHiding_;
        sizes[1] = std::max(1, sizes[0] + sizes[1] - w);
        sizes[0] = w;
        splitter->handle(1)->setCursor(Qt::SplitHCursor);
    }
    splitter->setSizes(sizes);
    // The splitter cannot be dragged while the tree is hidden.
    splitter->handle(1)->setEnabled(!hide);
    folderTree_->setEnabled(!hide);
}

void FolderTreePanel::setFavouritesOnly(bool on) {
    favouritesOnly_ = on;
    folderTree_->Reload();
}
