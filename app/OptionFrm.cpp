#include "app/OptionFrm.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "nav/QuickFolders.h"
#include "nav/ui/QFSelectFrm.h"
#include "platform/PathText.h"
#include "platform/WindowPlacement.h"

namespace {
constexpr int kMaxFavorites = 20;
constexpr int kBytesRole = Qt::UserRole;  // a shown path's own bytes

std::string itemBytes(const QVariant& data) { return data.toByteArray().toStdString(); }

template <class T>
T* named(T* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

QVBoxLayout* tightColumn(QWidget* parent) {
    auto* l = new QVBoxLayout(parent);
    l->setSpacing(2);
    l->setContentsMargins(6, 4, 6, 4);
    return l;
}
}  // namespace

TOptionFrm::TOptionFrm(const korvel::OptionValues& values, int thumbSize, const std::vector<std::string>& favorites,
                       const std::array<QuickFolder, kQuickRows>& quickFolders, Hooks h, QWidget* parent)
    : QDialog(parent), hooks(std::move(h)) {
    setObjectName(QStringLiteral("TOptionFrm"));
    setWindowTitle(tr("オプション設定"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    PageControl1 = named(new QTabWidget(this), "PageControl1");
    buildSettingsPage();
    buildFavoritesPage();
    buildQuickFolderPage();
    OkBtn = named(new QPushButton(tr("OK"), this), "OkBtn");
    CancelBtn = named(new QPushButton(tr("ｷｬﾝｾﾙ"), this), "CancelBtn");
    OkBtn->setDefault(true);
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkBtn);
    buttons->addWidget(CancelBtn);
    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(6, 6, 6, 6);
    main->addWidget(PageControl1);
    main->addLayout(buttons);
    FormCreate(values, thumbSize, favorites, quickFolders);
    // 536 x 392 unless the installed font needs more, so every page shows every control whole;
    // fixed, and centred on the screen, not on the main window.
    const QSize size = sizeHint().expandedTo({536, 392});
    placeDialog(*this, size, size);
    setFixedSize(this->size());
}

void TOptionFrm::buildSettingsPage() {
    SettingsPage = new QWidget;
    PageControl1->addTab(SettingsPage, tr("設定"));

    auto* general = new QGroupBox(tr("全般"));
    QVBoxLayout* g = tightColumn(general);
    g->addWidget(windowCheck = named(new QCheckBox(tr("ウインドウ状態を保存する")), "windowCheck"));
    g->addWidget(historyfRadio = named(new QRadioButton(tr("起動時に前回のフォルダを開く")), "historyfRadio"));
    g->addWidget(siteiRadio = named(new QRadioButton(tr("起動時に開くフォルダを指定")), "siteiRadio"));
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(Edit1 = named(new QLineEdit, "Edit1"));
    pathRow->addWidget(SpeedButton1 = named(new QToolButton, "SpeedButton1"));
    Edit1->setMaxLength(255);
    SpeedButton1->setText(QStringLiteral("..."));
    g->addLayout(pathRow);
    g->addWidget(NoOpenFileCheck = named(new QCheckBox(tr("起動時は別ウィンドウを開かない")), "NoOpenFileCheck"));
    g->addWidget(HistoryDelCheck = named(new QCheckBox(tr("終了時に履歴をクリア")), "HistoryDelCheck"));
    g->addWidget(SubDirOnceCheck = named(new QCheckBox(tr("ｻﾌﾞﾌｫﾙﾀﾞ表示はその都度ｸﾘｱ")), "SubDirOnceCheck"));
    g->addWidget(BitBtn1 = named(new QPushButton(tr("今すぐ履歴をクリア")), "BitBtn1"));
    g->addStretch();

    auto* slide = new QGroupBox(tr("ｽﾗｲﾄﾞｼｮｰ"));
    QVBoxLayout* s = tightColumn(slide);
    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(new QLabel(tr("表示時間（ms）")));
    intervalRow->addWidget(SlidNumEdit = named(new QLineEdit, "SlidNumEdit"));
    SlidNumEdit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SlidNumEdit->setMaxLength(6);
    // Keys go through SlidNumEditKeyPress; the validator also keeps pasted text to digits.
    SlidNumEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), SlidNumEdit));
    SlidNumEdit->installEventFilter(this);
    SlidNumEdit->setFixedWidth(70);
    s->addLayout(intervalRow);
    auto* colorRow = new QHBoxLayout;
    colorRow->addWidget(new QLabel(tr("背景色")));
    colorRow->addWidget(SlidBackPanel = named(new QPushButton, "SlidBackPanel"));
    SlidBackPanel->setFixedSize(70, 20);
    s->addLayout(colorRow);
    s->addWidget(RepeatCheck = named(new QCheckBox(tr("繰り返し表示する")), "RepeatCheck"));
    s->addWidget(FullScreenCheck = named(new QCheckBox(tr("ﾌﾙｽｸﾘｰﾝ表示にする")), "FullScreenCheck"));
    s->addWidget(FSCaptionCheck = named(new QCheckBox(tr("「再生中」を非表示")), "FSCaptionCheck"));
    s->addWidget(SelectStartCheck = named(new QCheckBox(tr("選択画像からスタート")), "SelectStartCheck"));
    s->addWidget(PauseStartCheck = named(new QCheckBox(tr("一時停止状態でスタート")), "PauseStartCheck"));
    s->addWidget(SlidSpeedCheck = named(new QCheckBox(tr("ｽﾗｲﾄﾞｼｮｰは速度を優先する")), "SlidSpeedCheck"));
    s->addStretch();

    auto* display = new QGroupBox(tr("表示"));
    auto* d = new QGridLayout(display);
    d->setVerticalSpacing(2);
    d->setContentsMargins(6, 4, 6, 4);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(new QLabel(tr("ｾﾙｻｲｽﾞの変更")));
    sizeRow->addWidget(CellSizeCombo = named(new QComboBox, "CellSizeCombo"));
    sizeRow->addStretch();
    for (int size = 40; size <= 300; size += 10) CellSizeCombo->addItem(QString::number(size));
    d->addLayout(sizeRow, 0, 0, 1, 2);
    d->addWidget(HideCheck = named(new QCheckBox(tr("隠しﾌｧｲﾙは非表示")), "HideCheck"), 1, 0);
    d->addWidget(SpeedCheck = named(new QCheckBox(tr("ｻﾑﾈｲﾙは速度を優先")), "SpeedCheck"), 1, 1);
    d->addWidget(ChangeImCheck = named(new QCheckBox(tr("先頭画像の拡大表示")), "ChangeImCheck"), 2, 0);
    d->addWidget(PictFitCheck = named(new QCheckBox(tr("枠より小さい画像は拡大")), "PictFitCheck"), 2, 1);
    d->addWidget(ExifRotateCheck = named(new QCheckBox(tr("EXIFの向きに合わせて回転")), "ExifRotateCheck"), 3, 0);
    d->addWidget(ColorManageCheck = named(new QCheckBox(tr("埋め込みカラープロファイルを使う")), "ColorManageCheck"),
                 3, 1);
    d->addWidget(SharedCacheCheck = named(new QCheckBox(tr("共有サムネイルキャッシュを使う")), "SharedCacheCheck"), 4, 0);
    d->addWidget(TurnKeepsTimeCheck = named(new QCheckBox(tr("回転を保存しても更新日時を変えない(&M)")), "TurnKeepsTimeCheck"),
                 4, 1);

    auto* page = new QGridLayout(SettingsPage);
    page->setContentsMargins(4, 4, 4, 4);
    page->addWidget(general, 0, 0);
    page->addWidget(slide, 0, 1);
    page->addWidget(display, 1, 0, 1, 2);

    connect(historyfRadio, &QRadioButton::toggled, this, &TOptionFrm::siteiRadioClick);
    connect(siteiRadio, &QRadioButton::toggled, this, &TOptionFrm::siteiRadioClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &TOptionFrm::SpeedButton1Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TOptionFrm::BitBtn1Click);
    connect(SlidBackPanel, &QPushButton::clicked, this, &TOptionFrm::SlidBackPanelClick);
    connect(FullScreenCheck, &QCheckBox::toggled, this, &TOptionFrm::FullScreenCheckClick);
}

