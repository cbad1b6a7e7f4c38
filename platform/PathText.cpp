#include "platform/PathText.h"

#include <QByteArray>

#include "base/NameText.h"

QString pathText(const std::string& path) { return QString::fromStdString(korvel::nameText(path)); }

std::string pathBytes(const QString& text) { return korvel::nameBytes(text.toStdString()); }

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
