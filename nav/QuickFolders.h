#pragma once
// Navigation lists: the folder history and the captions of the quick-folder buttons.
#include <string>
#include <vector>

namespace korvel {

constexpr size_t kMaxHistory = 20;

// Puts path at the top of the history: an identical item moves up, otherwise the oldest item
// goes when the list is full.
void AddToHistory(std::vector<std::string>& history, const std::string& path);

// The display width of text in half-width cells: ASCII and half-width katakana count 1, every
// other character 2 (as double-byte characters did).
size_t displayBytes(const std::string& text);

// A short caption for a quick-folder button: the path without its trailing "/" when it is
// shorter than 11 cells; else "…" before the last "/" and folder name, cut together to at most
// 9 cells and followed by ".." when cut.
std::string MakeQuickFolderCaption(const std::string& path);

}  // namespace korvel
