#pragma once
// The main window's file commands: copy, move and delete of the marked files (the chooser, the
// drop menu for a folder, drops on the tree and on the quick-folder buttons), rename one by one,
// serial rename and extended copy. Copy, move and delete run as the window's one job; while it
// runs no other command that touches files starts, and a listing of the folder waits for its end.
// A command done but not recorded for undo says so in a box.
#include <QImage>
#include <QObject>
#include <QPoint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fileops/Jobs.h"
#include "base/Limits.h"

class JobRunner;
class QAction;
class QDropEvent;
class QEvent;
class QMenu;
class QTreeWidgetItem;
class QWidget;
class QuickFolderBar;
class TDirTree;
namespace korvel {
class FileList;
}

class FileCommands : public QObject {
    Q_OBJECT
public:
    // The boxes, dialogs and the drop menu open over window.
    explicit FileCommands(QWidget* window);
    ~FileCommands() override;  // stopJobs()
    // Cancels a running job and waits for it; no job starts afterwards. The window calls it first
    // in its destructor, before anything the job reports to goes.
    void stopJobs();

    // The file system copy, move and delete jobs work on (null: the real one); tests put a slow
    // or failing one here.
    korvel::FileSystem* fileSystem = nullptr;

    // What the commands ask of the window.
    struct Hooks {
        std::function<const korvel::FileList&()> files;  // the listed files
        std::function<std::vector<std::string>()> markedPaths;  // in index order
        // A file's thumbnail if in hand (asked of the workers otherwise), or built now.
        std::function<QImage(size_t index)> thumbnail;
        std::function<QImage(size_t index)> thumbnailNow;
        std::function<std::string()> shownFolder;  // "" when none
        std::function<std::string(const QString& prompt, const std::string& start)> browseFolder;
        std::function<void()> pruneVanished;  // listed files that are gone leave the list
        // Files that appeared in folder join the list when it is the folder shown.
        std::function<void(const std::string& folder)> listNewFiles;
        std::function<void()> jobEnded;  // a listing held back while the job ran is made now
        std::function<void(const std::string& from, const std::string& to)> renamed;  // a listed file
        std::function<void()> renamesEnded;  // the grid and the preview show the new names
        std::function<void()> stateChanged;  // a job started or ended
        std::function<korvel::PhotoSwitches()> copyPhoto;  // how extended copies turn and colour pictures
        std::string settingsPath;     // the program-named settings file of the dialogs
    } hooks;

    // Drops of marked cells on the tree's nodes and on the quick-folder buttons.
    void takeDrops(TDirTree* tree, const QuickFolderBar* quickFolders);
    // A drag event over quick-folder button; true when taken.
    bool onQuickFolderDrag(int button, QEvent* event);

    // The move-here and copy-here menu; its first item shows the folder.
    QMenu* targetMenu() const { return targetMenu_; }
    void setTitleItem(QAction* title) { titleItem_ = title; }
    void offerTarget(const std::string& folder, const QPoint& globalPos);
    // The menu's commands, for its folder.
    void moveToTarget();
    void copyToTarget();

    // The chooser of the target folder, then the job.
    void copyMarked() { openChooser(true); }
    void moveMarked() { openChooser(false); }
    void deleteMarked();
    void renameMarked();
    void serialRenameMarked();
    void extendedCopyMarked();
    // Deletes folder (the operation asks first); then runs once the job ended.
    void deleteFolder(const std::string& folder, std::function<void()> then);

    bool jobRunning() const;
    // Runs job as the window's one job, with its progress window; then runs once it ended. False
    // when a job runs already or none could start.
    bool startJob(std::shared_ptr<korvel::Job> job, std::function<void()> then);
    // The file system the jobs work on.
    korvel::FileSystem& files() const { return fileSystem ? *fileSystem : korvel::systemFileSystem(); }

signals:
    // Thumbnails reached the cache: the open dialog's lists repaint.
    void thumbnailsArrived();

private:
    // Starts the operation as the job; then runs once it ended. Nothing starts while a job runs.
    void runJob(korvel::FileCommand command, const std::vector<std::string>& files, const std::string& folder,
                std::function<void()> then);
    void runOnMarked(korvel::FileCommand command, const std::string& folder);
    // True when path is a folder, or was made after asking.
    bool ensureFolder(std::string path);
    void openChooser(bool copy);
    QImage thumbnailOf(const std::string& path) const;
    std::vector<std::string> listedPaths() const;
    std::vector<std::string> quickTargets() const;  // buttons 1 to 10
    bool acceptsTreeDrag(const QDropEvent* event, const QTreeWidgetItem* node) const;
    void onDropOnFolder(QDropEvent* event);

    QWidget* window_;
    JobRunner* jobs_ = nullptr;
    QMenu* targetMenu_ = nullptr;
    QAction* titleItem_ = nullptr;
    TDirTree* tree_ = nullptr;
    const QuickFolderBar* quickFolders_ = nullptr;
};
