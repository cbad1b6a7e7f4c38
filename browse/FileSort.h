#pragma once
// Sort orders of the file list. Each comparator receives the list and two indices and returns
// negative, zero or positive; the Desc variants are the negation of the ascending ones.
// Name compares whole paths folder by folder, ignoring case, in the user's locale (Collation.h);
// Ext compares the Ext fields the same way; Size and Date compare numbers. Taken orders by the
// date a photo was taken (TakenTimes.h), files of one date by name.
#include <cstddef>
#include <optional>

#include "browse/FileList.h"

namespace korvel {

enum class SortKey { Name, Size, Date, Ext, Taken };

int CompareByName(const FileList& list, size_t a, size_t b);
int CompareByNameDesc(const FileList& list, size_t a, size_t b);
int CompareBySize(const FileList& list, size_t a, size_t b);
int CompareBySizeDesc(const FileList& list, size_t a, size_t b);
int CompareByDate(const FileList& list, size_t a, size_t b);
int CompareByDateDesc(const FileList& list, size_t a, size_t b);
int CompareByExt(const FileList& list, size_t a, size_t b);
int CompareByExtDesc(const FileList& list, size_t a, size_t b);

// The key of an info mode: 0 name, 1 size, 2 date, 3 extension, 4 taken; none for any other value.
std::optional<SortKey> sortKeyForNameView(int nameView);

// Orders the list as the comparator of key (descending: its Desc variant) would. The sort keys
// are built once per call, not per comparison. Entries that compare equal keep their relative
// order (Taken: equal dates in ascending name order, also when descending); each entry keeps
// its TSeekFile (ThumbPos included).
void sortFileList(FileList& list, SortKey key, bool descending = false);

// Sorts by the key of nameView (SortBtn1Click, and the end of ListFolder); any other value sorts
// nothing. Returns whether it sorted.
bool sortByNameView(FileList& list, int nameView, bool descending = false);

}  // namespace korvel
