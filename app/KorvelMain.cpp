// The main window's life: creation with the settings and the command line, first showing and
// activation, and closing with the settings written.
#include "app/KorvelMain.h"
#include "app/FolderTreePanel.h"
#include "app/StatusBar.h"

#include <unistd.h>

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>

#include "browse/ExtensionSet.h"
#include "browse/Thumbnails.h"
#include "browse/ui/DirTree.h"
#include "browse/ui/OrgStGrid.h"
#include "base/FileNames.h"
#include "formats/FormatRegistry.h"
#include "platform/Translations.h"
#include "settings/CommandLine.h"
#include "base/UserFolders.h"
#include "settings/WindowGeometry.h"
#include "view/ImageCommands.h"
#include "view/PreviewPane.h"

// The stored slots and the lists the window shows must agree.
static_assert(QuickFolderBar::kCount == korvel::kQuickFolderCount);
static_assert(korvel::kMaxHistory == size_t(korvel::kHistoryCount) && korvel::kMaxFavourites == korvel::kMaxHistory);

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s(const QString& q) { return q.toStdString(); }
}  // namespace

TKorvelMain::TKorvelMain(const std::vector<std::string>& arguments, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("TKorvelMain"));
    setWindowTitle(QStringLiteral("Korvel"));
    exePath_ = s(QCoreApplication::applicationFilePath());
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    setFont(font);
    resize(750, 598);
    bands_ = new MainBands(this);
    listing_ = new FolderListing(this);  // before the grid, which shows its list
    fileCommands_ = new FileCommands(this);
    undo_ = new UndoCommands(*fileCommands_, this);
    buildActions();
    buildPanels();
    quickFolders_ = new QuickFolderBar(this);
    statusBar_ = new MainStatusBar(statusBar());
    commands_ = new WindowCommands(this, exePath_,
                                   {listing_->files(), *thumbnailGrid_, *previewPanel_, bands_->folderBoxes(),
                                    *quickFolders_, *folderPanel_->tree()});
    commands_->hooks = {
        .photo = [this] { return photoSwitches(); },
        .heldOptions = [this] {
            const FolderListing::Options& listed = listing_->options;
            return WindowCommands::HeldOptions{display_, listed.showHiddenFiles, listed.subFoldersOnce};
        },
        .holdOptions = [this](const WindowCommands::HeldOptions& o) {
            display_ = o.display;
            listing_->options.showHiddenFiles = o.noHideFile, listing_->options.subFoldersOnce = o.subDirOnce;
        },
        .relist = [this] {
            OpenCurrentFolder();
            thumbnailGrid_->fitToSplitter();
        },
        .browseFolder = [this](const QString& prompt, const std::string& start) { return browseForFolder(prompt, start); },
        .treeFolder = [this] { return selectedFolder(); },
        .pluginsSkipped = [this] {
            updateActions();
            setWindowTitle(QStringLiteral("Korvel  No-PlugIn's"));
        },
    };
    connectGrid();
    // The preview shows the grid's current file and reports to the status bar and the commands.
    previewPanel_->setStatusBar(statusBar_);
    previewPanel_->hooks = {
        .fileAt = [this](int col, int row) -> std::optional<std::string> {
            const size_t index = size_t(row) * size_t(thumbnailGrid_->view()->colCount()) + size_t(col);
            if (index >= listing_->files().size()) return std::nullopt;
            return listing_->files().path(index);
        },
        .busy = [this] { return thumbnailBusy_; },
        .laidOut = [this] { return formState_ == FormState::Ready; },
        .opened = [this](const std::string& path) {
            if (!listing_->files().empty()) commands_->openViewer(path);
        },
        .stateChanged = [this] { updateActions(); },
        .fileVanished = [this] { listing_->pruneVanished(); },
    };
    listing_->attach({.tree = folderPanel_->tree(), .grid = thumbnailGrid_, .preview = previewPanel_, .status = statusBar_});
    listing_->hooks = {
        .building = [this] { return formState_ == FormState::Building; },
        .jobRunning = [this] { return fileCommands_->jobRunning(); },
        .folder = [this] { return selectedFolder(); },
        .filterMask = [this] { return bands_->filterMask(); },
        .sortKey = [this] { return int(infoMode_); },
        .layOut = [this] { LayoutGrid(display_.thumbSize, false); },
        .changed = [this] { updateActions(); },
    };
    connect(listing_, &FolderListing::listed, this, &TKorvelMain::folderListed);
    connect(folderPanel_->tree(), &TDirTree::OnChange, listing_, &FolderListing::folderChosen);
    connect(bands_, &MainBands::filterChanged, listing_, &FolderListing::listSelectedFolder);
    connectNavigation();
    connect(folderPanel_->tree(), &TDirTree::OnClick, this, &TKorvelMain::addSelectedFolderToHistory);
    folderPanel_->folderRenamed = [this](const std::string& from, const std::string& to) {
        followFolderRename(from, to);
        addSelectedFolderToHistory();
    };
    // After a click in the tree the keyboard goes back to the grid.
    connect(folderPanel_->tree(), &TDirTree::OnMouseUp, this, [this] {
        if (formState_ != FormState::Building) thumbnailGrid_->view()->setFocus();
    });
    connectFileCommands();
    // A turn saved here or in a viewer, or undone: what was made of the old bytes is made again.
    setRewriteFollower([this](const std::vector<std::string>& files) {
        if (thumbnailGrid_->rewritten(files, previewPanel_->path()).preview) previewPanel_->reload();
    });
    commands_->loadPlugins(mediaExts_);  // before the settings are read
    readSettingsAndArguments(arguments);
}

