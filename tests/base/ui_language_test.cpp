// The interface language from the locale variables, in the order POSIX gives them.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "base/UiLanguage.h"

using korvel::UiLanguage;
constexpr UiLanguage ja = UiLanguage::Japanese, en = UiLanguage::English;

TEST(UiLanguage, FromLocaleVariables) {
    struct Case {
        const char *lcAll, *lcMessages, *lang;  // null: not set
        UiLanguage expected;
    } cases[] = {
        {nullptr, nullptr, nullptr, ja},  // nothing set: the C locale
        {nullptr, nullptr, "ja_JP.UTF-8", ja},
        {nullptr, nullptr, "ja_JP.eucJP", ja},
        {nullptr, nullptr, "ja", ja},
        {nullptr, nullptr, "C", ja},
        {nullptr, nullptr, "C.UTF-8", ja},
        {nullptr, nullptr, "POSIX", ja},
        {nullptr, nullptr, "en_US.UTF-8", en},
        {nullptr, nullptr, "en_GB", en},
        {nullptr, nullptr, "de_DE.UTF-8", en},
        {nullptr, nullptr, "fr_FR@euro", en},
        {nullptr, nullptr, "zh_CN.UTF-8", en},
        {nullptr, nullptr, "jv_ID", en},  // Javanese starts with "j" too
        // LC_MESSAGES before LANG, LC_ALL before both.
        {nullptr, "de_DE.UTF-8", "ja_JP.UTF-8", en},
        {nullptr, "ja_JP.UTF-8", "de_DE.UTF-8", ja},
        {nullptr, "C", "en_US.UTF-8", ja},
        {"en_US.UTF-8", "ja_JP.UTF-8", "ja_JP.UTF-8", en},
        {"ja_JP.UTF-8", "en_US.UTF-8", "en_US.UTF-8", ja},
        {"C", nullptr, "fr_FR.UTF-8", ja},
        // A variable set to nothing counts as not set.
        {"", "", "en_US.UTF-8", en},
        {"", "fr_FR.UTF-8", "ja_JP.UTF-8", en},
        {"", nullptr, "", ja},
    };
    for (const Case& c : cases) {
        const std::map<std::string, const char*> env = {
            {"LC_ALL", c.lcAll}, {"LC_MESSAGES", c.lcMessages}, {"LANG", c.lang}, {"LANGUAGE", "de"}};
        const UiLanguage got = korvel::uiLanguageFromEnvironment([&](const char* name) {
            const auto it = env.find(name);
            return it == env.end() ? nullptr : it->second;
        });
        EXPECT_EQ(got, c.expected) << "LC_ALL=" << (c.lcAll ? c.lcAll : "(unset)")
                                   << " LC_MESSAGES=" << (c.lcMessages ? c.lcMessages : "(unset)")
                                   << " LANG=" << (c.lang ? c.lang : "(unset)");
    }
}
