#include "platform/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

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
    const QString t = QCoreApplication::translate(text.context, text.text);
    // One pass, as the core fills in: a value holding "%2" stays as it is.
    QString out;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const int n = i + 1 < t.size() ? t[i + 1].digitValue() - 1 : -1;
        if (t[i] == QLatin1Char('%') && n >= 0 && size_t(n) < text.args.size()) {
            out += pathText(text.args[size_t(n)]);
            ++i;
        } else {
            out += t[i];
        }
    }
    return out;
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