TKorvelMain::~TKorvelMain() {
    setRewriteFollower({});
    // A running file job is cancelled and waited for before anything it reports to goes.
    fileCommands_->stopJobs();
    // The workers go first, while everything they read is still here: each finishes the file in
    // hand, and what it hands to this window afterwards is dropped with the window.
    thumbnailGrid_->stopThumbnails();
    previewPanel_->stopDecoding();
    // Then the plug-ins they may have used, while the media list they registered into is here.
    // Nothing reads the file list from here on, so the listing may go before the grid showing it.
    commands_->unloadPlugins();
}

void TKorvelMain::readSettingsAndArguments(const std::vector<std::string>& arguments) {
    formState_ = FormState::Building;
    infoMode_ = InfoMode::FileName;
    settings_ = korvel::MainSettingsBinder(korvel::mainSettingsPath(exePath_));
    // File types offered by the filter box, newest registrations first.
    const std::string filter = korvel::GraphicFilter(korvel::TGraphic::classInfo, coreTranslator());
    bands_->setFilters(korvel::parseFilterItems(filter));
    thumbnailGrid_->startThumbnails();
    applySettings(settings_.load());
    if (!arguments.empty()) handleCommandLine(arguments, korvel::currentFolder());
    else if (!settings_.loaded().path.empty()) folderPanel_->tree()->SelectPath(settings_.loaded().path);
    if (folderPanel_->tree()->SelectedPath() == "?" && folderPanel_->tree()->topLevelItemCount() > 0)
        folderPanel_->tree()->setCurrentItem(folderPanel_->tree()->topLevelItem(0));
}

