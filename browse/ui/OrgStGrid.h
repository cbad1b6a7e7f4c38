#pragma once
// TOrgStGrid: the thumbnail grid control. It keeps the grid's model (column and row counts,
// square cells, the selected cell or range, the top row, the cells' marks) and leaves the
// drawing of each cell and the reaction to clicks and keys to its owner, as a string grid
// with owner-drawn cells does.
#include <QAbstractScrollArea>
#include <functional>

#include "browse/GridModel.h"

class TOrgStGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TOrgStGrid(QWidget* parent = nullptr);

    // Page-up and page-down clicks on the scroll bar move one row further (set at start).
    bool ExScroll = false;
    static constexpr int GridLineWidth = 1;

    int colCount() const { return colCount_; }
    int rowCount() const { return rowCount_; }
    int defaultSize() const { return cellSize_; }
    // Applies a layout; marks are cleared by the owner (ClearMarks).
    void setLayout(int colCount, int rowCount, int cellSize);

    korvel::GridMarks& marks() { return marks_; }
    const korvel::GridMarks& marks() const { return marks_; }

    // The selection: its top-left cell, and the bottom-right cell of a range (select all).
    korvel::GridCell selection() const { return sel_; }
    korvel::GridCell selectionEnd() const { return selEnd_; }
    // Where a Shift+arrow range started; equal to selection() after any other move.
    korvel::GridCell anchor() const { return range_.anchor; }
    // Moves the selection without the select-cell check; scrolls the cell into view when asked.
    void setSelection(korvel::GridCell cell, bool scrollIntoView = true);
    void selectAll();

    int topRow() const;
    void setTopRow(int row);
    int visibleRowCount() const;     // rows fully visible
    int visibleColCount() const;     // columns fully visible
    // The cell under a point of the viewport, or (-1, -1).
    korvel::GridCell cellAt(QPoint p) const;
    QRect cellRect(korvel::GridCell cell) const;
    void setScrollBarShown(bool shown);
    // Repaints the visible cells.
    void repaintCells() { viewport()->update(); }

    // Owner hooks, named after the events they stand for.
    std::function<void(QPainter&, int col, int row, const QRect& rect)> onDrawCell;
    // Asked before the selection moves to a cell; return false to refuse.
    std::function<bool(int col, int row)> onSelectCell;
    // The modifiers held when a button goes down, before the selection moves.
    std::function<void(Qt::KeyboardModifiers)> onPressModifiers;
    std::function<void(QMouseEvent*, bool partlyVisible)> onMouseDown;
    std::function<void(QMouseEvent*)> onMouseMove;
    std::function<void(QKeyEvent*)> onKeyDown;
    std::function<void(QKeyEvent*)> onKeyUp;
    std::function<void()> onDblClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateScrollRange();
    bool moveSelection(korvel::GridCell to, bool extend = false);

    int colCount_ = 1, rowCount_ = 1, cellSize_ = 100;
    korvel::GridMarks marks_;
    korvel::GridCell sel_{0, 0}, selEnd_{0, 0};
    korvel::GridRange range_;  // range_.current is sel_
};
