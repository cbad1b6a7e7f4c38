#include "fileops/ui/FolderNameDialogs.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "platform/PathText.h"

namespace {

// Fixed dialog border: the layout decides the size and the user cannot change it.
QHBoxLayout* buildFixedDialog(QDialog* d, QLabel* label, QLineEdit* edit) {
    d->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(d);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(label);
    edit->setMinimumWidth(280);
    layout->addWidget(edit);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    layout->addLayout(buttons);
    return buttons;
}

void centreOnScreen(QWidget* w) {
    const QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect r = w->frameGeometry();
    r.moveCenter(screen->availableGeometry().center());
    w->move(r.topLeft());
}

void showExists(QWidget* owner) {
    QMessageBox::critical(owner, QObject::tr("エラー"), QObject::tr("指定したフォルダは既に存在します。"));
}

}  // namespace

TInputNameFrm::TInputNameFrm(const std::string& parent, QWidget* owner) : QDialog(owner), parent_(parent) {
    setObjectName(QStringLiteral("InputNameFrm"));
    setWindowTitle(tr("名前を入力"));
    Label1 = new QLabel(tr("新規作成するフォルダ名を入力して下さい。"), this);
    FNameEdit = new QLineEdit(tr("新しいﾌｫﾙﾀﾞ"), this);
    FNameEdit->setObjectName(QStringLiteral("FNameEdit"));
    QHBoxLayout* buttons = buildFixedDialog(this, Label1, FNameEdit);
    OkBtn = new QPushButton(QStringLiteral("OK"), this);
    OkBtn->setObjectName(QStringLiteral("OkBtn"));
    OkBtn->setDefault(true);  // Enter anywhere in the dialog
    CancelBtn = new QPushButton(tr("ｷｬﾝｾﾙ"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    buttons->addWidget(OkBtn);
    buttons->addWidget(CancelBtn);
    connect(OkBtn, &QPushButton::clicked, this, &TInputNameFrm::OkBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    FNameEdit->selectAll();
}

std::string TInputNameFrm::name() const { return pathBytes(FNameEdit->text()); }

void TInputNameFrm::OkBtnClick() {
    switch (ops_.checkNew(parent_, name())) {
        case korvel::FolderName::Empty: return;
        case korvel::FolderName::Exists: showExists(this); return;
        case korvel::FolderName::Free: accept(); return;
    }
}

void TInputNameFrm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen(this);
}

TFolderNameInputFrm::TFolderNameInputFrm(const std::string& old, QWidget* owner) : QDialog(owner), old_(old) {
    setObjectName(QStringLiteral("FolderNameInputFrm"));
    setWindowTitle(tr("フォルダ名を変更"));
    Label1 = new QLabel(tr("変更するフォルダー名を入力して下さい。"), this);
    FolderNameEdit = new QLineEdit(pathText(old_.substr(old_.rfind('/') + 1)), this);
    FolderNameEdit->setObjectName(QStringLiteral("FolderNameEdit"));
    FolderNameEdit->installEventFilter(this);
    QHBoxLayout* buttons = buildFixedDialog(this, Label1, FolderNameEdit);
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = new QPushButton(tr("ｷｬﾝｾﾙ"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    connect(BitBtn1, &QPushButton::clicked, this, &TFolderNameInputFrm::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    FolderNameEdit->selectAll();
}

void TFolderNameInputFrm::BitBtn1Click() {
    const std::string name = pathBytes(FolderNameEdit->text());
    switch (ops_.checkRename(old_, name)) {
        case korvel::FolderName::Empty: return;
        case korvel::FolderName::Exists: showExists(this); return;
        case korvel::FolderName::Free: break;
    }
    newPath_ = korvel::FolderOps::renameTarget(old_, name);
    FolderNameEdit->setText(pathText(newPath_));
    accept();
}

// Enter in the name moves on to the next control instead of closing the dialog.
bool TFolderNameInputFrm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FolderNameEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            focusNextChild();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFolderNameInputFrm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen(this);
}
