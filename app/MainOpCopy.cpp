// Extended copy of the marked files: the conversion dialog, then the shown folder re-read when
// the copies went there.
#include <QToolButton>
#include <QComboBox>

#include "app/KorvelMain.h"
#include "base/UserFolders.h"
#include "fileops/ui/OpCopyFrm.h"
#include "platform/PathText.h"

void TKorvelMain::KCopyBtnClick() {
    if (selectedCount() == 0) return;
    std::vector<std::string> all, quick;
    for (size_t i = 0; i < fileList().size(); ++i) all.push_back(fileList().path(i));
    for (int i = 0; i < 10; ++i) quick.push_back(quickFolders_->folder(i));
    TOpCopyFrm::Hooks hooks;
    hooks.thumbs = [this](const std::string& path) {
        const std::ptrdiff_t i = fileList().indexOf(path);
        return i >= 0 ? thumbnailImage(size_t(i)) : QImage();
    };
    hooks.ensureFolder = [this](const std::string& p) { return EnsureFolderExists(p); };
    hooks.browseFolder = [this](const std::string& start) {
        return browseForFolder(tr("コピー先フォルダを指定して下さい"), start);
    };
    hooks.settingsPath = korvel::programSettingsPath(exePath_);
    // Copies are written in sRGB, whatever the monitor.
    hooks.photo = {ExifRotate, ColorManage, false};
    TOpCopyFrm dialog(all, CollectSelectedFiles(), quick, std::move(hooks), this);
    connect(this, &TKorvelMain::thumbnailsArrived, dialog.lists, &TTwoLists::thumbnailsChanged);
    dialog.LoadSettings();
    if (dialog.exec() != QDialog::Accepted) return;
    relistIfShown(pathBytes(dialog.DirCombo->currentText()));
    dialog.SaveSettings();
}
