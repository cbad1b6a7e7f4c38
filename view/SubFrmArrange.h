#pragma once
// The set of open sub-viewers, the work area they are sized and arranged in, and the commands
// that act on all of them at once.
#include <QList>
#include <QMargins>
#include <QRect>
#include <functional>
#include <optional>

class QWidget;
class TKorvelSubFrm;

// The desktop's work area (the primary screen's available geometry); tests inject their own.
QRect subViewerWorkArea();
void setSubViewerWorkAreaProvider(std::function<QRect()> provider);  // empty: the desktop's

// Open sub-viewers in the order they were created.
QList<TKorvelSubFrm*> openSubViewers();
// Sub-viewers neither minimised nor maximised.
int normalSubViewerCount();

enum class SubArrange { Cascade, TileHorizontal, TileVertical };
// Arranges the sub-viewers that are neither minimised nor disabled over the work area, then
// brings owner (the main window, may be null) to the front with its viewers above it.
void arrangeSubViewers(SubArrange how, QWidget* owner = nullptr);
// From the last opened to the first.
void minimizeAllSubViewers();
void closeAllSubViewers();

// Frame rectangles of n windows: cascaded from the area's top-left by step pixels, or tiled
// without overlap (TileHorizontal: one above the other, in columns when many).
QList<QRect> cascadeRects(int n, const QRect& area, int step);
QList<QRect> tileRects(int n, const QRect& area, SubArrange how);

// Where a new sub-viewer goes for an image of the given size. Client size always; a frame
// position only when the image does not fit (otherwise the desktop's default position).
struct SubViewerPlacement {
    QSize client;
    std::optional<QPoint> framePos;
};
SubViewerPlacement placeSubViewer(QSize image, const QRect& workArea, int statusBarHeight, int scrollBarExtent,
                                  const QMargins& frame);

namespace subviewers_detail {
void add(TKorvelSubFrm* w);
void remove(TKorvelSubFrm* w);
}  // namespace subviewers_detail
