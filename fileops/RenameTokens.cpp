#include "fileops/RenameTokens.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <vector>

namespace korvel {

namespace {

enum class Source { Taken, Modified };

struct Token {
    size_t begin = 0, end = 0;  // the whole "{...}"
    Source source = Source::Taken;
    std::string_view format;
};

constexpr std::string_view kTaken = "{taken:", kModified = "{mtime:";

// The next token at or after from; invalid is set when one starts but is not well formed.
std::optional<Token> nextToken(std::string_view text, size_t from, bool& invalid) {
    const size_t a = text.find(kTaken, from), b = text.find(kModified, from);
    const size_t at = std::min(a, b);
    if (at == std::string_view::npos) return std::nullopt;
    Token t;
    t.begin = at;
    t.source = at == a ? Source::Taken : Source::Modified;
    const size_t start = at + kTaken.size();  // both openings are seven bytes
    const size_t close = text.find('}', start);
    if (close == std::string_view::npos || close == start) {
        invalid = true;
        return std::nullopt;
    }
    t.format = text.substr(start, close - start);
    t.end = close + 1;
    for (size_t i = 0; i < t.format.size();) {
        const char c = t.format[i];
        size_t run = 1;
        while (i + run < t.format.size() && t.format[i + run] == c) ++run;
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (letter) {
            const std::string_view field = t.format.substr(i, run);
            if (field != "yyyy" && field != "yy" && field != "MM" && field != "dd" && field != "HH" && field != "mm" &&
                field != "ss") {
                invalid = true;
                return std::nullopt;
            }
        } else if (c == '{' || c == '\\' || c == '/' || c == '\0') {
            invalid = true;
            return std::nullopt;
        }
        i += letter ? run : 1;
    }
    return t;
}

void appendNumber(std::string& out, int value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", digits, value);
    out += buf;
}

void appendFormatted(std::string& out, std::string_view format, const TakenTime& t) {
    for (size_t i = 0; i < format.size();) {
        const char c = format[i];
        size_t run = 1;
        while (i + run < format.size() && format[i + run] == c) ++run;
        switch (c) {
            case 'y': run == 4 ? appendNumber(out, t.year, 4) : appendNumber(out, t.year % 100, 2); break;
            case 'M': appendNumber(out, t.month, 2); break;
            case 'd': appendNumber(out, t.day, 2); break;
            case 'H': appendNumber(out, t.hour, 2); break;
            case 'm': appendNumber(out, t.minute, 2); break;
            case 's': appendNumber(out, t.second, 2); break;
            default: out += c, run = 1;
        }
        i += run;
    }
}

TakenTime localFields(time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    TakenTime f;
    f.year = tm.tm_year + 1900, f.month = tm.tm_mon + 1, f.day = tm.tm_mday;
    f.hour = tm.tm_hour, f.minute = tm.tm_min, f.second = std::min(tm.tm_sec, 59);
    return f;
}

}  // namespace

DateTokens findDateTokens(std::string_view text) {
    bool invalid = false, any = false;
    for (size_t from = 0;;) {
        const std::optional<Token> t = nextToken(text, from, invalid);
        if (invalid) return DateTokens::Invalid;
        if (!t) break;
        any = true;
        from = t->end;
    }
    return any ? DateTokens::Used : DateTokens::None;
}

std::string expandDateTokens(std::string_view text, const FileDates& dates) {
    std::string out;
    bool invalid = false;
    size_t from = 0;
    while (const std::optional<Token> t = nextToken(text, from, invalid)) {
        out.append(text.substr(from, t->begin - from));
        appendFormatted(out, t->format, t->source == Source::Taken ? dates.taken : dates.modified);
        from = t->end;
    }
    out.append(text.substr(from));
    return out;
}

std::optional<FileDates> readFileDates(FileSystem& fs, const std::string& path) {
    const int fd = fs.open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st;
    if (fs.fstat(fd, &st) != 0) {
        fs.close(fd);
        return std::nullopt;
    }
    std::vector<uint8_t> head(kTakenTimeReadBytes);
    size_t have = 0;
    while (have < head.size()) {
        const ssize_t n = fs.read(fd, head.data() + have, head.size() - have);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            // Naming by the file's time instead would pass off a guess as the date taken.
            fs.close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        have += size_t(n);
    }
    fs.close(fd);
    FileDates dates;
    dates.modified = localFields(st.st_mtime);
    const std::optional<TakenTime> taken = S_ISREG(st.st_mode) ? ReadTakenTime(head.data(), have) : std::nullopt;
    dates.taken = taken ? *taken : dates.modified;
    dates.taken.hasOffset = false;
    return dates;
}

}  // namespace korvel
