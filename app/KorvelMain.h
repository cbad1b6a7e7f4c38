#pragma once
// The main window: bands of menus, tools and boxes at the top, the folder tree on the left, the
// thumbnail grid over the preview pane, quick-folder buttons on the right, the status bar below.
#include <QMainWindow>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "browse/FileList.h"
#include "imaging/Bitmap.h"
#include "formats/MediaFiles.h"
#include "formats/Picture.h"
#include "settings/MainSettings.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QScrollArea;
class QSplitter;
class QToolBar;
class QToolButton;
class QWidget;
class TDirTree;
namespace korvel {
class ThumbCache;
class ThumbnailBuilder;
class FileIconSource;
struct ThumbParams;
}  // namespace korvel
class TOrgStGrid;
class TPreviewPane;
class QMenu;

class TKorvelMain : public QMainWindow {
    Q_OBJECT
public:
    // arguments: the command line without the program name.
    explicit TKorvelMain(const QStringList& arguments = {}, QWidget* parent = nullptr);
    ~TKorvelMain() override;

    // State other windows and tests read.
    int FormReady = 0;
    int StartMode = 0;
    int ThumbSize = 100;
    int InfoHeight = 20;
    int NameView = 0;
    bool NoHideFile = false, SpeedFlg = false, ChangeImFlg = true, PictFitFlg = false, SubDirOnce = false;
    bool SubDirSearch = false;
    bool PreviewLoading = false;
    bool ThumbBusy = false;
    bool DrawingSuspended = false;
    bool CtrlDown = false, ShiftDown = false, ArrowWrap = false;
    int LastClickCol = 0, LastClickRow = 0;
    int MouseX = 0, MouseY = 0;
    bool PreviewOpen = true;
    std::string SubViewPath;
    // The previewed file as the file system names it; "" = nothing previewed. Status panel 1
    // shows its text.
    std::string PreviewPath;
    QString WindowStateText = QStringLiteral("wsNormal");
    QString RecycleBinName;
    int SavedTreeWidth = 0;
    korvel::FileList FileList;
    korvel::MediaExtList MediaExtList;
    korvel::TPicture PreviewPicture;
    korvel::TBitmap PreviewFitBitmap;
    bool FullSize = false;  // StretchBtn down: the preview at its own size

    // Controls, named as in the window description.
    QToolBar* MenuToolBar = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QToolBar* FilterBand = nullptr;
    QToolBar* FavoritesBand = nullptr;
    QToolBar* HistoryBand = nullptr;
    QToolBar* ToolBar2 = nullptr;
    QComboBox* FilterBox = nullptr;
    QComboBox* ComboBox1 = nullptr;  // history
    QComboBox* ComboBox2 = nullptr;  // favourites
    QSplitter* Splitter1 = nullptr;
    QSplitter* Splitter2 = nullptr;
    QWidget* Panel1 = nullptr;
    QWidget* Panel3 = nullptr;
    QWidget* Panel4 = nullptr;
    TDirTree* DirTree1 = nullptr;
    TOrgStGrid* StringGrid1 = nullptr;
    TPreviewPane* PaintBox1 = nullptr;
    QMenu* GridPopup = nullptr;
    QMenu* PaintBoxPopup = nullptr;
    QMenu* DirPopup = nullptr;
    QMenu* PopupMenu1 = nullptr;  // move here / copy here, for a target folder
    QScrollArea* ScrollBox1 = nullptr;
    std::array<QLabel*, 6> StatusPanels{};
    std::array<QToolButton*, 20> FolderBtns{};

    // Tool buttons and menu items by their names.
    QAction* action(const char* name) const;
    QToolButton* toolButton(const char* name) const;

