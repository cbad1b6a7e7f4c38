#include "browse/ui/DirTree.h"
#include "platform/BusyCursor.h"

#include <QApplication>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "base/Errors.h"
#include "base/FileNames.h"
#include "browse/Collation.h"
#include "browse/Drives.h"
#include "browse/FolderChanges.h"
#include "browse/FolderScan.h"
#include "browse/FolderTree.h"
#include "browse/ui/LiveFolders.h"
#include "platform/PathText.h"
#include "platform/ThemeIcons.h"
#include "platform/Translations.h"

namespace {

QString driveCaption(const korvel::DriveEntry& d) {
    // Shown the way paths are: a mount point that is not UTF-8 keeps its bytes visible.
    return d.captionText.empty() ? pathText(d.caption) : coreText(d.captionText);
}

constexpr int kPathRole = Qt::UserRole;
constexpr int kReadRole = Qt::UserRole + 1;

bool isPlaceholder(const QTreeWidgetItem* item) { return item->data(0, kPathRole).toByteArray().isEmpty(); }

std::string readMounts() {
    std::ifstream in("/proc/self/mounts");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TDirTree::TDirTree(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    // Names are shown whole: the column grows with the widest one and the tree scrolls sideways,
    // instead of the column keeping the pane's width and deep names shrinking to "…".
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollMode(ScrollPerPixel);
    // Once the user scrolls sideways, the tree stays where they put it.
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this, [this] { revealed_ = {}; });
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setDragDropMode(DropOnly);
    connect(this, &QTreeWidget::itemExpanded, this, &TDirTree::readChildren);
    live_ = new LiveFolders(korvel::FolderWatch::Watch::Folders, this);
    live_->changed = [this](const korvel::FolderUpdate& u) { applyFolderChanges(u); };
    connect(this, &QTreeWidget::itemExpanded, this, &TDirTree::watchSoon);
    connect(this, &QTreeWidget::itemCollapsed, this, &TDirTree::watchSoon);
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* now, QTreeWidgetItem*) {
        if (now) emit OnChange();
    });
    mountsSeen_ = readMounts();
    buildDrives();
    // The mount table stands in for the device-change message.
    mountWatch_ = new QTimer(this);
    connect(mountWatch_, &QTimer::timeout, this, &TDirTree::checkMounts);
    mountWatch_->start(2000);
}

std::string TDirTree::nodePath(const QTreeWidgetItem* item) {
    return item ? item->data(0, kPathRole).toByteArray().toStdString() : std::string();
}

bool TDirTree::accept(const std::string& path) const {
    if (!korvel::PassesRecycleBinRule(path)) return false;
    return !OnAddDir || OnAddDir(path);
}

bool TDirTree::hasSubfolders(const std::string& path) const {
    return korvel::hasSubfolder(path, [this](const std::string& p) { return accept(p); });
}

void TDirTree::setPlaceholder(QTreeWidgetItem* item) {
    if (hasSubfolders(nodePath(item))) item->addChild(new QTreeWidgetItem());
}

void TDirTree::buildDrives() {
    clear();
    for (const korvel::DriveEntry& d : korvel::currentDrives()) {
        if (!accept(d.path)) continue;
        auto* item = new QTreeWidgetItem(this, {driveCaption(d)});
        item->setData(0, kPathRole, QByteArray::fromStdString(d.path));
        item->setIcon(0, toolIcon(d.path == "/" ? ToolIcon::Computer : ToolIcon::Drive));
        setPlaceholder(item);
    }
}

QTreeWidgetItem* TDirTree::addFolderNode(QTreeWidgetItem* parent, const std::string& name, const std::string& path,
                                         bool inPlace) {
    static const QIcon folderIcon = toolIcon(ToolIcon::Folder);
    auto* child = new QTreeWidgetItem({pathText(name)});
    int at = parent->childCount();
    if (inPlace) {
        // After the siblings whose names sort before or equal, as sortChildrenOf orders them.
        const std::wstring key = korvel::collationKey(child->text(0).toStdString());
        while (at > 0 && key < korvel::collationKey(parent->child(at - 1)->text(0).toStdString())) --at;
    }
    parent->insertChild(at, child);
    child->setData(0, kPathRole, QByteArray::fromStdString(path));  // bytes, never text
    child->setIcon(0, folderIcon);
    setPlaceholder(child);
    return child;
}

void TDirTree::readChildren(QTreeWidgetItem* item) {
    if (!item || item->data(0, kReadRole).toBool()) return;
    item->setData(0, kReadRole, true);
    for (int i = item->childCount() - 1; i >= 0; --i)
        if (isPlaceholder(item->child(i))) delete item->takeChild(i);
    const std::string path = nodePath(item);
    const std::vector<std::string> names =
        korvel::listSubfolders(path, [this](const std::string& p) { return accept(p); });
    for (const std::string& name : names) {
        // A node added for a new folder before this folder was read is kept.
        bool present = false;
        for (int i = 0; i < item->childCount() && !present; ++i) present = nodePath(item->child(i)) == path + name + "/";
        if (!present) addFolderNode(item, name, path + name + "/");
    }
    sortChildrenOf(item);
}