void TOptionFrm::buildFavoritesPage() {
    FavoritesPage = new QWidget;
    PageControl1->addTab(FavoritesPage, tr("お気に入り"));
    auto* page = new QHBoxLayout(FavoritesPage);
    page->addWidget(ListBox1 = named(new QListWidget, "ListBox1"));
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(UpBtn = named(new QPushButton(tr("上へ")), "UpBtn"));
    buttons->addWidget(DownBtn = named(new QPushButton(tr("下へ")), "DownBtn"));
    buttons->addSpacing(12);
    buttons->addWidget(AddBtn = named(new QPushButton(tr("追加")), "AddBtn"));
    buttons->addWidget(DelBtn = named(new QPushButton(tr("削除")), "DelBtn"));
    buttons->addWidget(AllDelBtn = named(new QPushButton(tr("全て削除")), "AllDelBtn"));
    buttons->addStretch();
    page->addLayout(buttons);
    connect(UpBtn, &QPushButton::clicked, this, &TOptionFrm::UpBtnClick);
    connect(DownBtn, &QPushButton::clicked, this, &TOptionFrm::DownBtnClick);
    connect(AddBtn, &QPushButton::clicked, this, &TOptionFrm::AddBtnClick);
    connect(DelBtn, &QPushButton::clicked, this, &TOptionFrm::DelBtnClick);
    connect(AllDelBtn, &QPushButton::clicked, this, &TOptionFrm::AllDelBtnClick);
}

