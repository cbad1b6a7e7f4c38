// The main window's layout: bands at the top, tree, grid and preview panels, quick-folder bar
// on the right and the status bar.
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/KorvelMain.h"
#include "app/ResizeWatcher.h"
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
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(4);
    Splitter1->setChildrenCollapsible(false);

    Panel1 = new QWidget(Splitter1);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setMinimumWidth(1);
    auto* treeLayout = new QVBoxLayout(Panel1);
    treeLayout->setContentsMargins(0, 0, 0, 0);
    DirTree1 = new TDirTree(Panel1);
    DirTree1->setObjectName(QStringLiteral("DirTree1"));
    treeLayout->addWidget(DirTree1);

    Splitter2 = new QSplitter(Qt::Vertical, Splitter1);
    Splitter2->setObjectName(QStringLiteral("Panel2"));
    Splitter2->setHandleWidth(4);
    Splitter2->setChildrenCollapsible(false);
    Panel3 = new QWidget(Splitter2);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setMinimumHeight(1);
    auto* gridLayout = new QVBoxLayout(Panel3);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    StringGrid1 = new TOrgStGrid(Panel3);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    gridLayout->addWidget(StringGrid1);

    Panel4 = new QWidget(Splitter2);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setMinimumHeight(1);
    auto* previewLayout = new QVBoxLayout(Panel4);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    ScrollBox1 = new QScrollArea(Panel4);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    previewLayout->addWidget(ScrollBox1);

    Splitter1->setSizes({185, 565});
    Splitter2->setSizes({165, 300});
    Splitter1->setStretchFactor(1, 1);
    Splitter2->setStretchFactor(1, 1);
    setCentralWidget(Splitter1);
}

void TKorvelMain::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    const int widths[6] = {60, 400, 60, 100, 70, 50};
    const Qt::Alignment align[6] = {Qt::AlignRight, Qt::AlignLeft, Qt::AlignRight,
                                    Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignLeft};
    for (int i = 0; i < 6; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setAlignment(align[i] | Qt::AlignVCenter);
        panel->setFixedWidth(widths[i]);
        bar->addWidget(panel);
        StatusPanels[i] = panel;
    }
    new ResizeWatcher(bar, [this] { StatusBar1Resize(); });
}

void TKorvelMain::showFileCount() {
    QLabel* panel = StatusPanels[0];
    panel->setText(QString::fromStdString(korvel::formatFileCount(FileList.size())));
    // The design width fits "#,##0Files" in the original font only; a right-aligned text that
    // does not fit loses its first digits.
    const int wanted = std::max(60, panel->sizeHint().width());
    if (panel->width() == wanted) return;
    panel->setFixedWidth(wanted);
    StatusBar1Resize();
}

void TKorvelMain::StatusBar1Resize() {
    int others = 0;
    for (int i : {0, 2, 3, 4}) others += StatusPanels[i]->width();
    StatusPanels[1]->setFixedWidth(std::max(50, statusBar()->contentsRect().width() - others - 20));
}
