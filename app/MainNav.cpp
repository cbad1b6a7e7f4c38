// Navigation aids of the main window: the history and favourites boxes, the favourites of the
// tree's menu, and the twenty quick-folder buttons with their menu and dialog.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QToolButton>
#include <algorithm>

#include "app/KorvelMain.h"
#include "app/ToolIcons.h"
#include "browse/FolderScan.h"
#include "browse/ui/DirTree.h"
#include "browse/ui/FolderPicker.h"
#include "nav/QuickFolders.h"
#include "nav/ui/QFSelectFrm.h"
#include "platform/PathText.h"

namespace {

constexpr int kMaxFavorites = 20;

std::string itemPath(const QComboBox* box, int i) { return pathBytes(box->itemText(i)); }

void insertPath(QComboBox* box, int at, const std::string& path) { box->insertItem(at, pathText(path)); }

}  // namespace

std::vector<std::string> TKorvelMain::historyPaths() const {
    std::vector<std::string> items;
    for (int i = 0; i < ComboBox1->count(); ++i) items.push_back(itemPath(ComboBox1, i));
    return items;
}

std::vector<std::string> TKorvelMain::favoritePaths() const {
    std::vector<std::string> items;
    for (int i = 0; i < ComboBox2->count(); ++i) items.push_back(itemPath(ComboBox2, i));
    return items;
}

void TKorvelMain::setFavoritePaths(const std::vector<std::string>& paths) {
    ComboBox2->clear();
    for (const std::string& p : paths) insertPath(ComboBox2, ComboBox2->count(), p);
    // A filled list box would show its first item as chosen; nothing is until the user chooses.
    ComboBox2->setCurrentIndex(-1);
    ComboBox2->setToolTip(ComboBox2->currentText());
}

void TKorvelMain::setHistoryPaths(const std::vector<std::string>& paths) {
    ComboBox1->clear();
    for (const std::string& p : paths) insertPath(ComboBox1, ComboBox1->count(), p);
    ComboBox1->setToolTip(ComboBox1->currentText());
}

void TKorvelMain::addSelectedFolderToHistory() {
    std::vector<std::string> items = historyPaths();
    korvel::AddToHistory(items, folderTree_->SelectedPath());
    setHistoryPaths(items);
    ComboBox1->setCurrentIndex(0);
    ComboBox1->setToolTip(ComboBox1->currentText());
}

void TKorvelMain::openFolderFromBox(QComboBox* box) {
    const std::string path = pathBytes(box->currentText());
    box->setToolTip(box->currentText());
    // A path that names no existing folder is ignored.
    if (path.empty() || !korvel::isExistingFolder(path)) return;
    if (folderTree_->SelectPath(path)) addSelectedFolderToHistory();
}

void TKorvelMain::ComboBox1Click() { openFolderFromBox(ComboBox1); }
void TKorvelMain::ComboBox2Click() { openFolderFromBox(ComboBox2); }

void TKorvelMain::AddFavMenuClick() {
    // The right-clicked folder; no duplicates, and a full list loses its last item.
    const std::string path = actions_.TargetPath2->data().toByteArray().toStdString();
    std::vector<std::string> items = favoritePaths();
    if (path.empty() || std::find(items.begin(), items.end(), path) != items.end()) return;
    if (ComboBox2->count() >= kMaxFavorites) ComboBox2->removeItem(ComboBox2->count() - 1);
    const bool noneChosen = ComboBox2->currentIndex() < 0;
    insertPath(ComboBox2, 0, path);
    if (noneChosen) ComboBox2->setCurrentIndex(-1);  // the first item of an empty box is not chosen
    ComboBox2->setToolTip(ComboBox2->currentText());
}

