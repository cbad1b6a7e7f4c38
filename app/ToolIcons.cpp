#include "app/ToolIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr int kSize = 20;

void page(QPainter& p, QRectF r, const QColor& fill) {
    p.setBrush(fill);
    p.drawRect(r);
    p.drawLine(r.left() + 3, r.top() + 4, r.right() - 3, r.top() + 4);
    p.drawLine(r.left() + 3, r.top() + 7, r.right() - 3, r.top() + 7);
}

void folder(QPainter& p, QRectF r) {
    p.setBrush(QColor(240, 200, 80));
    QPainterPath path;
    path.moveTo(r.left(), r.top() + 3);
    path.lineTo(r.left() + r.width() * 0.4, r.top() + 3);
    path.lineTo(r.left() + r.width() * 0.5, r.top() + 5);
    path.lineTo(r.right(), r.top() + 5);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.drawPath(path);
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& c) {
    p.setPen(QPen(c, 2));
    p.drawLine(from, to);
    QLineF line(to, from);
    QLineF a = line, b = line;
    a.setLength(5);
    b.setLength(5);
    a.setAngle(line.angle() + 35);
    b.setAngle(line.angle() - 35);
    p.drawLine(a);
    p.drawLine(b);
    p.setPen(Qt::black);
}

void text(QPainter& p, QRectF r, const QString& s, const QColor& c, int px) {
    QFont f = p.font();
    f.setPixelSize(px);
    f.setBold(true);
    p.setFont(f);
    p.setPen(c);
    p.drawText(r, Qt::AlignCenter, s);
    p.setPen(Qt::black);
}

void draw(QPainter& p, ToolIcon which) {
    const QColor blue(40, 90, 200), red(200, 40, 40), green(40, 150, 60);
    p.setPen(Qt::black);
    switch (which) {
        case ToolIcon::Close:
            p.setBrush(QColor(150, 110, 70));
            p.drawRect(4, 2, 10, 16);
            arrow(p, {10, 10}, {18, 10}, red);
            break;
        case ToolIcon::Copy:
            page(p, {2, 2, 10, 12}, Qt::white);
            page(p, {8, 6, 10, 12}, Qt::white);
            break;
        case ToolIcon::ExtendedCopy:
            page(p, {2, 2, 10, 12}, Qt::white);
            page(p, {8, 6, 10, 12}, QColor(200, 230, 255));
            text(p, {8, 9, 11, 10}, "K", blue, 9);
            break;
        case ToolIcon::Move:
            page(p, {2, 4, 9, 12}, Qt::white);
            arrow(p, {10, 10}, {18, 10}, blue);
            break;
        case ToolIcon::Delete:
            page(p, {3, 2, 11, 14}, Qt::white);
            p.setPen(QPen(red, 2.5));
            p.drawLine(8, 8, 18, 18);
            p.drawLine(18, 8, 8, 18);
            break;
        case ToolIcon::Rename:
            p.setBrush(Qt::white);
            p.drawRect(1, 5, 18, 10);
            text(p, {1, 5, 18, 10}, "ab", blue, 9);
            break;
        case ToolIcon::SerialRename:
            p.setBrush(Qt::white);
            p.drawRect(1, 5, 18, 10);
            text(p, {1, 5, 18, 10}, "12", red, 9);
            break;
        case ToolIcon::Slideshow:
            p.setBrush(QColor(60, 60, 60));
            p.drawRect(1, 3, 18, 14);
            p.setBrush(green);
            p.setPen(Qt::NoPen);
            p.drawPolygon(QPolygonF({QPointF(7, 6), QPointF(14, 10), QPointF(7, 14)}));
            break;
        case ToolIcon::Stretch:
            p.setBrush(QColor(200, 230, 255));
            p.drawRect(2, 2, 16, 16);
            arrow(p, {10, 10}, {17, 3}, blue);
            arrow(p, {10, 10}, {3, 17}, blue);
            break;
        case ToolIcon::FavoritesOnly:
            folder(p, {1, 3, 18, 14});
            text(p, {1, 6, 18, 12}, QString(QChar(0x2605)), red, 11);
            break;
        case ToolIcon::HideTree:
            p.setBrush(Qt::white);
            p.drawRect(1, 2, 18, 16);
            p.drawLine(4, 6, 8, 6);
            p.drawLine(6, 6, 6, 14);
            p.drawLine(6, 10, 10, 10);
            p.drawLine(6, 14, 10, 14);
            p.setPen(QPen(red, 2));
            p.drawLine(12, 5, 18, 15);
            break;
        case ToolIcon::SubFolders:
            folder(p, {1, 1, 12, 10});
            folder(p, {7, 8, 12, 10});
            break;
        case ToolIcon::InfoMode:
            p.setBrush(Qt::white);
            p.drawRect(2, 2, 16, 12);
            text(p, {2, 13, 16, 7}, "i", blue, 8);
            p.drawLine(4, 16, 16, 16);
            break;
        case ToolIcon::QuickCaptions:
            folder(p, {1, 2, 12, 10});
            text(p, {4, 11, 16, 9}, "Aa", blue, 8);
            break;
        case ToolIcon::SortUp:
        case ToolIcon::SortDown: {
            const bool up = which == ToolIcon::SortUp;
            text(p, {0, 0, 11, 10}, up ? "A" : "Z", blue, 8);
            text(p, {0, 10, 11, 10}, up ? "Z" : "A", blue, 8);
            arrow(p, {15, 2}, {15, 18}, green);
            break;
        }
        case ToolIcon::Refresh:
            p.setPen(QPen(green, 2.5));
            p.drawArc(QRectF(3, 3, 14, 14), 60 * 16, 280 * 16);
            arrow(p, {14, 5}, {17, 4}, green);
            break;
        case ToolIcon::Options:
            p.setBrush(QColor(170, 170, 180));
            p.drawEllipse(QRectF(4, 4, 12, 12));
            p.setBrush(Qt::white);
            p.drawEllipse(QRectF(8, 8, 4, 4));
            break;
        case ToolIcon::PlugIns:
            p.setBrush(QColor(120, 170, 90));
            p.drawRect(3, 7, 11, 9);
            p.drawRect(14, 9, 4, 2);
            p.drawRect(14, 12, 4, 2);
            break;
        case ToolIcon::Help:
            p.setBrush(QColor(255, 250, 200));
            p.drawEllipse(QRectF(2, 2, 16, 16));
            text(p, {2, 2, 16, 16}, "?", blue, 12);
            break;
        case ToolIcon::About:
            p.setBrush(QColor(220, 235, 255));
            p.drawEllipse(QRectF(2, 2, 16, 16));
            text(p, {2, 2, 16, 16}, "K", blue, 11);
            break;
    }
}

QPixmap canvas() {
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    return pm;
}

}  // namespace

QIcon toolIcon(ToolIcon which) {
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, which);
    return QIcon(pm);
}

QIcon quickFolderIcon(int n) {
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::black);
    folder(p, {1, 2, 18, 15});
    text(p, {1, 6, 18, 12}, QString::number(n), QColor(40, 40, 140), n >= 10 ? 8 : 10);
    return QIcon(pm);
}
