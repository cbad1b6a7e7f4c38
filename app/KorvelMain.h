#pragma once
// The main window: bands of menus, tools and boxes at the top, the folder tree on the left, the
// thumbnail grid over the preview pane, quick-folder buttons on the right, the status bar below.
#include <QImage>
#include <QMainWindow>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/DisplayOptions.h"
#include "app/FileCommands.h"
#include "app/FolderBoxes.h"
#include "app/FolderListing.h"
#include "app/FolderTreePanel.h"
#include "app/MainBands.h"
#include "app/PreviewPanel.h"
#include "app/QuickFolderBar.h"
#include "app/StatusBar.h"
#include "app/ThumbnailGridPanel.h"
#include "app/UndoCommands.h"
#include "app/WindowCommands.h"
#include "formats/MediaFiles.h"
#include "settings/MainSettings.h"

struct PickerPlaces;
class QAction;
class QKeyEvent;
class QMenu;
class QSplitter;
class QToolButton;

class TKorvelMain : public QMainWindow {
    Q_OBJECT
public:
    // arguments: the command line without the program name, as bytes; relative paths are taken
    // from the current folder.
    explicit TKorvelMain(const std::vector<std::string>& arguments = {}, QWidget* parent = nullptr);
    ~TKorvelMain() override;

    // Commands of the menus, pop-up menus and the tool bar, built from one table.
    struct Actions {
        // Tool bar.
        QAction *CloseBtn, *CopyBtn, *KCopyBtn, *MoveBtn, *DeleteBtn, *ReNameBtn1, *NumberRNBtn1, *ShowBtn1,
            *StretchBtn, *DirViewBtn, *ShowDirBtn, *SubDirFindBtn, *NameViewBtn, *ShowCaptionBtn, *SortBtn1,
            *SortBtn2, *RefreshBtn, *OptionBtn, *PlugInSetBtn1, *HelpBtn, *VerBtn;
        // Main menu.
        QAction *Open1, *Close1, *Undo1, *Redo1, *Copy2, *KCopy, *Move2, *Delete1, *Rename1, *NumberRN1, *Wall2,
            *Wall_Tile1, *Wall_Center1, *Wall_Strech1, *Wall_Fit1, *SelectAll, *Show1, *StretchMenu, *DirViewMenu,
            *ShowDirMenu, *SubDirFindMenu, *NameViewMenu, *NameView1, *NameView2, *NameView3, *NameView4, *NameView5,
            *ShowCaptionMenu, *Refresh1, *Option1, *PlugInSet1, *Contents1, *About1;
        // The grid's pop-up menu.
        QAction *Undo2, *Redo2, *Open2, *Copy3, *KCopyMenu2, *Move3, *Delete2, *Rename2, *NumberRN2, *Wall1,
            *Wall_Tile, *Wall_Center, *Wall_Strech, *Wall_Fit, *SelectAll2, *Property1;
        // Move or copy to a quick folder.
        QAction *TargetPath1, *Move1, *Copy1, *CancelMenu;
        // The folder tree's pop-up menu.
        QAction *TargetPath2, *CreateDirMenu, *FRename1, *DeleteDirMenu, *AddFavMenu, *EditFavMenu, *Property2;
        // The preview's pop-up menu.
        QAction *Open3, *StretchChange, *Turn, *Turn1, *Turn2, *Turn3, *TurnSave, *Wall3, *Wall_Tile2, *Wall_Center2,
            *Wall_Strech2, *Wall_Fit2, *ClipImage, *Property3;
        // The quick-folder buttons' pop-up menu.
        QAction *QFShowMenu, *QFDeleteMenu;
    };
    const Actions& actions() const { return actions_; }
    // When a command's key acts: pressed in the window (before the focused control, not in an
    // edit box), released in the window, or released on the grid after the grid's own handling.
    enum class KeyWhen { Press, Release, GridRelease };
    struct KeyBinding;
    // The tool bar's button of an action.
    QToolButton* toolButton(const QAction* action) const;
    // Sets every command's enabled and checked state from the window's current state.
    void updateActions();

    // How far the window has come: built, shown, laid out after its first activation.
    enum class FormState { Building, Shown, Ready };
    // What the grid's info lines show (and the sort key); a stored value outside these is kept.
    enum class InfoMode { FileName, FileSize, Date, Extension, Taken };

    // Read-only views for other windows and tests.
    FormState formState() const { return formState_; }
    InfoMode infoMode() const { return infoMode_; }
    int infoHeight() const { return display_.infoHeight(); }
    // Photos turned by their EXIF orientation, and their embedded colour profiles applied.
    bool exifRotate() const { return display_.exifRotate; }
    bool colorManage() const { return display_.colorManage; }
    const std::string& subViewPath() const { return commands_->commandLineFile(); }
    const korvel::FileList& fileList() const { return listing_->files(); }
    const korvel::MediaExtList& mediaExtensions() const { return mediaExts_; }
    QString statusText(StatusPanel panel) const;

