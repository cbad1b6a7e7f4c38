#include "app/FolderBoxes.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolBar>

#include "browse/FolderScan.h"
#include "platform/PathText.h"
#include "settings/CommandLine.h"

FolderBoxes::FolderBoxes(QToolBar* favouritesBand, QToolBar* historyBand, QObject* parent) : QObject(parent) {
    favouritesBand->addWidget(new QLabel(tr("お気に入り") + QLatin1Char(' '), favouritesBand));
    favouritesBox_ = new QComboBox(favouritesBand);
    favouritesBox_->setObjectName(QStringLiteral("ComboBox2"));
    favouritesBox_->setMinimumWidth(312 - 70);
    favouritesBand->addWidget(favouritesBox_);

    historyBand->addWidget(new QLabel(tr("履歴") + QLatin1Char(' '), historyBand));
    historyBox_ = new QComboBox(historyBand);
    historyBox_->setObjectName(QStringLiteral("ComboBox1"));
    historyBox_->setEditable(true);
    historyBox_->setMinimumWidth(215 - 40);
    historyBand->addWidget(historyBox_);

    connect(historyBox_, &QComboBox::activated, this, &FolderBoxes::onHistoryChosen);
    // A typed path opens on Enter; the history itself records it only when it was opened.
    historyBox_->setInsertPolicy(QComboBox::NoInsert);
    connect(historyBox_->lineEdit(), &QLineEdit::returnPressed, this, &FolderBoxes::onHistoryChosen);
    connect(favouritesBox_, &QComboBox::activated, this, &FolderBoxes::onFavouriteChosen);
    // Each box's hint shows its text, also while a path is being typed.
    connect(historyBox_, &QComboBox::currentTextChanged, historyBox_, &QWidget::setToolTip);
    connect(favouritesBox_, &QComboBox::currentTextChanged, favouritesBox_, &QWidget::setToolTip);
}

void FolderBoxes::showHistory() {
    historyBox_->clear();
    for (const std::string& p : history_.items()) historyBox_->addItem(pathText(p));
    historyBox_->setToolTip(historyBox_->currentText());
}

void FolderBoxes::showFavourites() {
    favouritesBox_->clear();
    for (const std::string& p : favourites_.items()) favouritesBox_->addItem(pathText(p));
    // A filled list box would show its first item as chosen; nothing is until the user chooses.
    favouritesBox_->setCurrentIndex(-1);
    favouritesBox_->setToolTip(favouritesBox_->currentText());
}

void FolderBoxes::setHistory(const std::vector<std::string>& paths) {
    history_.assign(paths);
    showHistory();
}

void FolderBoxes::setFavourites(const std::vector<std::string>& paths) {
    favourites_.assign(paths);
    showFavourites();
}

void FolderBoxes::recordVisit(const std::string& folder) {
    history_.add(folder);
    showHistory();
    historyBox_->setCurrentIndex(0);
    historyBox_->setToolTip(historyBox_->currentText());
}

void FolderBoxes::addFavourite(const std::string& folder) {
    const size_t before = favourites_.size();
    if (!favourites_.add(folder)) return;
    // The box follows the model item by item, so a favourite the user has chosen stays chosen.
    if (favourites_.size() == before) favouritesBox_->removeItem(favouritesBox_->count() - 1);
    const bool noneChosen = favouritesBox_->currentIndex() < 0;
    favouritesBox_->insertItem(0, pathText(folder));
    if (noneChosen) favouritesBox_->setCurrentIndex(-1);  // the first item of an empty box is not chosen
    favouritesBox_->setToolTip(favouritesBox_->currentText());
}

void FolderBoxes::clearHistory() {
    history_.clear();
    historyBox_->clear();
    historyBox_->clearEditText();
    historyBox_->setToolTip({});
}

void FolderBoxes::chooseHistoryItem(int i) {
    if (i >= historyBox_->count()) return;
    historyBox_->setCurrentIndex(i);
    onHistoryChosen();
}

void FolderBoxes::showHints() {
    historyBox_->setToolTip(historyBox_->currentText());
    favouritesBox_->setToolTip(favouritesBox_->currentText());
}

std::string FolderBoxes::chosenFolder(const QComboBox* box, const std::vector<std::string>& items) const {
    const int i = box->currentIndex();
    if (i >= 0 && size_t(i) < items.size() && box->itemText(i) == box->currentText()) return items[size_t(i)];
    // Typed text is taken as a command line's path is: absolute, "//", "." and ".." resolved.
    const std::string typed = pathBytes(box->currentText());
    return typed.empty() ? typed : korvel::ExpandLongPath(typed, korvel::currentFolder());
}

void FolderBoxes::open(const std::string& folder) {
    // A path that names no existing folder is ignored.
    if (folder.empty() || !korvel::isExistingFolder(folder)) return;
    if (folderChosen) folderChosen(folder);
}

void FolderBoxes::onHistoryChosen() {
    historyBox_->setToolTip(historyBox_->currentText());
    open(chosenFolder(historyBox_, history_.items()));
}

void FolderBoxes::onFavouriteChosen() {
    favouritesBox_->setToolTip(favouritesBox_->currentText());
    open(chosenFolder(favouritesBox_, favourites_.items()));
}
