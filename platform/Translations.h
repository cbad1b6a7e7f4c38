#pragma once
// Korvel's texts in the user's language: Qt's own translations, and the core's marked texts
// (base/Translatable.h) and failure reasons (base/ErrorReason.h) through
// QCoreApplication::translate.
#include <QString>

#include "base/ErrorReason.h"
#include "base/Translatable.h"

class QCoreApplication;

// Installs Qt's own Japanese texts, so standard buttons read はい, いいえ, キャンセル. False when
// they are not installed.
bool loadQtTranslations(QCoreApplication& app);

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
