#include "base/Errors.h"

#include <cstring>

namespace korvel {

EFileError::EFileError(const std::string& what, const std::string& path, int err)
    : Exception(what + " \"" + path + "\": " + std::strerror(err)) {}

}  // namespace korvel
