#pragma once
// FileList: the main window's ordered list of listed files. Entry i is grid cell i; each entry is
// a full path (folder path with its trailing "/" and the name as found on disk) owning one
// TSeekFile. The list is not kept sorted by itself: ListFolder (FolderScan.h) fills it and
// sortFileList (FileSort.h) orders it.
//
// Paths are compared exactly (Linux file systems are case-sensitive). Lookups go through a hash
// index that is rebuilt lazily after the list changed, so a lookup after a change costs O(n)
// once and O(1) after that.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "browse/SeekFile.h"

namespace korvel {

struct FileEntry {
    std::string path;
    TSeekFile seek;
};

class FileList {
public:
    using const_iterator = std::vector<FileEntry>::const_iterator;

    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const FileEntry& operator[](size_t i) const { return entries_[i]; }
    const std::string& path(size_t i) const { return entries_[i].path; }
    // The entry's TSeekFile; writable, so the thumbnail builder can store ThumbPos.
    TSeekFile& seek(size_t i) { return entries_[i].seek; }
    const TSeekFile& seek(size_t i) const { return entries_[i].seek; }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }

    // Index of the entry whose path equals path exactly, or -1.
    std::ptrdiff_t indexOf(std::string_view path) const;
    bool contains(std::string_view path) const { return indexOf(path) >= 0; }

    void append(std::string path, TSeekFile seek);
    void append(std::vector<FileEntry>&& more);
    // Replaces the path of entry i in place (a rename keeps the cell and its thumbnail).
    void setPath(size_t i, std::string path);
    void removeAt(size_t i);
    // Removes every entry for which drop is true, keeping the order of the rest (pruning the
    // entries of files that vanished); returns how many went.
    size_t removeIf(const std::function<bool(const FileEntry&)>& drop);
    // Frees every entry (FreeEntries and Clear in one).
    void clear();
    // Rearranges the entries so that new entry i is old entry order[i]; order must be a
    // permutation of 0..size()-1.
    void permute(const std::vector<size_t>& order);

private:
    void changed() { indexValid_ = false; }

    std::vector<FileEntry> entries_;
    // Views into entries_' paths; valid only while indexValid_ is set.
    mutable std::unordered_map<std::string_view, size_t> index_;
    mutable bool indexValid_ = false;
};

// The status-bar file count with the pattern "#,##0Files": groups of three digits separated by
// the locale's thousands separator (localeconv), or "," when the locale has none (as the C
// locale), then "Files". 1234 -> "1,234Files", 0 -> "0Files".
std::string formatFileCount(size_t count);

}  // namespace korvel
