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
                                WindowSize keepVisible, WindowSize fallback) {
    WindowRect r = stored;
    if (r.width < 100 || r.height < 100) r.width = fallback.width, r.height = fallback.height;
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

}  // namespace korvel
