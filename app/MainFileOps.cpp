// Copy, move and delete of the marked files: the chooser, drops on the tree and the quick-folder
// buttons with the drop menu, the questions and the progress window of the file operations.
#include <sys/stat.h>

#include <QComboBox>
#include <QDropEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QToolButton>
#include <cerrno>
#include <filesystem>

#include "app/KorvelMain.h"
#include "base/FileNames.h"
#include "base/UserFolders.h"
#include "browse/Drives.h"
#include "browse/FolderScan.h"
#include "browse/ui/DirTree.h"
#include "browse/ui/OrgStGrid.h"
#include "fileops/FileOperation.h"
#include "fileops/ui/SelectDir.h"
#include "platform/JobRunner.h"
#include "platform/PathText.h"
#include "platform/Translations.h"

namespace {

using korvel::withSlash;

}  // namespace

std::vector<std::string> TKorvelMain::CollectSelectedFiles() const {
    std::vector<std::string> out;
    for (size_t i : markedFiles()) out.push_back(fileList().path(i));
    return out;
}

bool TKorvelMain::EnsureFolderExists(std::string path) {
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    if (QMessageBox::question(this, tr("フォルダ作成"), pathText(path) + tr(" は存在しません。作成しますか？")) !=
        QMessageBox::Yes)
        return false;
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec || ::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        const QString reason = errorReasonLine(ec ? ec.value() : ENOTDIR);
        QMessageBox::critical(this, tr("エラー"), withReason(tr("指定したフォルダを作成出来ません。"), reason));
        return false;
    }
    folderTree_->Reload();
    return true;
}

JobRunner* TKorvelMain::jobs() {
    if (!jobs_) {
        jobs_ = new JobRunner(this);
        connect(jobs_, &JobRunner::busyChanged, this, &TKorvelMain::updateActions);
    }
    return jobs_;
}

bool TKorvelMain::jobRunning() const { return jobs_ && jobs_->busy(); }

void TKorvelMain::runFileOperation(korvel::FileCommand command, const std::vector<std::string>& files,
                                   const std::string& folder, std::function<void()> then) {
    if (jobRunning()) return;  // the commands are disabled meanwhile; a queued event still finds this
    if (files.empty()) {
        if (then) then();
        return;
    }
    auto job = std::make_shared<korvel::FileOperationJob>(command, files, folder,
                                                          fileSystem ? *fileSystem : korvel::systemFileSystem());
    JobRunner::Handlers handlers;
    handlers.progressWindow = true;
    handlers.finished = [this, then = std::move(then)] {
        if (then) then();
        // A folder chosen while the job ran is listed now, with what the job left.
        listing_->jobEnded();
    };
    jobs()->start(std::move(job), std::move(handlers));
}

void TKorvelMain::RunFileCommand(korvel::FileCommand command, const std::string& folder) {
    if (jobRunning()) return;
    if (command != korvel::FileCommand::Delete && !EnsureFolderExists(folder)) return;
    runFileOperation(command, CollectSelectedFiles(), folder, [this, folder] {
        PruneVanishedFiles();
        relistIfShown(folder);
    });
}

void TKorvelMain::relistIfShown(const std::string& folder) { listing_->addNewFilesIfShown(folder); }

void TKorvelMain::Delete1Click() {
    if (selectedCount() != 0) RunFileCommand(korvel::FileCommand::Delete, {});
}

