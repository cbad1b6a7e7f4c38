#include "app/OpenShowFrm.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>

#include "imaging/Bitmap.h"
#include "base/Errors.h"
#include "platform/QtImage.h"
#include "base/ProgramFolders.h"
#include "base/UserFolders.h"

namespace {

QPixmap builtInPicture() {
    QPixmap pm(250, 96);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 250, 96);
    g.setColorAt(0, QColor(30, 60, 120));
    g.setColorAt(1, QColor(90, 150, 210));
    p.fillRect(pm.rect(), g);
    // A stack of three photo frames.
    for (int i = 0; i < 3; ++i) {
        p.setPen(QPen(Qt::white, 2));
        p.setBrush(QColor(255, 255, 255, 60 + 50 * i));
        p.drawRoundedRect(QRectF(28 + 9 * i, 20 + 7 * i, 44, 34), 3, 3);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 210, 90));
    p.drawEllipse(QPointF(60, 50), 5, 5);
    QFont f(QStringLiteral("Sans"));
    f.setPixelSize(34);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(100, 16, 145, 44), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Korvel"));
    f.setPixelSize(12);
    f.setBold(false);
    p.setFont(f);
    p.drawText(QRect(102, 58, 145, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("image organiser"));
    return pm;
}

// Loads a bitmap file through Korvel's own reader; null when it cannot be read.
QPixmap loadBitmapFile(const QString& path) {
    try {
        korvel::TBitmap bmp;
        bmp.loadFromFile(path.toStdString());
        return QPixmap::fromImage(toQImage(bmp));
    } catch (const korvel::Exception&) {
        return {};
    }
}

}  // namespace

QPixmap TOpenShowFrm::splashPicture() {
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    const QString name = exe.completeBaseName() + QStringLiteral(".bmp");
    const QString config = QString::fromStdString(korvel::configFolder(exe.absoluteFilePath().toStdString()));
    const QString data = QString::fromStdString(korvel::programFolders(exe.absoluteFilePath().toStdString()).data);
    for (const QString& candidate : {data + name, config + name}) {
        if (!QFileInfo::exists(candidate)) continue;
        QPixmap pm = loadBitmapFile(candidate);
        if (!pm.isNull()) return pm;
    }
    return builtInPicture();
}

TOpenShowFrm::TOpenShowFrm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("TOpenShowFrm"));
    setAttribute(Qt::WA_DeleteOnClose);
    picture_ = splashPicture();
    const bool builtIn = picture_.size() == QSize(250, 96);
    setFixedSize(builtIn ? QSize(249, 96) : picture_.size());
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 50, 50);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));
    if (QScreen* screen = QGuiApplication::primaryScreen()) move(screen->geometry().center() - rect().center());
}

void TOpenShowFrm::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, picture_);
    if (!shownSent_) {
        shownSent_ = true;
        emit shown();
    }
}