void TOptionFrm::buildQuickFolderPage() {
    QuickFolderPage = new QWidget;
    PageControl1->addTab(QuickFolderPage, tr("ｸｲｯｸﾌｫﾙﾀﾞ"));
    auto* page = new QVBoxLayout(QuickFolderPage);
    page->addWidget(ListView1 = named(new QTreeWidget, "ListView1"));
    ListView1->setRootIsDecorated(false);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setHeaderLabels({tr("表示名"), tr("フルパス名")});
    ListView1->setColumnWidth(0, 80);
    ListView1->setColumnWidth(1, 395);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(QFEditBtn = named(new QPushButton(tr("設定", "button: edit the quick folder")), "QFEditBtn"));
    buttons->addWidget(QFUpBtn = named(new QPushButton(tr("上へ")), "QFUpBtn"));
    buttons->addWidget(QFDownBtn = named(new QPushButton(tr("下へ")), "QFDownBtn"));
    buttons->addWidget(QFClearBtn = named(new QPushButton(tr("クリア")), "QFClearBtn"));
    buttons->addWidget(QFAllClearBtn = named(new QPushButton(tr("全てｸﾘｱ")), "QFAllClearBtn"));
    page->addLayout(buttons);
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this, &TOptionFrm::ListView1SelectItem);
    connect(QFEditBtn, &QPushButton::clicked, this, &TOptionFrm::QFEditBtnClick);
    connect(QFUpBtn, &QPushButton::clicked, this, &TOptionFrm::QFUpBtnClick);
    connect(QFDownBtn, &QPushButton::clicked, this, &TOptionFrm::QFDownBtnClick);
    connect(QFClearBtn, &QPushButton::clicked, this, [this] { QFClear(false); });
    connect(QFAllClearBtn, &QPushButton::clicked, this, [this] { QFClear(true); });
}

