// Window tests see Qt's own texts as the program shows them (はい, いいえ, キャンセル).
#include <QCoreApplication>

#include "platform/Translations.h"

namespace {
void loadAtStart() { loadQtTranslations(*QCoreApplication::instance()); }
}  // namespace

Q_COREAPP_STARTUP_FUNCTION(loadAtStart)
