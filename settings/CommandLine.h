#pragma once
// The command line: "/s" and "/se" choose the start mode; every other argument is a file or folder.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// "/s" starts a slideshow, "/se" a slideshow that ends the program with it.
enum class StartMode { Normal, Slideshow, SlideshowThenQuit };

struct CommandLine {
    StartMode startMode = StartMode::Normal;
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

// The current folder as the file system names it ("" when it is gone).
std::string currentFolder();

// What a second start hands the running instance: the folder it ran in (relative arguments are
// its) and its arguments, all as bytes.
struct HandOver {
    std::string cwd;
    std::vector<std::string> arguments;
    bool operator==(const HandOver&) const = default;
};
// The message may not be longer: a client cannot make the running instance hold more.
inline constexpr size_t kMaxHandOver = 1 << 20;
// "KVH1", the string count (cwd included) as 4 bytes big-endian, then each string as its length
// (4 bytes big-endian) and its bytes. nullopt when the message would exceed kMaxHandOver.
std::optional<std::string> encodeHandOver(const HandOver& h);
enum class HandOverRead { Complete, Incomplete, Bad };
// Incomplete: a proper beginning, more bytes to come. Bad: not a message (wrong tag, lengths
// past the bound, a NUL inside a string, bytes after the end); out is set only when Complete.
HandOverRead decodeHandOver(std::string_view data, HandOver& out);

// Whether windows have somewhere to go: an X11 or Wayland display named in the environment, or a
// Qt platform chosen (QT_QPA_PLATFORM, or "-platform NAME" / "-display NAME" among the program's
// arguments, also with two dashes, as Qt reads them). Empty values name nothing.
bool displayGiven(std::string_view display, std::string_view waylandDisplay, std::string_view qtPlatform,
                  const std::vector<std::string>& args);

}  // namespace korvel