void TOptionFrm::FormCreate(const korvel::OptionValues& v, int thumbSize, const std::vector<std::string>& favorites,
                            const std::array<QuickFolder, kQuickRows>& quickFolders) {
    windowCheck->setChecked(v.windOption);
    (v.opFolderFlg ? siteiRadio : historyfRadio)->setChecked(true);
    Edit1->setText(pathText(v.path));
    NoOpenFileCheck->setChecked(v.fileOpen);
    HistoryDelCheck->setChecked(v.historyFlag);
    SubDirOnceCheck->setChecked(v.subDirOnce);
    CellSizeCombo->setCurrentIndex(CellSizeCombo->findText(QString::number(thumbSize)));
    HideCheck->setChecked(v.noHideFile);
    SpeedCheck->setChecked(v.speedFlg);
    ChangeImCheck->setChecked(v.changeImFlg);
    PictFitCheck->setChecked(v.pictFitFlg);
    ExifRotateCheck->setChecked(v.exifRotate);
    ColorManageCheck->setChecked(v.colorManage);
    SharedCacheCheck->setChecked(v.sharedCache);
    TurnKeepsTimeCheck->setChecked(v.turnKeepsTime);
    SlidNumEdit->setText(QString::fromStdString(v.timeInt));
    setSlideColor(v.showColor);
    RepeatCheck->setChecked(v.repeatFlg);
    FullScreenCheck->setChecked(v.fullScreen);
    FSCaptionCheck->setChecked(v.fullScreenCaption);
    SelectStartCheck->setChecked(v.selectStart);
    PauseStartCheck->setChecked(v.pauseStart);
    SlidSpeedCheck->setChecked(v.sSpeedFlg);
    for (const std::string& f : favorites) addFavoriteItem(f);
    for (int i = 0; i < kQuickRows; ++i) {
        new QTreeWidgetItem(ListView1);
        const auto& [folder, caption] = quickFolders[size_t(i)];
        setRow(i, folder.empty() ? QString() : caption, folder);
    }
    updateControls();
}

korvel::OptionValues TOptionFrm::values() const {
    korvel::OptionValues v;
    v.windOption = windowCheck->isChecked();
    v.opFolderFlg = siteiRadio->isChecked();
    v.path = startFolder();
    v.fileOpen = NoOpenFileCheck->isChecked();
    v.historyFlag = HistoryDelCheck->isChecked();
    v.subDirOnce = SubDirOnceCheck->isChecked();
    v.noHideFile = HideCheck->isChecked();
    v.speedFlg = SpeedCheck->isChecked();
    v.changeImFlg = ChangeImCheck->isChecked();
    v.pictFitFlg = PictFitCheck->isChecked();
    v.exifRotate = ExifRotateCheck->isChecked();
    v.colorManage = ColorManageCheck->isChecked();
    v.sharedCache = SharedCacheCheck->isChecked();
    v.turnKeepsTime = TurnKeepsTimeCheck->isChecked();
    v.timeInt = SlidNumEdit->text().toStdString();
    v.showColor = slideColor_;
    v.repeatFlg = RepeatCheck->isChecked();
    v.fullScreen = FullScreenCheck->isChecked();
    v.fullScreenCaption = FSCaptionCheck->isChecked();
    v.selectStart = SelectStartCheck->isChecked();
    v.pauseStart = PauseStartCheck->isChecked();
    v.sSpeedFlg = SlidSpeedCheck->isChecked();
    return v;
}

std::string TOptionFrm::startFolder() const {
    return pathBytes(Edit1->text());
}

std::vector<std::string> TOptionFrm::favorites() const {
    std::vector<std::string> items;
    for (int i = 0; i < ListBox1->count(); ++i) items.push_back(itemBytes(ListBox1->item(i)->data(kBytesRole)));
    return items;
}

void TOptionFrm::addFavoriteItem(const std::string& folder) {
    auto* item = new QListWidgetItem(pathText(folder), ListBox1);
    item->setData(kBytesRole, QByteArray::fromStdString(folder));
}

