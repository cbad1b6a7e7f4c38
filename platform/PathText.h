#pragma once
// Paths are bytes as the file system gives them. These turn them into text for a box or a label,
// a box's text back into the bytes it stands for, and a path into a file URL for the desktop.
#include <QString>
#include <QUrl>
#include <string>

// The path as text: valid UTF-8 as it is; every byte that is not part of valid UTF-8, and every
// control byte, as "\xHH", so no byte is dropped or merged into a replacement character.
QString pathText(const std::string& path);
// The bytes a box's text stands for: pathBytes(pathText(p)) == p, and typed text becomes UTF-8.
std::string pathBytes(const QString& text);

// text as a window caption that shows it exactly: Qt would otherwise take "[*]" as the
// modified-marker placeholder and hide it.
QString literalCaption(const QString& text);

// The file URL of an absolute path, its bytes percent-encoded (no round trip through text).
QUrl fileUrl(const std::string& path);
