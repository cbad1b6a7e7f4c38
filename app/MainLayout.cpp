// The main window's panels: the tree beside the grid over the preview.
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/KorvelMain.h"
#include "app/FolderTreePanel.h"
#include "app/StatusBar.h"
#include "browse/ui/DirTree.h"
#include "browse/FileList.h"
#include "browse/ui/OrgStGrid.h"

void TKorvelMain::buildPanels() {
    treeSplitter_ = new QSplitter(Qt::Horizontal, this);
    treeSplitter_->setObjectName(QStringLiteral("Splitter1"));
    treeSplitter_->setHandleWidth(4);
    treeSplitter_->setChildrenCollapsible(false);

    treeSplitter_->addWidget(folderPanel_);

    gridSplitter_ = new QSplitter(Qt::Vertical, treeSplitter_);
    gridSplitter_->setObjectName(QStringLiteral("Panel2"));
    gridSplitter_->setHandleWidth(4);
    gridSplitter_->setChildrenCollapsible(false);
    thumbnailGrid_ = new ThumbnailGridPanel(gridSplitter_, listing_->filesForGrid(), mediaExts_, thumbnailBusy_);

    gridSplitter_->addWidget(previewPanel_);

    treeSplitter_->setSizes({185, 565});
    gridSplitter_->setSizes({165, 300});
    treeSplitter_->setStretchFactor(1, 1);
    gridSplitter_->setStretchFactor(1, 1);
    setCentralWidget(treeSplitter_);
}

QString TKorvelMain::statusText(StatusPanel panel) const { return statusBar_->text(panel); }
