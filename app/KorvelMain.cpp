// The main window's life: creation with the settings and the command line, first showing and
// activation, and closing with the settings written.
#include "app/KorvelMain.h"
#include "platform/JobRunner.h"

#include <unistd.h>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "browse/ExtensionSet.h"
#include "browse/SharedThumbs.h"
#include "browse/ThumbCache.h"
#include "browse/ThumbPool.h"
#include "browse/Thumbnails.h"
#include "browse/ui/DirTree.h"
#include "browse/ui/OrgStGrid.h"
#include "base/FileNames.h"
#include "formats/FormatRegistry.h"
#include "nav/QuickFolders.h"
#include "platform/Translations.h"
#include "settings/CommandLine.h"
#include "base/UserFolders.h"
#include "settings/WindowGeometry.h"
#include "platform/PathText.h"
#include "view/PreviewPane.h"

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s(const QString& q) { return q.toStdString(); }
}  // namespace

TKorvelMain::TKorvelMain(const std::vector<std::string>& arguments, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("TKorvelMain"));
    setWindowTitle(QStringLiteral("Korvel"));
    exePath_ = s(QCoreApplication::applicationFilePath());
    previewThread_.setMaxThreadCount(1);
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    setFont(font);
    resize(750, 598);
    buildBands();
    buildActions();
    buildPanels();
    buildQuickFolderBar();
    buildStatusBar();
    buildGrid();
    buildPreview();
    DirTree1->OnAddDir = [this](const std::string& path) { return isFavoriteOrLeadsToOne(path); };
    connect(DirTree1, &TDirTree::OnChange, this, &TKorvelMain::DirTree1Change);
    connect(DirTree1, &TDirTree::OnClick, this, &TKorvelMain::addSelectedFolderToHistory);
    connect(DirTree1, &TDirTree::OnRightClick, this, &TKorvelMain::DirTree1RightClick);
    connect(DirTree1, &TDirTree::OnKeyUp, this, &TKorvelMain::DirTree1KeyUp);
    connect(DirPopup, &QMenu::aboutToShow, this, &TKorvelMain::DirPopupPopup);
    DirTree1->OnDragOver = [this](const QDropEvent* e, const QTreeWidgetItem* node) { return DirTree1DragOver(e, node); };
    DirTree1->OnDragDrop = [this](QDropEvent* e) { DirTree1DragDrop(e); };
    // After a click in the tree the keyboard goes back to the grid.
    connect(DirTree1, &TDirTree::OnMouseUp, this, [this] {
        if (FormReady > 0) StringGrid1->setFocus();
    });
    connect(ComboBox1, &QComboBox::activated, this, &TKorvelMain::ComboBox1Click);
    // A typed path opens on Enter; the history itself records it only when it was opened.
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    connect(ComboBox1->lineEdit(), &QLineEdit::returnPressed, this, &TKorvelMain::ComboBox1Click);
    connect(ComboBox2, &QComboBox::activated, this, &TKorvelMain::ComboBox2Click);
    // Each box's hint shows its text, also while a path is being typed.
    connect(ComboBox1, &QComboBox::currentTextChanged, ComboBox1, &QWidget::setToolTip);
    connect(ComboBox2, &QComboBox::currentTextChanged, ComboBox2, &QWidget::setToolTip);
    connect(FilterBox, &QComboBox::currentIndexChanged, this, &TKorvelMain::FilterBoxChange);
    jobs();  // the window's one job runner, made with it and deleted first in its destructor
    loadPlugins();
    FormCreate(arguments);
}

TKorvelMain::~TKorvelMain() {
    // A running file job is cancelled and waited for before anything it reports to goes.
    delete jobs_;
    jobs_ = nullptr;
    // A preview decode still running posts to this window when it ends.
    previewThread_.waitForDone();
}

