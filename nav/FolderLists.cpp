#include "nav/FolderLists.h"

#include <algorithm>

namespace korvel {

namespace {
bool listed(const std::vector<std::string>& items, const std::string& path) {
    return std::find(items.begin(), items.end(), path) != items.end();
}

std::string withTrailingSlash(std::string path) {
    if (!path.empty() && path.back() != '/') path += '/';
    return path;
}
}  // namespace

void FolderHistory::assign(const std::vector<std::string>& paths) {
    items_.clear();
    for (const std::string& p : paths)
        if (!p.empty() && !listed(items_, p) && items_.size() < kMaxHistory) items_.push_back(p);
}

void FolderHistory::add(const std::string& path) {
    auto same = std::find(items_.begin(), items_.end(), path);
    if (same != items_.end()) items_.erase(same);
    else if (items_.size() >= kMaxHistory) items_.pop_back();
    items_.insert(items_.begin(), path);
}

void Favourites::assign(const std::vector<std::string>& paths) {
    items_.clear();
    for (const std::string& p : paths)
        if (!p.empty() && items_.size() < kMaxFavourites) items_.push_back(p);
}

bool Favourites::add(const std::string& path) {
    if (path.empty() || listed(items_, path)) return false;
    if (items_.size() >= kMaxFavourites) items_.pop_back();
    items_.insert(items_.begin(), path);
    return true;
}

bool Favourites::leadsTo(const std::string& folder) const {
    // A substring test, as the tree has always done: "/a/" leads to "/a/b/" and to "/x/a/".
    const std::string wanted = withTrailingSlash(folder);
    for (const std::string& fav : items_)
        if (withTrailingSlash(fav).find(wanted) != std::string::npos) return true;
    return false;
}

}  // namespace korvel
