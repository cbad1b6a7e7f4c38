#pragma once
// Runs a function whenever a watched widget changes size.
#include <QEvent>
#include <QObject>
#include <functional>

class ResizeWatcher : public QObject {
public:
    ResizeWatcher(QObject* watched, std::function<void()> onResize)
        : QObject(watched), onResize_(std::move(onResize)) {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Resize) onResize_();
        return QObject::eventFilter(o, e);
    }

private:
    std::function<void()> onResize_;
};
