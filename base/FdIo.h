#pragma once
// Whole reads and writes on a file descriptor. A system call may move fewer bytes than asked or
// be interrupted by a signal (EINTR); these go on until everything is moved, the file ends, or
// a real error comes, so no caller writes that loop again.
#include <sys/types.h>

#include <cstddef>
#include <functional>

namespace korvel {

// As offset: at the descriptor's own position (read and write rather than pread and pwrite).
constexpr off_t kAtPosition = -1;

// One system call with pread's or pwrite's contract (read's or write's at kAtPosition): bytes
// moved, or -1 with errno set. Tests pass their own to return EINTR, short counts and errors.
using ReadCall = std::function<ssize_t(int fd, void* data, size_t size, off_t offset)>;
using WriteCall = std::function<ssize_t(int fd, const void* data, size_t size, off_t offset)>;

// Reads up to size bytes into data from offset (or the current position). Returns the bytes
// read, fewer than size only where the file ends, or -1 with errno set. An empty call is the
// system's.
ssize_t readAll(int fd, void* data, size_t size, off_t offset = kAtPosition, const ReadCall& call = {});

// Writes all size bytes from offset (or the current position). False with errno set when a
// write fails; a write that moves nothing counts as a full disk (ENOSPC).
bool writeAll(int fd, const void* data, size_t size, off_t offset = kAtPosition, const WriteCall& call = {});

}  // namespace korvel
