#pragma once
// The history and favourites boxes of the bands. The lists live in the core models; the boxes
// only show them, and a chosen or typed folder goes to the window through folderChosen.
#include <QObject>
#include <functional>
#include <string>
#include <vector>

#include "nav/FolderLists.h"

class QComboBox;
class QToolBar;

class FolderBoxes : public QObject {
    Q_OBJECT
public:
    // Puts the favourites box into favouritesBand and the history box into historyBand.
    FolderBoxes(QToolBar* favouritesBand, QToolBar* historyBand, QObject* parent);

    // An existing folder the user chose or typed; the window opens it and, when the tree went
    // there, records it with recordVisit.
    std::function<void(const std::string& folder)> folderChosen;

    const korvel::FolderHistory& history() const { return history_; }
    const korvel::Favourites& favourites() const { return favourites_; }
    void setHistory(const std::vector<std::string>& paths);
    void setFavourites(const std::vector<std::string>& paths);
    // The folder just opened goes to the top of the history and becomes its chosen item.
    void recordVisit(const std::string& folder);
    // Adds a favourite at the top (nothing when it is listed already).
    void addFavourite(const std::string& folder);
    // Empties the history and its box, typed text included.
    void clearHistory();
    // Chooses history item i as if picked from the list (nothing when there is none).
    void chooseHistoryItem(int i);
    // Each box's hint shows its current text.
    void showHints();

private:
    void showHistory();
    void showFavourites();
    void onHistoryChosen();
    void onFavouriteChosen();
    // The folder a box names: the listed bytes when an item is shown, else the typed text.
    std::string chosenFolder(const QComboBox* box, const std::vector<std::string>& items) const;
    void open(const std::string& folder);

    korvel::FolderHistory history_;
    korvel::Favourites favourites_;
    QComboBox* historyBox_ = nullptr;
    QComboBox* favouritesBox_ = nullptr;
};
