#pragma once
// Fitting a stored (possibly hand-edited) window rectangle to the screens' work areas.
#include <vector>

namespace korvel {

struct WindowRect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const WindowRect&) const = default;
};

struct WindowSize {
    int width = 0, height = 0;
};

// Places a stored window rectangle on the work area it overlaps most (the first one, the primary
// screen's, when it overlaps none). A side under 100 pixels takes the fallback's, then a side
// under minimum is raised to it; the size is cut to the work area; the position is moved so that
// at least `keepVisible` of the window (all of a smaller one) lies in the work area, and its top
// edge not above it. Any int values are safe.
WindowRect fitWindowToWorkAreas(const WindowRect& stored, const std::vector<WindowRect>& workAreas,
                                WindowSize keepVisible, WindowSize fallback, WindowSize minimum = {});

// A dialog of a stored size: fitted as above and centred on the first work area (its screen's).
WindowRect fitDialogToWorkAreas(WindowSize stored, const std::vector<WindowRect>& workAreas, WindowSize fallback,
                                WindowSize minimum);

// The first pane of a split `total` wide from its stored width: each pane keeps at least
// minimum (half of total each when total has no room for both).
int fitSplit(int stored, int total, int minimum);

}  // namespace korvel
