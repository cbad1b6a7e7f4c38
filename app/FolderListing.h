#pragma once
// The listing of the tree's selected folder: the file list the grid shows, rebuilt when another
// folder is chosen, the filter or the options change, or Refresh is pressed; sorted by the info
// mode's key; files that vanished dropped. What other programs do in the folder updates the list
// in place, marks, current cell and scroll position kept. Other parts read the list; only the
// listing and the grid (its thumbnail positions) change it.
#include <QObject>
#include <functional>
#include <set>
#include <string>

#include "browse/FileList.h"
#include "browse/FolderScan.h"

namespace korvel {
struct FolderUpdate;
}
class LiveFolders;
class MainStatusBar;
class PreviewPanel;
class TDirTree;
class ThumbnailGridPanel;

class FolderListing : public QObject {
    Q_OBJECT
public:
    explicit FolderListing(QObject* parent = nullptr);

    // The parts the listing updates; set once the window has built them.
    struct Parts {
        TDirTree* tree = nullptr;
        ThumbnailGridPanel* grid = nullptr;
        PreviewPanel* preview = nullptr;
        MainStatusBar* status = nullptr;
    };
    void attach(const Parts& parts) { parts_ = parts; }

    // What the listing asks of the window.
    struct Hooks {
        // The window is still being built: nothing is listed yet.
        std::function<bool()> building;
        // A file job runs and reports into the list: a new listing waits for its end.
        std::function<bool()> jobRunning;
        std::function<std::string()> folder;      // the tree's folder, "" when none
        std::function<std::string()> filterMask;  // the filter box's mask
        std::function<int()> sortKey;             // the info mode, which is also the sort key
        // Lays the grid out for the list at the window's cell size, marks cleared.
        std::function<void()> layOut;
        // The list or the options changed: the commands show it.
        std::function<void()> changed;
    } hooks;

    // What a listing takes in, from the window's settings.
    struct Options {
        bool showHiddenFiles = false;
        bool subFolders = false;      // files of the subfolders are listed too
        bool subFoldersOnce = false;  // ... for the next listing only
    } options;

    const korvel::FileList& files() const { return files_; }
    // The grid panel's hold on the list: it keeps each file's thumbnail position there.
    korvel::FileList& filesForGrid() { return files_; }

    // Replaces the list with the selected folder's files (after a running job, if one runs).
    void listSelectedFolder();
    // Another folder was chosen in the tree: the old folder's marks go with its list.
    void folderChosen();
    // Reads the tree again, then lists.
    void refresh();
    void setSubFolders(bool on);
    void sort(bool ascending);
    // Drops the files that are gone; the current cell becomes the one marked file.
    void pruneVanished();
    // A folder chosen while the job ran is listed now that it has ended.
    void jobEnded();
    // Adds the files of folder to the list when it is the folder shown (copies made into it).
    void addNewFilesIfShown(const std::string& folder);
    // A file of the list was renamed: it keeps its place.
    void renamed(const std::string& from, const std::string& to);
    // What other programs did in the listed folder, gathered.
    void folderChanged(const korvel::FolderUpdate& update);

signals:
    // A listing of the selected folder has replaced the list.
    void listed();

private:
    // The filter, hidden files and sort key of a listing; subfolders are the caller's choice.
    korvel::ListOptions listOptions() const;
    // Whether the list is in use elsewhere and changes from outside must wait.
    bool listBusy() const;

    korvel::FileList files_;
    Parts parts_;
    bool pruneQueued_ = false;   // a prune waits for the grid's layout to end
    bool listAfterJob_ = false;  // a folder was chosen while a job ran
    bool descending_ = false;    // the list was last sorted descending
    bool subFoldersListed_ = false;
    std::string listedFolder_;   // the folder the list holds, watched for changes
    LiveFolders* live_ = nullptr;
};
