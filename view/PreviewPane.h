#pragma once
// PaintBox1 of the preview pane: paints one prepared image at its top-left corner and passes
// mouse events to the main window. It never scales while painting.
#include <QImage>
#include <QWidget>
#include <functional>

class TPreviewPane : public QWidget {
    Q_OBJECT
public:
    explicit TPreviewPane(QWidget* parent = nullptr);

    // The image to paint at (0, 0); null paints nothing.
    void setShownImage(QImage image);
    const QImage& shownImage() const { return shown_; }
    // A collapsed pane only clears itself.
    void setCollapsed(bool collapsed);

    std::function<void(QMouseEvent*)> onMouseDown, onMouseMove, onMouseUp;
    std::function<void()> onDblClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    QImage shown_;
    bool collapsed_ = false;
};
