#pragma once
// What a window's platform window knows of its owner at the moment it is shown: that is when
// the X11 back end tells the window manager (WM_TRANSIENT_FOR), and only for dialog-like types.
#include <QEvent>
#include <QWidget>
#include <QWindow>

struct ShownOwner : QObject {
    bool shown = false;
    QWindow* transientParent = nullptr;
    Qt::WindowType type = Qt::Widget;

    explicit ShownOwner(QWidget* watched) { watched->installEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show && !shown) {
            QWindow* h = static_cast<QWidget*>(o)->windowHandle();
            shown = true;
            transientParent = h ? h->transientParent() : nullptr;
            type = h ? h->type() : Qt::Widget;
        }
        return false;
    }
};
