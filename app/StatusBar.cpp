#include "app/StatusBar.h"

#include <QLabel>
#include <QStatusBar>
#include <algorithm>

#include "app/ResizeWatcher.h"
#include "browse/FileList.h"

MainStatusBar::MainStatusBar(QStatusBar* bar) : QObject(bar), bar_(bar) {
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    const int widths[6] = {60, 400, 60, 100, 70, 50};
    const Qt::Alignment align[6] = {Qt::AlignRight, Qt::AlignLeft, Qt::AlignRight,
                                    Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignLeft};
    for (int i = 0; i < 6; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(align[i] | Qt::AlignVCenter);
        label->setFixedWidth(widths[i]);
        bar->addWidget(label);
        panels_[size_t(i)] = label;
    }
    // Japanese text (a reason in panel 4) may come from a taller fallback font: the bar is that
    // tall from the start, so that such a text never changes the window's layout.
    QLabel* probe = panels_[size_t(StatusPanel::ImageSize)];
    probe->setText(QStringLiteral("画像の理由 Ag"));
    const int tall = probe->sizeHint().height();
    probe->clear();
    for (QLabel* label : panels_) label->setMinimumHeight(tall);
    new ResizeWatcher(bar, [this] { fitPathPanel(); });
}

QString MainStatusBar::text(StatusPanel p) const { return panel(p)->text(); }

void MainStatusBar::setText(StatusPanel p, const QString& text) { panel(p)->setText(text); }

void MainStatusBar::clearFilePanels() {
    for (StatusPanel p : {StatusPanel::Path, StatusPanel::FileSize, StatusPanel::FileTime, StatusPanel::ImageSize})
        panel(p)->clear();
    panel(StatusPanel::ImageSize)->setToolTip({});
    if (panel(StatusPanel::ImageSize)->width() != 70) {
        panel(StatusPanel::ImageSize)->setFixedWidth(70);
        fitPathPanel();
    }
}

void MainStatusBar::showFileCount(size_t count) {
    QLabel* label = panel(StatusPanel::FileCount);
    label->setText(QString::fromStdString(korvel::formatFileCount(count)));
    // The design width fits "#,##0Files" in the original font only; a right-aligned text that
    // does not fit loses its first digits.
    const int wanted = std::max(60, label->sizeHint().width());
    if (label->width() == wanted) return;
    label->setFixedWidth(wanted);
    fitPathPanel();
}

void MainStatusBar::showImageNote(const QString& size, const QString& note) {
    QLabel* label = panel(StatusPanel::ImageSize);
    label->setText(note.isEmpty() ? size : size.isEmpty() ? note : size + QLatin1Char(' ') + note);
    label->setToolTip(note);
    // The design width holds "%dx%d" only.
    const int wanted = std::max(70, label->sizeHint().width());
    if (label->width() == wanted) return;
    label->setFixedWidth(wanted);
    fitPathPanel();
}

void MainStatusBar::fitPathPanel() {
    int others = 0;
    for (StatusPanel p : {StatusPanel::FileCount, StatusPanel::FileSize, StatusPanel::FileTime, StatusPanel::ImageSize})
        others += panel(p)->width();
    panel(StatusPanel::Path)->setFixedWidth(std::max(50, bar_->contentsRect().width() - others - 20));
}
