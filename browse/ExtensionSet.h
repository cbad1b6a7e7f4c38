#pragma once
// The file-type filter: the items of the filter box (parsed from GraphicFilter) and the set of
// extensions a listing accepts, built from the selected item's mask.
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// One filter-box item: the text the user sees and its mask ("*.jpg;*.jpeg").
struct FilterItem {
    std::string description;
    std::string mask;
};

// Splits a filter string "text|mask|text|mask..." into items; a trailing text without a mask
// gets an empty mask.
std::vector<FilterItem> parseFilterItems(std::string_view filter);

// The mask the listing uses: that of item selected; when selected is out of range the last item
// (the filter box then selects that item itself); with no items "*.*".
std::string filterBoxMask(const std::vector<FilterItem>& items, int selected);

// Lower-case extensions with their dot, built from a mask: the mask is lower-cased (ASCII),
// split at ";", and each element loses its first character ("*.jpg" -> ".jpg"); duplicates are
// dropped. A file matches when its extension (from the last "." of its name, dot included,
// lower-cased; "" when the name has no dot) equals a member.
// The member ".*" (from "*.*") matches every file, as a user of a "*.*" mask expects.
class ExtensionSet {
public:
    ExtensionSet() = default;
    explicit ExtensionSet(std::string_view mask);

    bool matches(std::string_view fileName) const;
    bool matchesAll() const { return all_; }
    // The members in the order they were first found.
    const std::vector<std::string>& members() const { return members_; }

private:
    void add(std::string_view element);

    std::vector<std::string> members_;
    bool all_ = false;
};

}  // namespace korvel