void TDirTree::sortChildrenOf(QTreeWidgetItem* item) {
    std::vector<std::pair<std::wstring, QTreeWidgetItem*>> keyed;
    for (QTreeWidgetItem* child : item->takeChildren())
        keyed.emplace_back(korvel::collationKey(child->text(0).toStdString()), child);
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [key, child] : keyed) item->addChild(child);
}

std::string TDirTree::SelectedPath() const {
    const QTreeWidgetItem* item = currentItem();
    return item ? nodePath(item) : std::string("?");
}

bool TDirTree::SelectPath(const std::string& pathIn) {
    if (pathIn.empty()) throw korvel::Exception("Invalid Path Name");
    if (pathIn == "?") return false;
    std::string path = pathIn[0] == '/' ? pathIn : "/" + pathIn;
    if (path.back() != '/') path += '/';
    BusyCursor busy;
    // The top node whose folder is the longest prefix of path (home before root).
    QTreeWidgetItem* node = nullptr;
    size_t best = 0;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        const std::string p = nodePath(topLevelItem(i));
        if (path.compare(0, p.size(), p) == 0 && p.size() > best) node = topLevelItem(i), best = p.size();
    }
    if (!node) return false;
    size_t pos = best;
    while (pos < path.size()) {
        size_t slash = path.find('/', pos);
        const std::string prefix = path.substr(0, slash + 1);
        readChildren(node);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < node->childCount() && !next; ++i)
            if (nodePath(node->child(i)) == prefix) next = node->child(i);
        if (!next) {
            // Made since the node was read, while nothing watched it: the disk decides.
            const std::string name = path.substr(pos, slash - pos);
            if (name.empty() || name == "." || name == ".." || !korvel::isExistingFolder(prefix) || !accept(prefix))
                return false;
            for (int i = node->childCount() - 1; i >= 0; --i)
                if (isPlaceholder(node->child(i))) delete node->takeChild(i);
            next = addFolderNode(node, name, prefix, true);
        }
        node = next;
        pos = slash + 1;
    }
    setCurrentItem(node);
    scrollTo(indexFromItem(node));  // scrollToItem would bypass the sideways scroll below
    return true;
}

QTreeWidgetItem* TDirTree::FindNode(const std::string& path) const {
    if (path.empty()) return nullptr;
    std::function<QTreeWidgetItem*(QTreeWidgetItem*)> search = [&](QTreeWidgetItem* item) -> QTreeWidgetItem* {
        const std::string p = nodePath(item);
        if (p == path) return item;
        if (p.empty() || path.compare(0, p.size(), p) != 0) return nullptr;
        for (int i = 0; i < item->childCount(); ++i)
            if (QTreeWidgetItem* found = search(item->child(i))) return found;
        return nullptr;
    };
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (QTreeWidgetItem* found = search(topLevelItem(i))) return found;
    return nullptr;
}

void TDirTree::AddPathNodes(const std::string& pathIn) {
    std::string path = pathIn;
    if (path.empty()) return;
    if (path.back() != '/') path += '/';
    for (size_t slash = path.find('/'); slash != std::string::npos && slash + 1 < path.size();
         slash = path.find('/', slash + 1)) {
        const std::string parentPath = path.substr(0, slash + 1);
        QTreeWidgetItem* parent = FindNode(parentPath);
        if (!parent) continue;
        size_t end = path.find('/', slash + 1);
        const std::string name = path.substr(slash + 1, end - slash - 1);
        const std::string childPath = parentPath + name + "/";
        QTreeWidgetItem* child = FindNode(childPath);
        if (!child) {
            for (int i = parent->childCount() - 1; i >= 0; --i)
                if (isPlaceholder(parent->child(i))) delete parent->takeChild(i);
            addFolderNode(parent, name, childPath);
            sortChildrenOf(parent);
        }
    }
}

void TDirTree::RemovePathNode(const std::string& path) {
    if (QTreeWidgetItem* item = FindNode(path)) delete item;
    watchSoon();
}

void TDirTree::RenamePathNode(const std::string& oldPath, const std::string& newPath) {
    QTreeWidgetItem* item = FindNode(oldPath);
    if (!item) return;
    const std::string name = newPath.substr(0, newPath.size() - 1);
    item->setText(0, pathText(name.substr(name.rfind('/') + 1)));
    std::function<void(QTreeWidgetItem*)> follow = [&](QTreeWidgetItem* node) {
        if (isPlaceholder(node)) return;
        node->setData(0, kPathRole, QByteArray::fromStdString(newPath + nodePath(node).substr(oldPath.size())));
        for (int i = 0; i < node->childCount(); ++i) follow(node->child(i));
    };
    follow(item);
}

