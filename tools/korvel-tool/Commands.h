#pragma once
// The korvel-tool subcommands. Each returns the process exit status.
#include <string>
#include <vector>

#include "base/Limits.h"

namespace korvel::tool {

// --no-orientation and --no-color-management, taken by every command that decodes.
extern PhotoSwitches photoSwitches;

int runInfo(const std::vector<std::string>& args);
int runDecode(const std::vector<std::string>& args);
int runConvert(const std::vector<std::string>& args);
int runList(const std::vector<std::string>& args);
int runThumb(const std::vector<std::string>& args);
int runCopy(const std::vector<std::string>& args);
int runMove(const std::vector<std::string>& args);
int runTrash(const std::vector<std::string>& args);
int runRename(const std::vector<std::string>& args);
int runRotate(const std::vector<std::string>& args);
int runHistory(const std::vector<std::string>& args);
int runUndo(const std::vector<std::string>& args);
int runRedo(const std::vector<std::string>& args);

// Removes the shared thumbnails of files whose bytes changed in place (turned, or a turn undone):
// with the time kept, the old picture would still pass as theirs.
void forgetSharedThumbnails(const std::vector<std::string>& files);

}  // namespace korvel::tool
