// The main window's file commands. Renamed files keep their place in the file list, so the grid
// keeps its order, marks and thumbnails.
#include "app/FileCommands.h"

#include <sys/stat.h>

#include <QAction>
#include <QComboBox>
#include <QDropEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <cerrno>
#include <filesystem>

#include "app/KorvelMain.h"
#include "app/QuickFolderBar.h"
#include "app/UndoCommands.h"
#include "base/FileNames.h"
#include "browse/Drives.h"
#include "browse/FileList.h"
#include "browse/ui/DirTree.h"
#include "fileops/OneByOneRename.h"
#include "fileops/Rename.h"
#include "fileops/ui/NumberFrm.h"
#include "fileops/ui/OpCopyFrm.h"
#include "fileops/ui/RNameFrm.h"
#include "fileops/ui/SelectDir.h"
#include "platform/JobRunner.h"
#include "platform/PathText.h"
#include "platform/Translations.h"

using korvel::FileCommand;
using korvel::withSlash;

FileCommands::FileCommands(QWidget* window) : QObject(window), window_(window) {
    targetMenu_ = new QMenu(window);
    targetMenu_->setObjectName(QStringLiteral("PopupMenu1"));
    // The window's one job runner: its boxes open over the window, but it goes with this part.
    jobs_ = new JobRunner(window);
    jobs_->setParent(this);
    connect(jobs_, &JobRunner::busyChanged, this, [this] {
        if (hooks.stateChanged) hooks.stateChanged();
    });
}

FileCommands::~FileCommands() { stopJobs(); }

void FileCommands::stopJobs() {
    delete jobs_;
    jobs_ = nullptr;
}

bool FileCommands::jobRunning() const { return jobs_ && jobs_->busy(); }

std::vector<std::string> FileCommands::listedPaths() const {
    const korvel::FileList& files = hooks.files();
    std::vector<std::string> all;
    for (size_t i = 0; i < files.size(); ++i) all.push_back(files.path(i));
    return all;
}

std::vector<std::string> FileCommands::quickTargets() const {
    std::vector<std::string> quick;
    for (int i = 0; i < 10; ++i) quick.push_back(quickFolders_ ? quickFolders_->folder(i) : std::string());
    return quick;
}

QImage FileCommands::thumbnailOf(const std::string& path) const {
    const std::ptrdiff_t i = hooks.files().indexOf(path);
    return i >= 0 ? hooks.thumbnail(size_t(i)) : QImage();
}

bool FileCommands::ensureFolder(std::string path) {
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    if (QMessageBox::question(window_, tr("フォルダ作成"), pathText(path) + tr(" は存在しません。作成しますか？")) !=
        QMessageBox::Yes)
        return false;
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec || ::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        const QString reason = errorReasonLine(ec ? ec.value() : ENOTDIR);
        QMessageBox::critical(window_, tr("エラー"), withReason(tr("指定したフォルダを作成出来ません。"), reason));
        return false;
    }
    if (tree_) tree_->Reload();
    return true;
}

void FileCommands::runJob(FileCommand command, const std::vector<std::string>& files, const std::string& folder,
                          std::function<void()> then) {
    // The commands are disabled meanwhile; a queued event still finds this.
    if (!jobs_ || jobRunning()) return;
    if (files.empty()) {
        if (then) then();
        return;
    }
    startJob(std::make_shared<korvel::FileOperationJob>(command, files, folder, this->files()), std::move(then));
}

bool FileCommands::startJob(std::shared_ptr<korvel::Job> job, std::function<void()> then) {
    if (!jobs_ || jobRunning()) return false;
    JobRunner::Handlers handlers;
    handlers.progressWindow = true;
    handlers.finished = [this, then = std::move(then)] {
        if (then) then();
        // A folder chosen while the job ran is listed now, with what the job left.
        hooks.jobEnded();
    };
    return jobs_->start(std::move(job), std::move(handlers));
}

void FileCommands::runOnMarked(FileCommand command, const std::string& folder) {
    if (jobRunning()) return;
    if (command != FileCommand::Delete && !ensureFolder(folder)) return;
    runJob(command, hooks.markedPaths(), folder, [this, folder] {
        hooks.pruneVanished();
        hooks.listNewFiles(folder);
    });
}

