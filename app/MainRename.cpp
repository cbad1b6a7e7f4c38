// Rename of the marked files, one dialog per file, and serial rename. Renamed files keep their
// place in the file list, so the grid keeps its order, marks and thumbnails.
#include <QListWidget>
#include <QMessageBox>

#include "app/KorvelMain.h"
#include "base/FileNames.h"
#include "base/UserFolders.h"
#include "browse/ui/OrgStGrid.h"
#include "fileops/Rename.h"
#include "fileops/ui/NumberFrm.h"
#include "fileops/ui/RNameFrm.h"
#include "platform/Translations.h"

void TKorvelMain::replaceRenamedPath(const std::string& from, const std::string& to) {
    const std::ptrdiff_t i = FileList.indexOf(from);
    if (i >= 0) FileList.setPath(size_t(i), to);
}

void TKorvelMain::ReNameBtn1Click() {
    const std::vector<std::string> files = CollectSelectedFiles();
    if (files.empty()) return;
    // Each file keeps its own folder, also when the sub-folder search listed it.
    auto rename = [this](const std::string& from, const std::string& name) {
        const std::string to = korvel::extractFilePath(from) + name;
        const korvel::FailureReason why = korvel::renameInPlace(korvel::systemFileSystem(), from, to);
        if (why.empty()) return replaceRenamedPath(from, to);
        QMessageBox::critical(this, tr("エラー"), withReason(coreText(korvel::renameFailedText()), reasonLine(why)));
    };
    for (size_t n = 0; n < files.size(); ++n) {
        const std::string& path = files[n];
        const std::ptrdiff_t index = FileList.indexOf(path);
        TRNameFrm dialog(path, int(files.size()), index >= 0 ? thumbnailImageNow(size_t(index)) : QImage(), this);
        const int result = dialog.exec();
        if (result == QDialog::Accepted) {
            rename(path, dialog.RenameTarget());
        } else if (result == TRNameFrm::YesToAll) {
            for (size_t k = n; k < files.size(); ++k)
                rename(files[k], convertNameCase(korvel::extractFileName(files[k]), dialog.RenameAllMode()));
            break;
        } else if (result == QDialog::Rejected) {
            break;
        }
    }
    StringGrid1->viewport()->update();
    ShowCellPreview(StringGrid1->selection().col, StringGrid1->selection().row);
}

void TKorvelMain::NumberRNBtn1Click() {
    if (selectedCount() == 0) return;
    std::vector<std::string> all;
    for (size_t i = 0; i < FileList.size(); ++i) all.push_back(FileList.path(i));
    TNumberFrm::Hooks hooks;
    hooks.thumbs = [this](const std::string& path) {
        const std::ptrdiff_t i = FileList.indexOf(path);
        return i >= 0 ? thumbnailImage(size_t(i)) : QImage();
    };
    hooks.renamed = [this](const std::string& from, const std::string& to) { replaceRenamedPath(from, to); };
    hooks.settingsPath = korvel::programSettingsPath(exePath_);
    TNumberFrm dialog(selectedFolder(), all, CollectSelectedFiles(), std::move(hooks), this);
    connect(this, &TKorvelMain::thumbnailsArrived, dialog.lists, &TTwoLists::thumbnailsChanged);
    dialog.LoadSettings();
    const bool ok = dialog.exec() == QDialog::Accepted;
    StringGrid1->viewport()->update();
    ShowCellPreview(StringGrid1->selection().col, StringGrid1->selection().row);
    if (ok) dialog.SaveSettings();
}
