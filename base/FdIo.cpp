#include "base/FdIo.h"

#include <unistd.h>

#include <cerrno>

namespace korvel {

namespace {
ssize_t systemRead(int fd, void* data, size_t size, off_t offset) {
    return offset == kAtPosition ? ::read(fd, data, size) : ::pread(fd, data, size, offset);
}
ssize_t systemWrite(int fd, const void* data, size_t size, off_t offset) {
    return offset == kAtPosition ? ::write(fd, data, size) : ::pwrite(fd, data, size, offset);
}
}  // namespace

ssize_t readAll(int fd, void* data, size_t size, off_t offset, const ReadCall& call) {
    auto* at = static_cast<unsigned char*>(data);
    size_t done = 0;
    while (done < size) {
        const off_t where = offset == kAtPosition ? kAtPosition : offset + off_t(done);
        const ssize_t n = call ? call(fd, at + done, size - done, where) : systemRead(fd, at + done, size - done, where);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += size_t(n);
    }
    return ssize_t(done);
}

bool writeAll(int fd, const void* data, size_t size, off_t offset, const WriteCall& call) {
    const auto* at = static_cast<const unsigned char*>(data);
    size_t done = 0;
    while (done < size) {
        const off_t where = offset == kAtPosition ? kAtPosition : offset + off_t(done);
        const ssize_t n = call ? call(fd, at + done, size - done, where) : systemWrite(fd, at + done, size - done, where);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

}  // namespace korvel
