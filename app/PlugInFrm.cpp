#include "app/PlugInFrm.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "formats/SpiExclusion.h"
#include "formats/SpiHost.h"
#include "platform/Translations.h"

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// Items sort by their caption (the plug-in's path), ignoring case.
class CaptionItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        return text(0).compare(other.text(0), Qt::CaseInsensitive) < 0;
    }
};

}  // namespace

TPlugInFrm::TPlugInFrm(const korvel::TSPIs* spis, std::string exclusionPath, QWidget* parent)
    : QDialog(parent), exclusionPath_(std::move(exclusionPath)) {
    setObjectName(QStringLiteral("TPlugInFrm"));
    setWindowTitle(tr("プラグインの設定"));
    Label2 = new QLabel(tr("使用しないプラグインのチェックを外して下さい。"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setRootIsDecorated(false);
    ListView1->setHeaderLabels({QStringLiteral("FileName"), QStringLiteral("AboutPlugIn"), QStringLiteral("FileExt"),
                                QStringLiteral("Format")});
    ListView1->setColumnWidth(0, 180);
    ListView1->setColumnWidth(1, 170);
    ListView1->setColumnWidth(3, 80);
    ListView1->setMinimumSize(540, 200);
    Label1 = new QLabel(tr("設定の変更は次回起動時より反映されます。"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setStyleSheet(QStringLiteral("color: red"));
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CanselBtn = new QPushButton(tr("キャンセル"), this);
    CanselBtn->setObjectName(QStringLiteral("CanselBtn"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Label1);
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CanselBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label2);
    layout->addWidget(ListView1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed border

    connect(OKBtn, &QPushButton::clicked, this, &TPlugInFrm::OKBtnClick);
    connect(CanselBtn, &QPushButton::clicked, this, &QDialog::reject);
    showMessage = [this](bool warning, const QString& title, const QString& text) {
        if (warning)
            QMessageBox::warning(this, title, text);
        else
            QMessageBox::information(this, title, text);
    };
    FormCreate(spis);
    adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen()) move(screen->availableGeometry().center() - rect().center());
}

void TPlugInFrm::addItem(const std::string& caption, const std::string& about, const std::string& ext,
                         const std::string& format, bool checked) {
    auto* item = new CaptionItem(ListView1, {q(caption), q(about), q(ext), q(format)});
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void TPlugInFrm::FormCreate(const korvel::TSPIs* spis) {
    ListView1->setUpdatesEnabled(false);
    // The loaded plug-ins, checked. One without formats shows empty cells.
    for (int i = 0; spis && i < spis->Count(); ++i) {
        const korvel::TSPI& spi = *spis->item(i);
        addItem(spi.FileName, spi.AboutPlugIn, spi.FileExtList.empty() ? std::string() : spi.FileExtList[0],
                spi.FormatList.empty() ? std::string() : spi.FormatList[0], true);
    }
    // The switched-off ones, unchecked, unless a loaded one has the same path. A record cut
    // short ends the list.
    const std::vector<std::string> lines = korvel::readExclusionLines(exclusionPath_);
    for (size_t i = 0; i < lines.size(); i += 4) {
        if (!ListView1->findItems(q(lines[i]), Qt::MatchExactly | Qt::MatchCaseSensitive, 0).isEmpty()) continue;
        if (i + 3 >= lines.size()) break;
        addItem(lines[i], lines[i + 1], lines[i + 2], lines[i + 3], false);
    }
    ListView1->setSortingEnabled(true);
    ListView1->sortItems(0, Qt::AscendingOrder);
    ListView1->setUpdatesEnabled(true);
}

void TPlugInFrm::OKBtnClick() {
    if (ListView1->topLevelItemCount() > 0) {
        std::vector<korvel::ExcludedPlugin> records;
        for (int i = 0; i < ListView1->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = ListView1->topLevelItem(i);
            if (item->checkState(0) == Qt::Checked) continue;
            records.push_back({item->text(0).toStdString(), item->text(1).toStdString(), item->text(2).toStdString(),
                               item->text(3).toStdString()});
        }
        try {
            korvel::writeExclusionFile(exclusionPath_, records);
            showMessage(false, tr("プラグインの設定"), tr("設定の変更は次回起動時より有効になります。"));
        } catch (const std::exception& e) {
            showMessage(true, tr("プラグインの設定"),
                        withReason(tr("設定の変更を保存出来ませんでした。"), reasonLine(korvel::reasonOf(e))));
        }
    }
    accept();
}
