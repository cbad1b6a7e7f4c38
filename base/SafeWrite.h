#pragma once
// Writing new files without ever replacing or half-writing one under its final name.
#include <functional>
#include <iosfwd>
#include <string>
#include <sys/types.h>

namespace korvel {

// The system calls the safe writer makes, replaceable so that tests can make a write, flush or
// rename fail (as on a full disk) also when they run as root. Each returns what the system call
// returns and sets errno the same way.
struct SafeWriteSteps {
    std::function<ssize_t(int fd, const void* data, size_t size)> write;
    std::function<int(int fd)> sync;
    std::function<int(const char* from, const char* to)> rename;
    // Opens the folder, fsyncs and closes it; 0 where the file system cannot flush a folder.
    std::function<int(const char* folder)> syncFolder;
};

// Opens folder, fsyncs and closes it (the real call); 0 where the file system cannot flush a
// folder, else -1 with errno set.
int flushFolder(const char* folder);

// Replaces the steps; an empty member (or a default SafeWriteSteps) restores the real call.
void setSafeWriteSteps(SafeWriteSteps steps);

// Creates path exclusively (no symlink followed). Returns false when it already exists;
// throws EFileError for any other failure.
bool claimNewFile(const std::string& path);

// Replaces (or creates) path with bytes: a temporary file in the same folder, flushed, then
// renamed over path, and the folder flushed so that the new name lasts. A symbolic link stays:
// its target is replaced, in the target's folder. A replaced file keeps its permissions; a new
// one gets 0666 less the umask. On failure EFileError carries the system's reason, and path is
// untouched unless only the folder's flush failed (the new file is then in place).
void replaceFileAtomically(const std::string& path, const std::string& bytes);

// Fills the file claimed at path: writes through a temporary file in the same folder, flushes
// it, then moves it over the (empty, claimed) path. On any failure both the temporary file and
// the claim are removed and EFileError (or the writer's exception) is thrown.
void fillClaimedFile(const std::string& path, const std::function<void(std::ostream&)>& writer);

}  // namespace korvel
