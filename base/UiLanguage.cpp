#include "base/UiLanguage.h"

#include <cstdlib>

namespace korvel {

UiLanguage uiLanguageOfLocale(std::string_view locale) {
    // language[_territory][.codeset][@modifier]
    const std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
    if (language == "ja" || language == "C" || language == "POSIX" || language.empty()) return UiLanguage::Japanese;
    return UiLanguage::English;
}

UiLanguage uiLanguageFromEnvironment(const std::function<const char*(const char*)>& getenv) {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getenv(name);
        if (value && *value) return uiLanguageOfLocale(value);
    }
    return uiLanguageOfLocale("C");
}

UiLanguage uiLanguageFromEnvironment() {
    return uiLanguageFromEnvironment([](const char* name) { return std::getenv(name); });
}

std::string helpFileName(std::string_view programName, UiLanguage language) {
    return std::string(programName) + (language == UiLanguage::English ? ".en.html" : ".html");
}

}  // namespace korvel
