// The options dialog from the main window: the dialog's values are written to "Korvel.ini" on
// OK and the ones the window holds take effect at once. Organising favourites shows its
// favourites page alone.
#include <QComboBox>

#include "app/KorvelMain.h"
#include "app/OptionFrm.h"
#include "base/Errors.h"
#include "base/IniFile.h"
#include "base/UserFolders.h"
#include "browse/ui/DirTree.h"
#include "platform/PathText.h"

std::unique_ptr<TOptionFrm> TKorvelMain::makeOptionDialog() {
    TOptionFrm::Hooks hooks;
    hooks.browseFolder = [this](const QString& caption, const std::string& start) {
        return browseForFolder(caption, start);
    };
    hooks.treeFolder = selectedFolder();
    hooks.clearHistory = [this] { folderBoxes_->clearHistory(); };
    hooks.folderCreated = [this] { folderTree_->Reload(); };
    std::array<TOptionFrm::QuickFolder, TOptionFrm::kQuickRows> quick;
    for (size_t i = 0; i < quick.size(); ++i) {
        const korvel::QuickFolder& q = quickFolders_->folders().at(int(i));
        quick[i] = {q.folder, pathText(q.caption)};
    }
    const korvel::OptionValues values = korvel::readOptionValues(korvel::IniFile::load(korvel::mainSettingsPath(exePath_)));
    return std::make_unique<TOptionFrm>(values, ThumbSize, folderBoxes_->favourites().items(), quick, std::move(hooks), this);
}

void TKorvelMain::EditFavMenuClick() {
    // Only the favourites page; OK takes its list and nothing else.
    const std::unique_ptr<TOptionFrm> dialog = makeOptionDialog();
    dialog->PageControl1->setTabVisible(0, false);
    dialog->PageControl1->setTabVisible(2, false);
    dialog->PageControl1->setCurrentIndex(1);
    if (dialog->exec() == QDialog::Accepted) folderBoxes_->setFavourites(dialog->favorites());
}

void TKorvelMain::OptionMenuClick() {
    const int oldThumbSize = ThumbSize;
    const std::string iniPath = korvel::mainSettingsPath(exePath_);
    const std::unique_ptr<TOptionFrm> owned = makeOptionDialog();
    TOptionFrm& dialog = *owned;
    dialog.PageControl1->setCurrentIndex(0);
    if (dialog.exec() != QDialog::Accepted) return;

    const korvel::OptionValues v = dialog.values();
    korvel::IniFile ini = korvel::IniFile::load(iniPath);
    korvel::writeOptionValues(ini, v);
    FolderListing::Options& listed = listing_->options;
    const bool displayChanged = v.noHideFile != listed.showHiddenFiles || v.speedFlg != SpeedFlg ||
                                v.changeImFlg != ChangeImFlg || v.pictFitFlg != PictFitFlg ||
                                v.exifRotate != ExifRotate || v.colorManage != ColorManage || v.sharedCache != SharedCache;
    if (displayChanged) {
        listed.showHiddenFiles = v.noHideFile;
        SpeedFlg = v.speedFlg, ChangeImFlg = v.changeImFlg, PictFitFlg = v.pictFitFlg;
        ExifRotate = v.exifRotate, ColorManage = v.colorManage, SharedCache = v.sharedCache;
        previewPanel_->setDisplay(photoSwitches(), PictFitFlg);
    }
    if (!dialog.CellSizeCombo->currentText().isEmpty()) {
        ThumbSize = dialog.CellSizeCombo->currentText().toInt();
        InfoHeight = korvel::InfoHeightFor(ThumbSize);
    }
    listed.subFoldersOnce = v.subDirOnce;
    folderBoxes_->setFavourites(dialog.favorites());
    for (int i = 0; i < TOptionFrm::kQuickRows; ++i) {
        const auto& [folder, caption] = dialog.quickFolder(i);
        quickFolders_->bind(i, folder, pathBytes(caption));
    }
    // A file that could not be read is not replaced by the dialog's keys alone.
    if (!ini.readFailed()) {
        try {
            ini.save(iniPath);
        } catch (const korvel::Exception&) {
            // As at close: a failed write is not reported.
        }
    }
    if (ThumbSize != oldThumbSize || displayChanged) {
        OpenCurrentFolder();
        thumbnailGrid_->fitToSplitter();
    }
}
