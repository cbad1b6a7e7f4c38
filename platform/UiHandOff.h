#pragma once
// The one hand-off from a worker thread (base/Workers.h) to a window: fn runs on the thread of
// receiver, from its event loop, in the order posted. When receiver is destroyed first, fn is
// dropped with the event and never runs, so a result never reaches a window that is gone.
#include <QMetaObject>
#include <QObject>
#include <functional>
#include <utility>

inline void handToUi(QObject* receiver, std::function<void()> fn) {
    QMetaObject::invokeMethod(receiver, std::move(fn), Qt::QueuedConnection);
}
