#pragma once
// What other programs do in folders, as the kernel reports it (inotify): folders watched by path,
// their events read without blocking. The owner waits on fd() (the window's event loop does).
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace korvel {

struct FolderEvent {
    enum class Kind : uint8_t {
        Created,     // an entry appeared (a file may still be being written)
        Deleted,
        MovedOut,    // renamed away; a MovedIn with the same cookie is its other half
        MovedIn,
        Written,     // a file opened for writing was closed
        Modified,    // a file was written to
        Attributes,  // times, permissions, links
        FolderGone,  // the watched folder itself was deleted, moved or unmounted
        Overflow,    // the kernel dropped events: everything may have changed
    };
    Kind kind = Kind::Created;
    std::string folder;  // the watched folder, "/"-terminated; "" for Overflow
    std::string name;    // the entry; "" for FolderGone and Overflow
    bool isFolder = false;
    uint32_t cookie = 0;
};

class FolderWatch {
public:
    // Files: entries and the writing of files. Folders: entries only (a tree of folders).
    enum class Watch { Files, Folders };
    // Throws EFileError with the system's reason when the kernel gives no instance.
    explicit FolderWatch(Watch what = Watch::Files);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Readable when events wait.
    int fd() const { return fd_; }
    // Starts watching folder (a missing "/" is added); false, errno set, when it cannot be
    // watched (gone, not a folder, the user's watch limit reached).
    bool watch(const std::string& folder);
    void unwatch(const std::string& folder);
    // Watches exactly these folders: the others are dropped, new ones added (those that cannot
    // be watched are left out).
    void watchOnly(const std::set<std::string>& folders);
    bool watching(const std::string& folder) const { return byPath_.count(slashed(folder)) > 0; }
    // Reads every event waiting; none when nothing waits. A folder that went is no longer watched.
    std::vector<FolderEvent> read();

private:
    static std::string slashed(std::string folder);
    void forget(int wd);

    int fd_ = -1;
    uint32_t mask_ = 0;
    std::map<std::string, int> byPath_;
    // One watch per folder object: two paths to it (a link) share it.
    std::map<int, std::vector<std::string>> byWatch_;
};

}  // namespace korvel
