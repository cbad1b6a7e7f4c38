#pragma once
// Korvel's texts in the user's language: its own translation and Qt's, and the core's marked
// texts (base/Translatable.h) and failure reasons (base/ErrorReason.h) through
// QCoreApplication::translate.
#include <QString>
#include <string>

#include "base/ErrorReason.h"
#include "base/Translatable.h"
#include "base/UiLanguage.h"

class QCoreApplication;

// Installs the texts of language before the first window opens. Japanese is what the sources
// say, with Qt's own Japanese (standard buttons read はい, いいえ, キャンセル); English is
// korvel_en.qm from folder, and Qt's own texts as they are. Returns the language the windows
// will show: Japanese when the English file cannot be loaded, so that Korvel's and Qt's texts
// stay in one language.
korvel::UiLanguage loadTranslations(QCoreApplication& app, korvel::UiLanguage language, const std::string& folder);
// The language loadTranslations settled on; Japanese before it ran.
korvel::UiLanguage shownLanguage();
// The folder of the translation files for the program at executablePath.
std::string translationFolder(const std::string& executablePath);

// A marked core text translated, its values (paths and names as bytes) shown by pathText.
QString coreText(const korvel::TrText& text);
// The translation core calls take for the texts they build from marked parts; a text without a
// translation keeps its bytes.
korvel::TextTranslator coreTranslator();

// The reason for errno err: the table's text translated, else the system's own text; empty for 0.
QString errorReasonLine(int err);
// A failure's reason in the user's language; empty when it has none.
QString reasonLine(const korvel::FailureReason& reason);
// text, then reason on a line of its own when there is one.
QString withReason(const QString& text, const QString& reason);