void TKorvelMain::FormCreate(const std::vector<std::string>& arguments) {
    FormReady = 0;
    NameView = 0;
    settings_ = korvel::MainSettingsBinder(korvel::mainSettingsPath(exePath_));
    // File types offered by the filter box, newest registrations first.
    FilterBox->blockSignals(true);
    const std::string filter = korvel::GraphicFilter(korvel::TGraphic::classInfo, coreTranslator());
    for (const korvel::FilterItem& item : korvel::parseFilterItems(filter))
        FilterBox->addItem(q(item.description), q(item.mask));
    FilterBox->setCurrentIndex(0);
    FilterBox->blockSignals(false);
    createThumbCache();
    applySettings(settings_.load());
    if (!arguments.empty()) handleCommandLine(arguments, korvel::currentFolder());
    else if (!settings_.loaded().path.empty()) DirTree1->SelectPath(settings_.loaded().path);
    if (DirTree1->SelectedPath() == "?" && DirTree1->topLevelItemCount() > 0)
        DirTree1->setCurrentItem(DirTree1->topLevelItem(0));
    RecycleBinName = tr("ゴミ箱");
}

void TKorvelMain::applySettings(const korvel::MainSettings& st) {
    ThumbSize = st.thumbSize;
    InfoHeight = korvel::InfoHeightFor(ThumbSize);
    SpeedFlg = st.speedFlg;
    SharedCache = st.sharedCache;
    NoHideFile = st.noHideFile;
    ChangeImFlg = st.changeImFlg;
    PictFitFlg = st.pictFitFlg;
    ExifRotate = st.exifRotate;
    ColorManage = st.colorManage;
    preview_.photo = photoSwitches();
    setHistoryPaths(korvel::historyItems(st));
    setFavoritePaths(korvel::favoriteItems(st));
    for (int i = 0; i < korvel::kQuickFolderCount; ++i) {
        const std::string& folder = st.quickFolder[i];
        std::string caption = folder.empty() ? std::string() : st.quickCaption[i];
        if (!folder.empty() && caption.empty()) caption = korvel::MakeQuickFolderCaption(folder);
        setQuickFolder(i, folder, pathText(caption));
    }
    if (st.windOption) {
        SubDirSearch = st.subDirFind;
        WindowStateText = q(st.state);
        if (WindowStateText != QLatin1String("wsMaximized")) {
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
        QList<int> v = Splitter2->sizes();
        Splitter2->setSizes({sg, std::max(1, v[0] + v[1] - sg)});
        if (st.showDirBtn) {
            setTreeHidden(true);
        } else {
            const int tw = sizes.treeWidth;
            QList<int> h = Splitter1->sizes();
            Splitter1->setSizes({tw, std::max(1, h[0] + h[1] - tw)});
        }
        restoreBands(st.coolId, st.coolBreak, sizes.bandWidths);
        setShowCaptions(st.showCaption);
        setFullSize(st.stretchBtn);
        NameView = st.nameView;
        if (NameView >= 0 && NameView <= 3) NameViewClick(NameView);
        FavoritesOnly = st.dirViewBtn;
        if (st.dirViewBtn) DirTree1->Reload();
    }
    updateActions();
    SubDirOnce = st.subDirOnce;
}

bool TKorvelMain::handleCommandLine(const std::vector<std::string>& arguments, const std::string& cwd) {
    const korvel::CommandLine cl = korvel::parseCommandLine(arguments);
    StartMode = cl.startMode;
    bool found = false;
    for (const std::string& arg : cl.paths) {
        const korvel::PathTarget t = korvel::resolveArgument(arg, cwd);
        if (!t.exists) continue;
        found = true;
        // A running window's tree may not know a folder made since it read the parent.
        if (!DirTree1->SelectPath(t.folder) && FormReady > 0) {
            DirTree1->blockSignals(true);
            DirTree1->Reload();
            DirTree1->blockSignals(false);
            DirTree1->SelectPath(t.folder);
        }
        if (t.isFile) {
            SubViewPath = t.file;
            if (StartMode == 0 && !settings_.loaded().fileOpen) openSubViewer(SubViewPath);
        }
    }
    return found;
}

korvel::MainSettings TKorvelMain::collectSettings() const {
    korvel::MainSettings st = settings_.loaded();
    st.thumbSize = ThumbSize;
    st.state = s(WindowStateText);
    st.left = pos().x();  // the frame's, as they are applied
    st.top = pos().y();
    st.width = width();
    st.height = height();
    st.sgHeight = Splitter2->sizes().value(0);
    st.treeWidth = TreeHidden ? SavedTreeWidth : Splitter1->sizes().value(0);
    st.nameView = NameView;
    st.showCaption = ShowCaptions;
    st.stretchBtn = FullSize;
    st.dirViewBtn = FavoritesOnly;
    st.showDirBtn = TreeHidden;
    st.subDirFind = SubDirSearch;
    st.noHideFile = NoHideFile;
    st.changeImFlg = ChangeImFlg;
    st.speedFlg = SpeedFlg;
    st.sharedCache = SharedCache;
    st.pictFitFlg = PictFitFlg;
    st.exifRotate = ExifRotate;
    st.colorManage = ColorManage;
    const QToolBar* bands[] = {MenuToolBar, ToolBar1, FilterBand, FavoritesBand, HistoryBand};
    std::array<korvel::BandPlace, korvel::kBandCount> places;
    for (size_t i = 0; i < places.size(); ++i) places[i] = {bands[i]->x(), bands[i]->y(), bands[i]->width()};
    korvel::storeBands(st, places);
    st.path = selectedFolder();
    for (int i = 0; i < korvel::kQuickFolderCount; ++i) {
        st.quickFolder[i] = quickFolder(i);
        st.quickCaption[i] = pathBytes(FolderBtns[i]->text());
    }
    korvel::storeBoxItems(st, historyPaths(), favoritePaths());
    return st;
}

bool TKorvelMain::FormCloseQuery() {
    if (preview_.loading() && !previewDecoding_) {
        preview_.stop();  // nothing is written
        return true;
    }
    // A decode already running would have held the close until it ended: its picture is
    // dropped and the settings are written.
    preview_.stop();
    previewWanted_.reset();
    WindowStateText = isMaximized() ? QStringLiteral("wsMaximized") : QStringLiteral("wsNormal");
    settings_.save(collectSettings());  // a failed write at close is not reported
    return true;
}

void TKorvelMain::closeEvent(QCloseEvent* event) {
    if (!settingsWritten_) {
        settingsWritten_ = true;
        FormCloseQuery();
    }
    event->accept();
}

void TKorvelMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (FormReady == 0) FormShow();
}

