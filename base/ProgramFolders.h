#pragma once
// The program's own files: the plug-ins it ships, the help file and the splash picture. Run from
// a build folder they sit beside the executable. Installed, the executable is <prefix>/bin/<name>
// and they are in the installed plug-in and data folders, found relative to the executable's own
// folder, so a prefix that was moved elsewhere still works. Settings never live here.
#include <string>

namespace korvel {

struct ProgramFolders {
    std::string plugins;  // each ends with "/"
    std::string data;
};

// The folders for the executable at executablePath (links are followed first). Installed means
// the installed data folder exists at its place relative to the executable's folder.
ProgramFolders programFolders(const std::string& executablePath);

// The running executable's full path, as the kernel names it; fallback when that cannot be read.
std::string runningExecutablePath(const std::string& fallback);

}  // namespace korvel
