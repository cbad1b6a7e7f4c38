#include "fileops/ui/OpCopyFrm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "base/Errors.h"
#include "base/FileNames.h"
#include "fileops/Jobs.h"
#include "platform/JobRunner.h"
#include "platform/PathText.h"
#include "platform/ThemeIcons.h"
#include "platform/Translations.h"
#include "settings/DialogSettings.h"

namespace {

constexpr int kStripHeight = 171;
constexpr int kItemHeight = 50;
constexpr int kMinWidth = 630;


template <class T>
T* named(T* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

// The number a box or field shows, or nothing when it shows none.
std::optional<int> shownNumber(const QString& text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

}  // namespace

TOpCopyFrm::TOpCopyFrm(const std::vector<std::string>& all, const std::vector<std::string>& selected,
                       const std::vector<std::string>& quick, Hooks hooks, QWidget* parent)
    : QDialog(parent), hooks_(std::move(hooks)) {
    runner_ = new JobRunner(this);
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
    setWindowTitle(tr("拡張コピー"));
    lists = new TTwoLists(hooks_.thumbs, this);
    lists->NoLabel->setText(tr("コピーしないファイル"));
    lists->YesLabel->setText(tr("コピーするファイル"));
    lists->NoListBox->setObjectName(QStringLiteral("NoListBox"));
    lists->YesListBox->setObjectName(QStringLiteral("YesListBox"));
    lists->fill(all, selected);
    if (lists->YesListBox->count() > 0) lists->YesListBox->setCurrentRow(0);

    // Destination.
    GroupBox3 = named(new QGroupBox(tr("拡張コピー保存先フォルダ"), this), "GroupBox3");
    DirCombo = named(new QComboBox(GroupBox3), "DirCombo");
    DirCombo->setEditable(true);
    for (const std::string& q : quick)
        if (!q.empty()) DirCombo->addItem(pathText(q));
    DirCombo->setCurrentIndex(-1);
    DirCombo->setEditText(QString());
    SpeedButton1 = named(new QToolButton(GroupBox3), "SpeedButton1");
    SpeedButton1->setIcon(toolIcon(ToolIcon::ChooseFolder));
    SpeedButton1->setToolTip(tr("フォルダを選択"));
    auto* destRow = new QHBoxLayout(GroupBox3);
    destRow->setContentsMargins(4, 2, 4, 2);
    destRow->addWidget(DirCombo, 1);
    destRow->addWidget(SpeedButton1);

    // Output format.
    GroupBox1 = named(new QGroupBox(tr("保存形式"), this), "GroupBox1");
    formatGroup = new QButtonGroup(this);
    BMPRadio = named(new QRadioButton(tr("BMP形式"), GroupBox1), "BMPRadio");
    JPEGRadio = named(new QRadioButton(tr("JPEG形式"), GroupBox1), "JPEGRadio");
    PNGRadio = named(new QRadioButton(tr("PNG形式"), GroupBox1), "PNGRadio");
    formatGroup->addButton(BMPRadio, 0);
    formatGroup->addButton(JPEGRadio, 1);
    formatGroup->addButton(PNGRadio, 2);
    BMPRadio->setChecked(true);
    Label1 = named(new QLabel(QStringLiteral("Quality"), GroupBox1), "Label1");
    QualityCombo = named(new QComboBox(GroupBox1), "QualityCombo");
    for (int q = 100; q >= 1; --q) QualityCombo->addItem(QString::number(q));
    QualityCombo->setCurrentIndex(15);
    ProgreCheckBox = named(new QCheckBox(QStringLiteral("Progressive"), GroupBox1), "ProgreCheckBox");
    GrayscaleCheck = named(new QCheckBox(QStringLiteral("Grayscale"), GroupBox1), "GrayscaleCheck");
    pngLevelGroup = new QButtonGroup(this);
    PNGLevelRadio1 = named(new QRadioButton(tr("通常圧縮"), GroupBox1), "PNGLevelRadio1");
    PNGLevelRadio2 = named(new QRadioButton(tr("速度優先"), GroupBox1), "PNGLevelRadio2");
    PNGLevelRadio3 = named(new QRadioButton(tr("圧縮優先"), GroupBox1), "PNGLevelRadio3");
    pngLevelGroup->addButton(PNGLevelRadio1, 0);
    pngLevelGroup->addButton(PNGLevelRadio2, 1);
    pngLevelGroup->addButton(PNGLevelRadio3, 2);
    PNGLevelRadio1->setChecked(true);
    PNGInterlaceCheck = named(new QCheckBox(QStringLiteral("Interlace"), GroupBox1), "PNGInterlaceCheck");
    auto* fg = new QGridLayout(GroupBox1);
    fg->setContentsMargins(4, 2, 4, 2);
    fg->setVerticalSpacing(0);
    fg->addWidget(BMPRadio, 0, 0);
    fg->addWidget(JPEGRadio, 1, 0);
    fg->addWidget(PNGRadio, 2, 0);
    auto* jpegRow = new QHBoxLayout;
    jpegRow->addWidget(Label1);
    jpegRow->addWidget(QualityCombo);
    jpegRow->addWidget(ProgreCheckBox);
    jpegRow->addWidget(GrayscaleCheck);
    jpegRow->addStretch();
    fg->addLayout(jpegRow, 1, 1);
    auto* pngRow = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{PNGLevelRadio1, PNGLevelRadio2, PNGLevelRadio3, PNGInterlaceCheck})
        pngRow->addWidget(w);
    pngRow->addStretch();
    fg->addLayout(pngRow, 2, 1);
    fg->setColumnStretch(1, 1);

    // Size and file options.
    GroupBox2 = named(new QGroupBox(tr("コピーオプション"), this), "GroupBox2");
    sizeGroup = new QButtonGroup(this);
    SizeRadio1 = named(new QRadioButton(tr("元のサイズ"), GroupBox2), "SizeRadio1");
    SizeRadio2 = named(new QRadioButton(tr("拡大・縮小"), GroupBox2), "SizeRadio2");
    SizeRadio3 = named(new QRadioButton(tr("指定サイズ"), GroupBox2), "SizeRadio3");
    sizeGroup->addButton(SizeRadio1, 0);
    sizeGroup->addButton(SizeRadio2, 1);
    sizeGroup->addButton(SizeRadio3, 2);
    SizeRadio1->setChecked(true);
    SizeCombo = named(new QComboBox(GroupBox2), "SizeCombo");
    for (int p = 200; p >= 10; p -= 5) SizeCombo->addItem(QString::number(p));
    SizeCombo->setCurrentIndex(20);
    Label7 = new QLabel(QStringLiteral("%"), GroupBox2);
    LabelLeft = new QLabel(QStringLiteral("W"), GroupBox2);
    LabelCenter = named(new QLabel(QStringLiteral("Pixel"), GroupBox2), "LabelCenter");
    LabelRight = new QLabel(QStringLiteral("Pixel"), GroupBox2);
    WidthEdit = named(new QLineEdit(QStringLiteral("80"), GroupBox2), "WidthEdit");
    HeightEdit = named(new QLineEdit(QStringLiteral("80"), GroupBox2), "HeightEdit");
    for (QLineEdit* e : {WidthEdit, HeightEdit}) {
        e->setMaxLength(4);
        e->setAttribute(Qt::WA_InputMethodEnabled, false);
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
        connect(e, &QLineEdit::editingFinished, this, [this, e] { WidthEditExit(e); });
    }
    SizeCheck = named(new QCheckBox(tr("縦横比の維持"), GroupBox2), "SizeCheck");
    SizeCheck->setChecked(true);
    GasituCheck = named(new QCheckBox(tr("サイズ変更時は画質を優先する"), GroupBox2), "GasituCheck");
    GasituCheck->setChecked(true);
    DateCheck = named(new QCheckBox(tr("日付を元ファイルと合わせる"), GroupBox2), "DateCheck");
    auto* sg = new QGridLayout(GroupBox2);
    sg->setContentsMargins(4, 2, 4, 2);
    sg->setVerticalSpacing(0);
    sg->addWidget(SizeRadio1, 0, 0);
    sg->addWidget(SizeRadio2, 1, 0);
    auto* scaleRow = new QHBoxLayout;
    scaleRow->addWidget(SizeCombo);
    scaleRow->addWidget(Label7);
    scaleRow->addStretch();
    sg->addLayout(scaleRow, 1, 1);
    sg->addWidget(SizeRadio3, 2, 0);
    auto* givenRow = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{LabelLeft, WidthEdit, LabelCenter, HeightEdit, LabelRight})
        givenRow->addWidget(w);
    givenRow->addStretch();
    sg->addLayout(givenRow, 2, 1);
    sg->addWidget(SizeCheck, 3, 0, 1, 2);
    sg->addWidget(GasituCheck, 4, 0, 1, 2);
    sg->addWidget(DateCheck, 5, 0, 1, 2);