void TKorvelMain::applySettings(const korvel::MainSettings& st) {
    display_.thumbSize = st.thumbSize;
    display_.speedFlg = st.speedFlg;
    display_.sharedCache = st.sharedCache;
    listing_->options.showHiddenFiles = st.noHideFile;
    display_.changeImFlg = st.changeImFlg;
    display_.pictFitFlg = st.pictFitFlg;
    display_.exifRotate = st.exifRotate;
    display_.colorManage = st.colorManage;
    setTurnKeepsTime(st.turnKeepsTime);
    previewPanel_->setDisplay(photoSwitches(), display_.pictFitFlg);
    // The lists drop empty slots (and the history repeats) themselves.
    bands_->folderBoxes().setHistory({st.history.begin(), st.history.end()});
    bands_->folderBoxes().setFavourites({st.favorites.begin(), st.favorites.end()});
    quickFolders_->load(st.quickFolder, st.quickCaption);
    if (st.windOption) {
        listing_->options.subFolders = st.subDirFind;
        windowStateText_ = q(st.state);
        if (windowStateText_ != QLatin1String("wsMaximized")) {
            // A hand-edited geometry must neither hide the window nor make it larger than the
            // screen: it is fitted to the work areas, the primary screen's first.
            std::vector<korvel::WindowRect> areas;
            const QScreen* primary = QGuiApplication::primaryScreen();
            for (const QScreen* screen : QGuiApplication::screens()) {
                const QRect a = screen->availableGeometry();
                areas.insert(screen == primary ? areas.begin() : areas.end(), {a.left(), a.top(), a.width(), a.height()});
            }
            const int defLeft = areas.empty() ? 0 : areas.front().left, defTop = areas.empty() ? 0 : areas.front().top;
            const korvel::WindowRect r = korvel::fitWindowToWorkAreas(
                {st.left.value_or(defLeft), st.top.value_or(defTop), st.width, st.height}, areas, {750, 598}, {640, 460});
            // Left and Top place the frame, so the title bar stays on the work area.
            resize(r.width, r.height);
            move(r.left, r.top);
        }
        const korvel::PanelSizes sizes = korvel::panelSizes(st, width());
        const int sg = sizes.sgHeight;
        QList<int> v = gridSplitter_->sizes();
        gridSplitter_->setSizes({sg, std::max(1, v[0] + v[1] - sg)});
        if (st.showDirBtn) {
            folderPanel_->setHidden(true);
        } else {
            const int tw = sizes.treeWidth;
            QList<int> h = treeSplitter_->sizes();
            treeSplitter_->setSizes({tw, std::max(1, h[0] + h[1] - tw)});
        }
        bands_->restore(st);
        setShowCaptions(st.showCaption);
        previewPanel_->setFullSize(st.stretchBtn);
        infoMode_ = InfoMode(st.nameView);
        if (st.nameView >= 0 && st.nameView <= 4) setInfoMode(infoMode_);
        if (st.dirViewBtn) folderPanel_->setFavouritesOnly(true);
    }
    updateActions();
    listing_->options.subFoldersOnce = st.subDirOnce;
}

bool TKorvelMain::handleCommandLine(const std::vector<std::string>& arguments, const std::string& cwd) {
    const korvel::CommandLine cl = korvel::parseCommandLine(arguments);
    commands_->setStartMode(cl.startMode);
    bool found = false;
    for (const std::string& arg : cl.paths) {
        const korvel::PathTarget t = korvel::resolveArgument(arg, cwd);
        if (!t.exists) continue;
        found = true;
        // A running window's tree may not know a folder made since it read the parent.
        if (!folderPanel_->tree()->SelectPath(t.folder) && formState_ != FormState::Building) {
            folderPanel_->tree()->blockSignals(true);
            folderPanel_->tree()->Reload();
            folderPanel_->tree()->blockSignals(false);
            folderPanel_->tree()->SelectPath(t.folder);
        }
        if (t.isFile)
            commands_->showCommandLineFile(
                t.file, commands_->startMode() == korvel::StartMode::Normal && !settings_.loaded().fileOpen);
    }
    return found;
}

