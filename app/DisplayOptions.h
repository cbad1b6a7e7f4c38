#pragma once
// How the main window's grid and preview show the files: set from the settings at start and by
// the options dialog.
#include "settings/MainSettings.h"

struct DisplayOptions {
    int thumbSize = 100;
    bool speedFlg = false;     // thumbnails from a fast, rough reduction
    bool changeImFlg = true;   // a layout previews the current cell
    bool pictFitFlg = false;   // small pictures are enlarged to the preview
    bool exifRotate = true, colorManage = true;
    bool sharedCache = true;   // [Thumbnil] SharedCache
    int infoHeight() const { return korvel::InfoHeightFor(thumbSize); }
    bool operator==(const DisplayOptions&) const = default;
};