TOptionFrm::QuickFolder TOptionFrm::quickFolder(int row) const {
    const QTreeWidgetItem* item = ListView1->topLevelItem(row);
    const std::string folder = itemBytes(item->data(1, kBytesRole));
    return {folder, folder.empty() ? QString() : item->text(0)};
}

void TOptionFrm::setRow(int row, const QString& caption, const std::string& folder) {
    QTreeWidgetItem* item = ListView1->topLevelItem(row);
    item->setText(0, folder.empty() ? tr("未設定") : caption);
    item->setText(1, pathText(folder));
    item->setData(1, kBytesRole, QByteArray::fromStdString(folder));
}

void TOptionFrm::updateControls() {
    Edit1->setEnabled(siteiRadio->isChecked());
    SpeedButton1->setEnabled(siteiRadio->isChecked());
    FSCaptionCheck->setEnabled(FullScreenCheck->isChecked());
    const QList<QTreeWidgetItem*> sel = ListView1->selectedItems();
    const int row = sel.isEmpty() ? -1 : ListView1->indexOfTopLevelItem(sel.first());
    for (QPushButton* b : {QFEditBtn, QFClearBtn, QFAllClearBtn}) b->setEnabled(row >= 0);
    QFUpBtn->setEnabled(row > 0);
    QFDownBtn->setEnabled(row >= 0 && row < kQuickRows - 1);
}

void TOptionFrm::siteiRadioClick() { updateControls(); }
void TOptionFrm::FullScreenCheckClick() { updateControls(); }
void TOptionFrm::ListView1SelectItem() { updateControls(); }

bool TOptionFrm::confirm(const QString& text, const QString& title, bool warning) {
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Question, title.isEmpty() ? tr("確認") : title, text,
                    QMessageBox::Yes | QMessageBox::No, this);
    return box.exec() == QMessageBox::Yes;
}

void TOptionFrm::SpeedButton1Click() {
    if (!hooks.browseFolder) return;
    const std::string current = startFolder();
    const std::string chosen = hooks.browseFolder(siteiRadio->text() + tr("して下さい。"),
                                                  current.empty() ? hooks.treeFolder : current);
    if (chosen.empty()) return;
    Edit1->setText(pathText(chosen));
}

void TOptionFrm::BitBtn1Click() {
    if (confirm(tr("履歴を全て削除します。よろしいですか？")) && hooks.clearHistory) hooks.clearHistory();
}

void TOptionFrm::AddBtnClick() {
    if (!hooks.browseFolder) return;
    std::string folder = hooks.browseFolder(tr("お気に入りに追加するフォルダを指定して下さい。"), hooks.treeFolder);
    if (folder.empty()) return;
    if (folder.back() != '/') folder += '/';
    const std::vector<std::string> items = favorites();
    if (std::find(items.begin(), items.end(), folder) != items.end()) {
        QMessageBox::information(this, tr("情報"), pathText(folder) + tr(" は既に登録済みです。"));
        return;
    }
    // A full list gives up its last item for the new one.
    if (ListBox1->count() >= kMaxFavorites) delete ListBox1->takeItem(ListBox1->count() - 1);
    addFavoriteItem(folder);
    ListBox1->setCurrentRow(ListBox1->count() - 1);
}

void TOptionFrm::DelBtnClick() {
    const int row = ListBox1->currentRow();
    if (ListBox1->count() == 0 || row < 0) return;
    if (confirm(tr("選択したお気に入りを削除します。よろしいですか？"))) delete ListBox1->takeItem(row);
}

void TOptionFrm::AllDelBtnClick() {
    if (ListBox1->count() > 0 && confirm(tr("お気に入りを全て削除します。よろしいですか？"))) ListBox1->clear();
}

