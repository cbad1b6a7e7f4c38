#pragma once
// The bands at the top of the main window: the menu bar, the tool bar, the filter box, the
// favourites and the history boxes. The user drags them into rows; their order, row breaks and
// widths are what the settings store.
#include <QObject>
#include <array>
#include <string>
#include <vector>

#include "browse/ExtensionSet.h"
#include "settings/MainSettings.h"

class FolderBoxes;
class QComboBox;
class QMainWindow;
class QMenu;
class QToolBar;

class MainBands : public QObject {
    Q_OBJECT
public:
    // Builds the bands into window's top area in their design order.
    explicit MainBands(QMainWindow* window);

    // The menu bar's menus; the command table fills them and the tool bar.
    struct Menus {
        QMenu *file = nullptr, *edit = nullptr, *view = nullptr, *option = nullptr, *help = nullptr;
    };
    const Menus& menus() const { return menus_; }
    QToolBar* toolBar() const { return bands_[Tools]; }
    QToolBar* filterBand() const { return bands_[Filter]; }
    QComboBox* filterBox() const { return filterBox_; }
    FolderBoxes& folderBoxes() const { return *folderBoxes_; }

    // The file types the filter box offers, the first one chosen; no filterChanged.
    void setFilters(std::vector<korvel::FilterItem> items);
    // The chosen type's mask ("*.*" when none is offered). With nothing chosen the last type
    // becomes the chosen one.
    std::string filterMask() const;
    // Each box's hint shows its current text.
    void showHints();

    // The stored order, rows and widths, fitted to the window's width.
    void restore(const korvel::MainSettings& s);
    // The bands as the user left them.
    void store(korvel::MainSettings& s) const;

signals:
    // The user chose another file type.
    void filterChanged();

private:
    // Identifiers of the bands, as the settings number them.
    enum Band { Menu, Tools, Filter, Favourites, History };

    void arrange(const std::array<int, korvel::kBandCount>& ids, const std::array<bool, korvel::kBandCount>& breaks);
    // Widths of the bands at positions 0 … 4; never narrower than their contents.
    void setWidths(const std::array<int, korvel::kBandCount>& widths);
    void onFilterChosen();

    QMainWindow* window_;
    std::array<QToolBar*, korvel::kBandCount> bands_{};  // by identifier
    std::array<int, korvel::kBandCount> order_{Menu, Tools, Filter, Favourites, History};  // identifiers by position
    Menus menus_;
    QComboBox* filterBox_ = nullptr;
    std::vector<korvel::FilterItem> filters_;
    FolderBoxes* folderBoxes_ = nullptr;
};
