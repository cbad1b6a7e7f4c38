#include "settings/RegistrySettings.h"

#include "base/Errors.h"
#include "base/IniFile.h"

namespace korvel {

namespace {
// Section named by the registry key it stands for.
const char kSusieKey[] = "HKEY_CURRENT_USER\\Software\\Takechin\\Susie\\Plug-in";
}  // namespace

std::string readSusieFolder(const std::string& registryIni) {
    return IniFile::load(registryIni).readString(kSusieKey, "Path", "");
}

bool recordWallpaperValues(const std::string& registryIni, const std::string& wallpaperPath, bool tile,
                           int originY, int originX) {
    IniFile ini = IniFile::load(registryIni);
    ini.writeString(kDesktopRegistryKey, "WallPaper", wallpaperPath);
    ini.writeString(kDesktopRegistryKey, "TileWallPaper", tile ? "1" : "0");
    ini.writeString(kDesktopRegistryKey, "WallPaperOriginX", std::to_string(originX));
    ini.writeString(kDesktopRegistryKey, "WallPaperOriginY", std::to_string(originY));
    try {
        ini.save(registryIni);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

}  // namespace korvel
