// Thumbnails of the grid's cells.
#include "app/KorvelMain.h"

void TKorvelMain::resetThumbnailCache() {}
void TKorvelMain::BuildThumbnails(size_t, size_t) {}
QImage TKorvelMain::thumbnailImage(size_t) { return {}; }
void TKorvelMain::openSubViewer(const QString&) {}
