#pragma once
// What a folder holds, name by name, so a test can say that no file was lost or replaced.
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "tests/support/TempTree.h"

namespace korvel::testing {

// name -> content of every file in folder.
inline std::map<std::string, std::string> folderContents(const std::string& folder) {
    std::map<std::string, std::string> m;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        m[e.path().filename().string()] = readFile(e.path().string());
    return m;
}

// The contents alone, sorted: equal before and after exactly when nothing was lost or replaced.
inline std::multiset<std::string> contentSet(const std::string& folder) {
    std::multiset<std::string> s;
    for (const auto& [name, bytes] : folderContents(folder)) s.insert(bytes);
    return s;
}

}  // namespace korvel::testing
