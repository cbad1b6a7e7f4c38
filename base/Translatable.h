#pragma once
// User-visible texts of the core. The core has no Qt, so a text is only marked: KORVEL_TR_NOOP
// leaves the literal as it is, and the window side shows it through
// QCoreApplication::translate(context, text). lupdate finds the marks when run with
// -tr-function-alias QT_TRANSLATE_NOOP+=KORVEL_TR_NOOP.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#define KORVEL_TR_NOOP(context, text) text

namespace korvel {

// A marked text and the values of its placeholders %1, %2, ... (paths and names as bytes).
struct TrText {
    const char* context = nullptr;
    const char* text = nullptr;  // the source text as marked; null for none
    std::vector<std::string> args;

    bool empty() const { return text == nullptr; }
    // The source text with its placeholders filled in, as the core and korvel-tool show it.
    std::string str() const;
};

// Looks up the translation of a marked text (context, source text); the window side passes one
// to core calls that build texts out of several marked parts.
using TextTranslator = std::function<std::string(const char* context, const std::string& text)>;

// text with %1 .. %9 replaced by args[0] .. args[8] in one pass, so a value holding "%2" stays
// as it is; a placeholder without a value and any other "%" stay too.
std::string fillIn(std::string_view text, const std::vector<std::string>& args);

}  // namespace korvel
