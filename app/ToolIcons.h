#pragma once
// Tool-button images drawn by Korvel itself, one per tool in toolbar order, and the numbered
// images of the quick-folder buttons.
#include <QIcon>

enum class ToolIcon {
    Close, Copy, ExtendedCopy, Move, Delete, Rename, SerialRename, Slideshow, Stretch, FavoritesOnly, HideTree,
    SubFolders, InfoMode, QuickCaptions, SortUp, SortDown, Refresh, Options, PlugIns, Help, About
};

QIcon toolIcon(ToolIcon which);
// The image of quick-folder button n (1 ... 20): a folder with its number.
QIcon quickFolderIcon(int n);
