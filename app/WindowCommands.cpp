#include "app/WindowCommands.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <array>
#include <utility>

#include "app/FolderBoxes.h"
#include "app/OptionFrm.h"
#include "app/PlugInFrm.h"
#include "app/PreviewPanel.h"
#include "app/QuickFolderBar.h"
#include "app/ThumbnailGridPanel.h"
#include "base/Errors.h"
#include "base/IniFile.h"
#include "base/ProgramFolders.h"
#include "base/UiLanguage.h"
#include "base/UserFolders.h"
#include "browse/FileList.h"
#include "browse/GridModel.h"
#include "browse/ui/DirTree.h"
#include "browse/ui/OrgStGrid.h"
#include "formats/FormatRegistry.h"
#include "formats/SpiExclusion.h"
#include "formats/SpiGraphic.h"
#include "formats/SpiHost.h"
#include "formats/SpiStartup.h"
#include "platform/PathText.h"
#include "platform/ShellServices.h"
#include "platform/Translations.h"
#include "settings/OptionSettings.h"
#include "view/ShowFrm1.h"
#include "view/SubFrm.h"
#include "view/WallpaperCommands.h"
#include "settings/RegistrySettings.h"

WindowCommands::WindowCommands(QWidget* window, std::string exePath, const Parts& parts)
    : QObject(window), window_(window), exePath_(std::move(exePath)), parts_(parts) {}

WindowCommands::~WindowCommands() { unloadPlugins(); }

// Plug-ins.

void WindowCommands::loadPlugins(korvel::MediaExtList& media) {
    if (korvel::TSPIs::instance()) return;  // a host exists already: one per process
    startedPlugins_ = true;
    korvel::PluginStartupHooks startup;
    // Shift held while Korvel starts loads no plug-in.
    startup.skipHeld = [] { return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier); };
    startup.onSkipped = [this] {
        pluginsSkipped_ = true;
        if (hooks.pluginsSkipped) hooks.pluginsSkipped();
    };
    try {
        const std::string susie = korvel::readSusieFolder(korvel::registryPath(exePath_));
        pluginHost_ = korvel::startPlugins(exePath_, susie, media, std::move(startup));
    } catch (const std::exception&) {
        // The window works with the built-in formats alone.
    }
}

void WindowCommands::unloadPlugins() {
    // A search that failed may have registered formats before it threw: they go too.
    if (!startedPlugins_) return;
    startedPlugins_ = false;
    pluginHost_.reset();
    korvel::fileFormats().unregisterFormatClass(korvel::TSPIBitmap::classInfo);
}

void WindowCommands::choosePlugins() {
    TPlugInFrm dialog(korvel::TSPIs::instance(), korvel::exclusionFilePath(exePath_), window_);
    dialog.exec();
}

// Viewers, and the commands that hand the grid's files to other programs.

void WindowCommands::openViewer(const std::string& path) { ::openSubViewer(path, window_, hooks.photo()); }

void WindowCommands::showCommandLineFile(const std::string& path, bool open) {
    commandLineFile_ = path;
    showStartFile_ = path;
    if (open) openViewer(path);
}

void WindowCommands::openMarkedWithDesktop() {
    for (size_t i : parts_.grid.markedFiles()) openWithDefaultProgram(parts_.files.path(i));
}

std::ptrdiff_t WindowCommands::firstSelectedFile() const {
    const TOrgStGrid& cells = *parts_.grid.view();
    const korvel::GridCell a = cells.selection(), b = cells.selectionEnd();
    for (int r = a.row; r <= b.row; ++r)
        for (int c = a.col; c <= b.col; ++c) {
            const size_t i = size_t(r) * size_t(cells.colCount()) + size_t(c);
            if (i < parts_.files.size()) return std::ptrdiff_t(i);
        }
    return -1;
}

void WindowCommands::showProperties() {
    if (const std::ptrdiff_t i = firstSelectedFile(); i >= 0) {
        const std::string path = parts_.files.path(size_t(i));
        showShellProperties(path, window_, parts_.grid.refusedReason(path));
    }
}

void WindowCommands::setWallpaper(korvel::WallpaperMode mode) {
    // The same file the properties command of these menus shows.
    if (const std::ptrdiff_t i = firstSelectedFile(); i >= 0)
        setWallpaperFromFile(parts_.files.path(size_t(i)), mode, window_);
}

// The slideshow: the tool button, the View menu and the "/s" and "/se" start modes.

