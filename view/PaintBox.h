#pragma once
// TPaintBox: a plain widget whose painting and mouse handling belong to the window that holds it,
// as the paint box of a form does.
#include <QWidget>
#include <functional>

class QMouseEvent;
class QPainter;

class TPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBox(QWidget* parent = nullptr);

    std::function<void(QPainter&, const QRect& exposed)> onPaint;
    std::function<void(QMouseEvent*)> onMouseDown, onMouseMove, onMouseUp, onDoubleClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};
