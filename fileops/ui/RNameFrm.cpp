#include "fileops/ui/RNameFrm.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/FileNames.h"
#include "platform/PathText.h"
#include "platform/WindowPlacement.h"

namespace {

constexpr int kPictureSide = 80;

// The picture with its longer side at kPictureSide, dropping pixels rather than averaging; a
// thumbnail of a dense screen keeps its device pixels.
QImage fitted(const QImage& picture) {
    if (picture.isNull()) return {};
    const qreal ratio = picture.devicePixelRatio();
    const int side = qRound(kPictureSide * ratio);
    const QSize s = picture.size().scaled(side, side, Qt::KeepAspectRatio).expandedTo({1, 1});
    QImage out = picture.scaled(s, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    out.setDevicePixelRatio(ratio);
    return out;
}

}  // namespace

std::string convertNameCase(const std::string& name, TRNameFrm::NameCase nameCase) {
    // Through the box's text form, so bytes that are not UTF-8 stay as they are.
    const QString text = pathText(name);
    return pathBytes(nameCase == TRNameFrm::UpperCase ? text.toUpper() : text.toLower());
}

TRNameFrm::TRNameFrm(const std::string& path, int selected, const QImage& picture, QWidget* parent)
    : QDialog(parent), selected_(selected) {
    setWindowTitle(tr("名前の変更"));
    const std::string name = korvel::extractFileName(path);
    const std::string ext = korvel::extractFileExt(name);
    baseName_ = name.substr(0, name.size() - ext.size());
    extName_ = ext.empty() ? ext : ext.substr(1);
    Edit1 = new QLineEdit(pathText(baseName_), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit2 = new QLineEdit(pathText(extName_), this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setReadOnly(true);
    Edit2->setStyleSheet(QStringLiteral("QLineEdit { background: palette(window); }"));

    RadioGroup1 = new QGroupBox(QStringLiteral("ReName Option"), this);
    radioItems = new QButtonGroup(this);
    auto* radios = new QVBoxLayout(RadioGroup1);
    const QString items[] = {tr("ファイル名を指定"), tr("大文字に変換"), tr("小文字に変換")};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(items[i], RadioGroup1);
        r->setObjectName(QStringLiteral("RadioItem%1").arg(i));
        radioItems->addButton(r, i);
        radios->addWidget(r);
    }
    radioItems->button(0)->setChecked(true);

    auto button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    OKBtn1 = button(QStringLiteral("OK"), "OKBtn1");
    AllOKBtn = button(tr("全てOK"), "AllOKBtn");
    AllOKBtn->setEnabled(false);
    CancelBtn = button(tr("キャンセル"), "CancelBtn");
    AllCanselBtn = button(tr("全て中止"), "AllCanselBtn");

    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    PaintBox1 = new QLabel(frame);
    PaintBox1->setFixedSize(kPictureSide, kPictureSide);
    PaintBox1->setAlignment(Qt::AlignCenter);  // drawn unscaled, centred
    PaintBox1->setPixmap(QPixmap::fromImage(fitted(picture)));
    frameLayout->addWidget(PaintBox1);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(tr("変更するファイル名"), this), 0, 0, 1, 2);
    grid->addWidget(Edit1, 1, 0, 1, 2);
    grid->addWidget(new QLabel(tr("拡張子"), this), 2, 0);
    grid->addWidget(Edit2, 3, 0);
    grid->addWidget(frame, 2, 1, 3, 1, Qt::AlignRight | Qt::AlignTop);  // the panel hugs the 80 x 80 box
    grid->addWidget(RadioGroup1, 4, 0);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {OKBtn1, AllOKBtn, CancelBtn, AllCanselBtn}) buttons->addWidget(b);
    grid->addLayout(buttons, 5, 0, 1, 2);
    setFixedSize(sizeHint().expandedTo({360, 0}));
    placeDialog(*this, size(), size());  // centred on the screen, not on the main window

    connect(radioItems, &QButtonGroup::idClicked, this, &TRNameFrm::RadioGroup1Click);
    connect(OKBtn1, &QPushButton::clicked, this, &TRNameFrm::OKBtn1Click);
    connect(AllOKBtn, &QPushButton::clicked, this, &TRNameFrm::AllOKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, [this] { done(Skip); });
    connect(AllCanselBtn, &QPushButton::clicked, this, &QDialog::reject);
    // Enter in the name moves on to the next control instead of closing the dialog.
    connect(Edit1, &QLineEdit::returnPressed, this, [this] { focusNextChild(); });
    Edit1->setFocus();
}

void TRNameFrm::RadioGroup1Click(int index) {
    const bool typed = index == TypedName;
    Edit1->setEnabled(typed);
    Edit2->setEnabled(typed);
    AllOKBtn->setEnabled(!typed && selected_ > 1);
    if (typed) return;  // a name converted before stays converted
    for (QLineEdit* e : {Edit1, Edit2}) e->setText(index == UpperCase ? e->text().toUpper() : e->text().toLower());
}

void TRNameFrm::OKBtn1Click() {
    RenameTarget_ = pathBytes(Edit1->text()) + "." + pathBytes(Edit2->text());
    accept();
}

void TRNameFrm::AllOKBtnClick() {
    RenameAllMode_ = NameCase(radioItems->checkedId());
    done(YesToAll);
}