korvel::MainSettings TKorvelMain::collectSettings() const {
    korvel::MainSettings st = settings_.loaded();
    st.thumbSize = display_.thumbSize;
    st.state = s(windowStateText_);
    st.left = pos().x();  // the frame's, as they are applied
    st.top = pos().y();
    st.width = width();
    st.height = height();
    st.sgHeight = gridSplitter_->sizes().value(0);
    st.treeWidth = folderPanel_->hidden() ? folderPanel_->widthBeforeHiding() : treeSplitter_->sizes().value(0);
    st.nameView = int(infoMode_);
    st.showCaption = quickFolders_->captionsShown();
    st.stretchBtn = previewPanel_->fullSize();
    st.dirViewBtn = folderPanel_->favouritesOnly();
    st.showDirBtn = folderPanel_->hidden();
    st.subDirFind = listing_->options.subFolders;
    st.noHideFile = listing_->options.showHiddenFiles;
    st.changeImFlg = display_.changeImFlg;
    st.speedFlg = display_.speedFlg;
    st.sharedCache = display_.sharedCache;
    st.pictFitFlg = display_.pictFitFlg;
    st.exifRotate = display_.exifRotate;
    st.colorManage = display_.colorManage;
    bands_->store(st);
    st.path = selectedFolder();
    quickFolders_->folders().store(st.quickFolder, st.quickCaption);
    korvel::storeBoxItems(st, bands_->folderBoxes().history().items(), bands_->folderBoxes().favourites().items());
    return st;
}

bool TKorvelMain::writeSettingsOnClose() {
    // A loader caught before its decode closes the window with nothing written. A decode
    // already running would have held the close until it ended: its picture is dropped and the
    // settings are written.
    if (previewPanel_->stopLoading()) return true;
    windowStateText_ = isMaximized() ? QStringLiteral("wsMaximized") : QStringLiteral("wsNormal");
    settings_.save(collectSettings());  // a failed write at close is not reported
    return true;
}

void TKorvelMain::closeEvent(QCloseEvent* event) {
    if (!settingsWritten_) {
        settingsWritten_ = true;
        writeSettingsOnClose();
    }
    event->accept();
}

void TKorvelMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (formState_ == FormState::Building) onFirstShown();
}

void TKorvelMain::onFirstShown() {
    formState_ = FormState::Shown;
    listing_->folderChosen();
    addSelectedFolderToHistory();
    bands_->showHints();
    // Without a window manager no activation arrives; the first turn of the event loop counts as one.
    QTimer::singleShot(0, this, [this] {
        if (formState_ == FormState::Shown) onActivated();
    });
}

void TKorvelMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) onActivated();
}

void TKorvelMain::onActivated() {
    const bool first = formState_ == FormState::Shown;
    // Once only: the activation that follows the show's closing must not start another. The
    // show waits for the steps below, so the grid and preview are laid out under it.
    commands_->queueStartShow(true);
    if (commands_->startMode() != korvel::StartMode::SlideshowThenQuit &&
        windowStateText_ == QLatin1String("wsMaximized")) {
        windowStateText_.clear();
        showMaximized();
    }
    if (first) {
        formState_ = FormState::Ready;
        thumbnailGrid_->fitToSplitter();  // the layout is final now: snap the grid and fit the preview
        previewPanel_->layoutImage();
    }
}

void TKorvelMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (statusBar_) statusBar_->fitPathPanel();
}

void TKorvelMain::activateFromOutside(const std::vector<std::string>& arguments, const std::string& cwd) {
    // Restored as it was before it was minimised: a maximised window comes back maximised.
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    if (arguments.empty()) return;
    const std::string shown = selectedFolder();
    if (handleCommandLine(arguments, cwd)) {
        // The tree lists a folder it moves to; one already shown is listed again, as a start lists it.
        if (selectedFolder() == shown) listing_->folderChosen();
        addSelectedFolderToHistory();
    }
    // Before the first activation, that one starts the show.
    if (formState_ == FormState::Ready) commands_->queueStartShow(false);
}

std::string TKorvelMain::selectedFolder() const {
    const std::string p = folderPanel_->tree()->SelectedPath();
    return p == "?" ? std::string() : p;
}
