#include "app/MainBands.h"

#include <QComboBox>
#include <QMainWindow>
#include <QMenuBar>
#include <QToolBar>
#include <algorithm>

#include "app/FolderBoxes.h"

namespace {

// A band of the bar at the top. Its width within a row is the stored one, by way of its size
// hint, so that a band the user drags later still takes the width the drag gives it. Like a
// band's minimum child size, its contents' width is a floor: a stored or default width never
// hides a box behind the chevron while the row has room.
class CoolBand : public QToolBar {
public:
    using QToolBar::QToolBar;
    void setBandWidth(int width) {
        bandWidth_ = std::clamp(width, 0, QWIDGETSIZE_MAX);
        updateGeometry();
    }
    QSize sizeHint() const override {
        QSize hint = QToolBar::sizeHint();
        hint.setWidth(std::max(hint.width(), bandWidth_));
        return hint;
    }
    // The width that shows every button and box of the band.
    int contentsWidth() const { return QToolBar::sizeHint().width(); }

private:
    int bandWidth_ = 0;
};

CoolBand* makeBand(QMainWindow* w, const char* name, const QString& title) {
    auto* band = new CoolBand(title, w);
    band->setObjectName(QString::fromLatin1(name));
    band->setMovable(true);
    band->setFloatable(false);
    band->setAllowedAreas(Qt::TopToolBarArea);
    return band;
}

// Every band is made by makeBand.
CoolBand* coolBand(QToolBar* band) { return static_cast<CoolBand*>(band); }

}  // namespace

MainBands::MainBands(QMainWindow* window) : QObject(window), window_(window) {
    // The bar has no menu of its own: Qt's would list the bands by internal name and hide them.
    window->setContextMenuPolicy(Qt::NoContextMenu);
    bands_[Menu] = makeBand(window, "MenuToolBar", QStringLiteral("MenuToolBar"));
    auto* menuBar = new QMenuBar(bands_[Menu]);
    menuBar->setNativeMenuBar(false);
    bands_[Menu]->addWidget(menuBar);
    menus_.file = menuBar->addMenu(tr("ﾌｧｲﾙ(&F)"));
    menus_.edit = menuBar->addMenu(tr("編集(&E)"));
    menus_.view = menuBar->addMenu(tr("表示(&V)"));
    menus_.option = menuBar->addMenu(tr("ｵﾌﾟｼｮﾝ(&O)"));
    menus_.help = menuBar->addMenu(tr("ﾍﾙﾌﾟ(&H)"));

    bands_[Tools] = makeBand(window, "ToolBar1", QStringLiteral("ToolBar1"));
    bands_[Tools]->setIconSize(QSize(20, 20));

    bands_[Filter] = makeBand(window, "FilterBand", QStringLiteral("FilterBox"));
    filterBox_ = new QComboBox(bands_[Filter]);
    filterBox_->setObjectName(QStringLiteral("FilterBox"));
    filterBox_->setFixedWidth(211);
    bands_[Filter]->addWidget(filterBox_);
    connect(filterBox_, &QComboBox::currentIndexChanged, this, &MainBands::onFilterChosen);

    bands_[Favourites] = makeBand(window, "FavoritesBand", tr("お気に入り"));
    bands_[History] = makeBand(window, "HistoryBand", tr("履歴"));
    folderBoxes_ = new FolderBoxes(bands_[Favourites], bands_[History], this);

    arrange(order_, {false, true, true, false, false});
}

void MainBands::setFilters(std::vector<korvel::FilterItem> items) {
    filters_ = std::move(items);
    const QSignalBlocker quiet(filterBox_);
    filterBox_->clear();
    for (const korvel::FilterItem& item : filters_)
        filterBox_->addItem(QString::fromStdString(item.description), QString::fromStdString(item.mask));
    filterBox_->setCurrentIndex(0);
}

std::string MainBands::filterMask() const {
    if (!filters_.empty() && filterBox_->currentIndex() < 0) filterBox_->setCurrentIndex(filterBox_->count() - 1);
    return korvel::filterBoxMask(filters_, filterBox_->currentIndex());
}

void MainBands::onFilterChosen() {
    emit filterChanged();
    filterBox_->setToolTip(filterBox_->currentText());
}

void MainBands::showHints() {
    filterBox_->setToolTip(filterBox_->currentText());
    folderBoxes_->showHints();
}

void MainBands::arrange(const std::array<int, korvel::kBandCount>& ids,
                        const std::array<bool, korvel::kBandCount>& breaks) {
    for (QToolBar* b : bands_) {
        window_->removeToolBarBreak(b);
        window_->removeToolBar(b);
    }
    order_ = korvel::bandOrder(ids);
    for (int i = 0; i < korvel::kBandCount; ++i) {
        if (i > 0 && breaks[i]) window_->addToolBarBreak(Qt::TopToolBarArea);
        window_->addToolBar(Qt::TopToolBarArea, bands_[order_[i]]);
        bands_[order_[i]]->show();
    }
}

void MainBands::restore(const korvel::MainSettings& s) {
    const std::array<int, korvel::kBandCount> order = korvel::bandOrder(s.coolId);
    std::array<int, korvel::kBandCount> contents{};
    for (int i = 0; i < korvel::kBandCount; ++i) contents[i] = coolBand(bands_[order[i]])->contentsWidth();
    // Whatever the file says, each band comes back with room for all it holds.
    const int available = window_->width();
    const korvel::BandRows rows =
        korvel::fitBandRows(s.coolBreak, korvel::panelSizes(s, available).bandWidths, contents, available);
    arrange(s.coolId, rows.breaks);
    setWidths(rows.widths);
}

void MainBands::setWidths(const std::array<int, korvel::kBandCount>& widths) {
    for (int i = 0; i < korvel::kBandCount; ++i) coolBand(bands_[order_[i]])->setBandWidth(widths[i]);
}

void MainBands::store(korvel::MainSettings& s) const {
    std::array<korvel::BandPlace, korvel::kBandCount> places;
    for (size_t i = 0; i < places.size(); ++i) places[i] = {bands_[i]->x(), bands_[i]->y(), bands_[i]->width()};
    korvel::storeBands(s, places);
}
