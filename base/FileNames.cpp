#include "base/FileNames.h"

namespace korvel {

namespace {
size_t nameStart(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}
size_t extStart(const std::string& path) {
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart(path)) return path.size();
    return dot;
}
}  // namespace

std::string extractFileExt(const std::string& path) { return path.substr(extStart(path)); }
std::string extractFileName(const std::string& path) { return path.substr(nameStart(path)); }
std::string extractFilePath(const std::string& path) { return path.substr(0, nameStart(path)); }
std::string withSlash(std::string path) {
    if (!path.empty() && path.back() != '/') path += '/';
    return path;
}
std::string changeFileExt(const std::string& path, const std::string& ext) {
    return path.substr(0, extStart(path)) + ext;
}

std::string asciiUpper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

std::string asciiLower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

}  // namespace korvel
