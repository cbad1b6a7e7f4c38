#pragma once
// What a test tree holds after file operations and their undo, as one sorted line.
#include <filesystem>
#include <set>
#include <string>
#include <utility>

#include "tests/support/TempTree.h"

namespace korvel::testing {

// Files as "path=bytes" (longer than 8 bytes as "#size") and empty folders as "path/", sorted,
// under root less its state folder, and under other as "shm/..."; the Trash under data/ shows its
// files/ as "T/" and its info/ as "I/" by name alone (the date in it is the clock's).
inline std::string treeState(const std::string& root, const std::string& other = "") {
    namespace fs = std::filesystem;
    std::set<std::string> entries;
    for (const auto& [dir, prefix] : {std::pair{root, std::string()}, std::pair{other, std::string("shm/")}}) {
        if (dir.empty()) continue;
        for (const auto& e : fs::recursive_directory_iterator(dir)) {
            const std::string rel = fs::relative(e.path(), dir).string();
            if (rel.starts_with("state")) continue;
            if (e.is_directory()) {
                if (fs::is_empty(e.path()) && !rel.starts_with("data")) entries.insert(prefix + rel + "/");
                continue;
            }
            const std::string bytes = readFile(e.path().string());
            const std::string shown = bytes.size() > 8 ? "#" + std::to_string(bytes.size()) : bytes;
            if (rel.starts_with("data/Trash/info/")) entries.insert("I/" + rel.substr(16, rel.size() - 26));
            else if (rel.starts_with("data/Trash/files/")) entries.insert("T/" + rel.substr(17) + "=" + shown);
            else entries.insert(prefix + rel + "=" + shown);
        }
    }
    std::string s;
    for (const std::string& e : entries) s += (s.empty() ? "" : " ") + e;
    return s;
}

}  // namespace korvel::testing
