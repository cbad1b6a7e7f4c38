#pragma once
// Argument helpers shared by the korvel-tool subcommands.
#include <string>

namespace korvel::tool {

// A whole number from min to max; throws korvel::Exception naming the option otherwise.
int parseInt(const std::string& text, const char* option, int min, int max);

struct WxH {
    int width, height;
};
// "WxH" with both sides from 1 to 1000000.
WxH parseWxH(const std::string& text, const char* option);

// True when dir is an existing folder; otherwise reports it for command and returns false.
bool outputFolderExists(const std::string& dir, const char* command);

}  // namespace korvel::tool
