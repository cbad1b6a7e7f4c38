#include "fileops/ui/TwoLists.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>
#include <set>

#include "base/FileNames.h"
#include "platform/BusyCursor.h"
#include "platform/PathText.h"
#include "platform/WindowPlacement.h"
#include "settings/DialogSettings.h"

namespace {

constexpr int kItemHeight = 50;
// Neither list can be dragged or set narrower than a thumbnail and the start of a name.
constexpr int kMinPane = 2 * kItemHeight;
constexpr int kPathRole = Qt::UserRole;

std::string itemPath(const QListWidgetItem* item) { return item->data(kPathRole).toByteArray().toStdString(); }

// Thumbnail fitted into a square of the item height less 2, then the file name.
class ItemDelegate : public QStyledItemDelegate {
public:
    ItemDelegate(TTwoLists::ThumbSource thumbs, QObject* parent) : QStyledItemDelegate(parent), thumbs_(std::move(thumbs)) {}
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return {100, kItemHeight}; }
    void paint(QPainter* p, const QStyleOptionViewItem& opt, const QModelIndex& index) const override {
        const QRect r = opt.rect;
        if (opt.state & QStyle::State_Selected) p->fillRect(r, opt.palette.highlight());
        p->setPen(opt.state & QStyle::State_Selected ? opt.palette.highlightedText().color() : opt.palette.text().color());
        const std::string path = index.data(kPathRole).toByteArray().toStdString();
        const QString name = pathText(korvel::extractFileName(path));
        // Centred in the whole row: a fallback font for Japanese is often taller than the list's own.
        p->drawText(QRect(r.left() + kItemHeight + 4, r.top(), r.width() - kItemHeight - 4, r.height()),
                    Qt::AlignLeft | Qt::AlignVCenter, name);
        const QImage t = thumbs_ ? thumbs_(path) : QImage();
        if (t.isNull()) return;
        const int side = kItemHeight - 2;
        QSize s = t.size().scaled(side, side, Qt::KeepAspectRatio);
        s = s.expandedTo({1, 1});
        p->drawImage(QRect(r.left() + (kItemHeight - s.width()) / 2, r.top() + (kItemHeight - s.height()) / 2, s.width(),
                           s.height()),
                     t);
    }

private:
    TTwoLists::ThumbSource thumbs_;
};

QListWidget* makeList(QWidget* parent, QStyledItemDelegate* delegate) {
    auto* l = new QListWidget(parent);
    l->setSelectionMode(QAbstractItemView::ExtendedSelection);
    l->setUniformItemSizes(true);
    l->setItemDelegate(delegate);
    // However small the dialog, three files stay in sight.
    l->setMinimumHeight(3 * kItemHeight + 2 * l->frameWidth());
    return l;
}

QLabel* makeHeading(const QString& text, const char* colour, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setStyleSheet(QStringLiteral("color: %1; font-weight: bold;").arg(QLatin1String(colour)));
    return l;
}

}  // namespace

