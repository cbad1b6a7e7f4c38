// Listing the selected folder: the handlers that rebuild the file list and what depends on it.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QToolButton>

#include "app/KorvelMain.h"
#include "browse/ExtensionSet.h"
#include "browse/FileSort.h"
#include "browse/FolderScan.h"
#include "browse/ui/DirTree.h"

namespace {
// Wait cursor for the length of a scope, restored also when the work throws.
struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};
}  // namespace

std::string TKorvelMain::currentFilterMask() const {
    if (FilterBox->count() > 0 && FilterBox->currentIndex() < 0) FilterBox->setCurrentIndex(FilterBox->count() - 1);
    return FilterBox->count() == 0 ? std::string("*.*") : FilterBox->currentData().toString().toStdString();
}

void TKorvelMain::OpenCurrentFolder() {
    if (FormReady == 0) return;
    BusyCursor busy;
    const std::string folder = selectedFolder();
    korvel::ListOptions options;
    options.mask = currentFilterMask();
    options.noHideFile = NoHideFile;
    options.subDirSearch = SubDirSearch;
    options.nameView = NameView;
    if (folder.empty()) FileList.clear();
    else korvel::ListFolder(FileList, folder, korvel::ListMode::Replace, options);
    if (SubDirOnce) {
        action("SubDirFindBtn")->setChecked(false);
        SubDirSearch = false;
    }
    StatusPanels[0]->setText(QString::fromStdString(korvel::formatFileCount(FileList.size())));
    UpdateFileButtons();
    StringGrid1->update();
    StringGrid1->setFocus();
}

void TKorvelMain::UpdateFileButtons() {
    for (const char* name : {"CopyBtn", "KCopyBtn", "MoveBtn", "DeleteBtn", "ReNameBtn1", "NumberRNBtn1", "ShowBtn1"}) {
        QAction* a = action(name);
        if (!a->property("notYetBuilt").toBool()) a->setEnabled(!FileList.empty());
    }
}

void TKorvelMain::DirTree1Change() { OpenCurrentFolder(); }

void TKorvelMain::FilterBoxChange() {
    OpenCurrentFolder();
    FilterBox->setToolTip(FilterBox->currentText());
}

void TKorvelMain::Refresh1Click() {
    DirTree1->blockSignals(true);
    DirTree1->Reload();
    DirTree1->blockSignals(false);
    OpenCurrentFolder();
}

void TKorvelMain::SubDirFindBtnClick() {
    SubDirSearch = action("SubDirFindBtn")->isChecked();
    OpenCurrentFolder();
}

void TKorvelMain::SubDirFindMenuClick() {
    action("SubDirFindBtn")->setChecked(action("SubDirFindMenu")->isChecked());
    SubDirFindBtnClick();
}

void TKorvelMain::sortList(bool ascending) {
    // Marks and the previewed cell follow their files once the grid exists; the list keeps
    // each entry's thumbnail position.
    korvel::sortByNameView(FileList, NameView, !ascending);
    StringGrid1->update();
}

void TKorvelMain::SortBtn1Click() { sortList(true); }
void TKorvelMain::SortBtn2Click() { sortList(false); }

int TKorvelMain::selectedCount() const { return 0; }