void TKorvelMain::FormShow() {
    FormReady = 1;
    DirTree1Change();
    addSelectedFolderToHistory();
    FilterBox->setToolTip(FilterBox->currentText());
    ComboBox1->setToolTip(ComboBox1->currentText());
    ComboBox2->setToolTip(ComboBox2->currentText());
    // Without a window manager no activation arrives; the first turn of the event loop counts as one.
    QTimer::singleShot(0, this, [this] {
        if (FormReady == 1) FormActivate();
    });
}

void TKorvelMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TKorvelMain::FormActivate() {
    const bool first = FormReady == 1;
    if (StartMode != 0 && !startShowDone_) {
        // Once only: the activation that follows the show's closing must not start another. The
        // show waits for the steps below, so the grid and preview are laid out under it.
        startShowDone_ = true;
        QTimer::singleShot(0, this, &TKorvelMain::ShowBtn1Click);
    }
    if (StartMode != 2 && WindowStateText == QLatin1String("wsMaximized")) {
        WindowStateText.clear();
        showMaximized();
    }
    if (first) {
        FormReady = 2;
        Panel2Resize();  // the layout is final now: snap the grid and fit the preview
        LayoutPreview();
    }
}

void TKorvelMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    StatusBar1Resize();
}

void TKorvelMain::activateFromOutside(const std::vector<std::string>& arguments, const std::string& cwd) {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
    if (arguments.empty()) return;
    const std::string shown = selectedFolder();
    if (handleCommandLine(arguments, cwd)) {
        // The tree lists a folder it moves to; one already shown is listed again, as a start lists it.
        if (selectedFolder() == shown) DirTree1Change();
        addSelectedFolderToHistory();
    }
    // Before the first activation, that one starts the show.
    if (StartMode != 0 && FormReady >= 2) {
        startShowDone_ = true;
        QTimer::singleShot(0, this, &TKorvelMain::ShowBtn1Click);
    }
}

std::string TKorvelMain::selectedFolder() const {
    const std::string p = DirTree1->SelectedPath();
    return p == "?" ? std::string() : p;
}
