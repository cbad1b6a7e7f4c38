#pragma once
// Every icon Korvel shows, by its freedesktop icon-naming name: the desktop's icon theme draws it
// when it has that name, and Korvel's own SVG set, built into the program, stands in otherwise.
// Both are scalable, so the icons stay sharp at any screen scale.
#include <QIcon>
#include <QString>

enum class ToolIcon {
    // The main window's tool bar, in its order (the command table refers to them by position).
    Close, Copy, ExtendedCopy, Move, Delete, Rename, SerialRename, Slideshow, Stretch, FavoritesOnly, HideTree,
    SubFolders, InfoMode, QuickCaptions, SortUp, SortDown, Refresh, Options, PlugIns, Help, About,
    // The slideshow's tool bar.
    ShowClose, ShowFirst, ShowPrevious, ShowPause, ShowPlay, ShowNext, ShowLast,
    // Elsewhere: the folder button of the copy dialogs, the folder tree's nodes, the grid's
    // icon of a file type the theme does not know, and the program's own icon on its windows.
    ChooseFolder, Computer, Drive, Folder, GenericFile, Program
};
inline constexpr int kToolIconCount = int(ToolIcon::Program) + 1;
inline constexpr int kQuickFolderIconCount = 20;

// The icon's name in the theme (and of its stand-in in Korvel's set).
const char* toolIconName(ToolIcon which);
QIcon toolIcon(ToolIcon which);
// The image of quick-folder button n (1 ... 20): a folder with its number. The naming standard
// has no such icon, so the name is Korvel's own ("korvel-quick-folder-N"); a theme may still
// provide it.
QString quickFolderIconName(int n);
QIcon quickFolderIcon(int n);
// Where Korvel's own image of a name is kept (a Qt resource built into the program).
QString fallbackIconPath(const QString& name);
