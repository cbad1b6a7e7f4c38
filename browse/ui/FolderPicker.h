#pragma once
// Korvel's folder picker for every browse button: the folder tree's own nodes (each folder by its
// bytes), the caller's prompt above them, and the favourites and quick folders beside them.
#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class QPushButton;
class TDirTree;

struct PickerPlace {
    std::string path;  // bytes, "/"-terminated
    QString caption;   // a quick-folder button's caption; unused for favourites
};

// What the main window offers beside the tree.
struct PickerPlaces {
    std::vector<PickerPlace> favorites;
    std::vector<PickerPlace> quick;  // bound quick-folder buttons only
    // Told of a folder made in the picker (no trailing "/"), so the main tree can show it too.
    std::function<void(const std::string& made)> folderMade;
};

class TFolderPicker : public QDialog {
    Q_OBJECT
public:
    // Opens at start (or its nearest existing ancestor; the home folder when start is empty or
    // not a full path).
    TFolderPicker(const QString& prompt, const std::string& start, PickerPlaces places, QWidget* parent = nullptr);

    // The folder chosen, "/"-terminated; empty before OK or a double-clicked place.
    const std::string& chosenPath() const { return chosen_; }

    void OkBtnClick();
    void NewFolderBtnClick();

    QLabel* PromptLabel = nullptr;
    TDirTree* Tree = nullptr;
    QTreeWidget* PlacesList = nullptr;  // a heading each for favourites and quick folders
    QPushButton* NewFolderBtn = nullptr;
    QPushButton* OkBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

private:
    void connectControls();
    void openAt(const std::string& start);
    void addPlaces(const QString& heading, const std::vector<PickerPlace>& places, bool quick);
    void placeChosen(QTreeWidgetItem* item);
    void updateActions();

    PickerPlaces places_;
    std::string chosen_;
};

// Runs the picker modally over parent. start empty: fallback is used instead. The chosen folder
// ("/"-terminated bytes), or nothing when the user cancelled.
std::optional<std::string> pickFolder(QWidget* parent, const QString& prompt, const std::string& start,
                                      const std::string& fallback, const PickerPlaces& places);
