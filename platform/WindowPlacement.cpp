#include "platform/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

std::vector<korvel::WindowRect> screenWorkAreas(const QWidget* near) {
    const QScreen* first = near ? near->screen() : QGuiApplication::primaryScreen();
    std::vector<korvel::WindowRect> areas;
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect a = s->availableGeometry();
        areas.insert(s == first ? areas.begin() : areas.end(), {a.left(), a.top(), a.width(), a.height()});
    }
    return areas;
}

void placeDialog(QWidget& dialog, QSize stored, QSize fallback) {
    const QWidget* owner = dialog.parentWidget() ? dialog.parentWidget()->window() : nullptr;
    // The window manager adds the dialog's frame only when it shows; the owner's frame stands
    // in for it, so the frame too stays on the work area.
    QMargins frame;
    if (owner && owner->isVisible()) {
        const QRect f = owner->frameGeometry(), g = owner->geometry();
        frame = QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
    }
    std::vector<korvel::WindowRect> areas = screenWorkAreas(owner ? owner : &dialog);
    for (korvel::WindowRect& a : areas) {
        a.left += frame.left(), a.top += frame.top();
        a.width -= frame.left() + frame.right(), a.height -= frame.top() + frame.bottom();
    }
    const QSize minimum = dialog.minimumSize().expandedTo(dialog.minimumSizeHint());
    const korvel::WindowRect r = korvel::fitDialogToWorkAreas({stored.width(), stored.height()}, areas,
                                                              {fallback.width(), fallback.height()},
                                                              {minimum.width(), minimum.height()});
    dialog.resize(r.width, r.height);
    if (!areas.empty()) dialog.move(r.left - frame.left(), r.top - frame.top());
}
