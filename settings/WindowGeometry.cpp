#include "settings/WindowGeometry.h"

#include <algorithm>
#include <cstdint>

namespace korvel {

namespace {

// Stored values may be anything a hand edit left there, so sums are taken in 64 bits.
int64_t overlap(int64_t a0, int64_t aLen, int64_t b0, int64_t bLen) {
    return std::max<int64_t>(0, std::min(a0 + aLen, b0 + bLen) - std::max(a0, b0));
}

int64_t overlapArea(const WindowRect& a, const WindowRect& b) {
    return overlap(a.left, a.width, b.left, b.width) * overlap(a.top, a.height, b.top, b.height);
}

// The start of a span of length len placed on [start, start + room) with at least `visible`
// of it inside; with wholeStart it never begins before start.
int fitSpan(int64_t pos, int64_t len, int64_t visible, int64_t start, int64_t room, bool wholeStart) {
    const int64_t lo = wholeStart ? start : start + visible - len;
    const int64_t hi = start + room - visible;
    return int(std::clamp(pos, lo, std::max(lo, hi)));
}

}  // namespace

WindowRect fitWindowToWorkAreas(const WindowRect& stored, const std::vector<WindowRect>& workAreas,
                                WindowSize keepVisible, WindowSize fallback, WindowSize minimum) {
    WindowRect r = stored;
    // Below 100 a side is no size anyone chose; the one left is raised to what the window needs.
    if (r.width < 100) r.width = fallback.width;
    if (r.height < 100) r.height = fallback.height;
    r.width = std::max(r.width, minimum.width);
    r.height = std::max(r.height, minimum.height);
    if (workAreas.empty()) return r;
    const WindowRect* work = &workAreas.front();
    int64_t best = 0;
    for (const WindowRect& w : workAreas)
        if (const int64_t a = overlapArea(r, w); a > best) best = a, work = &w;
    r.width = std::min(r.width, std::max(1, work->width));
    r.height = std::min(r.height, std::max(1, work->height));
    const int64_t visibleW = std::min(r.width, keepVisible.width), visibleH = std::min(r.height, keepVisible.height);
    r.left = fitSpan(r.left, r.width, visibleW, work->left, work->width, false);
    // The title bar above the top edge must stay reachable.
    r.top = fitSpan(r.top, r.height, visibleH, work->top, work->height, true);
    return r;
}

WindowRect fitDialogToWorkAreas(WindowSize stored, const std::vector<WindowRect>& workAreas, WindowSize fallback,
                                WindowSize minimum) {
    if (workAreas.empty()) return fitWindowToWorkAreas({0, 0, stored.width, stored.height}, {}, {}, fallback, minimum);
    const WindowRect& screen = workAreas.front();
    WindowRect r = fitWindowToWorkAreas({screen.left, screen.top, stored.width, stored.height}, {screen}, {},
                                        fallback, minimum);
    r.left = int(screen.left + (int64_t(screen.width) - r.width) / 2);
    r.top = int(screen.top + (int64_t(screen.height) - r.height) / 2);
    return r;
}

int fitSplit(int stored, int total, int minimum) {
    if (total < 2 * int64_t(minimum)) return std::max(0, total / 2);
    return std::clamp(stored, minimum, total - minimum);
}

}  // namespace korvel
