#include "fileops/ui/NumberFrm.h"

#include <QAbstractTableModel>
#include <QButtonGroup>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "base/FileNames.h"
#include "fileops/Jobs.h"
#include "platform/JobRunner.h"
#include "platform/PathText.h"
#include "platform/Translations.h"
#include "settings/DialogSettings.h"

namespace {

constexpr int kStripHeight = 128;


}  // namespace

// Old name, new name and what will happen, one row a file; rebuilt whole for each plan, which
// a view over 10,000 rows takes in stride.
class RenamePreviewModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setPlan(korvel::RenamePlan plan) {
        beginResetModel();
        plan_ = std::move(plan);
        endResetModel();
    }
    const korvel::RenamePlan& plan() const { return plan_; }
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : int(plan_.rows.size()); }
    int columnCount(const QModelIndex&) const override { return 3; }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (o != Qt::Horizontal || role != Qt::DisplayRole) return {};
        const char* heads[] = {QT_TRANSLATE_NOOP("QObject", "変更前"), QT_TRANSLATE_NOOP("QObject", "変更後"),
                               ""};
        return QObject::tr(heads[section]);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const korvel::PlanRow& r = plan_.rows[size_t(index.row())];
        if (role == Qt::DisplayRole) {
            if (index.column() == 0) return pathText(korvel::extractFileName(r.oldPath));
            if (index.column() == 1) return pathText(korvel::extractFileName(r.newPath));
            if (r.clash) return QObject::tr("他のファイルと同じ名前");
            if (r.badName) return QObject::tr("使えない名前");
            if (r.noDate) return QObject::tr("日付を読めません");
            if (r.takenOnDisk) return QObject::tr("既に存在する名前");
            return QString();
        }
        if (role == Qt::ForegroundRole && (r.fails() || r.clash)) return QColor(Qt::red);
        return {};
    }

private:
    korvel::RenamePlan plan_;
};

