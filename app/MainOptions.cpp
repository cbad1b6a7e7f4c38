// The options dialog from the main window: the dialog's values are written to "Korvel.ini" on
// OK and the ones the window holds take effect at once.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QToolButton>

#include "app/KorvelMain.h"
#include "app/OptionFrm.h"
#include "base/Errors.h"
#include "base/IniFile.h"
#include "base/UserFolders.h"
#include "browse/ui/DirTree.h"

void TKorvelMain::OptionMenuClick() {
    const int oldThumbSize = ThumbSize;
    const std::string iniPath = korvel::mainSettingsPath(exePath_);
    TOptionFrm::Hooks hooks;
    hooks.browseFolder = [this](const QString& caption, const QString& start) {
        return QFileDialog::getExistingDirectory(QApplication::activeModalWidget(), caption, start);
    };
    hooks.treeFolder = QString::fromStdString(selectedFolder());
    hooks.clearHistory = [this] {
        ComboBox1->clear();
        ComboBox1->clearEditText();
        ComboBox1->setToolTip({});
    };
    hooks.folderCreated = [this] { DirTree1->Reload(); };
    QStringList favorites;
    for (const std::string& f : favoritePaths()) favorites << QString::fromStdString(f);
    std::array<TOptionFrm::QuickFolder, TOptionFrm::kQuickRows> quick;
    for (size_t i = 0; i < quick.size(); ++i)
        quick[i] = {QString::fromStdString(quickFolder(int(i))), FolderBtns[i]->text()};
    TOptionFrm dialog(korvel::readOptionValues(korvel::IniFile::load(iniPath)), ThumbSize, favorites, quick,
                      std::move(hooks), this);
    dialog.PageControl1->setCurrentIndex(0);
    if (dialog.exec() != QDialog::Accepted) return;

    const korvel::OptionValues v = dialog.values();
    korvel::IniFile ini = korvel::IniFile::load(iniPath);
    korvel::writeOptionValues(ini, v);
    const bool displayChanged = v.noHideFile != NoHideFile || v.speedFlg != SpeedFlg || v.changeImFlg != ChangeImFlg ||
                                v.pictFitFlg != PictFitFlg || v.exifRotate != ExifRotate || v.colorManage != ColorManage;
    if (displayChanged) {
        NoHideFile = v.noHideFile, SpeedFlg = v.speedFlg, ChangeImFlg = v.changeImFlg, PictFitFlg = v.pictFitFlg;
        ExifRotate = v.exifRotate, ColorManage = v.colorManage;
    }
    if (!dialog.CellSizeCombo->currentText().isEmpty()) {
        ThumbSize = dialog.CellSizeCombo->currentText().toInt();
        InfoHeight = korvel::InfoHeightFor(ThumbSize);
    }
    SubDirOnce = v.subDirOnce;
    std::vector<std::string> chosen;
    for (const QString& f : dialog.favorites()) chosen.push_back(f.toStdString());
    setFavoritePaths(chosen);
    for (int i = 0; i < TOptionFrm::kQuickRows; ++i) {
        const auto& [folder, caption] = dialog.quickFolder(i);
        setQuickFolder(i, folder.toStdString(), folder.isEmpty() ? QString() : caption);
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
        Panel2Resize();
    }
}