void TKorvelMain::openChooser(bool copy) {
    if (selectedCount() == 0 || jobRunning()) return;
    std::vector<std::string> all, quick;
    for (size_t i = 0; i < fileList().size(); ++i) all.push_back(fileList().path(i));
    for (int i = 0; i < 10; ++i) quick.push_back(quickFolders_->folder(i));
    TSelectDir::Hooks hooks;
    hooks.thumbs = [this](const std::string& path) {
        const std::ptrdiff_t i = fileList().indexOf(path);
        return i >= 0 ? thumbnailImage(size_t(i)) : QImage();
    };
    hooks.ensureFolder = [this](const std::string& p) { return EnsureFolderExists(p); };
    // The chooser closes as the job starts; the list follows the job when it ended.
    hooks.run = [this](bool c, const std::vector<std::string>& files, const std::string& folder) {
        runFileOperation(c ? korvel::FileCommand::Copy : korvel::FileCommand::Move, files, folder, [this, c, folder] {
            PruneVanishedFiles();
            if (c) relistIfShown(folder);
        });
    };
    hooks.browseFolder = [this, copy](const std::string& start) {
        return browseForFolder(copy ? tr("コピー先フォルダを指定して下さい") : tr("移動先フォルダを指定して下さい"), start);
    };
    hooks.settingsPath = korvel::programSettingsPath(exePath_);
    TSelectDir dialog(copy, all, CollectSelectedFiles(), quick, std::move(hooks), this);
    connect(this, &TKorvelMain::thumbnailsArrived, dialog.lists, &TTwoLists::thumbnailsChanged);
    dialog.LoadSettings();
    if (dialog.exec() != QDialog::Accepted) return;
    dialog.SaveSettings();
}

void TKorvelMain::Copy2Click() { openChooser(true); }
void TKorvelMain::Move2Click() { openChooser(false); }

// The title item shows the folder; the commands use its bytes.
void TKorvelMain::showTargetPopup(const std::string& folder, const QPoint& globalPos) {
    actions_.TargetPath1->setText(pathText(folder));
    actions_.TargetPath1->setData(QByteArray::fromStdString(folder));
    PopupMenu1->popup(globalPos);
}

void TKorvelMain::Move1Click() {
    RunFileCommand(korvel::FileCommand::Move, withSlash(actions_.TargetPath1->data().toByteArray().toStdString()));
}
void TKorvelMain::Copy1Click() {
    RunFileCommand(korvel::FileCommand::Copy, withSlash(actions_.TargetPath1->data().toByteArray().toStdString()));
}

bool TKorvelMain::IsRecycleBinFolder(const std::string& path) const { return korvel::IsTrashFilesFolderOnDisk(path); }

// Only the grid makes drags of this type, and only one Korvel runs.
bool TKorvelMain::isGridDrag(const QDropEvent* event) const {
    return event->mimeData()->hasFormat(QString::fromLatin1(MarkedFilesMimeType));
}

bool TKorvelMain::DirTree1DragOver(const QDropEvent* event, const QTreeWidgetItem* node) const {
    return node && isGridDrag(event) && !fileList().empty() && !jobRunning();
}

void TKorvelMain::DirTree1DragDrop(QDropEvent* event) {
    const std::string target = folderTree_->DropTargetPath();
    if (target.empty() || !isGridDrag(event) || jobRunning()) return;
    // The drop arrives inside the drag's own event loop; questions and menus open after it.
    if (IsRecycleBinFolder(target)) {
        QMetaObject::invokeMethod(this, [this, target] { RunFileCommand(korvel::FileCommand::Delete, target); }, Qt::QueuedConnection);
        return;
    }
    const QPoint at = event->position().toPoint();
    const QTreeWidgetItem* node = folderTree_->itemAt(at);
    if (!node) return;
    const std::string folder = TDirTree::nodePath(node);
    const QPoint global = folderTree_->viewport()->mapToGlobal(at);
    QMetaObject::invokeMethod(this, [this, folder, global] { showTargetPopup(folder, global); }, Qt::QueuedConnection);
}

bool TKorvelMain::quickFolderDragEvent(int button, QEvent* event) {
    auto* drop = static_cast<QDropEvent*>(event);  // enter and move events are drop events too
    const std::string folder = quickFolders_->folder(button);
    if (folder.empty() || fileList().empty() || !isGridDrag(drop) || jobRunning()) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop) {
        const QPoint global = quickFolders_->toScreen(button, drop->position().toPoint());
        QMetaObject::invokeMethod(this, [this, folder, global] { showTargetPopup(folder, global); },
                                  Qt::QueuedConnection);
    }
    return true;
}
