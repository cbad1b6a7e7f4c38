#include "browse/FileSort.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "browse/Collation.h"
#include "browse/TakenTimes.h"

namespace korvel {

namespace {

template <typename T>
int compareNumbers(T a, T b) {
    return a > b ? 1 : a < b ? -1 : 0;
}

int sign(int v) { return v > 0 ? 1 : v < 0 ? -1 : 0; }

// Length of the leading folders ("/"-terminated) that every path shares. Keys order paths
// folder by folder, so leaving those folders out of every key keeps the order and spares each
// comparison the long common start.
size_t commonFolderLength(const FileList& list) {
    std::string_view first = list.path(0);
    size_t common = first.size();
    for (size_t i = 1; i < list.size() && common > 0; ++i) {
        std::string_view p = list.path(i);
        size_t n = 0, max = std::min(common, p.size());
        while (n < max && first[n] == p[n]) ++n;
        common = n;
    }
    size_t slash = first.substr(0, common).rfind('/');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

// All keys of one sort in one buffer: key i is chars[start[i], start[i + 1]).
struct KeyTable {
    std::wstring chars;
    std::vector<size_t> start{0};
    std::wstring_view key(size_t i) const { return std::wstring_view(chars).substr(start[i], start[i + 1] - start[i]); }
};

// Name keys: the folder part of consecutive entries is usually the same, so its key is reused.
KeyTable nameKeys(const FileList& list) {
    KeyTable t;
    t.start.reserve(list.size() + 1);
    CollationKeyBuilder builder;
    const size_t skip = commonFolderLength(list);
    std::string_view lastFolder;
    std::wstring folderKey;
    bool haveFolder = false;
    for (size_t i = 0; i < list.size(); ++i) {
        std::string_view path = std::string_view(list.path(i)).substr(skip);
        size_t slash = path.rfind('/');
        if (slash != std::string_view::npos) {
            std::string_view folder = path.substr(0, slash);
            if (!haveFolder || folder != lastFolder) {
                folderKey.clear();
                builder.appendPath(folderKey, folder);
                lastFolder = folder;
                haveFolder = true;
            }
            t.chars += folderKey;
            t.chars += L'\0';
            path.remove_prefix(slash + 1);
        }
        builder.append(t.chars, path);
        t.start.push_back(t.chars.size());
    }
    return t;
}

// Extension keys: few distinct extensions, so each is built once.
KeyTable extKeys(const FileList& list) {
    KeyTable t;
    t.start.reserve(list.size() + 1);
    CollationKeyBuilder builder;
    std::unordered_map<std::string, std::wstring> known;
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string& ext = list.seek(i).Ext;
        auto it = known.find(ext);
        if (it == known.end()) {
            std::wstring key;
            builder.append(key, ext);
            it = known.emplace(ext, std::move(key)).first;
        }
        t.chars += it->second;
        t.start.push_back(t.chars.size());
    }
    return t;
}

// Sorts indices by their keys; equal keys keep their index order, so the sort is stable without
// the cost of a merge sort, and a descending sort keeps equal entries in their order too.
template <typename Item, typename KeyCompare>
std::vector<size_t> orderOf(std::vector<Item>& items, bool descending, KeyCompare keyCompare) {
    std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        int c = keyCompare(a, b);
        if (c != 0) return descending ? c > 0 : c < 0;
        return a.index < b.index;
    });
    std::vector<size_t> order(items.size());
    for (size_t i = 0; i < items.size(); ++i) order[i] = items[i].index;
    return order;
}

std::vector<size_t> orderByNumbers(const std::vector<int64_t>& keys, bool descending) {
    struct Item {
        int64_t key;
        size_t index;
    };
    std::vector<Item> items(keys.size());
    for (size_t i = 0; i < keys.size(); ++i) items[i] = {keys[i], i};
    return orderOf(items, descending, [](const Item& a, const Item& b) { return compareNumbers(a.key, b.key); });
}