bool TKorvelMain::isFavoriteOrLeadsToOne(const std::string& folder) const {
    if (!FavoritesOnly) return true;
    const std::string wanted = folder.empty() || folder.back() == '/' ? folder : folder + '/';
    for (std::string fav : favoritePaths()) {
        if (fav.empty()) continue;
        if (fav.back() != '/') fav += '/';
        if (fav.find(wanted) != std::string::npos) return true;
    }
    return false;
}

// The folder picker.

PickerPlaces TKorvelMain::pickerPlaces() {
    PickerPlaces places;
    for (const std::string& folder : favoritePaths()) places.favorites.push_back({folder, {}});
    for (size_t i = 0; i < FolderBtns.size(); ++i)
        if (std::string folder = quickFolder(int(i)); !folder.empty())
            places.quick.push_back({std::move(folder), FolderBtns[i]->text()});
    places.folderMade = [this](const std::string& made) { folderTree_->AddPathNodes(made); };
    return places;
}

std::string TKorvelMain::browseForFolder(const QString& prompt, const std::string& start) {
    QWidget* owner = QApplication::activeModalWidget();
    return pickFolder(owner ? owner : this, prompt, start, selectedFolder(), pickerPlaces()).value_or(std::string());
}

// Quick-folder buttons.

std::string TKorvelMain::quickFolder(int i) const {
    const QToolButton* b = FolderBtns[size_t(i)];
    return pathBytes(b->toolTip());
}

void TKorvelMain::setQuickFolder(int index, const std::string& folder, const QString& caption) {
    QToolButton* b = FolderBtns[size_t(index)];
    b->setToolTip(pathText(folder));
    b->setText(caption);
    // A button with a caption shows its numbered image; one without the plain image.
    b->setIcon(caption.isEmpty() ? toolIcon(ToolIcon::SubFolders) : quickFolderIcon(index + 1));
}

bool TKorvelMain::quickFolderMouseEvent(int button, QEvent* event) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (event->type() == QEvent::MouseButtonPress) {
        // The menu and the click act on the button last pressed, with either mouse button.
        CurrentQF = button;
        QFPressedAt = mouse->globalPosition().toPoint();
        return mouse->button() == Qt::RightButton;
    }
    if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::RightButton) {
        updateActions();
        QFPopup->popup(mouse->globalPosition().toPoint());
        return true;
    }
    return false;
}

void TKorvelMain::FolderBtnClick(int button) {
    CurrentQF = button;
    const std::string folder = quickFolder(button);
    if (folder.empty()) {
        QFShowMenuClick();
        return;
    }
    if (!markedFiles().empty()) showTargetPopup(folder, QFPressedAt);
}

void TKorvelMain::QFShowMenuClick() {
    if (CurrentQF < 0) return;
    QToolButton* b = FolderBtns[size_t(CurrentQF)];
    const std::string folder = quickFolder(CurrentQF);
    TQFSelectFrm dialog(this);
    dialog.setFolder(folder.empty() ? selectedFolder() : folder);
    dialog.QFCaptionEdit->setText(b->text());
    dialog.treeFolder = selectedFolder();
    dialog.folderCreated = [this] { folderTree_->Reload(); };
    dialog.places = pickerPlaces();
    if (dialog.exec() != QDialog::Accepted) return;
    const std::string chosen = dialog.folder();
    const QString caption = dialog.caption().isEmpty()
                                ? pathText(korvel::MakeQuickFolderCaption(chosen))
                                : dialog.caption();
    setQuickFolder(CurrentQF, chosen, caption);
}

void TKorvelMain::QFDeleteMenuClick() {
    if (CurrentQF < 0 || FolderBtns[size_t(CurrentQF)]->text().isEmpty()) return;
    if (QMessageBox::question(this, tr("確認"), tr("フォルダの設定をクリアします。\nよろしいですか？"),
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    setQuickFolder(CurrentQF, {}, {});
}

bool TKorvelMain::currentQuickFolderHasCaption() const {
    return CurrentQF >= 0 && !FolderBtns[size_t(CurrentQF)]->text().isEmpty();
}
