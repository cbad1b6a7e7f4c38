// Copy, move and delete of the marked files: the chooser, drops on the tree and the quick-folder
// buttons with the drop menu, the questions and the progress window of the file operations.
#include <sys/stat.h>

#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
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
#include "platform/PathText.h"
#include "platform/Translations.h"

namespace {

using korvel::withSlash;

// The questions of the file operations as message boxes, and a progress window that appears
// once the work has taken half a second.
class WindowFileOpUser : public korvel::FileOpUser {
public:
    explicit WindowFileOpUser(QWidget* owner) : owner_(owner) { clock_.start(); }

    korvel::ConflictAnswer askReplace(const std::string& source, const std::string& target) override {
        QMessageBox box(QMessageBox::Question, QObject::tr("ファイルの置き換え"),
                        pathText(target) + QObject::tr(" は既に存在します。置き換えますか？"), QMessageBox::NoButton, owner_);
        auto* replace = box.addButton(QObject::tr("置き換え(&Y)"), QMessageBox::YesRole);
        auto* skip = box.addButton(QObject::tr("スキップ(&N)"), QMessageBox::NoRole);
        auto* all = box.addButton(QObject::tr("全て置き換え(&A)"), QMessageBox::YesRole);
        auto* skipAll = box.addButton(QObject::tr("全てスキップ(&S)"), QMessageBox::NoRole);
        auto* cancel = box.addButton(QObject::tr("ｷｬﾝｾﾙ"), QMessageBox::RejectRole);
        box.setDefaultButton(skip);
        box.setEscapeButton(cancel);
        box.exec();
        const QAbstractButton* c = box.clickedButton();
        if (c == replace) return korvel::ConflictAnswer::Replace;
        if (c == skip) return korvel::ConflictAnswer::Skip;
        if (c == all) return korvel::ConflictAnswer::ReplaceAll;
        if (c == skipAll) return korvel::ConflictAnswer::SkipAll;
        return korvel::ConflictAnswer::Cancel;
    }
    // As the shell does: a file copied into its own folder is copied under a new name.
    korvel::ConflictAnswer askCopyOntoItself(const std::string&) override { return korvel::ConflictAnswer::KeepBoth; }
    korvel::ErrorAnswer reportError(const korvel::FileOpError& error) override {
        const QString text = withReason(coreText(error.text()), errorReasonLine(error.err));
        QMessageBox box(QMessageBox::Critical, QObject::tr("エラー"), text, QMessageBox::NoButton, owner_);
        auto* skip = box.addButton(QObject::tr("スキップ(&S)"), QMessageBox::AcceptRole);
        box.addButton(QObject::tr("ｷｬﾝｾﾙ"), QMessageBox::RejectRole);
        box.exec();
        return box.clickedButton() == skip ? korvel::ErrorAnswer::Skip : korvel::ErrorAnswer::Cancel;
    }
    bool confirmTrash(const std::vector<std::string>& paths) override {
        const QString what = paths.size() == 1 ? pathText(paths.front()) : QObject::tr("%1 個の項目").arg(paths.size());
        return QMessageBox::question(owner_, QObject::tr("削除の確認"), what + QObject::tr(" をごみ箱に移動しますか？")) ==
               QMessageBox::Yes;
    }
    bool confirmPermanentDelete(const std::string& path) override {
        return QMessageBox::warning(owner_, QObject::tr("削除の確認"),
                                    pathText(path) + QObject::tr(" はごみ箱に移動できません。完全に削除しますか？"),
                                    QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    }
    bool progress(const korvel::FileOpProgress& p) override {
        if (!dialog_ && clock_.elapsed() >= 500) {
            dialog_ = std::make_unique<QProgressDialog>(QString(), QObject::tr("ｷｬﾝｾﾙ"), 0, 1000, owner_);
            dialog_->setWindowModality(Qt::WindowModal);
            dialog_->setMinimumDuration(0);
        }
        if (dialog_) {
            const double part = p.bytesTotal ? double(p.bytesDone) / double(p.bytesTotal) : 0.0;
            dialog_->setValue(int(part * 1000));
            dialog_->setLabelText(QObject::tr("%1 / %2 ファイル  %3 / %4 MB\n%5")
                                      .arg(p.filesDone).arg(p.filesTotal)
                                      .arg(double(p.bytesDone) / 1048576.0, 0, 'f', 1)
                                      .arg(double(p.bytesTotal) / 1048576.0, 0, 'f', 1)
                                      .arg(pathText(p.current)));
        }
        QApplication::processEvents();
        return !(dialog_ && dialog_->wasCanceled());
    }

private:
    QWidget* owner_;
    QElapsedTimer clock_;
    std::unique_ptr<QProgressDialog> dialog_;
};

}  // namespace

std::vector<std::string> TKorvelMain::CollectSelectedFiles() const {
    std::vector<std::string> out;
    for (size_t i : markedFiles()) out.push_back(FileList.path(i));
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

void TKorvelMain::runFileOperation(int mode, const std::vector<std::string>& files, const std::string& folder) {
    if (files.empty()) return;
    WindowFileOpUser user(this);
    korvel::TFileOperation op(user);
    op.FromFiles = files;
    op.ToFiles = {folder};
    if (mode == 0) op.Delete();
    else if (mode == 1) op.Copy();
    else op.Move();
}

void TKorvelMain::RunFileCommand(int mode, const std::string& folder) {
    if (mode != 0 && !EnsureFolderExists(folder)) return;
    runFileOperation(mode, CollectSelectedFiles(), folder);
    PruneVanishedFiles();
    relistIfShown(folder);
}

void TKorvelMain::relistIfShown(const std::string& folder) {
    const std::string shown = selectedFolder();
    if (folder.empty() || shown.empty() || withSlash(shown) != withSlash(folder)) return;
    korvel::ListOptions options;
    options.mask = currentFilterMask();
    options.noHideFile = NoHideFile;
    options.nameView = int(infoMode_);
    korvel::ListFolder(FileList, shown, korvel::ListMode::Add, options);
    statusBar_->showFileCount(FileList.size());
    updateActions();
    LayoutGrid(ThumbSize, false);
}

void TKorvelMain::Delete1Click() {
    if (selectedCount() != 0) RunFileCommand(0, {});
}

void TKorvelMain::openChooser(bool copy) {
    if (selectedCount() == 0) return;
    std::vector<std::string> all, quick;
    for (size_t i = 0; i < FileList.size(); ++i) all.push_back(FileList.path(i));
    for (int i = 0; i < 10; ++i) quick.push_back(quickFolders_->folder(i));
    TSelectDir::Hooks hooks;
    hooks.thumbs = [this](const std::string& path) {
        const std::ptrdiff_t i = FileList.indexOf(path);
        return i >= 0 ? thumbnailImage(size_t(i)) : QImage();
    };
    hooks.ensureFolder = [this](const std::string& p) { return EnsureFolderExists(p); };
    hooks.run = [this](bool c, const std::vector<std::string>& files, const std::string& folder) {
        runFileOperation(c ? 1 : 2, files, folder);
    };
    hooks.browseFolder = [this, copy](const std::string& start) {
        return browseForFolder(copy ? tr("コピー先フォルダを指定して下さい") : tr("移動先フォルダを指定して下さい"), start);
    };
    hooks.settingsPath = korvel::programSettingsPath(exePath_);
    TSelectDir dialog(copy, all, CollectSelectedFiles(), quick, std::move(hooks), this);
    connect(this, &TKorvelMain::thumbnailsArrived, dialog.lists, &TTwoLists::thumbnailsChanged);
    dialog.LoadSettings();
    if (dialog.exec() != QDialog::Accepted) return;
    const std::string folder = pathBytes(dialog.DirCombo->currentText());
    PruneVanishedFiles();
    if (copy) relistIfShown(folder);
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
    RunFileCommand(2, withSlash(actions_.TargetPath1->data().toByteArray().toStdString()));
}
void TKorvelMain::Copy1Click() {
    RunFileCommand(1, withSlash(actions_.TargetPath1->data().toByteArray().toStdString()));
}

bool TKorvelMain::IsRecycleBinFolder(const std::string& path) const { return korvel::IsTrashFilesFolderOnDisk(path); }

// Only the grid makes drags of this type, and only one Korvel runs.
bool TKorvelMain::isGridDrag(const QDropEvent* event) const {
    return event->mimeData()->hasFormat(QString::fromLatin1(MarkedFilesMimeType));
}

bool TKorvelMain::DirTree1DragOver(const QDropEvent* event, const QTreeWidgetItem* node) const {
    return node && isGridDrag(event) && !FileList.empty();
}

void TKorvelMain::DirTree1DragDrop(QDropEvent* event) {
    const std::string target = folderTree_->DropTargetPath();
    if (target.empty() || !isGridDrag(event)) return;
    // The drop arrives inside the drag's own event loop; questions and menus open after it.
    if (IsRecycleBinFolder(target)) {
        QMetaObject::invokeMethod(this, [this, target] { RunFileCommand(0, target); }, Qt::QueuedConnection);
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
    if (folder.empty() || FileList.empty() || !isGridDrag(drop)) {
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