TNumberFrm::TNumberFrm(const std::string& folder, const std::vector<std::string>& all,
                       const std::vector<std::string>& selected, Hooks hooks, QWidget* parent)
    : QDialog(parent), hooks_(std::move(hooks)) {
    runner_ = new JobRunner(this);
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
    setWindowTitle(literalCaption(tr("連番で名前変更： ") + pathText(folder)));
    lists = new TTwoLists(hooks_.thumbs, this);
    lists->allNeedsSelection = true;
    lists->NoLabel->setText(tr("名前を変更しないファイル"));
    lists->YesLabel->setText(tr("名前を変更するファイル"));
    lists->NoListBox->setObjectName(QStringLiteral("NoRListBox"));
    lists->YesListBox->setObjectName(QStringLiteral("RNListBox"));
    lists->fill(all, selected);
    QListWidget* rn = lists->YesListBox;
    UpBtn = new QToolButton(this);
    UpBtn->setObjectName(QStringLiteral("UpBtn"));
    UpBtn->setToolTip(tr("上へ"));
    UpBtn->setArrowType(Qt::UpArrow);
    DownBtn = new QToolButton(this);
    DownBtn->setObjectName(QStringLiteral("DownBtn"));
    DownBtn->setToolTip(tr("下へ"));
    DownBtn->setArrowType(Qt::DownArrow);
    setUpDown(false);
    auto* upDown = new QVBoxLayout;
    upDown->addStretch();
    upDown->addWidget(UpBtn);
    upDown->addWidget(DownBtn);
    upDown->addStretch();
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(lists, 1);
    listRow->addLayout(upDown);
    auto* listPane = new QWidget(this);
    listPane->setLayout(listRow);
    listRow->setContentsMargins(0, 0, 0, 0);

    model_ = new RenamePreviewModel(this);
    preview = new QTableView(this);
    preview->setObjectName(QStringLiteral("preview"));
    preview->setModel(model_);
    preview->verticalHeader()->hide();
    preview->verticalHeader()->setDefaultSectionSize(preview->fontMetrics().height() + 4);
    // The new names take the width; the old ones and the warnings only what they need.
    QHeaderView* head = preview->horizontalHeader();
    head->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    head->setSectionResizeMode(1, QHeaderView::Stretch);
    head->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    preview->setSelectionMode(QAbstractItemView::NoSelection);
    previewSummary = new QLabel(this);
    previewSummary->setObjectName(QStringLiteral("previewSummary"));
    auto* previewPane = new QWidget(this);
    auto* previewLayout = new QVBoxLayout(previewPane);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    previewLayout->addWidget(previewSummary);
    previewLayout->addWidget(preview);
    auto* panes = new QSplitter(Qt::Vertical, this);
    panes->addWidget(listPane);
    panes->addWidget(previewPane);
    panes->setChildrenCollapsible(false);
    panes->setStretchFactor(0, 3);
    panes->setStretchFactor(1, 2);

    RadioGroup1 = new QGroupBox(tr("拡張子"), this);
    radioItems = new QButtonGroup(this);
    auto* radios = new QVBoxLayout(RadioGroup1);
    const QString items[] = {tr("変更なし"), tr("大文字"), tr("小文字")};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(items[i], RadioGroup1);
        radioItems->addButton(r, i);
        radios->addWidget(r);
    }
    radioItems->button(0)->setChecked(true);
    auto label = [this](const QString& text, const char* name) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    QLabel* help = label(tr("連番を挿入する場所に半角英数で  \\ を入れて下さい。"), "Label3");
    help->setStyleSheet(QStringLiteral("color: blue;"));
    auto edit = [this](const char* name, const QString& text) {
        auto* e = new QLineEdit(text, this);
        e->setObjectName(QLatin1String(name));
        // Enter moves on to the next field.
        connect(e, &QLineEdit::returnPressed, this, [this] { focusNextChild(); });
        return e;
    };
    NameEdit = edit("NameEdit", QString());
    NameEdit->setToolTip(tr("{taken:yyyyMMdd_HHmmss} は撮影日時、{mtime:yyyyMMdd_HHmmss} は更新日時になります。"
                            "\n使える文字: yyyy yy MM dd HH mm ss と記号"));
    NumEdit = edit("NumEdit", QStringLiteral("1"));
    KetaEdit = edit("KetaEdit", QStringLiteral("2"));
    for (QLineEdit* e : {NumEdit, KetaEdit}) e->setAttribute(Qt::WA_InputMethodEnabled, false);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setAutoDefault(false);
    CancelBtn = new QPushButton(tr("ｷｬﾝｾﾙ"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);

    auto* strip = new QWidget(this);
    strip->setFixedHeight(kStripHeight);
    auto* g = new QGridLayout(strip);
    g->addWidget(RadioGroup1, 0, 0, 4, 1);
    g->addWidget(help, 0, 1, 1, 3);
    auto* example = new QHBoxLayout;
    example->addWidget(label(tr("例）ﾌｧｲﾙ名を A\\B、開始を 1、桁数を 3"), "Label7"));
    example->addWidget(label(tr("→A001B.bmp"), "Label8"), 1);
    g->addLayout(example, 1, 1, 1, 3);
    g->addWidget(new QLabel(tr("ファイル名を指定（拡張子は不要）"), this), 2, 1);
    g->addWidget(new QLabel(tr("開始番号"), this), 2, 2);
    g->addWidget(new QLabel(tr("桁数"), this), 2, 3);
    g->addWidget(NameEdit, 3, 1);
    g->addWidget(NumEdit, 3, 2);
    g->addWidget(KetaEdit, 3, 3);
    g->addWidget(OKBtn, 2, 4);
    g->addWidget(CancelBtn, 3, 4);
    g->setColumnStretch(1, 1);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panes, 1);
    layout->addWidget(strip);
    layout->addWidget(ProgressBar1);
    // No narrower than 540, and never so low that the preview squeezes the lists below three files
    // (the lists keep three, see TTwoLists).
    setMinimumSize(minimumSizeHint().expandedTo({540, 0}));

    for (QToolButton* b : {lists->AddBtn, lists->DelBtn, lists->AllAddBtn, lists->AllDelBtn})
        connect(b, &QToolButton::clicked, this, &TNumberFrm::listsChanged);
    connect(UpBtn, &QToolButton::clicked, this, &TNumberFrm::UpBtnClick);
    connect(DownBtn, &QToolButton::clicked, this, &TNumberFrm::DownBtnClick);
    connect(OKBtn, &QPushButton::clicked, this, &TNumberFrm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TNumberFrm::CancelBtnClick);
    connect(rn, &QListWidget::itemClicked, this, [this, rn] { setUpDown(rn->selectedItems().size() == 1); });
    rn->viewport()->installEventFilter(this);
    rn->installEventFilter(this);
    // A field that does not hold a whole number goes back to its first value when left.
    auto resetUnlessNumber = [](QLineEdit* e, const char* first, long long lo, long long hi) {
        connect(e, &QLineEdit::editingFinished, e, [e, first, lo, hi] {
            bool ok = false;
            const long long v = e->text().trimmed().toLongLong(&ok);
            if (!ok || v < lo || v > hi) e->setText(QLatin1String(first));
        });
    };
    resetUnlessNumber(NumEdit, "1", -1000000000, 1000000000);
    resetUnlessNumber(KetaEdit, "2", 0, 255);
    for (QLineEdit* e : {NameEdit, NumEdit, KetaEdit}) connect(e, &QLineEdit::textChanged, this, &TNumberFrm::updatePreview);
    connect(radioItems, &QButtonGroup::idClicked, this, &TNumberFrm::updatePreview);
    listsChanged();
}

