// Window tests see the texts as the program shows them on a Japanese desktop, with Qt's own
// Japanese (はい, いいえ, キャンセル), whatever the locale of the machine that runs them.
#include <QCoreApplication>

#include "platform/Translations.h"

namespace {
void loadAtStart() { loadTranslations(*QCoreApplication::instance(), korvel::UiLanguage::Japanese, {}); }
}  // namespace

Q_COREAPP_STARTUP_FUNCTION(loadAtStart)
