#pragma once
// Makes chosen settings files fail to read (as with no permission or an I/O error) while the
// object lives, also when the tests run as root.
#include <cerrno>
#include <functional>
#include <string>

#include "base/SettingsFile.h"

namespace korvel::testing {

class UnreadableSettings {
public:
    explicit UnreadableSettings(std::function<bool(const std::string&)> fails, int error = EIO) {
        setSettingsReadFunction([fails, error](const std::string& path, std::string& bytes) {
            return fails(path) ? error : readSettingsFromDisk(path, bytes);
        });
    }
    ~UnreadableSettings() { setSettingsReadFunction({}); }
    UnreadableSettings(const UnreadableSettings&) = delete;
    UnreadableSettings& operator=(const UnreadableSettings&) = delete;
};

}  // namespace korvel::testing
