#include "view/SubFrmArrange.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "view/SubFrm.h"

namespace {

QList<TKorvelSubFrm*>& registry() {
    static QList<TKorvelSubFrm*> list;
    return list;
}

std::function<QRect()>& workAreaProvider() {
    static std::function<QRect()> provider;
    return provider;
}

bool isNormalState(const QWidget* w) { return !(w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)); }

// Places w so that its frame covers r.
void setFrameRect(QWidget* w, const QRect& r) {
    QMargins m;
    if (QWindow* h = w->windowHandle()) m = h->frameMargins();
    w->resize(std::max(1, r.width() - m.left() - m.right()), std::max(1, r.height() - m.top() - m.bottom()));
    w->move(r.topLeft());
}

}  // namespace

namespace subviewers_detail {
void add(TKorvelSubFrm* w) { registry().append(w); }
void remove(TKorvelSubFrm* w) { registry().removeAll(w); }
}  // namespace subviewers_detail

QRect subViewerWorkArea() {
    if (workAreaProvider()) return workAreaProvider()();
    if (QScreen* s = QGuiApplication::primaryScreen()) return s->availableGeometry();
    return QRect(0, 0, 1024, 768);
}

void setSubViewerWorkAreaProvider(std::function<QRect()> provider) { workAreaProvider() = std::move(provider); }

QList<TKorvelSubFrm*> openSubViewers() { return registry(); }

int normalSubViewerCount() {
    return int(std::count_if(registry().begin(), registry().end(), [](TKorvelSubFrm* w) { return isNormalState(w); }));
}

SubViewerPlacement placeSubViewer(QSize image, const QRect& area, int statusBarHeight, int scrollBarExtent,
                                  const QMargins& frame) {
    const int w = image.width(), h = image.height(), WW = area.width(), WH = area.height();
    if (w < WW && h < WH) return {QSize(w + 5, h + 5 + statusBarHeight), std::nullopt};
    // Each axis on its own: a side that does not fit spans the work area from its edge, the
    // other one gets room for the scroll bar and is centred.
    QSize client;
    QPoint pos;
    if (w >= WW) {
        client.setWidth(WW - frame.left() - frame.right());
        pos.setX(area.left());
    } else {
        client.setWidth(w + scrollBarExtent + 5);
        pos.setX(area.left() + (WW - (client.width() + frame.left() + frame.right())) / 2);
    }
    if (h >= WH) {
        client.setHeight(WH - frame.top() - frame.bottom());
        pos.setY(area.top());
    } else {
        client.setHeight(h + scrollBarExtent + 5 + statusBarHeight);
        pos.setY(area.top() + (WH - (client.height() + frame.top() + frame.bottom())) / 2);
    }
    return {client, pos};
}

QList<QRect> cascadeRects(int n, const QRect& area, int step) {
    QList<QRect> out;
    if (n <= 0 || area.isEmpty()) return out;
    step = std::max(1, step);
    // Every window gets the same size; when the stair would leave the area it starts again at
    // the top-left corner.
    const int w = std::max(area.width() * 2 / 3, area.width() - (n - 1) * step);
    const int h = std::max(area.height() * 2 / 3, area.height() - (n - 1) * step);
    const int fit = std::max(1, std::min((area.width() - w) / step, (area.height() - h) / step) + 1);
    for (int i = 0; i < n; ++i) {
        const int k = i % fit;
        out.append(QRect(area.left() + k * step, area.top() + k * step, w, h));
    }
    return out;
}

QList<QRect> tileRects(int n, const QRect& area, SubArrange how) {
    QList<QRect> out;
    if (n <= 0 || area.isEmpty()) return out;
    // Up to three windows share one column (or row); more form floor(sqrt(n)) columns, the
    // later ones taking the extra windows.
    const int groups = n <= 3 ? 1 : int(std::sqrt(double(n)));
    const bool horizontal = how != SubArrange::TileVertical;
    const int across = horizontal ? area.width() : area.height();
    const int along = horizontal ? area.height() : area.width();
    int index = 0;
    for (int g = 0; g < groups; ++g) {
        const int inGroup = n / groups + (g >= groups - n % groups ? 1 : 0);
        const int a0 = across * g / groups, a1 = across * (g + 1) / groups;
        for (int j = 0; j < inGroup; ++j, ++index) {
            const int b0 = along * j / inGroup, b1 = along * (j + 1) / inGroup;
            out.append(horizontal ? QRect(area.left() + a0, area.top() + b0, a1 - a0, b1 - b0)
                                  : QRect(area.left() + b0, area.top() + a0, b1 - b0, a1 - a0));
        }
    }
    return out;
}

void arrangeSubViewers(SubArrange how, QWidget* owner) {
    QList<TKorvelSubFrm*> windows;
    for (TKorvelSubFrm* w : registry())
        if (!w->isMinimized() && w->isEnabled()) windows.append(w);
    if (!windows.isEmpty()) {
        const QRect area = subViewerWorkArea();
        const int step = windows.first()->style()->pixelMetric(QStyle::PM_TitleBarHeight) + 4;
        const QList<QRect> rects =
            how == SubArrange::Cascade ? cascadeRects(int(windows.size()), area, step) : tileRects(int(windows.size()), area, how);
        for (int i = 0; i < windows.size(); ++i) {
            if (windows[i]->isMaximized()) windows[i]->showNormal();
            setFrameRect(windows[i], rects[i]);
        }
    }
    // The owner comes to the front; its viewers stay above it, the last arranged on top.
    if (owner) {
        owner->raise();
        owner->activateWindow();
    }
    for (TKorvelSubFrm* w : windows) w->raise();
}

void minimizeAllSubViewers() {
    const QList<TKorvelSubFrm*> all = registry();
    for (auto it = all.rbegin(); it != all.rend(); ++it) (*it)->showMinimized();
}

void closeAllSubViewers() {
    QList<QPointer<TKorvelSubFrm>> all;
    for (TKorvelSubFrm* w : registry()) all.append(w);
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        if (*it) (*it)->close();
}
