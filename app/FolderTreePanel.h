#pragma once
// The folder tree on the main window's left, with its pop-up menu's folder commands (create,
// rename, delete, properties) and the Delete key. Drops on the tree are the window's.
#include <QWidget>
#include <functional>
#include <string>

class QAction;
class QMenu;
class TDirTree;

class FolderTreePanel : public QWidget {
    Q_OBJECT
public:
    explicit FolderTreePanel(QWidget* parent = nullptr);

    TDirTree* tree() const { return folderTree_; }
    // The tree's pop-up menu; the window's command table fills it.
    QMenu* menu() const { return menu_; }
    // The menu's first item, which shows the folder the menu was opened for.
    void setTitleItem(QAction* title) { titleItem_ = title; }

    // Which folder commands the menu offers for its folder: none inside the Trash, no rename or
    // delete for a drive.
    struct Offered {
        bool create = true, rename = true, remove = true;
    };
    Offered offeredCommands() const;

    // The tree narrowed to its 1-pixel edge in the splitter it stands in, or back at the width it
    // had (a quarter of the window when it had none). While hidden it takes no input.
    void setHidden(bool hide);
    bool hidden() const { return hidden_; }
    // The width the tree comes back at when shown again.
    int widthBeforeHiding() const { return widthBeforeHiding_; }
    // Only favourites and the folders leading to them.
    void setFavouritesOnly(bool on);
    bool favouritesOnly() const { return favouritesOnly_; }

    void createFolder();
    void renameFolder();
    void deleteMenuFolder();
    void showProperties();

    // Starts the delete of folder (the file operation asks first); then runs once it ended.
    std::function<void(const std::string& folder, std::function<void()> then)> deleteFolderHook;
    // After from was renamed to to (both without a trailing "/").
    std::function<void(const std::string& from, const std::string& to)> folderRenamed;

private:
    void showMenu(const QPoint& globalPos);
    void treeKeyUp(int key);
    // The top-level nodes (home, root, mounted volumes) stand for the drives.
    bool isDriveRoot(const std::string& folder) const;
    void deleteFolder(const std::string& folder);

    TDirTree* folderTree_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* titleItem_ = nullptr;
    std::string menuFolder_;  // the folder the menu was opened for, without its trailing "/"
    bool hidden_ = false, favouritesOnly_ = false;
    int widthBeforeHiding_ = 0;
};
