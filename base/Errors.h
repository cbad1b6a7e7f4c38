#pragma once
// Error values of the core. Each carries the text the user or caller sees.
#include <stdexcept>
#include <string>

namespace korvel {

// The general error class every core error descends from.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string message() const { return what(); }
};

// Malformed or unsupported image data; also "no decoder for this extension".
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

// Valid input that exceeds Korvel's limits (pixel count, size arithmetic).
class EImageTooLarge : public EInvalidGraphic {
public:
    using EInvalidGraphic::EInvalidGraphic;
};

// A file that cannot be opened, read or written; the message holds the system's reason.
class EFileError : public Exception {
public:
    using Exception::Exception;
    // "what "path": the system's text for err", e.g. Cannot open "a.png": No such file or directory.
    EFileError(const std::string& what, const std::string& path, int err);
};

}  // namespace korvel
