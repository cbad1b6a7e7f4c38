// Navigation aids of the main window: the history and favourites boxes, the favourites of the
// tree's menu, and the twenty quick-folder buttons, wired to the tree, the grid and the menus.
#include <QApplication>
#include <QMenu>

#include "app/KorvelMain.h"
#include "app/FolderTreePanel.h"
#include "browse/ui/DirTree.h"
#include "browse/ui/FolderPicker.h"
#include "fileops/FolderOps.h"
#include "platform/PathText.h"

void TKorvelMain::connectNavigation() {
    bands_->folderBoxes().folderChosen = [this](const std::string& folder) {
        if (folderPanel_->tree()->SelectPath(folder)) addSelectedFolderToHistory();
    };
    // The tree's filter in the favourites-only view.
    folderPanel_->tree()->OnAddDir = [this](const std::string& folder) {
        return !folderPanel_->favouritesOnly() || bands_->folderBoxes().favourites().leadsTo(folder);
    };
    QuickFolderBar::Hooks& q = quickFolders_->hooks;
    q.filesMarked = [this] { return !markedFiles().empty(); };
    q.offerTarget = [this](const std::string& folder, QPoint at) { fileCommands_->offerTarget(folder, at); };
    q.showMenu = [this](QPoint at) {
        updateActions();
        quickFolderMenu_->popup(at);
    };
    q.treeFolder = [this] { return selectedFolder(); };
    q.places = [this] { return pickerPlaces(); };
    q.folderCreated = [this] { folderPanel_->tree()->Reload(); };
}

void TKorvelMain::addSelectedFolderToHistory() { bands_->folderBoxes().recordVisit(folderPanel_->tree()->SelectedPath()); }

void TKorvelMain::followFolderRename(const std::string& from, const std::string& to) {
    // Visited folders inside the renamed one keep leading to it.
    std::vector<std::string> history = bands_->folderBoxes().history().items();
    for (std::string& item : history) item = korvel::followRename(item, from, to);
    bands_->folderBoxes().setHistory(history);
    listing_->listSelectedFolder();
}

void TKorvelMain::addMenuFolderToFavourites() {
    // The right-clicked folder.
    bands_->folderBoxes().addFavourite(actions_.TargetPath2->data().toByteArray().toStdString());
}

// The folder picker.

PickerPlaces TKorvelMain::pickerPlaces() {
    PickerPlaces places;
    for (const std::string& folder : bands_->folderBoxes().favourites().items()) places.favorites.push_back({folder, {}});
    const korvel::QuickFolderSet& quick = quickFolders_->folders();
    for (int i = 0; i < QuickFolderBar::kCount; ++i)
        if (quick.at(i).bound()) places.quick.push_back({quick.at(i).folder, pathText(quick.at(i).caption)});
    places.folderMade = [this](const std::string& made) { folderPanel_->tree()->AddPathNodes(made); };
    return places;
}

std::string TKorvelMain::browseForFolder(const QString& prompt, const std::string& start) {
    QWidget* owner = QApplication::activeModalWidget();
    return pickFolder(owner ? owner : this, prompt, start, selectedFolder(), pickerPlaces()).value_or(std::string());
}
