#pragma once
// The twenty quick-folder buttons on the window's right edge: their folders and captions live
// in the core set, the buttons show them. A press makes a button current for its pop-up menu;
// a click on a bound button offers the move and copy menu, on an unbound one the editor.
#include <QObject>
#include <QPoint>
#include <array>
#include <functional>
#include <string>

#include "browse/ui/FolderPicker.h"
#include "nav/QuickFolders.h"

class QMainWindow;
class QToolBar;
class QToolButton;

class QuickFolderBar : public QObject {
    Q_OBJECT
public:
    static constexpr int kCount = korvel::QuickFolderSet::kCount;

    explicit QuickFolderBar(QMainWindow* window);

    // What the bar asks of the window.
    struct Hooks {
        std::function<bool()> filesMarked;
        // The move-here and copy-here menu for folder at a screen position.
        std::function<void(const std::string& folder, QPoint at)> offerTarget;
        // The buttons' pop-up menu at a screen position, for the current button.
        std::function<void(QPoint at)> showMenu;
        // The editor's start folder for an unbound button, its picker places, and a folder it made.
        std::function<std::string()> treeFolder;
        std::function<PickerPlaces()> places;
        std::function<void()> folderCreated;
    } hooks;

    const korvel::QuickFolderSet& folders() const { return set_; }
    const std::string& folder(int i) const { return set_.at(i).folder; }
    // Binds button i (an empty caption is derived from the folder; no folder unbinds it).
    void bind(int i, const std::string& folder, const std::string& caption);
    void load(std::span<const std::string> folders, std::span<const std::string> captions);
    // Captions beside the images, or the images alone at their fixed size.
    void showCaptions(bool on);
    bool captionsShown() const { return captionsShown_; }
    // The button that watched is, or -1.
    int indexOf(const QObject* watched) const;
    // Button i's point at (its own coordinates) on the screen.
    QPoint toScreen(int i, QPoint at = {}) const;

    // The pop-up menu's commands, for the current button.
    void editCurrent();
    void clearCurrent();

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void onButtonClicked(int i);
    void showButton(int i);

    korvel::QuickFolderSet set_;
    std::array<QToolButton*, kCount> buttons_{};
    QToolBar* bar_ = nullptr;
    QMainWindow* window_ = nullptr;
    QPoint pressedAt_;
    bool captionsShown_ = false;
};
