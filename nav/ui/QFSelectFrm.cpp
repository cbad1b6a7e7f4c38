#include "nav/ui/QFSelectFrm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>
#include <cerrno>

#include "browse/ui/FolderPicker.h"
#include "fileops/FileSystem.h"
#include "fileops/FolderOps.h"
#include "nav/QuickFolders.h"
#include "platform/PathText.h"
#include "platform/Translations.h"

namespace {

constexpr size_t kMaxCaptionCells = 12;


// The caption is limited by its width on the button, so a double-width character counts 2.
class CaptionWidthValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        return korvel::displayBytes(input.toStdString()) <= kMaxCaptionCells ? Acceptable : Invalid;
    }
};

}  // namespace

TQFSelectFrm::TQFSelectFrm(QWidget* parent) : QDialog(parent), fileSystem(&korvel::systemFileSystem()) {
    setObjectName(QStringLiteral("QFSelectFrm"));
    setWindowTitle(tr("クイックフォルダー設定"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    Label1 = new QLabel(tr("設定するﾌｫﾙﾀﾞ名をﾌﾙﾊﾟｽで指定して下さい。"), this);
    QFEdit = new QLineEdit(this);
    QFEdit->setObjectName(QStringLiteral("QFEdit"));
    QFEdit->setMinimumWidth(320);
    FSelectBtn = new QPushButton(tr("参照..."), this);
    FSelectBtn->setObjectName(QStringLiteral("FSelectBtn"));
    Label2 = new QLabel(tr("表示名"), this);
    QFCaptionEdit = new QLineEdit(this);
    QFCaptionEdit->setObjectName(QStringLiteral("QFCaptionEdit"));
    QFCaptionEdit->setMaxLength(int(kMaxCaptionCells));
    QFCaptionEdit->setValidator(new CaptionWidthValidator(QFCaptionEdit));
    Label3 = new QLabel(tr("（12ﾊﾞｲﾄ以内）"), this);
    Label4 = new QLabel(tr("未記入だとﾌｫﾙﾀﾞ名になります。"), this);
    OkBtn = new QPushButton(QStringLiteral("OK"), this);
    OkBtn->setObjectName(QStringLiteral("OkBtn"));
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton(tr("ｷｬﾝｾﾙ"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(Label1);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(QFEdit, 1);
    folderRow->addWidget(FSelectBtn);
    layout->addLayout(folderRow);
    auto* captionRow = new QHBoxLayout;
    captionRow->addWidget(Label2);
    captionRow->addWidget(QFCaptionEdit);
    captionRow->addWidget(Label3);
    captionRow->addStretch();
    layout->addLayout(captionRow);
    layout->addWidget(Label4);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkBtn);
    buttons->addWidget(CancelBtn);
    layout->addLayout(buttons);

    browseFolder = [this](const std::string& start) {
        return pickFolder(this, tr(" フォルダを選択して下さい"), start, treeFolder, places).value_or(std::string());
    };
    connect(FSelectBtn, &QPushButton::clicked, this, &TQFSelectFrm::FSelectBtnClick);
    connect(OkBtn, &QPushButton::clicked, this, &TQFSelectFrm::OkBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TQFSelectFrm::setFolder(const std::string& folder) {
    QFEdit->setText(pathText(folder));
}

std::string TQFSelectFrm::folder() const {
    return pathBytes(QFEdit->text());
}

QString TQFSelectFrm::caption() const { return QFCaptionEdit->text(); }

void TQFSelectFrm::FSelectBtnClick() {
    const std::string start = QFEdit->text().isEmpty() ? treeFolder : folder();
    const std::string chosen = browseFolder ? browseFolder(start) : std::string();
    if (chosen.empty()) return;
    setFolder(chosen);
    if (QFCaptionEdit->text().isEmpty())
        QFCaptionEdit->setText(pathText(korvel::MakeQuickFolderCaption(chosen)));
}

void TQFSelectFrm::OkBtnClick() {
    std::string path = folder();
    // A full path starts at the root; a bare name or a relative path has no folder to stand for.
    if (path.empty() || path.front() != '/') {
        QMessageBox::warning(this, tr("警告"), Label1->text());
        return;
    }
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    if (!ensureFolder(path)) return;
    setFolder(path);
    accept();
}

bool TQFSelectFrm::ensureFolder(const std::string& path) {
    korvel::FolderOps ops(*fileSystem);
    if (ops.isFolder(path)) return true;
    if (QMessageBox::question(this, tr("フォルダ作成"), pathText(path) + tr(" は存在しません。作成しますか？"),
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;
    if (ops.createNested("/", path.substr(1)).empty()) {
        const int err = errno;
        QMessageBox::critical(this, tr("エラー"), withReason(tr("指定したフォルダを作成出来ません。"), errorReasonLine(err)));
        return false;
    }
    if (folderCreated) folderCreated();
    return true;
}
