#include "platform/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "base/NameText.h"
#include "base/ProgramFolders.h"
#include "platform/PathText.h"

namespace {
korvel::UiLanguage shown = korvel::UiLanguage::Japanese;

bool install(QCoreApplication& app, const QString& name, const QString& folder) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(name, folder) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}
}  // namespace

korvel::UiLanguage loadTranslations(QCoreApplication& app, korvel::UiLanguage language, const std::string& folder) {
    if (language == korvel::UiLanguage::English &&
        install(app, QStringLiteral("korvel_en"), QString::fromStdString(folder)))
        return shown = korvel::UiLanguage::English;  // Qt's own texts are English as written
    // A missing Qt translation leaves its buttons in English; Korvel's texts are Japanese still.
    install(app, QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    return shown = korvel::UiLanguage::Japanese;
}

korvel::UiLanguage shownLanguage() { return shown; }

std::string translationFolder(const std::string& executablePath) {
    return korvel::programFolders(executablePath).data + "translations/";
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