void TDirTree::Reload() {
    const std::string selected = SelectedPath();
    bool ok = false;
    {
        // Restores the caller's state afterwards: a caller that blocked the tree's signals to
        // list the folder itself must not get a second listing from the change below.
        const QSignalBlocker blocker(this);
        buildDrives();
        ok = selected != "?" && SelectPath(selected);
    }
    if (!ok && topLevelItemCount() > 0) setCurrentItem(topLevelItem(0));
    watchSoon();
    emit OnChange();
}

void TDirTree::checkMounts() {
    std::string now = readMounts();
    if (now == mountsSeen_) return;
    mountsSeen_ = std::move(now);
    // Only drives that vanished or appeared change; the rest keep their expanded folders.
    std::vector<korvel::DriveEntry> drives;
    for (korvel::DriveEntry& d : korvel::currentDrives())
        if (accept(d.path)) drives.push_back(std::move(d));
    const std::string selected = SelectedPath();
    for (int i = topLevelItemCount() - 1; i >= 0; --i) {
        const std::string p = nodePath(topLevelItem(i));
        if (std::none_of(drives.begin(), drives.end(), [&](const korvel::DriveEntry& d) { return d.path == p; }))
            delete takeTopLevelItem(i);
    }
    for (size_t i = 0; i < drives.size(); ++i) {
        if (i < size_t(topLevelItemCount()) && nodePath(topLevelItem(int(i))) == drives[i].path) continue;
        auto* item = new QTreeWidgetItem({driveCaption(drives[i])});
        item->setData(0, kPathRole, QByteArray::fromStdString(drives[i].path));
        item->setIcon(0, toolIcon(ToolIcon::Drive));
        insertTopLevelItem(int(i), item);
        setPlaceholder(item);
    }
    if (SelectedPath() != selected || selected == "?") {
        if (!currentItem() && topLevelItemCount() > 0) setCurrentItem(topLevelItem(0));
    }
    watchSoon();
    emit OnChange();
}

void TDirTree::watchSoon() {
    // Once per turn of the event loop, however many nodes opened or closed.
    if (std::exchange(watchQueued_, true)) return;
    QTimer::singleShot(0, this, [this] {
        watchQueued_ = false;
        watchExpanded();
    });
}

void TDirTree::watchExpanded() {
    if (!live_->available()) return;
    std::set<std::string> open;
    std::vector<std::string> fresh;  // parents first
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) {
        if (!item->isExpanded() || !item->data(0, kReadRole).toBool()) return;
        const std::string path = nodePath(item);
        open.insert(path);
        if (!live_->watching(path)) fresh.push_back(path);
        for (int i = 0; i < item->childCount(); ++i) walk(item->child(i));
    };
    for (int i = 0; i < topLevelItemCount(); ++i) walk(topLevelItem(i));
    live_->watchOnly(open);
    // Re-read after the watch began, so nothing falls between; a node may have gone with its parent.
    for (const std::string& path : fresh)
        if (QTreeWidgetItem* item = FindNode(path)) syncChildren(item);
}

void TDirTree::syncChildren(QTreeWidgetItem* item) {
    const std::string path = nodePath(item);
    std::set<std::string> want;
    for (const std::string& name : korvel::listSubfolders(path, [this](const std::string& p) { return accept(p); }))
        want.insert(name);
    for (int i = item->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* child = item->child(i);
        const std::string p = nodePath(child);
        const std::string name = p.empty() ? std::string() : p.substr(path.size(), p.size() - path.size() - 1);
        if (!isPlaceholder(child) && want.erase(name) == 0) removeNode(child);
    }
    for (const std::string& name : want) addFolderNode(item, name, path + name + "/", true);
}

void TDirTree::removeNode(QTreeWidgetItem* node) {
    const std::string path = nodePath(node), selected = SelectedPath();
    // The shown folder went: its parent is shown instead.
    if (selected.compare(0, path.size(), path) == 0 && node->parent()) setCurrentItem(node->parent());
    delete node;
}

