#pragma once
// TDirTree: the folder tree. Top-level nodes are the home folder, the root file system and the
// mounted devices; folders are read when a node is first expanded, and a node shows an expand
// button only when it has sub-folders. Expanded folders follow what other programs do in them.
#include <QPersistentModelIndex>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <utility>

namespace korvel {
struct FolderUpdate;
}
class LiveFolders;
class QTimer;

class TDirTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit TDirTree(QWidget* parent = nullptr);

    // Asked for every drive and folder (path ending with "/") before it becomes a node.
    std::function<bool(const std::string& path)> OnAddDir;

    // Re-reads the drives and selects the previously selected path again.
    void Reload();
    // Expands from the drive down to path and selects it; a folder made since its parent was
    // read is found on disk. "?" does nothing; a folder that is not found leaves the selection
    // unchanged (returns false). Throws korvel::Exception "Invalid Path Name" for an empty path.
    bool SelectPath(const std::string& path);
    // The selected node's folder ("/"-terminated), or "?" when nothing is selected.
    std::string SelectedPath() const;
    // The existing node of path, without reading any folder; null when there is none.
    QTreeWidgetItem* FindNode(const std::string& path) const;
    // Makes sure every folder level of path has a node under an existing parent.
    void AddPathNodes(const std::string& path);
    // Deletes the node of path with its children.
    void RemovePathNode(const std::string& path);
    // After the folder oldPath was renamed to newPath (both "/"-terminated): its node takes the
    // new name as caption, and it and the nodes below it keep their places with the new paths.
    void RenamePathNode(const std::string& oldPath, const std::string& newPath);
    // The folder path of a node.
    static std::string nodePath(const QTreeWidgetItem* item);
    // Also scrolls sideways, so that the node's icon and name come into view.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

    // Asked while a drag moves over the tree; node is the one under the mouse (null over no
    // node). True accepts the drop there.
    std::function<bool(const QDropEvent* event, const QTreeWidgetItem* node)> OnDragOver;
    // A drop at a place OnDragOver accepted.
    std::function<void(QDropEvent* event)> OnDragDrop;
    // The folder of the node under the current drag, or "" when there is none.
    std::string DropTargetPath() const;

signals:
    // The selection moved to another folder.
    void OnChange();
    // A left click on a node.
    void OnClick();
    // The right button went down on a node (which is selected first).
    void OnRightClick(const QPoint& globalPos);
    // A mouse button was released over the tree.
    void OnMouseUp();
    // A key was released in the tree.
    void OnKeyUp(int key);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void updateGeometries() override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    void buildDrives();
    void readChildren(QTreeWidgetItem* item);
    void setPlaceholder(QTreeWidgetItem* item);
    bool hasSubfolders(const std::string& path) const;
    bool accept(const std::string& path) const;
    // A new node for a sub-folder: last, or (inPlace) where the name sorts among its siblings.
    QTreeWidgetItem* addFolderNode(QTreeWidgetItem* parent, const std::string& name, const std::string& path,
                                   bool inPlace = false);
    void checkMounts();
    void sortChildrenOf(QTreeWidgetItem* item);

    void setDropTarget(const QModelIndex& index);

    // Watching: the expanded, read folders are watched; one that was not is read again as it
    // starts, since nothing told of its changes meanwhile.
    void watchSoon();
    void watchExpanded();
    // Brings a read node's children in line with its folder on disk.
    void syncChildren(QTreeWidgetItem* item);
    // Deletes a node; a selection inside it moves to its parent first.
    void removeNode(QTreeWidgetItem* node);
    void applyFolderChanges(const korvel::FolderUpdate& update);
    LiveFolders* live_ = nullptr;
    bool watchQueued_ = false;

    void revealSideways();
    // The label of the node scrollTo last brought into view, from left to right in the column.
    std::pair<int, int> revealed_;
    QPersistentModelIndex dropTarget_;  // survives a reload of the nodes during the drag
    QTimer* mountWatch_ = nullptr;
    std::string mountsSeen_;
};
