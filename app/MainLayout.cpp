// The main window's layout: bands at the top, tree, grid and preview panels, quick-folder bar
// on the right.
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScrollArea>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
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
    FavoritesBand->addWidget(new QLabel(tr("お気に入り") + QLatin1Char(' '), FavoritesBand));
    ComboBox2 = new QComboBox(FavoritesBand);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setMinimumWidth(312 - 70);
    FavoritesBand->addWidget(ComboBox2);

    HistoryBand = makeBand(this, "HistoryBand", tr("履歴"));
    HistoryBand->addWidget(new QLabel(tr("履歴") + QLatin1Char(' '), HistoryBand));
    ComboBox1 = new QComboBox(HistoryBand);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setMinimumWidth(215 - 40);
    HistoryBand->addWidget(ComboBox1);

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
    gridPanel_ = new QWidget(gridSplitter_);
    gridPanel_->setObjectName(QStringLiteral("Panel3"));
    gridPanel_->setMinimumHeight(1);
    auto* gridLayout = new QVBoxLayout(gridPanel_);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    StringGrid1 = new TOrgStGrid(gridPanel_);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    gridLayout->addWidget(StringGrid1);

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

void TKorvelMain::buildQuickFolderBar() {
    ToolBar2 = new QToolBar(QStringLiteral("ToolBar2"), this);
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    ToolBar2->setOrientation(Qt::Vertical);
    ToolBar2->setMovable(false);
    ToolBar2->setIconSize(QSize(20, 20));
    addToolBar(Qt::RightToolBarArea, ToolBar2);
    for (int i = 0; i < 20; ++i) {
        auto* b = new QToolButton(ToolBar2);
        b->setObjectName(QStringLiteral("FolderBtn%1").arg(i + 1));
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        b->setFixedSize(23, 22);
        b->setAcceptDrops(true);  // marked cells dropped here open the drop menu
        ToolBar2->addWidget(b);
        // Its own pop-up menu opens on the right button's release, after the press made it current.
        b->setContextMenuPolicy(Qt::PreventContextMenu);
        connect(b, &QToolButton::clicked, this, [this, i] { FolderBtnClick(i); });
        FolderBtns[i] = b;
        setQuickFolder(i, {}, {});
    }
}

QString TKorvelMain::statusText(StatusPanel panel) const { return statusBar_->text(panel); }
