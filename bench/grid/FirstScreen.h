#pragma once
// What the grid benchmarks wait for: the first screen of thumbnails.
#include <algorithm>
#include <cstddef>

#include "app/KorvelMain.h"
#include "app/ThumbnailGridPanel.h"
#include "browse/ui/OrgStGrid.h"

// The window's grid, found by name.
inline TOrgStGrid* gridOf(const TKorvelMain& w) { return w.findChild<TOrgStGrid*>("StringGrid1"); }

// True when every cell on screen, the partly visible row included, has its thumbnail.
inline bool firstScreenBuilt(const TKorvelMain& w) {
    const TOrgStGrid* g = gridOf(w);
    const size_t cols = size_t(g->colCount()), first = size_t(g->topRow()) * cols;
    const size_t end = std::min(w.fileList().size(), first + size_t(g->visibleRowCount() + 1) * cols);
    for (size_t i = first; i < end; ++i)
        if (w.fileList().seek(i).ThumbPos == -1) return false;
    return true;
}

// True when every cell on screen has a picture drawn: its thumbnail, or the stand-in from the
// photo's embedded EXIF picture.
inline bool firstScreenShown(const TKorvelMain& w) {
    const TOrgStGrid* g = gridOf(w);
    const auto* panel = w.findChild<ThumbnailGridPanel*>("Panel3");
    const size_t cols = size_t(g->colCount()), first = size_t(g->topRow()) * cols;
    const size_t end = std::min(w.fileList().size(), first + size_t(g->visibleRowCount() + 1) * cols);
    if (end <= first) return false;
    for (size_t i = first; i < end; ++i)
        if (!panel->pictureInHand(i)) return false;
    return true;
}
