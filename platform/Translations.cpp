#include "platform/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "base/NameText.h"
#include "platform/PathText.h"

bool loadQtTranslations(QCoreApplication& app) {
    // The interface is Japanese whatever the locale says, and so are Qt's own texts.
    auto* qt = new QTranslator(&app);
    if (!qt->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(qt)) {
        delete qt;
        return false;
    }
    return true;
}

QString coreText(const korvel::TrText& text) {
    if (text.empty()) return {};
    std::vector<std::string> shown;  // names as their boxes show them
    for (const std::string& arg : text.args) shown.push_back(korvel::nameText(arg));
    const QString t = QCoreApplication::translate(text.context, text.text);
    return QString::fromStdString(korvel::fillIn(t.toStdString(), shown));
}

korvel::TextTranslator coreTranslator() {
    return [](const char* context, const std::string& text) {
        const QString t = QCoreApplication::translate(context, text.c_str());
        return t == QString::fromUtf8(text) ? text : t.toStdString();
    };
}

QString errorReasonLine(int err) {
    if (err == 0) return {};
    if (const char* text = korvel::errorReasonText(err))
        return QCoreApplication::translate(korvel::kErrorReasonContext, text);
    return QString::fromLocal8Bit(korvel::systemErrorText(err));  // in the locale's language and encoding
}

QString reasonLine(const korvel::FailureReason& reason) {
    if (reason.err != 0) return errorReasonLine(reason.err);
    if (!reason.text.empty()) return coreText(reason.text);
    return pathText(reason.message);
}

QString withReason(const QString& text, const QString& reason) {
    return reason.isEmpty() ? text : text + QLatin1Char('\n') + reason;
}