    // The folder of the tree's selected node ("/"-terminated), or "" when none.
    std::string selectedFolder() const;

public slots:
    void FormShow();
    void FormActivate();
    void StatusBar1Resize();
    void ShowDirBtnClick();
    void ShowDirMenuClick();
    void ShowCaptionMenuClick();
    void ShowCaptionBtnClick();
    void File1Click();
    void Show1Click();
    void Close1Click();
    void Contents1Click();
    void About1Click();
    void DirTree1Change();
    void FilterBoxChange();
    void Refresh1Click();
    void SubDirFindBtnClick();
    void SubDirFindMenuClick();
    void SortBtn1Click();
    void SortBtn2Click();
    void DirViewBtnClick();
    void DirViewMenuClick();
    void NameViewClick(int mode);
    void OpenCurrentFolder();
    void UpdateFileButtons();
    // Grid.
    void LayoutGrid(int size, bool keepMarks);
    void ClearMarks();
    bool InCornerMark(int x, int y, int row, int col) const;
    void ShowCellPreview(int col, int row);
    void SelectAllClick();
    void NameViewBtnClick();
    void StringGrid1DblClick();
    void Splitter2Moved();
    void Panel2Resize();
    void PruneVanishedFiles();
    // The files of the marked cells, in index order.
    std::vector<size_t> markedFiles() const;
    // Preview.
    void PreviewLoaded();
    void LayoutPreview();
    void StretchBtnClick();
    void StretchMenuClick();
    void StretchChangeClick();
    void TurnClick(int turn);
    void ClipImageClick();
    void Open1Click();
    void Open3Click();
    void Property1Click();
    void Property3Click();
    // Opens a sub-viewer for a file (the one place that creates them).
    void openSubViewer(const std::string& path);
    void ComboBox1Click();
    void AddFavMenuClick();
    void DirTree1RightClick(const QPoint& globalPos);
    void ComboBox2Click();
    // Restores and raises the window (a second start asks for this).
    void activateFromOutside();
    // Plug-ins: searched and registered before the window reads its settings.
    void PlugInSet1Click();
    // Copy, move and delete of the marked files.
    void Copy2Click();
    void Move2Click();
    void Delete1Click();
    void Move1Click();
    void Copy1Click();
    void RunFileCommand(int mode, const std::string& folder);
    bool EnsureFolderExists(std::string path);
    std::vector<std::string> CollectSelectedFiles() const;

signals:
    // A listing of the selected folder has replaced the file list.
    void folderListed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormCreate(const QStringList& arguments);
    void loadPlugins();
    bool FormCloseQuery();
    void buildBands();
    void buildMenus();
    void buildPanels();
    void buildStatusBar();
    void buildQuickFolderBar();
    void buildGrid();
    void buildPreview();
    void StringGrid1DrawCell(QPainter& p, int col, int row, const QRect& rect);
    bool StringGrid1SelectCell(int col, int row);
    void StringGrid1MouseDown(QMouseEvent* event, bool partlyVisible);
    void StringGrid1KeyDown(QKeyEvent* event);
    void StringGrid1KeyUp(QKeyEvent* event);
    void WrapArrow(int key);
    bool FormKeyDown(QKeyEvent* event);
    bool FormKeyUp(QKeyEvent* event);
    void LoadPreviewImage(const std::string& path, quint64 request);
    void BuildThumbnails(size_t first, size_t count);
    QImage thumbnailImage(size_t index);
    void clearPreviewPanels();
    void reportVanishedFile();
    // The first file of the grid's selection rectangle in reading order, or -1.
    std::ptrdiff_t firstSelectedFile() const;
    // Panel 0: the file count, the panel widened to its text when the text needs more room.
    void showFileCount();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void applySettings(const korvel::MainSettings& s);
    korvel::MainSettings collectSettings() const;
    void handleCommandLine(const QStringList& arguments);
    void setQuickFolder(int index, const QString& folder, const QString& caption);
    void arrangeBands(const std::array<int, korvel::kBandCount>& ids,
                      const std::array<bool, korvel::kBandCount>& breaks);
    // Widths of the bands at positions 0 … 4; never narrower than their contents.
    void setBandWidths(const std::array<int, korvel::kBandCount>& widths);
    std::string currentFilterMask() const;
    void sortList(bool ascending);
    int selectedCount() const;
    QToolButton* addToolButton(const char* name, const QString& hint, int iconIndex, bool checkable);
    QAction* addMenuAction(QMenu* menu, const char* name, const QString& caption);

    std::string exePath_;
    korvel::MainSettings loaded_;
    std::array<int, korvel::kBandCount> bandOrder_{0, 1, 2, 3, 4};
    std::array<bool, korvel::kBandCount> bandBreaks_{false, true, true, false, false};
    QMenu* FileMenu = nullptr;
    QMenu* EditMenu = nullptr;
    QMenu* ViewMenu = nullptr;
    QMenu* OptionMenu = nullptr;
    QMenu* HelpMenu = nullptr;
    QMenu* NameViewMenu = nullptr;
    bool firstActivation_ = true;
    bool settingsWritten_ = false;
    bool settingsUnreadable_ = false;  // Korvel.ini exists but could not be read at start
    std::unique_ptr<korvel::ThumbCache> ThumbCache;
    std::unique_ptr<korvel::FileIconSource> iconSource_;
    std::unique_ptr<korvel::ThumbnailBuilder> thumbs_;
    korvel::ThumbParams thumbParams() const;
    void createThumbCache();
    bool vanishedReportQueued_ = false;
    bool pruneQueued_ = false;
    quint64 previewRequest_ = 0;   // the pending loader; 0 = told to stop
    quint64 previewCounter_ = 0;
    bool previewDrag_ = false;
    QPoint previewPressed_;
    const korvel::TBitmap* previewBitmap() const;
    void FitPreview();
    void buildPopups();
    void wallpaperFromSelection(int mode);
    void wallpaperFromPreview(int mode);
    void connectWallpaperItems();
    void startFileDrag();
    void resetThumbnailCache();
    void addSelectedFolderToHistory();
    void openFolderFromBox(const QComboBox* box);
    void connectFileOps();
    void openChooser(bool copy);
    void runFileOperation(int mode, const std::vector<std::string>& files, const std::string& folder);
    void relistIfShown(const std::string& folder);
};
