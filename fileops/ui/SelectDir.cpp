#include "fileops/ui/SelectDir.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/PathText.h"
#include "settings/DialogSettings.h"

TSelectDir::TSelectDir(bool copy, const std::vector<std::string>& all, const std::vector<std::string>& selected,
                       const std::vector<std::string>& quick, Hooks hooks, QWidget* parent)
    : QDialog(parent), hooks_(std::move(hooks)) {
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
    setWindowFlag(Qt::WindowMinimizeButtonHint, false);
    lists = new TTwoLists(hooks_.thumbs, this);
    lists->fill(all, selected);
    Label1 = new QLabel(tr("フォルダーをフルパスで指定して下さい。"), this);
    DirCombo = new QComboBox(this);
    DirCombo->setObjectName(QStringLiteral("DirCombo"));
    DirCombo->setEditable(true);
    DirCombo->setInsertPolicy(QComboBox::NoInsert);  // Enter confirms the folder, it adds no item
    for (const std::string& q : quick)
        if (!q.empty()) DirCombo->addItem(pathText(q));
    DirCombo->setCurrentIndex(-1);
    DirCombo->setEditText(QString());
    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setToolTip(tr("フォルダを選択"));
    SpeedButton1->setText(QStringLiteral("..."));
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    // Enter anywhere in the dialog, the folder box and the lists included, is OK with its checks.
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(tr("ｷｬﾝｾﾙ"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);

    auto* strip = new QGridLayout;
    strip->addWidget(Label1, 0, 0, 1, 2);
    strip->addWidget(DirCombo, 1, 0);
    strip->addWidget(SpeedButton1, 1, 1);
    strip->addWidget(OKBtn, 0, 2);
    strip->addWidget(CancelBtn, 1, 2);
    strip->setColumnStretch(0, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lists, 1);
    layout->addLayout(strip);

    setWindowTitle(copy ? tr("ファイルのコピー") : tr("ファイルの移動"));
    Label1->setText(copy ? tr("コピー先フォルダ") : tr("移動先フォルダ"));
    lists->YesLabel->setText(copy ? tr("コピーするファイル") : tr("移動するファイル"));
    lists->NoLabel->setText(copy ? tr("コピーしないファイル") : tr("移動しないファイル"));

    connect(OKBtn, &QPushButton::clicked, this, &TSelectDir::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(SpeedButton1, &QToolButton::clicked, this, &TSelectDir::SpeedButton1Click);
}

void TSelectDir::LoadSettings() {
    const korvel::CopyMoveSettings stored = korvel::loadCopyMoveSettings(hooks_.settingsPath);
    DirCombo->setEditText(pathText(stored.dir));
    lists->loadPlacement(*this, stored.placement, QSize(620, 470));
}

void TSelectDir::SaveSettings() {
    korvel::CopyMoveSettings s;
    s.dir = pathBytes(DirCombo->currentText());
    s.placement = lists->placementOf(*this);
    korvel::saveCopyMoveSettings(hooks_.settingsPath, s);
}

void TSelectDir::SpeedButton1Click() {
    if (!hooks_.browseFolder) return;
    const std::string chosen = hooks_.browseFolder(pathBytes(DirCombo->currentText()));
    if (!chosen.empty()) DirCombo->setEditText(pathText(chosen));
}

void TSelectDir::OKBtnClick() {
    const std::vector<std::string> files = lists->yesPaths();
    if (files.empty()) return;
    std::string dir = pathBytes(DirCombo->currentText());
    // A full path starts at the root; a bare name has no folder part.
    if (dir.empty() || dir[0] != '/') {
        QMessageBox::warning(this, windowTitle(), Label1->text() + tr("をフルパスで指定して下さい。"));
        return;
    }
    if (hooks_.ensureFolder && !hooks_.ensureFolder(dir)) return;
    if (dir.back() != '/') dir += '/';
    DirCombo->setEditText(pathText(dir));
    if (hooks_.run) hooks_.run(windowTitle() == tr("ファイルのコピー"), files, dir);
    accept();
}
