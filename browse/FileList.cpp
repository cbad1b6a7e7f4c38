#include "browse/FileList.h"

#include <clocale>
#include <utility>

namespace korvel {

std::ptrdiff_t FileList::indexOf(std::string_view path) const {
    if (!indexValid_) {
        index_.clear();
        index_.reserve(entries_.size());
        for (size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i].path, i);
        indexValid_ = true;
    }
    auto it = index_.find(path);
    return it == index_.end() ? -1 : std::ptrdiff_t(it->second);
}

void FileList::append(std::string path, TSeekFile seek) {
    entries_.push_back(FileEntry{std::move(path), std::move(seek)});
    changed();
}

void FileList::append(std::vector<FileEntry>&& more) {
    if (entries_.empty()) {
        entries_ = std::move(more);
    } else {
        entries_.reserve(entries_.size() + more.size());
        for (FileEntry& e : more) entries_.push_back(std::move(e));
    }
    more.clear();
    changed();
}

void FileList::setPath(size_t i, std::string path) {
    entries_[i].path = std::move(path);
    changed();
}

void FileList::removeAt(size_t i) {
    entries_.erase(entries_.begin() + std::ptrdiff_t(i));
    changed();
}

size_t FileList::removeIf(const std::function<bool(const FileEntry&)>& drop) {
    size_t before = entries_.size();
    std::erase_if(entries_, drop);
    changed();
    return before - entries_.size();
}

void FileList::clear() {
    entries_.clear();
    changed();
}

void FileList::permute(const std::vector<size_t>& order) {
    std::vector<FileEntry> sorted;
    sorted.reserve(entries_.size());
    for (size_t i : order) sorted.push_back(std::move(entries_[i]));
    entries_ = std::move(sorted);
    changed();
}

std::string formatFileCount(size_t count) {
    const lconv* lc = std::localeconv();
    std::string sep = lc && lc->thousands_sep && *lc->thousands_sep ? lc->thousands_sep : ",";
    std::string digits = std::to_string(count);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += sep;
        out += digits[i];
    }
    return out + "Files";
}

}  // namespace korvel
