#pragma once
// Helpers the window tests share: test images written under any byte name, and a catcher that
// answers the message boxes a command opens.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <fstream>
#include <functional>
#include <string>

#include "imaging/Bmp.h"
#include "imaging/Bitmap.h"

namespace korvel::testing {

// A w x h 24-bit bitmap file whose pixels all differ from their neighbours; path is bytes.
inline void writePatternBmp(const std::string& path, int w, int h) {
    TBitmap b(w, h, PixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setRawPixel(x, y, uint32_t((x * 7 + y * 3) & 0xFFFFFF));
    std::ofstream out(path, std::ios::binary);
    writeBmp(b, out);
}

// Answers every message box that opens while it lives, keeping the last one's caption and text:
// with the button whose caption (without "&") is press when it has one, else by accepting it.
struct MessageBoxCatcher {
    QString title, text;
    QStringList texts;  // every box's text, in order
    int seen = 0;
    QString press;
    std::function<void()> onBox;  // runs while the box is open
    QTimer timer;
    MessageBoxCatcher() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                title = box->windowTitle(), text = box->text();
                texts << text;
                ++seen;
                if (onBox) onBox();
                for (QAbstractButton* b : box->buttons())
                    if (!press.isEmpty() && b->text().remove(QLatin1Char('&')) == press) return b->click();
                box->accept();
            }
        });
        timer.start(10);
    }
};

// Runs act once on the first modal window of type T that opens while it lives.
template <class T>
struct WhenModal {
    QTimer timer;
    bool done = false;
    explicit WhenModal(std::function<void(T*)> act) {
        QObject::connect(&timer, &QTimer::timeout, [this, act] {
            if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget()); w && !done) {
                done = true;
                act(w);
            }
        });
        timer.start(10);
    }
};

}  // namespace korvel::testing
