#include "app/AppIdentity.h"

#include <QCoreApplication>

void setApplicationIdentity() { QCoreApplication::setApplicationName(QStringLiteral("Korvel")); }
