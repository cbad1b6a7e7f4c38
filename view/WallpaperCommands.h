#pragma once
// The wallpaper commands of the menus: render the image into Korvel's wallpaper file, record the
// values and ask the desktop to show it. Nothing is reported; a failed render changes nothing.
#include <QSize>
#include <string>

#include "fileops/WallpaperBitmap.h"

class QWidget;

namespace korvel {
class TBitmap;
}

// Edit menu and grid pop-up: the file as stored. Returns the wallpaper file written, or "".
std::string setWallpaperFromFile(const std::string& path, korvel::WallpaperMode mode, QWidget* parent);
// Preview pane pop-up: the image as the pane shows it, rotation included.
std::string setWallpaperFromBitmap(const korvel::TBitmap& shown, korvel::WallpaperMode mode, QWidget* parent);

// The screen the wallpaper is rendered for (parent's screen, else the primary), in device pixels.
QSize wallpaperScreenSize(QWidget* parent);
