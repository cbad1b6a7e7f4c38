#pragma once
// Path pieces with the rules the image layer relies on ("/" separates folders).
#include <string>

namespace korvel {

// The text from the last "." of the file name (not of a folder), dot included; "" when none.
std::string extractFileExt(const std::string& path);
// The name after the last "/".
std::string extractFileName(const std::string& path);
// Everything up to and including the last "/"; "" when there is none.
std::string extractFilePath(const std::string& path);
// path ending in "/" (a folder to append a name to); "" stays "".
std::string withSlash(std::string path);
// path with its extension (as extractFileExt) replaced by ext (which should start with ".").
std::string changeFileExt(const std::string& path, const std::string& ext);
// ASCII upper- and lower-casing (extensions are compared ignoring ASCII case only).
std::string asciiUpper(std::string s);
std::string asciiLower(std::string s);

}  // namespace korvel