TNumberFrm::~TNumberFrm() {
    delete runner_;  // cancels a running pass and waits for it
}

bool TNumberFrm::eventFilter(QObject* watched, QEvent* event) {
    QListWidget* rn = lists->YesListBox;
    if (watched == rn->viewport() && event->type() == QEvent::MouseButtonPress) setUpDown(rn->count() > 0);
    if (watched == rn && event->type() == QEvent::FocusOut)
        setUpDown(rn->count() > 0 && rn->selectedItems().size() < 2);
    return QDialog::eventFilter(watched, event);
}

void TNumberFrm::setUpDown(bool on) {
    UpBtn->setEnabled(on && !running_);
    DownBtn->setEnabled(on && !running_);
}

std::optional<korvel::SerialParams> TNumberFrm::params() const {
    const auto pattern = korvel::SerialPattern::parse(pathBytes(NameEdit->text()));
    if (!pattern) return std::nullopt;
    bool ok = false;
    korvel::SerialParams p;
    p.pattern = *pattern;
    p.start = NumEdit->text().trimmed().toLongLong(&ok);
    if (!ok) p.start = 1;  // as the field will be when left
    p.digits = KetaEdit->text().trimmed().toInt(&ok);
    if (!ok || p.digits < 0 || p.digits > 255) p.digits = 2;
    p.extCase = korvel::ExtCase(std::max(0, radioItems->checkedId()));
    return p;
}

bool TNumberFrm::dateTokensWrong() const {
    return korvel::findDateTokens(pathBytes(NameEdit->text())) == korvel::DateTokens::Invalid;
}

void TNumberFrm::listsChanged() {
    planner_ = std::make_unique<korvel::RenamePlanner>(lists->yesPaths());
    updatePreview();
}

void TNumberFrm::updatePreview() {
    const auto p = params();
    if (!p || !planner_) {
        model_->setPlan({});
        previewSummary->setText(NameEdit->text().isEmpty() ? tr("ファイル名を指定して下さい。")
                                : dateTokensWrong() ? tr("日付の指定に誤りがあります。")
                                                    : tr("連番を挿入する所に \\ を入れて下さい。"));
        return;
    }
    model_->setPlan(planner_->planSerial(*p));
    const korvel::RenamePlan& plan = model_->plan();
    QString text = tr("%1 個のファイルの名前を変更します。").arg(plan.rows.size());
    if (plan.clashes) text += tr("  %1 個のファイルが同じ名前になります。").arg(plan.clashes);
    if (plan.failing) text += tr("  %1 個は変更出来ません。").arg(plan.failing);
    previewSummary->setText(text);
    previewSummary->setStyleSheet(plan.clashes || plan.failing ? QStringLiteral("color: red;") : QString());
}

void TNumberFrm::UpBtnClick() {
    QListWidget* rn = lists->YesListBox;
    const int i = rn->currentRow();
    if (i <= 0) return;
    rn->insertItem(i - 1, rn->takeItem(i));
    rn->clearSelection();
    rn->setCurrentRow(i - 1);
    listsChanged();
}