    // The history and favourites boxes, and the quick-folder buttons, with their lists.
    const FolderBoxes& folderBoxes() const { return bands_->folderBoxes(); }
    const QuickFolderBar& quickFolderBar() const { return *quickFolders_; }
    // The preview under the grid: the previewed file, its picture, whether it is loading.
    const PreviewPanel& preview() const { return *previewPanel_; }
    // The selected folder's files and the options they were listed with.
    const FolderListing& listing() const { return *listing_; }

    // The folder of the tree's selected node ("/"-terminated), or "" when none.
    std::string selectedFolder() const;
    // The folder picker of every browse button, over the dialog that asks: the folder chosen from
    // start (the tree's folder when start is empty), "" when cancelled.
    std::string browseForFolder(const QString& prompt, const std::string& start);
    // The favourites and bound quick folders the picker lists beside its tree.
    PickerPlaces pickerPlaces();
    // The files of the marked cells, in index order.
    std::vector<size_t> markedFiles() const;
    // A second start: restores and raises the window, then handles its arguments as the first
    // start does, relative ones taken from cwd. "/s" and "/se" start the slideshow.
    void activateFromOutside(const std::vector<std::string>& arguments = {}, const std::string& cwd = {});
    // What a drag of marked cells carries besides the file URLs: their paths as bytes, each
    // followed by a NUL.
    static constexpr const char* MarkedFilesMimeType = "application/x-korvel-marked-files";

private slots:
    void onFirstShown();
    void onActivated();
    void setInfoMode(InfoMode mode);
    void OpenCurrentFolder() { listing_->listSelectedFolder(); }
    // Grid.
    void LayoutGrid(int size, bool keepMarks);
    void ShowCellPreview(int col, int row) { previewPanel_->showCell(col, row); }
    void cycleInfoMode();
    void PruneVanishedFiles() { listing_->pruneVanished(); }
    void addMenuFolderToFavourites();
    // The paths of the marked files, in index order.
    std::vector<std::string> markedPaths() const;

signals:
    // A listing of the selected folder has replaced the file list.
    void folderListed();
    // Thumbnails built on the workers have reached the cache; views drawing them repaint.
    void thumbnailsArrived();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    FormState formState_ = FormState::Building;
    DisplayOptions display_;
    InfoMode infoMode_ = InfoMode::FileName;
    bool thumbnailBusy_ = false;  // a thumbnail is being built on this thread: the preview waits
    QString windowStateText_ = QStringLiteral("wsNormal");
    korvel::MediaExtList mediaExts_;

    MainBands* bands_ = nullptr;
    FolderListing* listing_ = nullptr;
    QSplitter* treeSplitter_ = nullptr;  // the tree beside the grid and preview
    QSplitter* gridSplitter_ = nullptr;  // the grid over the preview
    PreviewPanel* previewPanel_ = nullptr;
    FolderTreePanel* folderPanel_ = nullptr;
    MainStatusBar* statusBar_ = nullptr;  // owned by the window's status bar
    ThumbnailGridPanel* thumbnailGrid_ = nullptr;
    QMenu* gridMenu_ = nullptr;
    QuickFolderBar* quickFolders_ = nullptr;
    // Viewers, slideshow, wallpaper, options, plug-ins and help; holds the plug-in host.
    WindowCommands* commands_ = nullptr;
    Actions actions_{};

    struct ActionRow;
    static std::span<const ActionRow> actionRows();
    // Runs the command whose key event is; true when the key was taken.
    bool runKey(const QKeyEvent* event, KeyWhen when);
    void buildActions();
    void setShowCaptions(bool on);
    void readSettingsAndArguments(const std::vector<std::string>& arguments);
    bool writeSettingsOnClose();
    void buildPanels();
    // Wires the thumbnail grid to the window's settings, preview, viewers and commands.
    void connectGrid();
    QImage thumbnailImage(size_t index);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void applySettings(const korvel::MainSettings& s);
    korvel::MainSettings collectSettings() const;
    // True when an argument named an existing file or folder.
    bool handleCommandLine(const std::vector<std::string>& arguments, const std::string& cwd);
    int selectedCount() const;

    std::string exePath_;
    korvel::MainSettingsBinder settings_;
    bool firstActivation_ = true;
    bool settingsWritten_ = false;
    // The thumbnail built here and now when not cached (a dialog that shows one file).
    QImage thumbnailImageNow(size_t index);
    // How pictures are turned and coloured for this window: [Window] ExifRotate and ColorManage.
    korvel::PhotoSwitches photoSwitches() const { return {display_.exifRotate, display_.colorManage, true}; }
    void addSelectedFolderToHistory();
    // After the folder from was renamed to to (no trailing "/"): the history follows and the
    // selected folder is listed again.
    void followFolderRename(const std::string& from, const std::string& to);
    // Wires the boxes and the quick-folder bar to the tree, the grid and the menus.
    void connectNavigation();
    QMenu* quickFolderMenu_ = nullptr;
    // Copy, move, delete and rename of the marked files, with the window's one job runner.
    FileCommands* fileCommands_ = nullptr;
    void connectFileCommands();
    // Undo and redo of the recorded operations, as jobs of fileCommands_.
    UndoCommands* undo_ = nullptr;
};
