#include "fileops/SafeWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "imaging/Errors.h"
#include "imaging/FileNames.h"

namespace korvel {

namespace {
[[noreturn]] void fail(const std::string& what, const std::string& path, int err) {
    throw EFileError(what + " \"" + path + "\": " + std::strerror(err));
}

bool writeAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= size_t(w);
    }
    return true;
}
}  // namespace

bool claimNewFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == EEXIST) return false;
        fail("Cannot create", path, errno);
    }
    ::close(fd);
    return true;
}

void replaceFileAtomically(const std::string& path, const std::string& bytes) {
    std::string tmp = extractFilePath(path) + "." + extractFileName(path) + ".XXXXXX";
    if (extractFilePath(path).empty()) tmp = "./" + tmp;
    int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0) fail("Cannot write", path, errno);
    ::fchmod(fd, 0644);
    bool ok = writeAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    int err = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) ok = false, err = errno;
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) ok = false, err = errno;
    if (!ok) {
        ::unlink(tmp.c_str());
        fail("Cannot write", path, err ? err : EIO);
    }
}

void fillClaimedFile(const std::string& path, const std::function<void(std::ostream&)>& writer) {
    try {
        std::ostringstream buffer;
        writer(buffer);
        replaceFileAtomically(path, std::move(buffer).str());
    } catch (...) {
        ::unlink(path.c_str());
        throw;
    }
}

}  // namespace korvel
