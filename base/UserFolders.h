#pragma once
// The per-user folders. Settings: KORVEL_CONFIG_DIR when set; the executable's folder when a
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

// The per-user private folder for temporary files, ending with "/": $XDG_RUNTIME_DIR when it is
// a folder owned by the user with no group or other access; else a folder "korvel-<uid>" in
// $TMPDIR (or /tmp), created with mode 0700. A folder of that name owned by someone else, or a
// link or file standing there, is refused and the next name ("korvel-<uid>-1", ...) is tried.
// Throws EFileError when no such folder can be had.
std::string privateTempFolder();

// The shared thumbnail folder of the freedesktop thumbnail standard, ending with "/":
// $XDG_CACHE_HOME/thumbnails/ when that is an absolute path, else ~/.cache/thumbnails/. Empty
// when neither is known (no HOME).
std::string sharedThumbnailFolder();

// The per-user folder for state that outlives a run (the journal of file operations), ending with
// "/": KORVEL_STATE_DIR when set; else $XDG_STATE_HOME/korvel/ when that is an absolute path; else
// ~/.local/state/korvel/. Empty when none is known (no HOME).
std::string stateFolder();

// Creates folder and its missing parents with mode 0700; an existing folder is fine. Throws
// EFileError naming the folder that could not be made and the system's reason.
void makeFolders(const std::string& folder);

}  // namespace korvel
