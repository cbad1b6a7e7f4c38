#pragma once
// Helpers the window tests share: test images written under any byte name, and a catcher that
// answers the message boxes a command opens.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

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
    QStringList texts;  // every box's text, in order
    int seen = 0;
    std::function<void()> onBox;  // runs while the box is open
    QTimer timer;
    MessageBoxCatcher() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                title = box->windowTitle(), text = box->text();
                texts << text;
                ++seen;
                if (onBox) onBox();
                box->accept();
            }
        });
        timer.start(10);
    }
};

// Plays the user's part in the modal windows a command opens: each step, in order, acts on the
// next modal window of its class. A step runs from its own timer turn, so a box that its click
// opens is met by the next step while the click is still under way. Every message box's text is
// kept.
class ModalScript {
public:
    using Step = std::pair<const char*, std::function<void(QWidget*)>>;
    explicit ModalScript(std::vector<Step> steps) : steps_(std::move(steps)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(10);
    }
    bool done() const { return next_ == steps_.size() && busy_.empty(); }
    QStringList boxTexts;

private:
    void poll() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || next_ >= steps_.size() || busy_.count(w) || !w->inherits(steps_[next_].first)) return;
        busy_.insert(w);
        QTimer::singleShot(0, w, [this, w, step = steps_[next_++].second] {
            if (auto* box = qobject_cast<QMessageBox*>(w)) boxTexts << box->text();
            step(w);
            busy_.erase(w);
        });
    }
    std::vector<Step> steps_;
    size_t next_ = 0;
    std::set<QWidget*> busy_;
    QTimer timer_;
};

}  // namespace korvel::testing