    // Rotation.
    TurnRadio = named(new QGroupBox(tr("画像の回転"), this), "TurnRadio");
    turnGroup = new QButtonGroup(this);
    auto* tl = new QVBoxLayout(TurnRadio);
    tl->setContentsMargins(4, 2, 4, 2);
    tl->setSpacing(0);
    const QString turns[] = {tr("しない"), tr("90度"), tr("180度"), tr("270度")};
    for (int i = 0; i < 4; ++i) {
        auto* r = new QRadioButton(turns[i], TurnRadio);
        turnGroup->addButton(r, i);
        tl->addWidget(r);
    }
    turnGroup->button(0)->setChecked(true);

    OkBtn = named(new QPushButton(QStringLiteral("OK"), this), "OkBtn");
    OkBtn->setAutoDefault(false);
    CancelBtn = named(new QPushButton(tr("ｷｬﾝｾﾙ"), this), "CancelBtn");
    CancelBtn->setAutoDefault(false);

    auto* strip = new QWidget(this);
    strip->setFixedHeight(kStripHeight);
    auto* g = new QGridLayout(strip);
    g->setContentsMargins(0, 0, 0, 0);
    g->addWidget(GroupBox3, 0, 0);
    g->addWidget(GroupBox1, 1, 0);
    g->addWidget(GroupBox2, 0, 1, 2, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(TurnRadio);
    right->addStretch();
    right->addWidget(OkBtn);
    right->addWidget(CancelBtn);
    g->addLayout(right, 0, 2, 2, 1);
    g->setColumnStretch(0, 1);
    ProgressBar1 = named(new QProgressBar(this), "ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lists, 1);
    layout->addWidget(strip);
    layout->addWidget(ProgressBar1);
    // Never narrower than 630 pixels, never lower than the strip, the list heading, the
    // progress bar and three list items; and never so small that the font clips a caption.
    const QSize need = layout->minimumSize();
    setMinimumSize(std::max(kMinWidth, need.width()),
                   std::max(need.height(), kStripHeight + lists->YesLabel->sizeHint().height() +
                                               ProgressBar1->sizeHint().height() + 3 * kItemHeight + 10));

    connect(formatGroup, &QButtonGroup::idClicked, this, &TOpCopyFrm::BMPRadioClick);
    connect(sizeGroup, &QButtonGroup::idClicked, this, &TOpCopyFrm::SizeRadio1Click);
    connect(SizeCheck, &QCheckBox::clicked, this, &TOpCopyFrm::SizeCheckClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &TOpCopyFrm::SpeedButton1Click);
    connect(OkBtn, &QPushButton::clicked, this, &TOpCopyFrm::OkBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TOpCopyFrm::CancelBtnClick);
    BMPRadioClick();
    SizeRadio1Click();
}

void TOpCopyFrm::BMPRadioClick() {
    const bool jpeg = JPEGRadio->isChecked(), png = PNGRadio->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{QualityCombo, Label1, ProgreCheckBox, GrayscaleCheck})
        w->setEnabled(jpeg);
    for (QWidget* w : std::initializer_list<QWidget*>{PNGLevelRadio1, PNGLevelRadio2, PNGLevelRadio3, PNGInterlaceCheck})
        w->setEnabled(png);
}

void TOpCopyFrm::SizeRadio1Click() {
    const bool scale = SizeRadio2->isChecked(), given = SizeRadio3->isChecked();
    SizeCombo->setEnabled(scale);
    WidthEdit->setEnabled(given);
    SizeCheck->setEnabled(given);
    GasituCheck->setEnabled(scale || given);
    if (given) {
        SizeCheckClick();
        return;
    }
    for (QWidget* w : std::initializer_list<QWidget*>{HeightEdit, LabelLeft, LabelRight}) w->setVisible(false);
    LabelCenter->setText(QStringLiteral("Pixel"));
}

void TOpCopyFrm::SizeCheckClick() {
    // With the ratio kept the one number is the longer side; otherwise width and height.
    const bool both = !SizeCheck->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{HeightEdit, LabelLeft, LabelRight}) w->setVisible(both);
    LabelCenter->setText(both ? QStringLiteral("ｘ H") : QStringLiteral("Pixel"));
}

