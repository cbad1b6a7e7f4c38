#pragma once
// Date tokens of a serial name: "{taken:FORMAT}" becomes the date the photo was taken (the
// file's last-write time when it carries none) and "{mtime:FORMAT}" the last-write time, both
// as local clock times. FORMAT is made of the fields
//     yyyy  year, four digits        yy  year, last two digits
//     MM    month 01-12              dd  day 01-31
//     HH    hour 00-23               mm  minute 00-59        ss  second 00-59
// and of characters that stand for themselves; other letters, "{", "}", "\" and "/" are not
// allowed there, so a token never holds the number's "\" nor a folder.
#include <optional>
#include <string>
#include <string_view>

#include "codecs/PhotoMetaTaken.h"
#include "fileops/FileSystem.h"

namespace korvel {

// The two times a name can take, as clock fields (offsets play no part in a name).
struct FileDates {
    TakenTime taken, modified;
};

enum class DateTokens {
    None,     // the text has no token
    Used,     // at least one token, all well formed
    Invalid,  // "{taken:" or "{mtime:" without a closing "}" or with a field not listed above
};
DateTokens findDateTokens(std::string_view text);

// text with each token replaced by its date; text must not be Invalid.
std::string expandDateTokens(std::string_view text, const FileDates& dates);

// The dates of the file at path: its first kTakenTimeReadBytes and its status, through fs.
// Nothing when it cannot be opened.
std::optional<FileDates> readFileDates(FileSystem& fs, const std::string& path);

}  // namespace korvel
