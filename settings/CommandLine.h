#pragma once
// The command line: "/s" and "/se" choose the start mode; every other argument is a file or folder.
#include <string>
#include <vector>

namespace korvel {

struct CommandLine {
    int startMode = 0;               // 0 normal, 1 "/s", 2 "/se"
    std::vector<std::string> paths;  // the other arguments, in order
};

// "/s" and "/se" compare ignoring ASCII case; with both, "/se" wins.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// The path made absolute (against cwd) and clean ("." and ".." resolved, doubled "/" removed),
// each component spelled as stored on disk: the exact name when it exists, else the one entry
// that matches it ignoring case (FAT, exFAT and NTFS mounts).
std::string ExpandLongPath(const std::string& path, const std::string& cwd);

// What an existing argument selects: the folder for the tree and, for a file, the file itself.
struct PathTarget {
    bool exists = false;
    bool isFile = false;
    std::string folder;  // ends with "/"
    std::string file;    // the file's full path, when isFile
};
PathTarget resolveArgument(const std::string& arg, const std::string& cwd);

}  // namespace korvel