void TOpCopyFrm::WidthEditExit(QLineEdit* edit) {
    const QString text = edit->text();
    if (const auto v = shownNumber(text)) {
        if (*v < 1) edit->setText(QStringLiteral("1"));
        return;
    }
    // Reset before the box opens: the box takes the focus, and leaving the field again must
    // not report the same text twice.
    edit->setText(QStringLiteral("80"));
    QMessageBox::critical(this, windowTitle(), QLatin1Char('"') + text + QLatin1Char('"') + tr("は整数ではありません。"));
}

void TOpCopyFrm::SpeedButton1Click() {
    if (!hooks_.browseFolder) return;
    const std::string chosen = hooks_.browseFolder(pathBytes(DirCombo->currentText()));
    if (!chosen.empty()) DirCombo->setEditText(pathText(chosen));
}

std::optional<korvel::ExtendedCopyOptions> TOpCopyFrm::options() const {
    using namespace korvel;
    ExtendedCopyOptions o;
    o.format = OutputFormat(std::max(0, formatGroup->checkedId()));
    o.progressive = ProgreCheckBox->isChecked();
    o.grayscale = GrayscaleCheck->isChecked();
    o.pngLevel = PngLevel(std::max(0, pngLevelGroup->checkedId()));
    o.pngInterlace = PNGInterlaceCheck->isChecked();
    o.sizeMode = SizeMode(std::max(0, sizeGroup->checkedId()));
    o.keepAspect = SizeCheck->isChecked();
    o.qualityResample = GasituCheck->isChecked();
    o.turn = std::max(0, turnGroup->checkedId());
    o.copyDate = DateCheck->isChecked();
    o.photo = hooks_.photo;
    // Only the numbers the chosen format and size mode use must be there.
    if (o.format == OutputFormat::Jpeg) {
        const auto q = shownNumber(QualityCombo->currentText());
        if (!q) return std::nullopt;
        o.jpegQuality = std::clamp(*q, 1, 100);
    }
    if (o.sizeMode == SizeMode::Scale) {
        const auto p = shownNumber(SizeCombo->currentText());
        if (!p) return std::nullopt;
        o.percent = *p;
    } else if (o.sizeMode == SizeMode::Given) {
        const auto w = shownNumber(WidthEdit->text());
        const auto h = shownNumber(HeightEdit->text());
        if (!w || (!o.keepAspect && !h)) return std::nullopt;
        o.width = std::max(1, *w);
        o.height = std::max(1, h.value_or(1));
    }
    return o;
}

