// Rename of the marked files, one dialog per file, and serial rename. Renamed files keep their
// place in the file list, so the grid keeps its order, marks and thumbnails.
#include <QListWidget>
#include <QMessageBox>

#include "app/KorvelMain.h"
#include "base/FileNames.h"
#include "base/UserFolders.h"
#include "browse/ui/OrgStGrid.h"
#include "fileops/OneByOneRename.h"
#include "fileops/Rename.h"
#include "fileops/ui/NumberFrm.h"
#include "fileops/ui/RNameFrm.h"
#include "platform/Translations.h"

void TKorvelMain::replaceRenamedPath(const std::string& from, const std::string& to) {
    listing_->renamed(from, to);
}

void TKorvelMain::ReNameBtn1Click() {
    korvel::OneByOneRename loop(CollectSelectedFiles());
    if (loop.finished()) return;
    auto show = [this](const korvel::RenameResult& r) {
        if (r.done()) return replaceRenamedPath(r.from, r.to);
        QMessageBox::critical(this, tr("エラー"), withReason(coreText(korvel::renameFailedText()), reasonLine(r.why)));
    };
    while (!loop.finished()) {
        const std::ptrdiff_t index = fileList().indexOf(loop.file());
        TRNameFrm dialog(loop.file(), int(loop.total()), index >= 0 ? thumbnailImageNow(size_t(index)) : QImage(), this);
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
    StringGrid1->viewport()->update();
    ShowCellPreview(StringGrid1->selection().col, StringGrid1->selection().row);
}

void TKorvelMain::NumberRNBtn1Click() {
    if (selectedCount() == 0) return;
    std::vector<std::string> all;
    for (size_t i = 0; i < fileList().size(); ++i) all.push_back(fileList().path(i));
    TNumberFrm::Hooks hooks;
    hooks.thumbs = [this](const std::string& path) {
        const std::ptrdiff_t i = fileList().indexOf(path);
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
