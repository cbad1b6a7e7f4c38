#pragma once
// Why a call failed, in words for the user: one table from errno to a short text, marked for
// translation (base/Translatable.h); codes the table lacks keep the system's own text.
#include <exception>
#include <string>

#include "base/Translatable.h"

namespace korvel {

// The context the window side translates the table's texts in.
inline constexpr char kErrorReasonContext[] = "ErrorReason";

// The marked source text for err; null when the table has no row for it.
const char* errorReasonText(int err);
// The system's own text for err (strerror), as korvel-tool prints it.
std::string systemErrorText(int err);
// errorReasonText, else systemErrorText: the reason untranslated.
std::string errorReason(int err);

// Why something failed, in the parts a window puts into the user's language: the errno when
// the failure had one, else a marked text, else the failure's own message.
struct FailureReason {
    int err = 0;
    TrText text;
    std::string message;

    bool empty() const { return err == 0 && text.empty() && message.empty(); }
    // The reason untranslated.
    std::string str() const;
};

// The reason a core failure carries: EFileError's errno, an Exception's marked text, ENOMEM for
// std::bad_alloc, else what().
FailureReason reasonOf(const std::exception& e);

}  // namespace korvel