void TNumberFrm::DownBtnClick() {
    QListWidget* rn = lists->YesListBox;
    const int i = rn->currentRow();
    if (i < 0 || i + 1 >= rn->count()) return;
    rn->insertItem(i + 1, rn->takeItem(i));
    rn->clearSelection();
    rn->setCurrentRow(i + 1);
    listsChanged();
}

void TNumberFrm::OKBtnClick() {
    if (lists->YesListBox->count() == 0) return;
    if (NameEdit->text().isEmpty()) {
        QMessageBox::information(this, windowTitle(), tr("ファイル名を指定して下さい。"));
        return;
    }
    const auto p = params();
    if (!p) {
        QMessageBox::warning(this, windowTitle(),
                             tr("ファイル名の指定に誤りがあります。") + QLatin1Char('\n') +
                                 (dateTokensWrong() ? tr("日付の指定に誤りがあります。")
                                                    : tr("連番を挿入する所に \\ を入れて下さい。")));
        return;
    }
    listsChanged();  // the disk as it is now
    if (model_->plan().clashes) {
        QMessageBox::warning(this, windowTitle(),
                             tr("%1 個のファイルが同じ名前になります。名前は変更しませんでした。").arg(model_->plan().clashes));
        return;
    }
    RunSerialRename(*p);  // closes the dialog with OK when the pass ended
}

void TNumberFrm::setRunning(bool running) {
    running_ = running;
    for (QWidget* w : std::initializer_list<QWidget*>{lists, RadioGroup1, NameEdit, NumEdit, KetaEdit, OKBtn})
        w->setEnabled(!running);
    setUpDown(!running && lists->YesListBox->selectedItems().size() == 1);
}

void TNumberFrm::RunSerialRename(const korvel::SerialParams&) {
    StopRequested = false;
    setRunning(true);
    const korvel::RenamePlan& plan = model_->plan();
    std::vector<std::pair<std::string, std::string>> moves;
    for (const korvel::PlanRow& r : plan.rows) moves.emplace_back(r.oldPath, r.newPath);
    ProgressBar1->setRange(0, int(moves.size()));
    auto job = std::make_shared<korvel::SerialRenameJob>(std::move(moves));
    JobRunner::Handlers handlers;
    handlers.errorTitle = tr("エラー");
    handlers.progress = [this](const korvel::JobProgress& p) { ProgressBar1->setValue(p.filesDone); };
    // Also after a stop the dialog closes with OK.
    handlers.finished = [this, job] {
        if (hooks_.renamed)
            for (const auto& [from, to] : job->renamed()) hooks_.renamed(from, to);
        ProgressBar1->setValue(0);
        StopRequested = true;
        setRunning(false);
        accept();
    };
    if (!runner_->start(job, std::move(handlers))) {
        StopRequested = true;
        setRunning(false);
    }
}

void TNumberFrm::CancelBtnClick() {
    StopRequested = true;
    // During a pass the current file is finished, the pass stops, and the dialog closes with OK.
    if (running_) runner_->cancel();
    else QDialog::reject();
}

void TNumberFrm::reject() {
    // Escape and the close button stop a pass as ｷｬﾝｾﾙ does.
    CancelBtnClick();
}

void TNumberFrm::LoadSettings() {
    const korvel::NumberSettings stored = korvel::loadNumberSettings(hooks_.settingsPath);
    NameEdit->setText(pathText(stored.text));
    KetaEdit->setText(QString::fromStdString(stored.beams));
    if (QAbstractButton* b = radioItems->button(stored.radioIndex)) b->setChecked(true);
    lists->loadPlacement(*this, stored.placement, QSize(540, 471));
    updatePreview();
}

void TNumberFrm::SaveSettings() {
    korvel::NumberSettings s;
    s.text = pathBytes(NameEdit->text());
    s.beams = KetaEdit->text().toStdString();
    s.radioIndex = std::max(0, radioItems->checkedId());
    s.placement = lists->placementOf(*this);
    korvel::saveNumberSettings(hooks_.settingsPath, s);
}
