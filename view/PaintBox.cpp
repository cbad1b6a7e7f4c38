#include "view/PaintBox.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {}

void TPaintBox::paintEvent(QPaintEvent* event) {
    if (!onPaint) return;
    QPainter p(this);
    onPaint(p, event->rect());
}

void TPaintBox::mousePressEvent(QMouseEvent* event) {
    if (onMouseDown) onMouseDown(event);
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
    if (onMouseMove) onMouseMove(event);
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* event) {
    if (onMouseUp) onMouseUp(event);
}

void TPaintBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (onDoubleClick) onDoubleClick(event);
    else QWidget::mouseDoubleClickEvent(event);
}
