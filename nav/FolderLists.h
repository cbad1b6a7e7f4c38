#pragma once
// The history and favourites boxes' lists: folders as bytes, newest first, at most twenty.
#include <string>
#include <vector>

namespace korvel {

constexpr size_t kMaxHistory = 20;
constexpr size_t kMaxFavourites = 20;

// The folders opened last, newest first; each folder once (exact comparison).
class FolderHistory {
public:
    const std::vector<std::string>& items() const { return items_; }
    size_t size() const { return items_.size(); }
    // Takes stored paths: empty ones and repeats are dropped, the first twenty kept.
    void assign(const std::vector<std::string>& paths);
    // Puts path at the top: an identical item moves up, otherwise the oldest item goes when the
    // list is full.
    void add(const std::string& path);
    void clear() { items_.clear(); }

private:
    std::vector<std::string> items_;
};

// The folders the user added, newest first.
class Favourites {
public:
    const std::vector<std::string>& items() const { return items_; }
    size_t size() const { return items_.size(); }
    // Takes a whole list (stored or edited): empty paths are dropped, the first twenty kept;
    // repeats stay, as the user may have made them.
    void assign(const std::vector<std::string>& paths);
    // Adds path at the top unless it is empty or already listed; a full list loses its last
    // item. False when nothing changed.
    bool add(const std::string& path);
    // True when folder is a favourite or lies on the way to one (the favourites-only tree).
    bool leadsTo(const std::string& folder) const;

private:
    std::vector<std::string> items_;
};

}  // namespace korvel