TTwoLists::TTwoLists(ThumbSource thumbs, QWidget* parent) : QWidget(parent), thumbs_(std::move(thumbs)) {
    auto* delegate = new ItemDelegate(thumbs_, this);
    splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setChildrenCollapsible(false);
    PanelN01 = new QWidget(splitter);
    auto* left = new QVBoxLayout(PanelN01);
    left->setContentsMargins(0, 0, 0, 0);
    NoLabel = makeHeading(tr("対象外のファイル"), "blue", PanelN01);
    NoListBox = makeList(PanelN01, delegate);
    NoListBox->setObjectName(QStringLiteral("NoListBox"));
    left->addWidget(NoLabel);
    left->addWidget(NoListBox);
    PanelN01->setMinimumWidth(kMinPane);

    auto* right = new QWidget(splitter);
    auto* row = new QHBoxLayout(right);
    row->setContentsMargins(0, 0, 0, 0);
    auto* buttons = new QVBoxLayout;
    auto button = [&](QToolButton*& b, const char* name, const QString& hint, const QString& glyph) {
        b = new QToolButton(right);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(hint);
        b->setText(glyph);
        b->setAutoRaise(true);
        b->setFixedWidth(34);
        buttons->addWidget(b);
    };
    buttons->addStretch();
    button(DelBtn, "DelBtn", tr("選択を戻す"), QStringLiteral("<"));
    button(AddBtn, "AddBtn", tr("選択を追加"), QStringLiteral(">"));
    button(AllDelBtn, "AllDelBtn", tr("全て戻す"), QStringLiteral("<<"));
    button(AllAddBtn, "AllAddBtn", tr("全て追加"), QStringLiteral(">>"));
    buttons->addStretch();
    row->addLayout(buttons);
    auto* yes = new QVBoxLayout;
    YesLabel = makeHeading(tr("対象ファイル"), "red", right);
    YesListBox = makeList(right, delegate);
    YesListBox->setObjectName(QStringLiteral("YesListBox"));
    YesListBox->setMinimumWidth(kMinPane);
    yes->addWidget(YesLabel);
    yes->addWidget(YesListBox);
    row->addLayout(yes);
    splitter->setStretchFactor(1, 1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(splitter);

    connect(AddBtn, &QToolButton::clicked, this, &TTwoLists::AddBtnClick);
    connect(DelBtn, &QToolButton::clicked, this, &TTwoLists::DelBtnClick);
    connect(AllAddBtn, &QToolButton::clicked, this, &TTwoLists::AllAddBtnClick);
    connect(AllDelBtn, &QToolButton::clicked, this, &TTwoLists::AllDelBtnClick);
}

void TTwoLists::addItem(QListWidget* list, const std::string& path) {
    auto* item = new QListWidgetItem(list);
    item->setData(kPathRole, QByteArray::fromStdString(path));
    item->setText(pathText(path));  // for accessibility and keyboard search; the delegate draws
}

void TTwoLists::fill(const std::vector<std::string>& all, const std::vector<std::string>& right) {
    NoListBox->clear();
    YesListBox->clear();
    const std::set<std::string> chosen(right.begin(), right.end());
    for (const std::string& p : right) addItem(YesListBox, p);
    for (const std::string& p : all)
        if (!chosen.count(p)) addItem(NoListBox, p);
    if (YesListBox->count() > 0) YesListBox->item(0)->setSelected(true);
}

static std::vector<std::string> pathsOf(const QListWidget* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i) out.push_back(itemPath(list->item(i)));
    return out;
}
void TTwoLists::loadPlacement(QWidget& dialog, const korvel::DialogPlacement& stored, const QSize& size) {
    placeDialog(dialog, QSize(stored.width, stored.height), size);
    const int panel = korvel::fitSplit(stored.panel.value_or(dialog.width() / 3), dialog.width(), kMinPane);
    splitter->setSizes({panel, std::max(1, dialog.width() - panel)});
    if (stored.state == korvel::DialogPlacement::Maximized) dialog.setWindowState(Qt::WindowMaximized);
}

korvel::DialogPlacement TTwoLists::placementOf(const QWidget& dialog) const {
    using korvel::DialogPlacement;
    const int state = dialog.isMaximized()   ? DialogPlacement::Maximized
                      : dialog.isMinimized() ? DialogPlacement::Minimized
                                             : DialogPlacement::Normal;
    return {state, dialog.width(), dialog.height(), PanelN01->width()};
}

std::vector<std::string> TTwoLists::yesPaths() const { return pathsOf(YesListBox); }
std::vector<std::string> TTwoLists::noPaths() const { return pathsOf(NoListBox); }

void TTwoLists::moveItems(QListWidget* from, QListWidget* to, bool selectedOnly) {
    if ((selectedOnly || allNeedsSelection) && from->selectedItems().isEmpty()) return;
    BusyCursor busy;
    from->setUpdatesEnabled(false);
    to->setUpdatesEnabled(false);
    std::set<std::string> there;
    for (const std::string& p : pathsOf(to)) there.insert(p);
    for (int i = 0; i < from->count(); ++i) {
        const QListWidgetItem* item = from->item(i);
        if (selectedOnly && !item->isSelected()) continue;
        const std::string p = itemPath(item);
        if (there.insert(p).second) addItem(to, p);
    }
    // Then drop from the source, last to first, whatever now stands in the destination.
    for (int i = from->count() - 1; i >= 0; --i)
        if (there.count(itemPath(from->item(i)))) delete from->takeItem(i);
    from->setUpdatesEnabled(true);
    to->setUpdatesEnabled(true);
}

void TTwoLists::thumbnailsChanged() {
    NoListBox->viewport()->update();
    YesListBox->viewport()->update();
}
