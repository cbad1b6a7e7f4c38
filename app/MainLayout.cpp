// The main window's layout: bands at the top, tree, grid and preview panels, quick-folder bar
// on the right.
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScrollArea>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/KorvelMain.h"
#include "app/FolderTreePanel.h"
#include "app/StatusBar.h"
#include "app/ToolIcons.h"
#include "browse/ui/DirTree.h"
#include "browse/FileList.h"
#include "browse/ui/OrgStGrid.h"

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

QToolBar* makeBand(QMainWindow* w, const char* name, const QString& title) {
    auto* band = new CoolBand(title, w);
    band->setObjectName(QString::fromLatin1(name));
    band->setMovable(true);
    band->setFloatable(false);
    band->setAllowedAreas(Qt::TopToolBarArea);
    return band;
}

}  // namespace

void TKorvelMain::buildBands() {
    // The bar has no menu of its own: Qt's would list the bands by internal name and hide them.
    setContextMenuPolicy(Qt::NoContextMenu);
    MenuToolBar = makeBand(this, "MenuToolBar", QStringLiteral("MenuToolBar"));
    auto* menuBar = new QMenuBar(MenuToolBar);
    menuBar->setNativeMenuBar(false);
    MenuToolBar->addWidget(menuBar);
    FileMenu = menuBar->addMenu(tr("ﾌｧｲﾙ(&F)"));
    EditMenu = menuBar->addMenu(tr("編集(&E)"));
    ViewMenu = menuBar->addMenu(tr("表示(&V)"));
    OptionMenu = menuBar->addMenu(tr("ｵﾌﾟｼｮﾝ(&O)"));
    HelpMenu = menuBar->addMenu(tr("ﾍﾙﾌﾟ(&H)"));

    ToolBar1 = makeBand(this, "ToolBar1", QStringLiteral("ToolBar1"));
    ToolBar1->setIconSize(QSize(20, 20));

    FilterBand = makeBand(this, "FilterBand", QStringLiteral("FilterBox"));
    FilterBox = new QComboBox(FilterBand);
    FilterBox->setObjectName(QStringLiteral("FilterBox"));
    FilterBox->setFixedWidth(211);
    FilterBand->addWidget(FilterBox);

    FavoritesBand = makeBand(this, "FavoritesBand", tr("お気に入り"));
    HistoryBand = makeBand(this, "HistoryBand", tr("履歴"));
    folderBoxes_ = new FolderBoxes(FavoritesBand, HistoryBand, this);

    arrangeBands(bandOrder_, bandBreaks_);
}

void TKorvelMain::arrangeBands(const std::array<int, korvel::kBandCount>& ids,
                               const std::array<bool, korvel::kBandCount>& breaks) {
    QToolBar* bands[] = {MenuToolBar, ToolBar1, FilterBand, FavoritesBand, HistoryBand};
    for (QToolBar* b : bands) {
        removeToolBarBreak(b);
        removeToolBar(b);
    }
    const std::array<int, korvel::kBandCount> order = korvel::bandOrder(ids);
    for (int i = 0; i < korvel::kBandCount; ++i) {
        if (i > 0 && breaks[i]) addToolBarBreak(Qt::TopToolBarArea);
        addToolBar(Qt::TopToolBarArea, bands[order[i]]);
        bands[order[i]]->show();
        bandOrder_[i] = order[i];
    }
    bandBreaks_ = breaks;
}

void TKorvelMain::restoreBands(const std::array<int, korvel::kBandCount>& ids,
                               const std::array<bool, korvel::kBandCount>& breaks,
                               const std::array<int, korvel::kBandCount>& widths) {
    const CoolBand* bands[] = {static_cast<CoolBand*>(MenuToolBar), static_cast<CoolBand*>(ToolBar1),
                               static_cast<CoolBand*>(FilterBand), static_cast<CoolBand*>(FavoritesBand),
                               static_cast<CoolBand*>(HistoryBand)};
    const std::array<int, korvel::kBandCount> order = korvel::bandOrder(ids);
    std::array<int, korvel::kBandCount> contents{};
    for (int i = 0; i < korvel::kBandCount; ++i) contents[i] = bands[order[i]]->contentsWidth();
    // Whatever the file says, each band comes back with room for all it holds.
    const korvel::BandRows rows = korvel::fitBandRows(breaks, widths, contents, width());
    arrangeBands(ids, rows.breaks);
    setBandWidths(rows.widths);
}

void TKorvelMain::setBandWidths(const std::array<int, korvel::kBandCount>& widths) {
    QToolBar* bands[] = {MenuToolBar, ToolBar1, FilterBand, FavoritesBand, HistoryBand};
    // Every band is made by makeBand.
    for (int i = 0; i < korvel::kBandCount; ++i) static_cast<CoolBand*>(bands[bandOrder_[i]])->setBandWidth(widths[i]);
}

void TKorvelMain::buildPanels() {
    treeSplitter_ = new QSplitter(Qt::Horizontal, this);
    treeSplitter_->setObjectName(QStringLiteral("Splitter1"));
    treeSplitter_->setHandleWidth(4);
    treeSplitter_->setChildrenCollapsible(false);

    treeSplitter_->addWidget(folderPanel_);
    folderTree_ = folderPanel_->tree();

    gridSplitter_ = new QSplitter(Qt::Vertical, treeSplitter_);
    gridSplitter_->setObjectName(QStringLiteral("Panel2"));
    gridSplitter_->setHandleWidth(4);
    gridSplitter_->setChildrenCollapsible(false);
    thumbnailGrid_ = new ThumbnailGridPanel(gridSplitter_, FileList, MediaExtList, ThumbBusy);
    StringGrid1 = thumbnailGrid_->view();

    previewPanel_ = new QWidget(gridSplitter_);
    previewPanel_->setObjectName(QStringLiteral("Panel4"));
    previewPanel_->setMinimumHeight(1);
    auto* previewLayout = new QVBoxLayout(previewPanel_);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    ScrollBox1 = new QScrollArea(previewPanel_);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    previewLayout->addWidget(ScrollBox1);

    treeSplitter_->setSizes({185, 565});
    gridSplitter_->setSizes({165, 300});
    treeSplitter_->setStretchFactor(1, 1);
    gridSplitter_->setStretchFactor(1, 1);
    setCentralWidget(treeSplitter_);
}

QString TKorvelMain::statusText(StatusPanel panel) const { return statusBar_->text(panel); }
