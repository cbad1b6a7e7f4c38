#include "browse/ui/FolderPicker.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QHeaderView>
#include <QTreeWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QVBoxLayout>
#include <cstdlib>

#include "base/FileNames.h"
#include "browse/FolderScan.h"
#include "browse/FolderTree.h"
#include "browse/ui/DirTree.h"
#include "fileops/FolderOps.h"
#include "fileops/ui/FolderNameDialogs.h"
#include "platform/PathText.h"
#include "platform/ThemeIcons.h"

namespace {

constexpr int kPlaceRole = Qt::UserRole;  // the place's folder as bytes

using korvel::withSlash;

// The places beside the tree: headings with their folders below, in one column.
QTreeWidget* makePlacesList(QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QStringLiteral("PlacesList"));
    list->setHeaderHidden(true);
    list->setRootIsDecorated(false);
    list->setIndentation(0);
    list->setItemsExpandable(false);
    list->setExpandsOnDoubleClick(false);
    // The column is as wide as the pane, so a long path loses its start, not its last folders.
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->header()->setStretchLastSection(true);
    list->setTextElideMode(Qt::ElideLeft);
    return list;
}

}  // namespace

TFolderPicker::TFolderPicker(const QString& prompt, const std::string& start, PickerPlaces places, QWidget* parent)
    : QDialog(parent), places_(std::move(places)) {
    setObjectName(QStringLiteral("FolderPicker"));
    setWindowTitle(tr("フォルダの参照"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    PromptLabel = new QLabel(prompt, this);
    PromptLabel->setTextFormat(Qt::PlainText);
    PromptLabel->setWordWrap(true);

    auto* split = new QSplitter(Qt::Horizontal, this);
    Tree = new TDirTree(split);
    Tree->setObjectName(QStringLiteral("PickerTree"));
    PlacesList = makePlacesList(split);
    split->addWidget(Tree);
    split->addWidget(PlacesList);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setChildrenCollapsible(false);

    NewFolderBtn = new QPushButton(tr("新しいフォルダ"), this);
    NewFolderBtn->setAutoDefault(false);
    OkBtn = new QPushButton(QStringLiteral("OK"), this);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton(tr("ｷｬﾝｾﾙ"), this);
    CancelBtn->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PromptLabel);
    layout->addWidget(split, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(NewFolderBtn);
    buttons->addStretch();
    buttons->addWidget(OkBtn);
    buttons->addWidget(CancelBtn);
    layout->addLayout(buttons);
    // A roomy default that still fits a small or highly scaled screen.
    QSize size(580, 440);
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.9);
    resize(size);

    addPlaces(tr("お気に入り"), places_.favorites, false);
    addPlaces(tr("ｸｲｯｸﾌｫﾙﾀﾞ"), places_.quick, true);
    PlacesList->expandAll();
    if (PlacesList->topLevelItemCount() == 0) PlacesList->hide();
    connectControls();
    openAt(start);
    updateActions();
    Tree->setFocus();
}

void TFolderPicker::connectControls() {
    connect(Tree, &QTreeWidget::currentItemChanged, this, [this] {
        // A node the user picks in the tree is no longer the place highlighted beside it.
        const QSignalBlocker quiet(PlacesList);
        PlacesList->setCurrentItem(nullptr);
        updateActions();
    });
    connect(PlacesList, &QTreeWidget::currentItemChanged, this, &TFolderPicker::placeChosen);
    connect(PlacesList, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (!(item->flags() & Qt::ItemIsEnabled)) return;
        chosen_ = withSlash(item->data(0, kPlaceRole).toByteArray().toStdString());
        if (!chosen_.empty()) accept();
    });
    connect(NewFolderBtn, &QPushButton::clicked, this, &TFolderPicker::NewFolderBtnClick);
    connect(OkBtn, &QPushButton::clicked, this, &TFolderPicker::OkBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TFolderPicker::openAt(const std::string& start) {
    const char* home = std::getenv("HOME");
    std::string path = korvel::nearestExistingFolder(start, home ? home : "");
    // A folder the tree does not show (inside the Trash) opens at the nearest one it does.
    while (!Tree->SelectPath(path) && path != "/") path.erase(path.rfind('/', path.size() - 2) + 1);
    if (!Tree->currentItem() && Tree->topLevelItemCount() > 0) Tree->setCurrentItem(Tree->topLevelItem(0));
    if (Tree->currentItem()) Tree->scrollTo(Tree->currentIndex(), QAbstractItemView::PositionAtCenter);
}

void TFolderPicker::addPlaces(const QString& heading, const std::vector<PickerPlace>& places, bool quick) {
    if (places.empty()) return;
    static const QIcon folderIcon = toolIcon(ToolIcon::Folder);
    auto* head = new QTreeWidgetItem(PlacesList, {heading});
    head->setFlags(Qt::ItemIsEnabled);
    QFont bold = head->font(0);
    bold.setBold(true);
    head->setFont(0, bold);
    for (const PickerPlace& place : places) {
        const std::string path = withSlash(place.path);
        const QString text = pathText(path);
        auto* item = new QTreeWidgetItem(head, {quick && !place.caption.isEmpty() ? place.caption : text});
        item->setIcon(0, folderIcon);
        item->setToolTip(0, text);
        item->setData(0, kPlaceRole, QByteArray::fromStdString(path));
        // A place whose folder is gone stays listed, so the list keeps its order, but cannot be chosen.
        if (!korvel::isExistingFolder(path)) item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
    }
}

void TFolderPicker::placeChosen(QTreeWidgetItem* item) {
    if (!item) return;
    const std::string path = item->data(0, kPlaceRole).toByteArray().toStdString();
    if (path.empty()) return;
    const QSignalBlocker quiet(Tree);
    Tree->SelectPath(path);
    updateActions();
}

void TFolderPicker::updateActions() {
    const bool node = Tree->currentItem() != nullptr;
    OkBtn->setEnabled(node);
    NewFolderBtn->setEnabled(node);
}

void TFolderPicker::OkBtnClick() {
    const std::string path = Tree->SelectedPath();
    if (path == "?") return;
    chosen_ = path;
    accept();
}

void TFolderPicker::NewFolderBtnClick() {
    const std::string parent = Tree->SelectedPath();
    if (parent == "?") return;
    TInputNameFrm ask(parent, this);
    if (ask.exec() != QDialog::Accepted) return;
    const std::string made = korvel::FolderOps().createNested(parent, ask.name());
    if (made.empty()) {
        QMessageBox::critical(this, tr("エラー"), tr("フォルダを作成出来ませんでした。"));
        return;
    }
    Tree->AddPathNodes(made);
    Tree->SelectPath(made + '/');
    if (places_.folderMade) places_.folderMade(made);
    Tree->setFocus();
}

std::optional<std::string> pickFolder(QWidget* parent, const QString& prompt, const std::string& start,
                                      const std::string& fallback, const PickerPlaces& places) {
    TFolderPicker picker(prompt, start.empty() ? fallback : start, places, parent);
    if (picker.exec() != QDialog::Accepted || picker.chosenPath().empty()) return std::nullopt;
    return picker.chosenPath();
}
