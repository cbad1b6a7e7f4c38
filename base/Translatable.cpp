#include "base/Translatable.h"

namespace korvel {

std::string TrText::str() const { return text ? fillIn(text, args) : std::string(); }

std::string fillIn(std::string_view text, const std::vector<std::string>& args) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t n = i + 1 < text.size() ? size_t(text[i + 1] - '1') : args.size();
        if (text[i] == '%' && n < 9 && n < args.size()) {
            out += args[n];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace korvel