void TOptionFrm::moveFavorite(int by) {
    const int row = ListBox1->currentRow(), to = row + by;
    if (row < 0 || to < 0 || to >= ListBox1->count()) return;
    ListBox1->insertItem(to, ListBox1->takeItem(row));
    ListBox1->setCurrentRow(to);
}

void TOptionFrm::UpBtnClick() { moveFavorite(-1); }
void TOptionFrm::DownBtnClick() { moveFavorite(1); }

void TOptionFrm::setSlideColor(uint32_t rgb) {
    slideColor_ = rgb & 0xFFFFFF;
    SlidBackPanel->setStyleSheet(QStringLiteral("background-color: #%1; border: 1px inset gray;")
                                     .arg(slideColor_, 6, 16, QLatin1Char('0')));
}

void TOptionFrm::SlidBackPanelClick() {
    const QColor c = QColorDialog::getColor(QColor::fromRgb(slideColor_), this);
    if (c.isValid()) setSlideColor(c.rgb());
}

bool TOptionFrm::SlidNumEditKeyPress(const QKeyEvent& key) {
    // Typed characters other than digits are dropped; editing keys and shortcuts such as
    // backspace, the arrows and Ctrl+A still work.
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    for (QChar ch : key.text())
        if (ch.isPrint() && (ch < QLatin1Char('0') || ch > QLatin1Char('9'))) return true;
    return false;
}

bool TOptionFrm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == SlidNumEdit && event->type() == QEvent::KeyPress)
        return SlidNumEditKeyPress(*static_cast<QKeyEvent*>(event));
    return QDialog::eventFilter(watched, event);
}

void TOptionFrm::QFEditBtnClick() {
    const QList<QTreeWidgetItem*> sel = ListView1->selectedItems();
    if (sel.isEmpty()) return;
    const int row = ListView1->indexOfTopLevelItem(sel.first());
    const auto [folder, caption] = quickFolder(row);
    TQFSelectFrm edit(this);
    edit.setFolder(folder);
    edit.QFCaptionEdit->setText(caption);
    edit.treeFolder = hooks.treeFolder;
    edit.browseFolder = [this](const std::string& start) {
        if (!hooks.browseFolder) return std::string();
        return hooks.browseFolder(tr(" フォルダを選択して下さい"), start);
    };
    edit.folderCreated = hooks.folderCreated;
    if (edit.exec() == QDialog::Accepted) {
        const std::string chosen = edit.folder();
        const QString shown = edit.caption().isEmpty()
                                  ? pathText(korvel::MakeQuickFolderCaption(chosen))
                                  : edit.caption();
        setRow(row, shown, chosen);
    }
    ListView1->setFocus();
}

void TOptionFrm::moveQuickRow(int by) {
    const QList<QTreeWidgetItem*> sel = ListView1->selectedItems();
    if (sel.isEmpty()) return;
    const int row = ListView1->indexOfTopLevelItem(sel.first()), to = row + by;
    if (to < 0 || to >= kQuickRows) return;
    const QuickFolder a = quickFolder(row), b = quickFolder(to);
    setRow(row, b.second, b.first);
    setRow(to, a.second, a.first);
    ListView1->setCurrentItem(ListView1->topLevelItem(to));
    ListView1->setFocus();
}

void TOptionFrm::QFUpBtnClick() { moveQuickRow(-1); }
void TOptionFrm::QFDownBtnClick() { moveQuickRow(1); }

void TOptionFrm::QFClear(bool all) {
    const QList<QTreeWidgetItem*> sel = ListView1->selectedItems();
    if (!all && sel.isEmpty()) return;
    const QString text = all ? tr("設定を全てクリアします。よろしいですか？") : tr("選択した設定をクリアします。よろしいですか？");
    if (confirm(text, tr("設定のクリア"), true)) {
        if (all)
            for (int i = 0; i < kQuickRows; ++i) setRow(i, {}, {});
        else
            setRow(ListView1->indexOfTopLevelItem(sel.first()), {}, {});
    }
    ListView1->setFocus();
}
