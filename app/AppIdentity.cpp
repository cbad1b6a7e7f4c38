#include "app/AppIdentity.h"

#include <QGuiApplication>

#include "platform/ThemeIcons.h"

void setApplicationIdentity() {
    QCoreApplication::setApplicationName(QStringLiteral("Korvel"));
    // Ties the windows to the installed desktop entry and its icon (Wayland's app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.korvel.Korvel"));
    // X11 takes each window's icon from the window itself; the installed icon when the theme
    // has it, the built-in copy when run from a build folder.
    QGuiApplication::setWindowIcon(toolIcon(ToolIcon::Program));
}