void FileCommands::deleteFolder(const std::string& folder, std::function<void()> then) {
    auto job =
        std::make_shared<korvel::FileOperationJob>(FileCommand::Delete, std::vector{folder}, std::string(), files());
    job->recordAs = korvel::StepKind::FolderDelete;  // undone as a folder, the tree following
    startJob(std::move(job), std::move(then));
}

void FileCommands::deleteMarked() {
    if (!hooks.markedPaths().empty()) runOnMarked(FileCommand::Delete, {});
}

void FileCommands::openChooser(bool copy) {
    const std::vector<std::string> marked = hooks.markedPaths();
    if (marked.empty() || jobRunning()) return;
    TSelectDir::Hooks h;
    h.thumbs = [this](const std::string& path) { return thumbnailOf(path); };
    h.ensureFolder = [this](const std::string& p) { return ensureFolder(p); };
    // The chooser closes as the job starts; the list follows the job when it ended.
    h.run = [this](bool c, const std::vector<std::string>& files, const std::string& folder) {
        runJob(c ? FileCommand::Copy : FileCommand::Move, files, folder, [this, c, folder] {
            hooks.pruneVanished();
            if (c) hooks.listNewFiles(folder);
        });
    };
    h.browseFolder = [this, copy](const std::string& start) {
        return hooks.browseFolder(copy ? tr("コピー先フォルダを指定して下さい") : tr("移動先フォルダを指定して下さい"), start);
    };
    h.settingsPath = hooks.settingsPath;
    TSelectDir dialog(copy, listedPaths(), marked, quickTargets(), std::move(h), window_);
    connect(this, &FileCommands::thumbnailsArrived, dialog.lists, &TTwoLists::thumbnailsChanged);
    dialog.LoadSettings();
    if (dialog.exec() != QDialog::Accepted) return;
    dialog.SaveSettings();
}

// The title item shows the folder; the commands use its bytes.
void FileCommands::offerTarget(const std::string& folder, const QPoint& globalPos) {
    titleItem_->setText(pathText(folder));
    titleItem_->setData(QByteArray::fromStdString(folder));
    targetMenu_->popup(globalPos);
}

void FileCommands::moveToTarget() {
    runOnMarked(FileCommand::Move, withSlash(titleItem_->data().toByteArray().toStdString()));
}

void FileCommands::copyToTarget() {
    runOnMarked(FileCommand::Copy, withSlash(titleItem_->data().toByteArray().toStdString()));
}

void FileCommands::takeDrops(TDirTree* tree, const QuickFolderBar* quickFolders) {
    tree_ = tree;
    quickFolders_ = quickFolders;
    tree_->OnDragOver = [this](const QDropEvent* e, const QTreeWidgetItem* node) { return acceptsTreeDrag(e, node); };
    tree_->OnDragDrop = [this](QDropEvent* e) { onDropOnFolder(e); };
}

namespace {
// Only the grid makes drags of this type, and only one Korvel runs.
bool isGridDrag(const QDropEvent* event) {
    return event->mimeData()->hasFormat(QString::fromLatin1(TKorvelMain::MarkedFilesMimeType));
}
}  // namespace

bool FileCommands::acceptsTreeDrag(const QDropEvent* event, const QTreeWidgetItem* node) const {
    return node && isGridDrag(event) && !hooks.files().empty() && !jobRunning();
}

void FileCommands::onDropOnFolder(QDropEvent* event) {
    const std::string target = tree_->DropTargetPath();
    if (target.empty() || !isGridDrag(event) || jobRunning()) return;
    // The drop arrives inside the drag's own event loop; questions and menus open after it.
    // A drop on a Trash "files" folder deletes instead of asking where to.
    if (korvel::IsTrashFilesFolderOnDisk(target)) {
        QMetaObject::invokeMethod(this, [this, target] { runOnMarked(FileCommand::Delete, target); },
                                  Qt::QueuedConnection);
        return;
    }
    const QPoint at = event->position().toPoint();
    const QTreeWidgetItem* node = tree_->itemAt(at);
    if (!node) return;
    const std::string folder = TDirTree::nodePath(node);
    const QPoint global = tree_->viewport()->mapToGlobal(at);
    QMetaObject::invokeMethod(this, [this, folder, global] { offerTarget(folder, global); }, Qt::QueuedConnection);
}

