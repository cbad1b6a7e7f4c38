#include "browse/Collation.h"

#include <clocale>
#include <cstring>
#include <cwchar>
#include <cwctype>

namespace korvel {

namespace {

// Whether LC_COLLATE is the plain code-point order, where a folded text is its own key.
bool plainCollation() {
    const char* name = std::setlocale(LC_COLLATE, nullptr);
    return !name || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0;
}

}  // namespace

std::wstring foldCase(std::string_view text) {
    std::wstring out;
    foldCase(text, out);
    return out;
}

void foldCase(std::string_view text, std::wstring& out) {
    out.clear();
    out.reserve(text.size());
    std::mbstate_t state{};
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80 && std::mbsinit(&state)) {
            out += wchar_t(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            ++i;
            continue;
        }
        wchar_t wc;
        size_t n = std::mbrtowc(&wc, text.data() + i, text.size() - i, &state);
        if (n == 0) {  // an embedded NUL
            out += L'\0';
            ++i;
        } else if (n == size_t(-1) || n == size_t(-2)) {
            out += wchar_t(0xDC00 + c);  // undecodable or truncated: keep the byte's identity
            state = std::mbstate_t{};
            ++i;
        } else {
            out += wchar_t(std::towlower(wint_t(wc)));
            i += n;
        }
    }
}

CollationKeyBuilder::CollationKeyBuilder() : plain_(plainCollation()) {}

void CollationKeyBuilder::append(std::wstring& key, std::string_view text) {
    foldCase(text, folded_);
    if (plain_) {
        key += folded_;
        return;
    }
    size_t at = key.size();
    // Keys of the common locales are a few times the text's length; retry once when not.
    size_t room = folded_.size() * 4 + 16;
    for (int attempt = 0; attempt < 2; ++attempt) {
        key.resize(at + room);
        size_t n = std::wcsxfrm(key.data() + at, folded_.c_str(), room);
        if (n < room) {
            key.resize(at + n);
            return;
        }
        room = n + 1;
    }
    // The locale keeps growing its key; fall back to code-point order for this text.
    key.resize(at);
    key += folded_;
}

void CollationKeyBuilder::appendPath(std::wstring& key, std::string_view path) {
    for (;;) {
        size_t slash = path.find('/');
        append(key, path.substr(0, slash));
        if (slash == std::string_view::npos) break;
        // NUL ends a component: it is below every key value, so a component sorts before any
        // longer one it is a prefix of, and the rest of the path only breaks ties.
        key += L'\0';
        path.remove_prefix(slash + 1);
    }
}

std::wstring collationKey(std::string_view text) {
    std::wstring key;
    CollationKeyBuilder().append(key, text);
    return key;
}

std::wstring pathCollationKey(std::string_view path) {
    std::wstring key;
    CollationKeyBuilder().appendPath(key, path);
    return key;
}

int compareTextIgnoreCase(std::string_view a, std::string_view b) {
    return collationKey(a).compare(collationKey(b));
}

}  // namespace korvel
