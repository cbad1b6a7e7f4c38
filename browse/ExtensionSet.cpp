#include "browse/ExtensionSet.h"

#include <algorithm>

#include "base/FileNames.h"

namespace korvel {

namespace {
char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
}  // namespace

std::vector<FilterItem> parseFilterItems(std::string_view filter) {
    std::vector<FilterItem> items;
    if (filter.empty()) return items;
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        size_t bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar == std::string_view::npos ? bar : bar - start));
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    for (size_t i = 0; i < parts.size(); i += 2)
        items.push_back({std::string(parts[i]), i + 1 < parts.size() ? std::string(parts[i + 1]) : std::string()});
    return items;
}

std::string filterBoxMask(const std::vector<FilterItem>& items, int selected) {
    if (items.empty()) return "*.*";
    if (selected < 0 || size_t(selected) >= items.size()) return items.back().mask;
    return items[size_t(selected)].mask;
}

ExtensionSet::ExtensionSet(std::string_view mask) {
    std::string lower = asciiLower(std::string(mask));
    std::string_view rest = lower;
    size_t semi;
    while ((semi = rest.find(';')) != std::string_view::npos) {
        add(rest.substr(0, semi));
        rest.remove_prefix(semi + 1);
    }
    add(rest);
}

void ExtensionSet::add(std::string_view element) {
    std::string ext(element.empty() ? element : element.substr(1));
    if (std::find(members_.begin(), members_.end(), ext) != members_.end()) return;
    if (ext == ".*") all_ = true;
    members_.push_back(std::move(ext));
}

bool ExtensionSet::matches(std::string_view name) const {
    if (all_) return true;
    size_t dot = name.rfind('.');
    std::string_view ext = dot == std::string_view::npos ? std::string_view() : name.substr(dot);
    for (const std::string& m : members_) {
        if (m.size() != ext.size()) continue;
        if (std::equal(m.begin(), m.end(), ext.begin(), [](char a, char b) { return a == lowerAscii(b); }))
            return true;
    }
    return false;
}

}  // namespace korvel
