#pragma once
// Scaffolding for window tests around the thumbnail grid: test images written as bitmaps, clicks
// and the mouse pointer on a cell, popup menus, and waiting for the preview loader.
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QScrollArea>
#include <QSplitter>
#include <QString>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/KorvelMain.h"
#include "browse/ui/DirTree.h"
#include "browse/ui/OrgStGrid.h"
#include "view/PreviewPane.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"

namespace korvel::testing {

// A 24-bit bitmap of w x h pixels all holding the raw value px.
// The window's boxes and quick-folder buttons, found by name: tests press and type on them and
// read the lists from the models.
inline QComboBox* historyBox(const TKorvelMain& w) { return w.findChild<QComboBox*>("ComboBox1"); }
inline QComboBox* favouritesBox(const TKorvelMain& w) { return w.findChild<QComboBox*>("ComboBox2"); }
inline QToolButton* quickFolderButton(const TKorvelMain& w, int i) {
    return w.findChild<QToolButton*>(QStringLiteral("FolderBtn%1").arg(i + 1));
}
// The window's own widgets, found by name. Sub-windows and dialogs the window owns reuse some
// names ("PopupMenu1", "ScrollBox1"), so a match counts only when no other window (menus aside)
// stands between it and the main window.
template <class T>
T* part(const TKorvelMain& w, const char* name) {
    for (T* found : w.findChildren<T*>(QString::fromLatin1(name))) {
        const QWidget* p = found;
        while (p && p != &w && (!p->isWindow() || qobject_cast<const QMenu*>(p))) p = p->parentWidget();
        if (p == &w) return found;
    }
    return nullptr;
}
inline TOrgStGrid* grid(const TKorvelMain& w) { return part<TOrgStGrid>(w, "StringGrid1"); }
inline TPreviewPane* previewPane(const TKorvelMain& w) { return part<TPreviewPane>(w, "PaintBox1"); }
inline QScrollArea* previewScroll(const TKorvelMain& w) { return part<QScrollArea>(w, "ScrollBox1"); }
inline TDirTree* dirTree(const TKorvelMain& w) { return part<TDirTree>(w, "DirTree1"); }
inline QSplitter* treeSplitter(const TKorvelMain& w) { return part<QSplitter>(w, "Splitter1"); }
inline QSplitter* gridSplitter(const TKorvelMain& w) { return part<QSplitter>(w, "Panel2"); }
inline QComboBox* filterBox(const TKorvelMain& w) { return part<QComboBox>(w, "FilterBox"); }
inline QToolBar* filterBand(const TKorvelMain& w) { return part<QToolBar>(w, "FilterBand"); }
inline QMenu* gridPopup(const TKorvelMain& w) { return part<QMenu>(w, "GridPopup"); }
inline QMenu* previewPopup(const TKorvelMain& w) { return part<QMenu>(w, "PaintBoxPopup"); }
inline QMenu* targetPopup(const TKorvelMain& w) { return part<QMenu>(w, "PopupMenu1"); }
inline QMenu* folderPopup(const TKorvelMain& w) { return part<QMenu>(w, "DirPopup"); }
inline QMenu* quickFolderPopup(const TKorvelMain& w) { return part<QMenu>(w, "QFPopup"); }

inline const std::vector<std::string>& historyItems(const TKorvelMain& w) { return w.folderBoxes().history().items(); }

inline TBitmap solidBitmap(int w, int h, uint32_t px) {
    TBitmap b(w, h, PixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setRawPixel(x, y, px);
    return b;
}

// A 24-bit bitmap file of w x h pixels in one colour (0xRRGGBB).
inline void writeSolidBmp(const QString& path, int w, int h, uint32_t rgb = 0x808080) {
    saveBmp(solidBitmap(w, h, rgb), path.toStdString());
}

// Status panels 1 to 4 (path, size, file time, dimensions) joined by "|", the time as "t" when shown.
inline QString previewPanels(const TKorvelMain& w) {
    QStringList p;
    for (int i = 1; i <= 4; ++i) p << w.statusText(StatusPanel(i));
    p[2] = p[2].isEmpty() ? "" : "t";
    return p.join('|');
}

inline GridCell cellOf(const TKorvelMain& w, size_t index) {
    const int cols = grid(w)->colCount();
    return {int(index % size_t(cols)), int(index / size_t(cols))};
}

inline void clickCell(TKorvelMain& w, size_t index, Qt::KeyboardModifiers mods = {},
                      Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(grid(w)->viewport(), button, mods, grid(w)->cellRect(cellOf(w, index)).center());
}

// Puts the mouse pointer over a cell, as the user's hand on the grid.
inline void pointAtCell(TKorvelMain& w, size_t index) {
    QCursor::setPos(grid(w)->viewport()->mapToGlobal(grid(w)->cellRect(cellOf(w, index)).center()));
}

// Drags the marked cell index by its corner mark and drops it at pos on target. The offscreen
// platform ends a drag at once, so after the press the drag's events over the target are sent
// as the platform would send them, with what the grid's drag carries. Returns whether the
// target took the drop.
inline bool dragCellTo(TKorvelMain& w, size_t index, QWidget* target, QPoint pos) {
    const int size = grid(w)->defaultSize();
    const QPoint corner = grid(w)->cellRect(cellOf(w, index)).topLeft() + QPoint(size - 4, size - 3);
    // A press in the corner mark keeps the marks; the grid learns where the mouse is from a move,
    // and the pointer may already stand there from an earlier window.
    QTest::mouseMove(grid(w)->viewport(), corner - QPoint(1, 1));
    QTest::mouseMove(grid(w)->viewport(), corner);
    QTest::mouseClick(grid(w)->viewport(), Qt::LeftButton, {}, corner);
    QMimeData data;
    QByteArray paths;
    for (size_t i : w.markedFiles()) paths.append(QByteArray::fromStdString(w.fileList().path(i))).append('\0');
    data.setData(QString::fromLatin1(TKorvelMain::MarkedFilesMimeType), paths);
    QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(pos, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &move);
    QDropEvent drop(pos, Qt::CopyAction, &data, Qt::NoButton, {});
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

// Clicks an item of a popup menu once the menu shows, where the user would.
inline void pickFromMenu(QMenu* menu, QAction* item) {
    QTRY_VERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

// Where the user points at a node of the folder tree, scrolled into sight: its icon. The column
// of names is as wide as the longest one, so the middle of a row may lie outside the tree.
inline QPoint nodePoint(QTreeWidget* tree, QTreeWidgetItem* node) {
    tree->scrollToItem(node);
    const QRect r = tree->visualItemRect(node);
    return {r.left() + 8, r.center().y()};
}

// Right-clicks a node of the folder tree, which opens the folder menu.
inline void rightClickNode(TKorvelMain& w, QTreeWidgetItem* node) {
    QTest::mouseClick(dirTree(w)->viewport(), Qt::RightButton, {}, nodePoint(dirTree(w), node));
}

// The files of folder in name order (for "": w's list in its order), each named without its
// extension, with "=b" when it holds the bytes of originals[1] (b's) under another name, else
// as "name=bytes". originals holds the pictures a, b, c … in order.
inline std::string filesIn(const TKorvelMain& w, const std::string& folder,
                           const std::vector<std::string>& originals) {
    std::vector<std::string> paths;
    if (folder.empty()) {
        for (size_t i = 0; i < w.fileList().size(); ++i) paths.push_back(w.fileList().path(i));
    } else {
        for (const auto& e : std::filesystem::directory_iterator(folder)) paths.push_back(e.path().string());
        std::sort(paths.begin(), paths.end());
    }
    std::string out;
    for (const std::string& p : paths) {
        const std::string name = p.substr(p.rfind('/') + 1), bytes = readFile(p);
        const auto k = std::find(originals.begin(), originals.end(), bytes) - originals.begin();
        const std::string stem = name.substr(0, name.find('.'));
        if (!out.empty()) out += ' ';
        if (size_t(k) == originals.size()) out += name + "=" + bytes;
        else out += name[0] == 'a' + k ? stem : stem + '=' + char('a' + k);
    }
    return out;
}

inline bool waitPreview(TKorvelMain& w) { return QTest::qWaitFor([&] { return !w.preview().loading(); }, 3000); }

// Shows the window on a folder as a user would meet it: active, laid out, first preview loaded.
inline bool showReady(TKorvelMain& w) {
    w.resize(900, 700);
    w.show();
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w) &&
           QTest::qWaitFor([&] { return w.formState() == TKorvelMain::FormState::Ready; }) && waitPreview(w);
}

}  // namespace korvel::testing