void TOpCopyFrm::SetControlsEnabled(bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{lists->NoListBox, lists->YesListBox, DirCombo, GroupBox1, GroupBox2,
                                                      lists->AddBtn, lists->DelBtn, lists->AllAddBtn, lists->AllDelBtn,
                                                      SpeedButton1, OkBtn})
        w->setEnabled(on);
}

void TOpCopyFrm::OkBtnClick() {
    const std::vector<std::string> files = lists->yesPaths();
    if (files.empty() || running_) return;
    std::string dir = pathBytes(DirCombo->currentText());
    // A full path starts at the root; a bare name has no folder part.
    if (dir.empty() || dir[0] != '/') {
        QMessageBox::warning(this, windowTitle(), GroupBox3->title() + tr("をフルパスで指定して下さい。"));
        return;
    }
    if (hooks_.ensureFolder && !hooks_.ensureFolder(dir)) return;
    if (dir.back() != '/') dir += '/';
    DirCombo->setEditText(pathText(dir));
    runFiles(files, dir);  // closes the dialog with OK when the run ended
}

void TOpCopyFrm::runFiles(const std::vector<std::string>& files, const std::string& folder) {
    StopRequested = false;
    running_ = true;
    SetControlsEnabled(false);
    ProgressBar1->setRange(0, int(files.size()));
    ProgressBar1->setValue(0);
    auto job = std::make_shared<korvel::ExtendedCopyJob>(files, folder, options(), std::max(0, turnGroup->checkedId()));
    // The turn stays a choice during the run: each file reads it when its turn comes.
    const QMetaObject::Connection turnWatch = connect(turnGroup, &QButtonGroup::idToggled, this, [job](int id, bool on) {
        if (on) job->setTurn(id);
    });
    JobRunner::Handlers handlers;
    handlers.errorTitle = windowTitle();
    // Each file's box is answered and its progress shown before the next file is written, so the
    // folder and the bar are those of a one-file-at-a-time run.
    handlers.progress = [this](const korvel::JobProgress& p) { ProgressBar1->setValue(p.filesDone); };
    handlers.finished = [this, turnWatch] {
        disconnect(turnWatch);
        ProgressBar1->setValue(0);
        StopRequested = true;
        running_ = false;
        SetControlsEnabled(true);
        accept();  // also after a stop, so the settings are kept and the folder re-read
    };
    if (!runner_->start(std::move(job), std::move(handlers))) {
        disconnect(turnWatch);
        StopRequested = true;
        running_ = false;
        SetControlsEnabled(true);
    }
}

