#include "base/NameText.h"

#include <cstdint>

namespace korvel {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Whether s holds an escape "\xHH" at i; its byte goes to *byte.
bool escapeAt(std::string_view s, size_t i, uint8_t* byte) {
    if (i + 4 > s.size() || s[i] != '\\' || (s[i + 1] != 'x' && s[i + 1] != 'X')) return false;
    const int hi = hexValue(s[i + 2]), lo = hexValue(s[i + 3]);
    if (hi < 0 || lo < 0) return false;
    *byte = uint8_t(hi << 4 | lo);
    return true;
}

}  // namespace

size_t utf8SequenceLength(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return i + k < s.size() ? uint8_t(s[i + k]) : uint8_t(0); };
    const auto cont = [&](size_t k, uint8_t lo = 0x80, uint8_t hi = 0xBF) { return b(k) >= lo && b(k) <= hi; };
    const uint8_t c = b(0);
    if (i >= s.size()) return 0;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
    if (c == 0xE0) return cont(1, 0xA0) && cont(2) ? 3 : 0;
    if (c == 0xED) return cont(1, 0x80, 0x9F) && cont(2) ? 3 : 0;
    if (c >= 0xE1 && c <= 0xEF) return cont(1) && cont(2) ? 3 : 0;
    if (c == 0xF0) return cont(1, 0x90) && cont(2) && cont(3) ? 4 : 0;
    if (c >= 0xF1 && c <= 0xF3) return cont(1) && cont(2) && cont(3) ? 4 : 0;
    if (c == 0xF4) return cont(1, 0x80, 0x8F) && cont(2) && cont(3) ? 4 : 0;
    return 0;
}

std::string nameText(std::string_view name) {
    static const char hex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(name.size());
    uint8_t unused;
    for (size_t i = 0; i < name.size();) {
        const uint8_t c = uint8_t(name[i]);
        const size_t n = utf8SequenceLength(name, i);
        // U+FEFF is escaped too: text decoders may drop it as a byte-order mark.
        const bool bom = n == 3 && name.substr(i, 3) == "\xEF\xBB\xBF";
        if (n == 0 || c < 0x20 || c == 0x7F || escapeAt(name, i, &unused)) {
            text += {'\\', 'x', hex[c >> 4], hex[c & 15]};
            ++i;
        } else if (bom) {
            text += "\\xEF\\xBB\\xBF";
            i += 3;
        } else {
            text.append(name, i, n);
            i += n;
        }
    }
    return text;
}

std::string nameBytes(std::string_view text) {
    std::string name;
    name.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        uint8_t byte;
        if (escapeAt(text, i, &byte)) {
            name += char(byte);
            i += 4;
        } else {
            name += text[i++];
        }
    }
    return name;
}

}  // namespace korvel
