#include "browse/ui/OrgStGrid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

TOrgStGrid::TOrgStGrid(QWidget* parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    verticalScrollBar()->setSingleStep(1);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
    // With ExScroll a page step moves one row further than a plain page.
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int action) {
        if (!ExScroll) return;
        QScrollBar* bar = verticalScrollBar();
        if (action == QAbstractSlider::SliderPageStepAdd) bar->setSliderPosition(bar->sliderPosition() + 1);
        if (action == QAbstractSlider::SliderPageStepSub) bar->setSliderPosition(bar->sliderPosition() - 1);
    });
    marks_.reset(1);
}

void TOrgStGrid::setLayout(int colCount, int rowCount, int cellSize) {
    colCount_ = std::max(1, colCount);
    rowCount_ = std::max(1, rowCount);
    cellSize_ = std::max(1, cellSize);
    marks_.reset(size_t(colCount_) * rowCount_);
    sel_.col = std::min(sel_.col, colCount_ - 1);
    sel_.row = std::min(sel_.row, rowCount_ - 1);
    selEnd_ = sel_;
    range_.moveTo(sel_, false);
    updateScrollRange();
    viewport()->update();
}

void TOrgStGrid::updateScrollRange() {
    QScrollBar* bar = verticalScrollBar();
    const int visible = std::max(1, visibleRowCount());
    bar->setRange(0, std::max(0, rowCount_ - visible));
    bar->setPageStep(visible);
}

int TOrgStGrid::topRow() const { return verticalScrollBar()->value(); }
void TOrgStGrid::setTopRow(int row) { verticalScrollBar()->setValue(std::max(0, row)); }
int TOrgStGrid::visibleRowCount() const { return viewport()->height() / cellSize_; }
int TOrgStGrid::visibleColCount() const { return viewport()->width() / cellSize_; }

korvel::GridCell TOrgStGrid::cellAt(QPoint p) const {
    if (p.x() < 0 || p.y() < 0) return {-1, -1};
    const int col = p.x() / cellSize_, row = p.y() / cellSize_ + topRow();
    if (col >= colCount_ || row >= rowCount_) return {-1, -1};
    return {col, row};
}

QRect TOrgStGrid::cellRect(korvel::GridCell c) const {
    // Each cell's pitch includes one grid line on its right and bottom.
    return QRect(c.col * cellSize_, (c.row - topRow()) * cellSize_, cellSize_ - GridLineWidth,
                 cellSize_ - GridLineWidth);
}

void TOrgStGrid::setSelection(korvel::GridCell cell, bool scrollIntoView) {
    sel_ = selEnd_ = cell;
    range_.moveTo(cell, false);
    if (scrollIntoView) {
        if (cell.row < topRow()) setTopRow(cell.row);
        else if (cell.row >= topRow() + std::max(1, visibleRowCount())) setTopRow(cell.row - std::max(1, visibleRowCount()) + 1);
    }
    viewport()->update();
}

void TOrgStGrid::selectAll() {
    sel_ = {0, 0};
    selEnd_ = {colCount_ - 1, rowCount_ - 1};
    range_.moveTo(sel_, false);
    viewport()->update();
}

bool TOrgStGrid::moveSelection(korvel::GridCell to, bool extend) {
    if (to.col < 0 || to.row < 0 || to.col >= colCount_ || to.row >= rowCount_) return false;
    if (onSelectCell && !onSelectCell(to.col, to.row)) return false;
    const korvel::GridCell anchor = range_.anchor;
    setSelection(to);
    if (extend) range_.anchor = anchor;
    return true;
}

void TOrgStGrid::setScrollBarShown(bool shown) {
    setVerticalScrollBarPolicy(shown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TOrgStGrid::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    p.setClipRegion(event->region());
    p.fillRect(viewport()->rect(), palette().color(QPalette::Base));
    const int first = topRow(), last = std::min(rowCount_ - 1, first + viewport()->height() / cellSize_ + 1);
    p.setPen(palette().color(QPalette::Mid));
    for (int row = first; row <= last; ++row)
        for (int col = 0; col < colCount_; ++col) {
            const QRect r = cellRect({col, row});
            if (!r.intersects(event->rect())) continue;
            p.save();
            p.setClipRect(r);
            if (onDrawCell) onDrawCell(p, col, row, r);
            p.restore();
            p.drawLine(r.right() + 1, r.top(), r.right() + 1, r.bottom() + 1);
            p.drawLine(r.left(), r.bottom() + 1, r.right() + 1, r.bottom() + 1);
        }
}

void TOrgStGrid::mousePressEvent(QMouseEvent* event) {
    setFocus();
    if (onPressModifiers) onPressModifiers(event->modifiers());
    const korvel::GridCell cell = cellAt(event->position().toPoint());
    // A partly visible cell neither scrolls into view nor takes the selection through the grid.
    const bool partly = cell.col >= 0 && (cell.col >= visibleColCount() || cell.row >= topRow() + visibleRowCount());
    if (event->button() == Qt::LeftButton && cell.col >= 0) {
        if (partly) {
            if (onSelectCell) onSelectCell(cell.col, cell.row);
            sel_ = selEnd_ = cell;
            range_.moveTo(cell, false);
            viewport()->update();
        } else {
            moveSelection(cell);
        }
    }
    if (onMouseDown) onMouseDown(event, partly);
}

void TOrgStGrid::mouseMoveEvent(QMouseEvent* event) {
    if (onMouseMove) onMouseMove(event);
}

void TOrgStGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && onDblClick) onDblClick();
}

void TOrgStGrid::keyPressEvent(QKeyEvent* event) {
    if (onKeyDown) onKeyDown(event);
    korvel::GridCell to = sel_;
    switch (event->key()) {
        case Qt::Key_Left: --to.col; break;
        case Qt::Key_Right: ++to.col; break;
        case Qt::Key_Up: --to.row; break;
        case Qt::Key_Down: ++to.row; break;
        case Qt::Key_PageUp: to.row -= std::max(1, visibleRowCount()); break;
        case Qt::Key_PageDown: to.row += std::max(1, visibleRowCount()); break;
        case Qt::Key_Home: to.col = 0; break;
        case Qt::Key_End: to.col = colCount_ - 1; break;
        default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    to.row = std::clamp(to.row, 0, rowCount_ - 1);
    to.col = std::clamp(to.col, 0, colCount_ - 1);
    // Shift extends the range from its anchor, as a grid with range selection does.
    if (!(to == sel_)) moveSelection(to, event->modifiers() & Qt::ShiftModifier);
}

void TOrgStGrid::keyReleaseEvent(QKeyEvent* event) {
    if (onKeyUp) onKeyUp(event);
    QAbstractScrollArea::keyReleaseEvent(event);
}

void TOrgStGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}