TOpCopyFrm::~TOpCopyFrm() {
    delete runner_;  // cancels a running conversion and waits for it
}

void TOpCopyFrm::requestStop() {
    StopRequested = true;
    runner_->cancel();
}

void TOpCopyFrm::CancelBtnClick() {
    requestStop();
    if (!running_) QDialog::reject();  // during a run the run stops and the dialog closes with OK
}

void TOpCopyFrm::reject() {
    // Escape and the close button stop a run as ｷｬﾝｾﾙ does, never abandon it half-way.
    if (running_) {
        requestStop();
        return;
    }
    QDialog::reject();
}

void TOpCopyFrm::LoadSettings() {
    const korvel::OpCopySettings stored = korvel::loadOpCopySettings(hooks_.settingsPath);
    DirCombo->setEditText(pathText(stored.selectFolder));
    WidthEdit->setText(QString::fromStdString(stored.widthEdit));
    HeightEdit->setText(QString::fromStdString(stored.heightEdit));
    auto pick = [](QButtonGroup* group, int stored) {
        group->button(stored == 0 || stored == 1 ? stored : 2)->setChecked(true);
    };
    pick(formatGroup, stored.saveFormat);
    pick(pngLevelGroup, stored.pngLevel);
    pick(sizeGroup, stored.size);
    // An index outside the list leaves the box empty, as the stored file says.
    SizeCombo->setCurrentIndex(stored.sizeCombo);
    QualityCombo->setCurrentIndex(stored.jpegQuality);
    if (QAbstractButton* b = turnGroup->button(stored.turn)) b->setChecked(true);
    ProgreCheckBox->setChecked(stored.progre);
    GrayscaleCheck->setChecked(stored.grayscale);
    SizeCheck->setChecked(stored.sizeCheck);
    GasituCheck->setChecked(stored.gasitu);
    DateCheck->setChecked(stored.date);
    BMPRadioClick();
    SizeRadio1Click();
    lists->loadPlacement(*this, stored.placement, QSize(630, 470));
}

void TOpCopyFrm::SaveSettings() {
    korvel::OpCopySettings s;
    s.selectFolder = pathBytes(DirCombo->currentText());
    s.widthEdit = WidthEdit->text().toStdString();
    s.heightEdit = HeightEdit->text().toStdString();
    s.saveFormat = std::max(0, formatGroup->checkedId());
    s.pngLevel = std::max(0, pngLevelGroup->checkedId());
    s.size = std::max(0, sizeGroup->checkedId());
    s.sizeCombo = SizeCombo->currentIndex();
    s.jpegQuality = QualityCombo->currentIndex();
    s.turn = std::max(0, turnGroup->checkedId());
    s.progre = ProgreCheckBox->isChecked();
    s.grayscale = GrayscaleCheck->isChecked();
    s.sizeCheck = SizeCheck->isChecked();
    s.gasitu = GasituCheck->isChecked();
    s.date = DateCheck->isChecked();
    s.placement = lists->placementOf(*this);
    korvel::saveOpCopySettings(hooks_.settingsPath, s);
}
