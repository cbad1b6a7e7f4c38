#pragma once
// What the desktop provides around a file: opening it with its default program, showing its
// properties, and putting an image on the clipboard.
#include <QString>
#include <string>

class QWidget;
namespace korvel {
class TBitmap;
}

// Opens path with the desktop's default program; the result is not examined.
void openWithDefaultProgram(const std::string& path);
// Asks the file manager to show the properties of path (org.freedesktop.FileManager1), or shows a
// small properties dialog when no file manager answers; the dialog ends with note (what the
// file holds, why it could not be shown) when one is given.
void showShellProperties(const std::string& path, QWidget* parent, const QString& note = {});
// Puts the raster on the clipboard as an image; false when it could not.
bool copyImageToClipboard(const korvel::TBitmap& bitmap);
