#pragma once
// Helpers the window tests share: test images written under any byte name, typing, and players
// for the modal windows a command opens.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/IniFile.h"
#include "tests/support/TestImages.h"

namespace korvel::testing {

// A w x h 24-bit bitmap file whose pixels all differ from their neighbours; path is bytes.
inline void writePatternBmp(const std::string& path, int w, int h) {
    TBitmap b(w, h, PixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setRawPixel(x, y, uint32_t((x * 7 + y * 3) & 0xFFFFFF));
    saveBmp(b, path);
}

// Types text into the edit as the user would, a key a character (also where no key code matches),
// over what it holds unless replace is false.
inline void typeInto(QLineEdit* e, const QString& text, bool replace = true) {
    e->setFocus();
    if (replace) e->selectAll(), QTest::keyClick(e, Qt::Key_Delete);
    for (const QChar c : text) QTest::sendKeyEvent(QTest::Click, e, Qt::Key_unknown, QString(c), {});
}

// Clicks near the left edge: a check or radio box takes clicks on its box and text only.
inline void clickBox(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(std::min(8, w->width() / 2), w->height() / 2));
}

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Names the table row under way when one of its checks fails (a Qt Test check returns at once).
struct RowTrace {
    QString row;
    ~RowTrace() {
        if (QTest::currentTestFailed()) qWarning("failed in row: %s", qPrintable(row));
    }
};

// Whether button b reads caption: its text without "&", or without a trailing mnemonic such as
// Qt's Japanese "はい(&Y)".
inline bool captioned(const QAbstractButton* b, const QString& caption) {
    static const QRegularExpression mnemonic(QStringLiteral("\\(&.\\)$"));
    return QString(b->text()).remove(mnemonic) == caption || QString(b->text()).remove(QLatin1Char('&')) == caption;
}

// Answers every message box that opens while it lives, keeping the last one's caption and text:
// with the button captioned press (see captioned()) when it has one, else by accepting it.
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
                    if (!press.isEmpty() && captioned(b, press)) return b->click();
                box->accept();
            }
        });
        timer.start(10);
    }
};

// Plays the user's part in the modal windows a command opens. Each step, in order, acts on the
// next modal window of its class; a handler added with on<T>() acts once on every window of class
// T that no step is waiting for. Each runs from its own timer turn, so a box that its click opens
// is met while the click is still under way. Every message box's text is kept.
class ModalScript {
public:
    using Step = std::pair<const char*, std::function<void(QWidget*)>>;
    explicit ModalScript(std::vector<Step> steps = {}) : steps_(std::move(steps)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(10);
    }
    // act gets the window and how many of its class came before it.
    template <class T>
    ModalScript& on(std::function<void(T&, int)> act) {
        // The count is shared: poll() runs a copy of the handler.
        handlers_.push_back({T::staticMetaObject.className(), [act, n = std::make_shared<int>(0)](QWidget* w) {
                                 act(*static_cast<T*>(w), (*n)++);
                             }});
        return *this;
    }
    bool done() const { return next_ == steps_.size() && busy_.empty(); }
    QStringList boxTexts;
    int seen = 0;  // windows acted on

private:
    void poll() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || busy_.count(w)) return;
        std::function<void(QWidget*)> act;
        if (next_ < steps_.size() && w->inherits(steps_[next_].first)) {
            act = steps_[next_++].second;
        } else {
            // A handler meets each window once; the pointer goes null with it, so a new window
            // at the same address counts again.
            for (const QPointer<QWidget>& h : handled_)
                if (h == w) return;
            for (const Step& h : handlers_)
                if (w->inherits(h.first)) act = h.second;
            if (!act) return;
            handled_.push_back(w);
        }
        busy_.insert(w);
        QTimer::singleShot(0, w, [this, w, act] {
            if (auto* box = qobject_cast<QMessageBox*>(w)) boxTexts << box->text();
            act(w);
            busy_.erase(w);
            ++seen;
        });
    }
    std::vector<Step> steps_, handlers_;
    std::vector<QPointer<QWidget>> handled_;
    size_t next_ = 0;
    std::set<QWidget*> busy_;
    QTimer timer_;
};

// A step for the next modal window of class T.
template <class T>
ModalScript::Step stepOn(std::function<void(T&)> act) {
    return {T::staticMetaObject.className(), [act](QWidget* w) { act(*static_cast<T*>(w)); }};
}

// A step that clicks a message box's button b, or its first button when it has no b.
inline ModalScript::Step pressBox(QMessageBox::StandardButton b = QMessageBox::Ok) {
    return stepOn<QMessageBox>([b](QMessageBox& box) {
        QTest::mouseClick(box.button(b) ? box.button(b) : box.buttons().first(), Qt::LeftButton);
    });
}

// Shows w and waits until it is on the screen.
inline bool showExposed(QWidget& w) {
    w.show();
    return QTest::qWaitForWindowExposed(&w);
}

// Clicks b and answers the message boxes the click opens, with the button captioned press if given;
// their texts, in order.
inline QStringList boxesAfterClick(QAbstractButton* b, const QString& press = {}) {
    MessageBoxCatcher boxes;
    boxes.press = press;
    QTest::mouseClick(b, Qt::LeftButton);
    // A click that started a job disabled b; the job ends with b usable again or its window closed.
    const QPointer<QAbstractButton> button = b;
    // A job still running shows in the boxes the caller compares.
    (void)QTest::qWaitFor([&] { return !button || button->isEnabled() || !button->window()->isVisible(); }, 20000);
    return boxes.texts;
}

// '1' for each item enabled and '0' for each other, to compare a row of them at once.
template <class T>
QString enabledMask(std::initializer_list<T*> items) {
    QString s;
    for (const T* i : items) s += i->isEnabled() ? '1' : '0';
    return s;
}

// Gives w the focus and presses key on it, times over.
inline void pressOn(QWidget* w, Qt::Key key, int times = 1) {
    w->setFocus();
    for (int i = 0; i < times; ++i) QTest::keyClick(w, key);
}

// Clicks a row of a list or tree view where the user would, scrolled into sight first.
inline void clickRow(QAbstractItemView* v, int row, Qt::KeyboardModifiers mods = {}) {
    const QModelIndex i = v->model()->index(row, 0);
    v->scrollTo(i);
    QTest::mouseClick(v->viewport(), Qt::LeftButton, mods, v->visualRect(i).center());
}

// The byte strings as one line, space-separated, for a single comparison.
inline QString joined(const std::vector<std::string>& items) {
    QStringList l;
    for (const std::string& s : items) l << QString::fromStdString(s);
    return l.join(' ');
}

// "key=value" for each key of section in the settings file at path, only "key" where it is absent.
inline QString iniValues(const std::string& path, const char* section,
                         std::initializer_list<const char*> keys) {
    const korvel::IniFile ini = korvel::IniFile::load(path);
    QStringList l;
    for (const char* k : keys) {
        const QString value = QString::fromStdString(ini.readString(section, k, ""));
        l << QString::fromLatin1(k) + (ini.hasKey(section, k) ? "=" + value : QString());
    }
    return l.join(' ');
}

}  // namespace korvel::testing
