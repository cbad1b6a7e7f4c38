#include "browse/FileSort.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <unordered_map>
#include <vector>

#include "browse/Collation.h"

namespace korvel {

namespace {

template <typename T>
int compareNumbers(T a, T b) {
    return a > b ? 1 : a < b ? -1 : 0;
}

int sign(int v) { return v > 0 ? 1 : v < 0 ? -1 : 0; }

// Name keys: the folder part of consecutive entries is usually the same, so its key is reused.
std::vector<std::wstring> nameKeys(const FileList& list) {
    std::vector<std::wstring> keys(list.size());
    std::string_view lastFolder;
    std::wstring folderKey;
    bool haveFolder = false;
    for (size_t i = 0; i < list.size(); ++i) {
        std::string_view path = list.path(i);
        size_t slash = path.rfind('/');
        if (slash == std::string_view::npos) {
            keys[i] = collationKey(path);
            continue;
        }
        std::string_view folder = path.substr(0, slash);
        if (!haveFolder || folder != lastFolder) {
            folderKey = pathCollationKey(folder);
            lastFolder = folder;
            haveFolder = true;
        }
        keys[i] = folderKey;
        keys[i] += L'\0';
        keys[i] += collationKey(path.substr(slash + 1));
    }
    return keys;
}

// Extension keys: few distinct extensions, so each is built once.
std::vector<std::wstring> extKeys(const FileList& list) {
    std::vector<std::wstring> keys(list.size());
    std::unordered_map<std::string, std::wstring> known;
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string& ext = list.seek(i).Ext;
        auto it = known.find(ext);
        if (it == known.end()) it = known.emplace(ext, collationKey(ext)).first;
        keys[i] = it->second;
    }
    return keys;
}

template <typename Less>
std::vector<size_t> sortedOrder(size_t n, Less less) {
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), less);
    return order;
}

template <typename Key>
std::vector<size_t> orderByKeys(const std::vector<Key>& keys, bool descending) {
    if (descending) return sortedOrder(keys.size(), [&](size_t a, size_t b) { return keys[b] < keys[a]; });
    return sortedOrder(keys.size(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
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
        default: return std::nullopt;
    }
}

void sortFileList(FileList& list, SortKey key, bool descending) {
    if (list.size() < 2) return;
    std::vector<size_t> order;
    switch (key) {
        case SortKey::Name: order = orderByKeys(nameKeys(list), descending); break;
        case SortKey::Ext: order = orderByKeys(extKeys(list), descending); break;
        case SortKey::Size: {
            std::vector<int32_t> sizes(list.size());
            for (size_t i = 0; i < list.size(); ++i) sizes[i] = list.seek(i).Size;
            order = orderByKeys(sizes, descending);
            break;
        }
        case SortKey::Date: {
            std::vector<uint32_t> times(list.size());
            for (size_t i = 0; i < list.size(); ++i) times[i] = list.seek(i).Time;
            order = orderByKeys(times, descending);
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
