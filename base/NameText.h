#pragma once
// Names and folders are bytes; a box shows them as text. These two functions are the one pair that
// crosses between the two, so that every byte the user did not change goes back as it was and
// what the user typed goes back as UTF-8.
#include <cstddef>
#include <string>
#include <string_view>

namespace korvel {

// The text a box shows for name (UTF-8): valid UTF-8 as it is; each byte that is not part of
// valid UTF-8, and each control byte, as "\xHH". A "\" that would itself read as the start of such
// an escape is shown as "\x5C", so the text always reads back to exactly name.
std::string nameText(std::string_view name);

// The bytes a box's text stands for: "\xHH" (either case of x and of the digits) is the byte HH,
// everything else is taken as the UTF-8 it is. nameBytes(nameText(b)) == b for every b.
std::string nameBytes(std::string_view text);

// Length of the valid UTF-8 sequence at s[i] (RFC 3629: no overlong forms, no surrogates, nothing
// above U+10FFFF), or 0 when the byte there starts none.
size_t utf8SequenceLength(std::string_view s, size_t i);

}  // namespace korvel
