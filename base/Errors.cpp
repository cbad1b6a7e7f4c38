#include "base/Errors.h"

#include "base/ErrorReason.h"

namespace korvel {

EFileError::EFileError(const std::string& what, const std::string& path, int err)
    : Exception(what + " \"" + path + "\": " + systemErrorText(err)), path_(path), err_(err) {}

}  // namespace korvel
