#include "nav/QuickFolders.h"

#include <algorithm>

namespace korvel {

namespace {
// Length in bytes of the UTF-8 sequence starting with byte c (1 for stray bytes).
size_t sequenceLength(unsigned char c) {
    if (c >= 0xF0 && c < 0xF8) return 4;
    if (c >= 0xE0) return c < 0xF0 ? 3 : 1;
    if (c >= 0xC0) return 2;
    return 1;
}

size_t cellsOf(const std::string& text, size_t at, size_t len) {
    if (len == 1) return 1;
    // Half-width katakana U+FF61..U+FF9F: EF BD A1..EF BE 9F.
    if (len == 3 && (unsigned char)text[at] == 0xEF) {
        unsigned char b1 = text[at + 1], b2 = text[at + 2];
        if ((b1 == 0xBD && b2 >= 0xA1) || (b1 == 0xBE && b2 <= 0x9F)) return 1;
    }
    return 2;
}
}  // namespace

size_t displayBytes(const std::string& text) {
    size_t cells = 0;
    for (size_t i = 0; i < text.size();) {
        size_t len = std::min(sequenceLength((unsigned char)text[i]), text.size() - i);
        cells += cellsOf(text, i, len);
        i += len;
    }
    return cells;
}

std::string MakeQuickFolderCaption(const std::string& pathIn) {
    std::string text = pathIn;
    if (!text.empty() && text.back() == '/') text.pop_back();
    if (displayBytes(text) < 11) return text;
    std::string prefix;
    size_t p = text.rfind('/');
    if (p != std::string::npos && p > 0) {  // not the root's own "/"
        // The first character would be "/" here: "/.." reads as a path, an ellipsis cannot.
        prefix = "\xE2\x80\xA6";  // U+2026
        text = text.substr(p);
    }
    std::string copied;
    size_t cells = 0, i = 0;
    while (i < text.size()) {
        size_t len = std::min(sequenceLength((unsigned char)text[i]), text.size() - i);
        size_t c = cellsOf(text, i, len);
        if (cells + c >= 10) break;
        copied += text.substr(i, len);
        cells += c;
        i += len;
    }
    return prefix + copied + (i < text.size() ? ".." : "");
}

void QuickFolderSet::bind(int i, const std::string& folder, const std::string& caption) {
    if (folder.empty()) return unbind(i);
    buttons_[size_t(i)] = {folder, caption.empty() ? MakeQuickFolderCaption(folder) : caption};
}

void QuickFolderSet::load(std::span<const std::string> folders, std::span<const std::string> captions) {
    for (int i = 0; i < kCount; ++i) {
        const size_t n = size_t(i);
        bind(i, n < folders.size() ? folders[n] : std::string(), n < captions.size() ? captions[n] : std::string());
    }
}

void QuickFolderSet::store(std::span<std::string> folders, std::span<std::string> captions) const {
    for (size_t n = 0; n < buttons_.size(); ++n) {
        if (n < folders.size()) folders[n] = buttons_[n].folder;
        if (n < captions.size()) captions[n] = buttons_[n].caption;
    }
}

}  // namespace korvel
