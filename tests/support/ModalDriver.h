#pragma once
// Acts on each modal dialog of type T as it opens, as the user would while the command waits.
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <functional>

namespace korvel::testing {

template <class T>
struct ModalDriver {
    std::function<void(T&, int)> act;  // the dialog and how many came before it
    int seen = 0;
    QTimer timer;
    explicit ModalDriver(std::function<void(T&, int)> a) : act(std::move(a)) {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto* d = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!d || d == last_) return;
            last_ = d;
            act(*d, seen++);
        });
        timer.start(10);
    }

private:
    QPointer<T> last_;  // goes null with its dialog, so a new one at the same address counts
};

}  // namespace korvel::testing
