#include "app/AppIdentity.h"

#include <QGuiApplication>

void setApplicationIdentity() {
    QCoreApplication::setApplicationName(QStringLiteral("Korvel"));
    // Ties the windows to the installed desktop entry and its icon (Wayland's app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.korvel.Korvel"));
}
