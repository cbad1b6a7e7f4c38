#pragma once
// What tells the file an operation left behind from another one put in its place later: an undo
// checks it before touching the file, so a file changed or replaced since is left alone.
#include <cstdint>
#include <optional>
#include <sys/stat.h>
#include <string>

#include "fileops/FileSystem.h"

namespace korvel {

struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t mtimeNs = 0;  // modification time in nanoseconds since the epoch

    bool operator==(const FileIdentity&) const = default;
};

FileIdentity identityOf(const struct stat& st);

// Whether st is the item that had identity: a file by all four, a folder by device and inode
// alone (its size and time change with what it holds).
bool matchesIdentity(const struct stat& st, const FileIdentity& identity);

// The identity of path itself (a symbolic link is not followed); nothing when it cannot be read.
std::optional<FileIdentity> fileIdentity(FileSystem& fs, const std::string& path);

// Whether path is still the item that had identity (matchesIdentity); false when it is gone or
// unreadable.
bool sameFile(FileSystem& fs, const std::string& path, const FileIdentity& identity);

}  // namespace korvel
