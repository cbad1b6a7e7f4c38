#pragma once
// The main window's own commands, which hand files to other windows and programs or open the
// window's dialogs: sub-viewers, opening with the desktop, properties, wallpaper, the slideshow,
// the options and favourites dialogs, the plug-ins and their dialog, help and about. It holds
// the plug-in host, the file the command line named and the slideshow it asked for; what it
// needs of the window comes through its hooks and the other parts' interfaces.
#include <QObject>
#include <QString>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "app/DisplayOptions.h"
#include "base/Limits.h"
#include "fileops/WallpaperBitmap.h"
#include "formats/MediaFiles.h"
#include "settings/CommandLine.h"

class FolderBoxes;
class PreviewPanel;
class QWidget;
class QuickFolderBar;
class TDirTree;
class ThumbnailGridPanel;
class TOptionFrm;
namespace korvel {
class FileList;
class TSPIs;
}  // namespace korvel

class WindowCommands : public QObject {
    Q_OBJECT
public:
    // The parts the commands show files of or hand dialog results to.
    struct Parts {
        const korvel::FileList& files;
        ThumbnailGridPanel& grid;
        PreviewPanel& preview;
        FolderBoxes& folderBoxes;
        QuickFolderBar& quickFolders;
        TDirTree& folderTree;
    };
    // window is the dialogs' owner; exePath locates the settings, the plug-ins and the help file.
    WindowCommands(QWidget* window, std::string exePath, const Parts& parts);
    // Unloads the plug-ins (unloadPlugins()).
    ~WindowCommands() override;

    // The settings the window holds itself and the options dialog changes.
    struct HeldOptions {
        DisplayOptions display;
        bool noHideFile = false, subDirOnce = false;  // the listing's
    };
    // What the commands ask of the window.
    struct Hooks {
        // How pictures are turned and coloured for the window's viewers and slideshow.
        std::function<korvel::PhotoSwitches()> photo;
        std::function<HeldOptions()> heldOptions;
        // The options dialog's OK: the window keeps the values it holds.
        std::function<void(const HeldOptions&)> holdOptions;
        // The thumbnail size or the display changed: the folder is listed again.
        std::function<void()> relist;
        // The options dialog's folder picker, and the folder of the tree's selected node.
        std::function<std::string(const QString& prompt, const std::string& start)> browseFolder;
        std::function<std::string()> treeFolder;
        // Plug-ins were skipped at start (Shift held): the commands show it.
        std::function<void()> pluginsSkipped;
    } hooks;

    // Searches and registers the plug-ins, unless a host exists already (one per process).
    void loadPlugins(korvel::MediaExtList& media);
    // Ends the host and drops its formats; the window does so after its decoders stopped.
    void unloadPlugins();
    bool pluginsSkipped() const { return pluginsSkipped_; }

    // Opens a sub-viewer for a file (the one place that creates them); each viewer lives on
    // whatever the main window does.
    void openViewer(const std::string& path);
    // The file the command line named, opened in a viewer when openViewer is set.
    void showCommandLineFile(const std::string& path, bool openViewer);
    const std::string& commandLineFile() const { return commandLineFile_; }

    // The grid's marked files with the desktop's program for each.
    void openMarkedWithDesktop();
    // Properties and wallpaper act on the first file of the grid's selection.
    void showProperties();
    void setWallpaper(korvel::WallpaperMode mode);
    // The slideshow over the listed files, or the marked ones; startFile: the slide to begin
    // with, when listed.
    void startSlideshow(const std::string& startFile = {});
    // What the command line asked for at start. A new command line forgets the file the last
    // one named for its show.
    korvel::StartMode startMode() const { return startMode_; }
    void setStartMode(korvel::StartMode mode) {
        startMode_ = mode;
        showStartFile_.clear();
    }
    // Queues the start mode's slideshow after what the caller does next (none in normal mode);
    // with once, not when one was queued before.
    void queueStartShow(bool once);
    // The options dialog; its values are written to the settings file on OK.
    void editOptions();
    // The options dialog's favourites page alone; OK takes its list and nothing else.
    void organiseFavourites();
    void choosePlugins();
    void showHelp();
    void showAbout();

private:
    std::unique_ptr<TOptionFrm> makeOptionDialog();
    // The first file of the grid's selection rectangle in reading order, or -1.
    std::ptrdiff_t firstSelectedFile() const;

    QWidget* window_;
    std::string exePath_;
    Parts parts_;
    std::unique_ptr<korvel::TSPIs> pluginHost_;
    bool startedPlugins_ = false;  // this window searched them (not another window's host)
    bool pluginsSkipped_ = false;
    std::string commandLineFile_;
    std::string showStartFile_;  // the file "/s FILE" named: the start mode's show begins there
    korvel::StartMode startMode_ = korvel::StartMode::Normal;
    bool startShowQueued_ = false;
};