// Text keys carry their first key values inline (eight when every value fits in 16 bits, as
// for most names, else four), which settles most comparisons without reaching into the key
// buffer. The start every key shares (the "IMG_" of a camera's names) decides nothing, so the
// inline values begin after it.
std::vector<size_t> orderByTexts(const KeyTable& keys, bool descending) {
    struct Item {
        uint64_t head[2];
        std::wstring_view key;
        size_t index;
    };
    const size_t n = keys.start.size() - 1;
    size_t common = n ? keys.key(0).size() : 0;
    for (size_t i = 1; i < n && common > 0; ++i) {
        std::wstring_view k = keys.key(i), first = keys.key(0);
        size_t m = 0, max = std::min(common, k.size());
        while (m < max && k[m] == first[m]) ++m;
        common = m;
    }
    bool narrow = true;
    for (wchar_t c : std::wstring_view(keys.chars))
        if (uint32_t(c) > 0xFFFF) {
            narrow = false;
            break;
        }
    const size_t perWord = narrow ? 4 : 2, bits = narrow ? 16 : 32;
    std::vector<Item> items(n);
    for (size_t i = 0; i < n; ++i) {
        std::wstring_view k = keys.key(i).substr(common);
        uint64_t head[2] = {0, 0};
        for (size_t j = 0; j < 2 * perWord; ++j)
            head[j / perWord] = head[j / perWord] << bits | (j < k.size() ? uint64_t(uint32_t(k[j])) : 0);
        items[i] = {{head[0], head[1]}, k, i};
    }
    return orderOf(items, descending, [](const Item& a, const Item& b) {
        if (a.head[0] != b.head[0]) return a.head[0] < b.head[0] ? -1 : 1;
        if (a.head[1] != b.head[1]) return a.head[1] < b.head[1] ? -1 : 1;
        return a.key.compare(b.key);
    });
}

// Dates first, then names: a burst of photos from one second keeps the camera's numbering.
std::vector<size_t> orderByTaken(const FileList& list, bool descending) {
    const std::vector<size_t> byName = orderByTexts(nameKeys(list), false);
    const std::vector<int64_t> seconds = TakenTimes::shared().sortKeys(list);
    struct Item {
        int64_t key;
        size_t rank;  // place in name order
        size_t index;
    };
    std::vector<Item> items(list.size());
    for (size_t r = 0; r < byName.size(); ++r) items[byName[r]] = {seconds[byName[r]], r, byName[r]};
    std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        if (a.key != b.key) return descending ? a.key > b.key : a.key < b.key;
        return a.rank < b.rank;
    });
    std::vector<size_t> order(items.size());
    for (size_t i = 0; i < items.size(); ++i) order[i] = items[i].index;
    return order;
}

}  // namespace

int CompareByName(const FileList& list, size_t a, size_t b) {
    return sign(pathCollationKey(list.path(a)).compare(pathCollationKey(list.path(b))));
}
int CompareByNameDesc(const FileList& list, size_t a, size_t b) { return -CompareByName(list, a, b); }
int CompareBySize(const FileList& list, size_t a, size_t b) {
    return compareNumbers(list.seek(a).Size, list.seek(b).Size);
}
int CompareBySizeDesc(const FileList& list, size_t a, size_t b) { return -CompareBySize(list, a, b); }
int CompareByDate(const FileList& list, size_t a, size_t b) {
    return compareNumbers(list.seek(a).Time, list.seek(b).Time);
}
int CompareByDateDesc(const FileList& list, size_t a, size_t b) { return -CompareByDate(list, a, b); }
int CompareByExt(const FileList& list, size_t a, size_t b) {
    return sign(compareTextIgnoreCase(list.seek(a).Ext, list.seek(b).Ext));
}
int CompareByExtDesc(const FileList& list, size_t a, size_t b) { return -CompareByExt(list, a, b); }

std::optional<SortKey> sortKeyForNameView(int nameView) {
    switch (nameView) {
        case 0: return SortKey::Name;
        case 1: return SortKey::Size;
        case 2: return SortKey::Date;
        case 3: return SortKey::Ext;
        case 4: return SortKey::Taken;
        default: return std::nullopt;
    }
}

void sortFileList(FileList& list, SortKey key, bool descending) {
    if (list.size() < 2) return;
    std::vector<size_t> order;
    switch (key) {
        case SortKey::Name: order = orderByTexts(nameKeys(list), descending); break;
        case SortKey::Ext: order = orderByTexts(extKeys(list), descending); break;
        case SortKey::Taken: order = orderByTaken(list, descending); break;
        case SortKey::Size:
        case SortKey::Date: {
            std::vector<int64_t> keys(list.size());
            for (size_t i = 0; i < list.size(); ++i)
                keys[i] = key == SortKey::Size ? int64_t(list.seek(i).Size) : int64_t(list.seek(i).Time);
            order = orderByNumbers(keys, descending);
            break;
        }
    }
    list.permute(order);
}

bool sortByNameView(FileList& list, int nameView, bool descending) {
    std::optional<SortKey> key = sortKeyForNameView(nameView);
    if (!key) return false;
    sortFileList(list, *key, descending);
    return true;
}

}  // namespace korvel