bool FileCommands::onQuickFolderDrag(int button, QEvent* event) {
    auto* drop = static_cast<QDropEvent*>(event);  // enter and move events are drop events too
    const std::string folder = quickFolders_->folder(button);
    if (folder.empty() || hooks.files().empty() || !isGridDrag(drop) || jobRunning()) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop) {
        const QPoint global = quickFolders_->toScreen(button, drop->position().toPoint());
        QMetaObject::invokeMethod(this, [this, folder, global] { offerTarget(folder, global); },
                                  Qt::QueuedConnection);
    }
    return true;
}

void FileCommands::renameMarked() {
    korvel::OneByOneRename loop(hooks.markedPaths(), files());
    if (loop.finished()) return;
    auto show = [this](const korvel::RenameResult& r) {
        if (r.done()) return hooks.renamed(r.from, r.to);
        QMessageBox::critical(window_, tr("エラー"), withReason(coreText(korvel::renameFailedText()), reasonLine(r.why)));
    };
    while (!loop.finished()) {
        const std::ptrdiff_t index = hooks.files().indexOf(loop.file());
        TRNameFrm dialog(loop.file(), int(loop.total()), index >= 0 ? hooks.thumbnailNow(size_t(index)) : QImage(),
                         window_);
        const int result = dialog.exec();
        if (result == QDialog::Accepted) {
            show(loop.rename(dialog.RenameTarget()));
        } else if (result == TRNameFrm::YesToAll) {
            const TRNameFrm::NameCase nameCase = dialog.RenameAllMode();
            for (const korvel::RenameResult& r :
                 loop.renameAll([nameCase](const std::string& name) { return convertNameCase(name, nameCase); }))
                show(r);
        } else if (result == QDialog::Rejected) {
            loop.stop();
        } else {
            loop.skip();
        }
    }
    hooks.renamesEnded();
    // The renames of the whole loop are one step to undo.
    if (const int err = loop.record()) showNotRecorded(window_, err);
}

void FileCommands::serialRenameMarked() {
    const std::vector<std::string> marked = hooks.markedPaths();
    if (marked.empty()) return;
    TNumberFrm::Hooks h;
    h.thumbs = [this](const std::string& path) { return thumbnailOf(path); };
    h.renamed = [this](const std::string& from, const std::string& to) { hooks.renamed(from, to); };
    h.settingsPath = hooks.settingsPath;
    TNumberFrm dialog(hooks.shownFolder(), listedPaths(), marked, std::move(h), window_);
    connect(this, &FileCommands::thumbnailsArrived, dialog.lists, &TTwoLists::thumbnailsChanged);
    dialog.LoadSettings();
    const bool ok = dialog.exec() == QDialog::Accepted;
    hooks.renamesEnded();
    if (ok) dialog.SaveSettings();
}

// The conversion dialog, then the shown folder re-read when the copies went there.
void FileCommands::extendedCopyMarked() {
    const std::vector<std::string> marked = hooks.markedPaths();
    if (marked.empty()) return;
    TOpCopyFrm::Hooks h;
    h.thumbs = [this](const std::string& path) { return thumbnailOf(path); };
    h.ensureFolder = [this](const std::string& p) { return ensureFolder(p); };
    h.browseFolder = [this](const std::string& start) {
        return hooks.browseFolder(tr("コピー先フォルダを指定して下さい"), start);
    };
    h.settingsPath = hooks.settingsPath;
    h.photo = hooks.copyPhoto();
    TOpCopyFrm dialog(listedPaths(), marked, quickTargets(), std::move(h), window_);
    connect(this, &FileCommands::thumbnailsArrived, dialog.lists, &TTwoLists::thumbnailsChanged);
    dialog.LoadSettings();
    if (dialog.exec() != QDialog::Accepted) return;
    hooks.listNewFiles(pathBytes(dialog.DirCombo->currentText()));
    dialog.SaveSettings();
}