void TDirTree::applyFolderChanges(const korvel::FolderUpdate& u) {
    std::set<std::string> reread(u.folders.begin(), u.folders.end());
    if (u.everything) {
        std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) {
            if (!item->isExpanded() || !item->data(0, kReadRole).toBool()) return;
            reread.insert(nodePath(item));
            for (int i = 0; i < item->childCount(); ++i) walk(item->child(i));
        };
        for (int i = 0; i < topLevelItemCount(); ++i) walk(topLevelItem(i));
    }
    for (const auto& [from, to] : u.renamed) {
        const std::string fromNode = from + "/", toNode = to + "/";
        if (QTreeWidgetItem* node = FindNode(fromNode);
            node && korvel::extractFilePath(from) == korvel::extractFilePath(to) && accept(toNode)) {
            // Renamed in place: the node keeps its place and what was opened under it.
            const bool shownInside = SelectedPath().compare(0, fromNode.size(), fromNode) == 0;
            RenamePathNode(fromNode, toNode);
            if (shownInside) emit OnChange();
        } else if (node || korvel::isExistingFolder(to)) {
            reread.insert(korvel::extractFilePath(from));
            reread.insert(korvel::extractFilePath(to));
        }
    }
    // Files say nothing to the tree; links to folders and folders seen as plain entries do.
    for (const std::string& f : u.files)
        if (FindNode(f + "/") || korvel::isExistingFolder(f)) reread.insert(korvel::extractFilePath(f));
    for (const std::string& folder : reread)
        if (QTreeWidgetItem* node = FindNode(folder); node && node->data(0, kReadRole).toBool()) syncChildren(node);
    watchSoon();
}

void TDirTree::mousePressEvent(QMouseEvent* event) {
    QTreeWidget::mousePressEvent(event);
    if (event->button() == Qt::RightButton) {
        if (QTreeWidgetItem* item = itemAt(event->pos())) {
            setCurrentItem(item);
            emit OnRightClick(event->globalPosition().toPoint());
        }
        return;
    }
    if (event->button() == Qt::LeftButton && itemAt(event->pos()) &&
        !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)))
        emit OnClick();
}

void TDirTree::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    emit OnMouseUp();
}

void TDirTree::keyReleaseEvent(QKeyEvent* event) {
    QTreeWidget::keyReleaseEvent(event);
    if (!event->isAutoRepeat()) emit OnKeyUp(event->key());
}

// Drops are decided here and by the window, not by the item model: the tree takes no items.
void TDirTree::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
    // Entering over a blank part must still let the moves over the nodes through.
    event->accept();
}

void TDirTree::dragMoveEvent(QDragMoveEvent* event) {
    const QModelIndex at = indexAt(event->position().toPoint());
    const QTreeWidgetItem* node = at.isValid() ? itemFromIndex(at) : nullptr;
    setDropTarget(node ? at : QModelIndex());
    if (OnDragOver && OnDragOver(event, node)) event->acceptProposedAction();
    else event->ignore();
}

void TDirTree::dragLeaveEvent(QDragLeaveEvent* event) {
    setDropTarget({});
    event->accept();
}

void TDirTree::dropEvent(QDropEvent* event) {
    const QModelIndex at = indexAt(event->position().toPoint());
    const QTreeWidgetItem* node = at.isValid() ? itemFromIndex(at) : nullptr;
    setDropTarget(node ? at : QModelIndex());
    if (OnDragOver && OnDragOver(event, node)) {
        event->acceptProposedAction();
        if (OnDragDrop) OnDragDrop(event);
    } else {
        event->ignore();
    }
    setDropTarget({});
}

std::string TDirTree::DropTargetPath() const {
    return dropTarget_.isValid() ? nodePath(itemFromIndex(dropTarget_)) : std::string();
}

void TDirTree::setDropTarget(const QModelIndex& index) {
    if (QModelIndex(dropTarget_) == index) return;
    dropTarget_ = index;
    viewport()->update();
}

void TDirTree::scrollTo(const QModelIndex& index, ScrollHint hint) {
    QTreeWidget::scrollTo(index, hint);
    // The column is as wide as the widest name, so the base class sees it in view at its left
    // edge; a deep node's own icon and name are what must come into view.
    const QRect r = visualRect(index);
    if (!r.isValid()) return;
    const int left = r.left() + horizontalOffset();
    revealed_ = {left - indentation(), left + sizeHintForIndex(index).width()};
    revealSideways();
}

void TDirTree::updateGeometries() {
    QTreeWidget::updateGeometries();
    // The column grows to a new name, and the scroll bars come and go, after the node appears.
    revealSideways();
}

void TDirTree::revealSideways() {
    const auto [left, right] = revealed_;
    if (left == right) return;
    QScrollBar* bar = horizontalScrollBar();
    const int shown = bar->value(), width = viewport()->width();
    if (left < shown) bar->setValue(left);
    else if (right > shown + width) bar->setValue(std::min(left, right - width));
}

void TDirTree::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    // The node under a drag shows as selected, so the user sees where the files would go.
    if (!dropTarget_.isValid() || index != QModelIndex(dropTarget_)) return QTreeWidget::drawRow(painter, option, index);
    QStyleOptionViewItem marked = option;
    marked.state |= QStyle::State_Selected;
    QTreeWidget::drawRow(painter, marked, index);
}
