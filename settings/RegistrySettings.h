#pragma once
// registry.ini: the values that stand in for the Windows registry's, read and written here only.
#include <string>

namespace korvel {

// Section of registry.ini standing in for the desktop's registry key.
inline constexpr const char* kDesktopRegistryKey = "HKEY_CURRENT_USER\\Control Panel\\desktop";

// The Susie plug-in folder stored in registryIni, or "" when none is.
std::string readSusieFolder(const std::string& registryIni);

// Writes "WallPaper", "TileWallPaper", "WallPaperOriginX" and "WallPaperOriginY" to registryIni.
// False when the file cannot be written (nothing is then changed).
bool recordWallpaperValues(const std::string& registryIni, const std::string& wallpaperPath, bool tile,
                           int originY, int originX);

}  // namespace korvel
