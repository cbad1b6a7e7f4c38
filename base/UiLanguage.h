#pragma once
// The language the windows speak. Their texts are written in Japanese; English is the one
// translation Korvel ships, for every user whose locale is neither Japanese nor the plain C one.
#include <functional>
#include <string>
#include <string_view>

namespace korvel {

enum class UiLanguage { Japanese, English };

// The language for a locale name such as "ja_JP.UTF-8", "de_DE@euro" or "C.UTF-8": Japanese for
// Japanese and for the plain C and POSIX locales (they ask for the texts as written), English for
// every other language.
UiLanguage uiLanguageOfLocale(std::string_view locale);

// The language for the messages locale the environment names: LC_ALL, else LC_MESSAGES, else
// LANG, the first that is set and not empty, as POSIX orders them; none of them means "C".
UiLanguage uiLanguageFromEnvironment(const std::function<const char*(const char*)>& getenv);
UiLanguage uiLanguageFromEnvironment();

// The help file of the program named programName in language: "korvel.html" holds the Japanese
// help, "korvel.en.html" the English.
std::string helpFileName(std::string_view programName, UiLanguage language);

}  // namespace korvel
