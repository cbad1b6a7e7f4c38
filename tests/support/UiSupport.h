#pragma once
// Helpers the window tests share: test images written under any byte name, and a catcher that
// answers the message boxes a command opens.
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

// Answers every message box that opens while it lives, keeping the last one's caption and text.
struct MessageBoxCatcher {
    QString title, text;
    int seen = 0;
    std::function<void()> onBox;  // runs while the box is open
    QTimer timer;
    MessageBoxCatcher() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                title = box->windowTitle(), text = box->text();
                ++seen;
                if (onBox) onBox();
                box->accept();
            }
        });
        timer.start(10);
    }
};

}  // namespace korvel::testing
