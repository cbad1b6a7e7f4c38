#pragma once
// Error values of the core. Each carries the text the user or caller sees.
#include <stdexcept>
#include <string>

#include "base/Translatable.h"

namespace korvel {

// The general error class every core error descends from.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    // A message the user sees, from a marked text the window side translates.
    explicit Exception(TrText text) : std::runtime_error(text.str()), text_(std::move(text)) {}
    std::string message() const { return what(); }
    // The marked text of the message; empty when the message is plain.
    const TrText& text() const { return text_; }

private:
    TrText text_;
};

// Malformed or unsupported image data; also "no decoder for this extension".
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

// Well-formed data of a variant the decoder does not read (a colour space, a codec).
class EUnsupportedGraphic : public EInvalidGraphic {
public:
    using EInvalidGraphic::EInvalidGraphic;
};

// Valid input that exceeds Korvel's limits (pixel count, size arithmetic).
class EImageTooLarge : public EInvalidGraphic {
public:
    using EInvalidGraphic::EInvalidGraphic;
};

// A file that cannot be opened, read or written; the message holds the system's reason, and
// the path and errno travel with it so that a window can say the same in the user's language.
class EFileError : public Exception {
public:
    explicit EFileError(const std::string& message, int err = 0) : Exception(message), err_(err) {}
    // "what "path": the system's text for err", e.g. Cannot open "a.png": No such file or directory.
    EFileError(const std::string& what, const std::string& path, int err);
    // The file concerned; empty when the message names none.
    const std::string& path() const { return path_; }
    // The system's reason; 0 when the message alone says why.
    int errorNumber() const { return err_; }

private:
    std::string path_;
    int err_ = 0;
};

}  // namespace korvel
