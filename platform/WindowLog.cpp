#include "platform/WindowLog.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QScreen>
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
        const QWidget* shown = widgetOf(window);
        if (!shown) return false;
        const QSize screen = window->screen() ? window->screen()->geometry().size() : QSize();
        QString line = QStringLiteral("korvel: window shown: %1 %2x%3 on %4x%5")
                           .arg(QLatin1String(shown->metaObject()->className()))
                           .arg(shown->width())
                           .arg(shown->height())
                           .arg(screen.width())
                           .arg(screen.height());
        // The owner the window system was told of: a viewer or dialog stays with its main window.
        if (const QWidget* owner = widgetOf(window->transientParent()))
            line += QStringLiteral(", owned by ") + QLatin1String(owner->metaObject()->className());
        std::fprintf(stderr, "%s\n", qPrintable(line));
        std::fflush(stderr);
        return false;
    }

private:
    static const QWidget* widgetOf(const QWindow* window) {
        if (!window) return nullptr;
        for (const QWidget* w : QApplication::topLevelWidgets())
            if (w->windowHandle() == window) return w;
        return nullptr;
    }
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
