#pragma once
// Reading and replacing the settings files ("Korvel.ini", the program-named file, registry.ini,
// Korvel.spd). A file that exists but cannot be read is never replaced: writing defaults over
// it would wipe what the user stored there.
#include <functional>
#include <string>

namespace korvel {

// Settings files larger than this are not read (and therefore not replaced).
constexpr size_t kMaxSettingsFileBytes = 4u << 20;

// Reads path into bytes. Returns 0, or the errno-style reason it failed; ENOENT means the file
// does not exist.
using SettingsReadFunction = std::function<int(const std::string& path, std::string& bytes)>;

// Replaces the read function (tests make an existing file fail to read); an empty function
// restores the real one, readSettingsFromDisk.
void setSettingsReadFunction(SettingsReadFunction read);
int readSettingsFromDisk(const std::string& path, std::string& bytes);

struct SettingsFileData {
    bool exists = false;    // something stands under the path
    bool readable = false;  // and its bytes were read
    int error = 0;          // why they were not: the read's errno
    std::string bytes;
};

// Reads a settings file through the current read function. Only regular files up to
// kMaxSettingsFileBytes are read; a FIFO or device is unreadable, never waited on.
SettingsFileData readSettingsFile(const std::string& path);

// Creates path's folder (0700 for the new ones), then replaces path atomically. Throws
// EFileError, leaving path untouched, when it exists but cannot be read, or the write fails.
void replaceSettingsFile(const std::string& path, const std::string& bytes);

}  // namespace korvel
