#include "platform/PathText.h"

#include <QByteArray>

namespace {

// Length of the valid UTF-8 sequence at s[i] (RFC 3629: no overlong forms, no surrogates,
// nothing above U+10FFFF), or 0 when the byte there starts none.
size_t utf8SequenceLength(const std::string& s, size_t i) {
    const auto b = [&](size_t k) { return i + k < s.size() ? uint8_t(s[i + k]) : uint8_t(0); };
    const auto cont = [&](size_t k, uint8_t lo = 0x80, uint8_t hi = 0xBF) { return b(k) >= lo && b(k) <= hi; };
    const uint8_t c = b(0);
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

}  // namespace

QString pathText(const std::string& path) {
    std::string shown;
    shown.reserve(path.size());
    for (size_t i = 0; i < path.size();) {
        const uint8_t c = uint8_t(path[i]);
        const size_t n = utf8SequenceLength(path, i);
        if (n == 0 || c < 0x20 || c == 0x7F) {
            static const char hex[] = "0123456789ABCDEF";
            shown += {'\\', 'x', hex[c >> 4], hex[c & 15]};
            ++i;
        } else {
            shown.append(path, i, n);
            i += n;
        }
    }
    return QString::fromStdString(shown);
}

QString literalCaption(const QString& text) {
    // Qt reads "[*][*]" as a literal "[*]"; doubling each one leaves no placeholder.
    QString caption = text;
    caption.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    return caption;
}

QUrl fileUrl(const std::string& path) {
    const QByteArray encoded = QByteArray::fromStdString(path).toPercentEncoding("/");
    return QUrl::fromEncoded(QByteArrayLiteral("file://") + encoded, QUrl::StrictMode);
}