void WindowCommands::startSlideshow(const std::string& startFile) {
    const korvel::FileList& files = parts_.files;
    if (!files.empty()) {
        ShowSource source;
        source.files.reserve(files.size());
        for (size_t i = 0; i < files.size(); ++i) source.files.push_back(files.path(i));
        for (size_t i : parts_.grid.markedFiles()) source.marked.push_back(files.path(i));
        source.previewed = parts_.preview.path();
        source.startFile = startFile;
        source.gridColumns = parts_.grid.view()->colCount();
        source.settingsPath = korvel::mainSettingsPath(exePath_);
        source.photo = hooks.photo();
        TShowFrm1 show(source, window_);
        show.exec();
    }
    // Started with "/se": the program ends with the show, or at once when nothing is listed.
    if (startMode_ == korvel::StartMode::SlideshowThenQuit)
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void WindowCommands::queueStartShow(bool once) {
    if (startMode_ == korvel::StartMode::Normal || (once && startShowQueued_)) return;
    startShowQueued_ = true;
    QTimer::singleShot(0, this, [this] { startSlideshow(std::exchange(showStartFile_, {})); });
}

// The options dialog: its values are written to "Korvel.ini" on OK and the ones the window
// holds take effect at once.

std::unique_ptr<TOptionFrm> WindowCommands::makeOptionDialog() {
    TOptionFrm::Hooks dialogHooks;
    dialogHooks.browseFolder = hooks.browseFolder;
    dialogHooks.treeFolder = hooks.treeFolder();
    dialogHooks.clearHistory = [this] { parts_.folderBoxes.clearHistory(); };
    dialogHooks.folderCreated = [this] { parts_.folderTree.Reload(); };
    std::array<TOptionFrm::QuickFolder, TOptionFrm::kQuickRows> quick;
    for (size_t i = 0; i < quick.size(); ++i) {
        const korvel::QuickFolder& q = parts_.quickFolders.folders().at(int(i));
        quick[i] = {q.folder, pathText(q.caption)};
    }
    const korvel::OptionValues values =
        korvel::readOptionValues(korvel::IniFile::load(korvel::mainSettingsPath(exePath_)));
    return std::make_unique<TOptionFrm>(values, hooks.heldOptions().display.thumbSize, parts_.folderBoxes.favourites().items(),
                                        quick, std::move(dialogHooks), window_);
}

void WindowCommands::organiseFavourites() {
    const std::unique_ptr<TOptionFrm> dialog = makeOptionDialog();
    dialog->PageControl1->setTabVisible(0, false);
    dialog->PageControl1->setTabVisible(2, false);
    dialog->PageControl1->setCurrentIndex(1);
    if (dialog->exec() == QDialog::Accepted) parts_.folderBoxes.setFavourites(dialog->favorites());
}

void WindowCommands::editOptions() {
    const HeldOptions old = hooks.heldOptions();
    const std::string iniPath = korvel::mainSettingsPath(exePath_);
    const std::unique_ptr<TOptionFrm> owned = makeOptionDialog();
    TOptionFrm& dialog = *owned;
    dialog.PageControl1->setCurrentIndex(0);
    if (dialog.exec() != QDialog::Accepted) return;

    const korvel::OptionValues v = dialog.values();
    korvel::IniFile ini = korvel::IniFile::load(iniPath);
    korvel::writeOptionValues(ini, v);
    HeldOptions held = old;
    DisplayOptions& d = held.display;
    d.speedFlg = v.speedFlg, d.changeImFlg = v.changeImFlg, d.pictFitFlg = v.pictFitFlg;
    d.exifRotate = v.exifRotate, d.colorManage = v.colorManage, d.sharedCache = v.sharedCache;
    held.noHideFile = v.noHideFile, held.subDirOnce = v.subDirOnce;
    setTurnKeepsTime(v.turnKeepsTime);
    // Everything but the size, which relists on its own below.
    const bool displayChanged = held.noHideFile != old.noHideFile || !(d == old.display);
    if (!dialog.CellSizeCombo->currentText().isEmpty()) d.thumbSize = dialog.CellSizeCombo->currentText().toInt();
    hooks.holdOptions(held);
    if (displayChanged) parts_.preview.setDisplay(hooks.photo(), d.pictFitFlg);
    parts_.folderBoxes.setFavourites(dialog.favorites());
    for (int i = 0; i < TOptionFrm::kQuickRows; ++i) {
        const auto& [folder, caption] = dialog.quickFolder(i);
        parts_.quickFolders.bind(i, folder, pathBytes(caption));
    }
    // A file that could not be read is not replaced by the dialog's keys alone.
    if (!ini.readFailed()) {
        try {
            ini.save(iniPath);
        } catch (const korvel::Exception&) {
            // As at close: a failed write is not reported.
        }
    }
    if (d.thumbSize != old.display.thumbSize || displayChanged) hooks.relist();
}

// Help.

void WindowCommands::showHelp() {
    // The help file is named after the program and sits in its data folder, one for each language.
    const QFileInfo exe(QString::fromStdString(exePath_));
    const std::string name = korvel::helpFileName(exe.completeBaseName().toStdString(), shownLanguage());
    const QString help = QString::fromStdString(korvel::programFolders(exePath_).data + name);
    if (!QFileInfo::exists(help) || !QDesktopServices::openUrl(QUrl::fromLocalFile(help)))
        QMessageBox::information(window_, QStringLiteral("Korvel"), tr("ヘルプファイルを開けません。") + QLatin1Char('\n') + help);
}

void WindowCommands::showAbout() {
    QMessageBox::about(window_, tr("Korvelについて"),
                       QStringLiteral("<b>Korvel</b> %1<br>").arg(QStringLiteral(KORVEL_VERSION)) + tr("画像の整理と閲覧"));
}
