#pragma once
// Where Korvel keeps its settings: KORVEL_CONFIG_DIR when set; the executable's folder when a
// "Korvel.ini" stands there (portable mode); else $XDG_CONFIG_HOME/korvel/ (~/.config/korvel/).
#include <string>

namespace korvel {

// The config folder, ending with "/". executablePath is the running program's full path.
std::string configFolder(const std::string& executablePath);
// "Korvel.ini" in the config folder.
std::string mainSettingsPath(const std::string& executablePath);
// The executable's base name + ".ini" in the config folder; "Korvel.ini" when that base name
// is "Korvel" in any letter case, so both names denote one file.
std::string programSettingsPath(const std::string& executablePath);
// The config folder's "registry.ini", which stands in for registry values.
std::string registryPath(const std::string& executablePath);

}  // namespace korvel
