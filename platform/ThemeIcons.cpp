#include "platform/ThemeIcons.h"

#include <array>

// Outside any namespace, as the resource's registration function is declared here.
static void registerFallbackIcons() { Q_INIT_RESOURCE(fallback_icons); }

namespace {

struct IconRow {
    ToolIcon icon;
    const char* name;
};

// The one table of icon names. Standard freedesktop names where the naming list has one; where
// it has none, the name the common themes (Breeze, Adwaita, Papirus) use for the same idea.
constexpr std::array<IconRow, kToolIconCount> kIcons{{
    {ToolIcon::Close, "application-exit"},           // quit the program
    {ToolIcon::Copy, "edit-copy"},                   // copy files
    {ToolIcon::ExtendedCopy, "document-save-as"},    // copies converted to another format or size
    {ToolIcon::Move, "edit-cut"},                    // move files: cut here, put there
    {ToolIcon::Delete, "edit-delete"},               // delete files
    {ToolIcon::Rename, "edit-rename"},               // rename (Breeze, Papirus)
    {ToolIcon::SerialRename, "format-list-ordered"}, // rename with serial numbers
    {ToolIcon::Slideshow, "media-playback-start"},   // start the slideshow
    {ToolIcon::Stretch, "zoom-fit-best"},            // preview fitted or at its own size
    {ToolIcon::FavoritesOnly, "user-bookmarks"},     // only the favourite folders in the tree
    {ToolIcon::HideTree, "view-list-tree"},          // hide the folder tree (Breeze, Papirus)
    {ToolIcon::SubFolders, "folder"},                // files of sub-folders too; unbound quick folder
    {ToolIcon::InfoMode, "document-properties"},     // what the cells' info lines show
    {ToolIcon::QuickCaptions, "insert-text"},        // quick-folder captions beside the buttons
    {ToolIcon::SortUp, "view-sort-ascending"},
    {ToolIcon::SortDown, "view-sort-descending"},
    {ToolIcon::Refresh, "view-refresh"},
    {ToolIcon::Options, "preferences-system"},
    {ToolIcon::PlugIns, "preferences-plugin"},       // plug-in settings (Breeze, Papirus)
    {ToolIcon::Help, "help-contents"},
    {ToolIcon::About, "help-about"},
    {ToolIcon::ShowClose, "window-close"},           // the slideshow ends, the program goes on
    {ToolIcon::ShowFirst, "media-skip-backward"},
    {ToolIcon::ShowPrevious, "media-seek-backward"},
    {ToolIcon::ShowPause, "media-playback-pause"},
    {ToolIcon::ShowPlay, "media-playback-start"},
    {ToolIcon::ShowNext, "media-seek-forward"},
    {ToolIcon::ShowLast, "media-skip-forward"},
    {ToolIcon::ChooseFolder, "folder-open"},
    {ToolIcon::Computer, "computer"},                // the root file system's node
    {ToolIcon::Drive, "drive-harddisk"},             // other mounted file systems
    {ToolIcon::Folder, "folder"},
    {ToolIcon::GenericFile, "text-x-generic"},
    {ToolIcon::Program, "org.korvel.Korvel"},        // the installed application icon
}};

constexpr bool tableInOrder() {
    for (int i = 0; i < kToolIconCount; ++i)
        if (int(kIcons[size_t(i)].icon) != i) return false;
    return true;
}
static_assert(tableInOrder(), "one row per icon, in the order of ToolIcon");

QIcon themed(const QString& name) {
    // The set is a resource of a static library: it is registered only when named.
    static const bool registered = (registerFallbackIcons(), true);
    (void)registered;
    return QIcon::fromTheme(name, QIcon(fallbackIconPath(name)));
}

}  // namespace

const char* toolIconName(ToolIcon which) { return kIcons.at(size_t(which)).name; }

QIcon toolIcon(ToolIcon which) { return themed(QString::fromLatin1(toolIconName(which))); }

QString quickFolderIconName(int n) { return QStringLiteral("korvel-quick-folder-%1").arg(n); }

QIcon quickFolderIcon(int n) { return themed(quickFolderIconName(n)); }

QString fallbackIconPath(const QString& name) { return QStringLiteral(":/korvel/icons/") + name + QStringLiteral(".svg"); }
