#pragma once
// Case-insensitive, locale-aware text order through the C library's collation, so that every
// Korvel program sorts names alike. The program calls setlocale(LC_ALL, "") at start; the
// functions read the current LC_CTYPE (decoding and case folding) and LC_COLLATE.
//
// Text is decoded in the locale's multibyte encoding; a byte that does not decode stands for
// itself as a value in U+DC80..U+DCFF, so such names still sort, after the valid ones that
// share their start. ASCII letters fold by ASCII rules without a library call.
#include <string>
#include <string_view>

namespace korvel {

// text decoded to wide characters and lower-cased (towlower).
std::wstring foldCase(std::string_view text);
// The same, replacing the contents of out.
void foldCase(std::string_view text, std::wstring& out);

// A sort key: collationKey(a) < collationKey(b) exactly when a sorts before b ignoring case.
// Building keys once and comparing them is much cheaper than comparing texts many times.
std::wstring collationKey(std::string_view text);

// A sort key for a path that orders it folder by folder ("/"-separated components, each by
// collationKey), so that the files of one folder stay together in a sorted list.
std::wstring pathCollationKey(std::string_view path);

// Builds many keys in a row into one buffer, looking at the locale once and reusing its scratch
// space; for sorting long lists.
class CollationKeyBuilder {
public:
    CollationKeyBuilder();
    // Appends collationKey(text) to key.
    void append(std::wstring& key, std::string_view text);
    // Appends pathCollationKey(path) to key.
    void appendPath(std::wstring& key, std::string_view path);

private:
    bool plain_;
    std::wstring folded_;
};

// Negative, zero or positive as a sorts before, with, or after b ignoring case.
int compareTextIgnoreCase(std::string_view a, std::string_view b);

}  // namespace korvel
