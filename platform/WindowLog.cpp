#include "platform/WindowLog.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <vector>

namespace {

class WindowLog : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Exposed is what the compositor grants: a window the program merely showed may never get it.
        if (event->type() != QEvent::Expose) return false;
        auto* window = qobject_cast<QWindow*>(watched);
        if (!window || !window->isExposed() || logged(window)) return false;
        shown_.push_back(window);
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->windowHandle() != window) continue;
            std::fprintf(stderr, "korvel: window shown: %s\n", w->metaObject()->className());
            std::fflush(stderr);
        }
        return false;
    }

private:
    bool logged(const QWindow* window) {
        std::erase_if(shown_, [](const QPointer<QWindow>& p) { return p.isNull(); });
        for (const QPointer<QWindow>& p : shown_)
            if (p == window) return true;
        return false;
    }
    std::vector<QPointer<QWindow>> shown_;
};

}  // namespace

void logWindowsWhenAsked(QApplication& app) {
    if (qEnvironmentVariableIsEmpty("KORVEL_LOG_WINDOWS")) return;
    app.installEventFilter(new WindowLog(&app));
}
