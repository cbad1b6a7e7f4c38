#include "view/PreviewPane.h"

#include <QMouseEvent>
#include <QPainter>

TPreviewPane::TPreviewPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PaintBox1"));
    setAutoFillBackground(true);
}

void TPreviewPane::setShownImage(QImage image) {
    shown_ = std::move(image);
    update();
}

void TPreviewPane::setCollapsed(bool collapsed) {
    collapsed_ = collapsed;
    update();
}

void TPreviewPane::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    if (collapsed_ || shown_.isNull()) {
        p.fillRect(event->rect(), palette().color(QPalette::Window));
        return;
    }
    p.drawImage(0, 0, shown_);
}

void TPreviewPane::mousePressEvent(QMouseEvent* e) {
    if (onMouseDown) onMouseDown(e);
}
void TPreviewPane::mouseMoveEvent(QMouseEvent* e) {
    if (onMouseMove) onMouseMove(e);
}
void TPreviewPane::mouseReleaseEvent(QMouseEvent* e) {
    if (onMouseUp) onMouseUp(e);
}
void TPreviewPane::mouseDoubleClickEvent(QMouseEvent*) {
    if (onDblClick) onDblClick();
}
