#include "base/SafeWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <random>
#include <streambuf>
#include <utility>
#include <vector>

#include "base/Errors.h"
#include "base/FdIo.h"
#include "base/FileNames.h"

namespace korvel {

namespace {
SafeWriteSteps& steps() {
    static SafeWriteSteps s;
    return s;
}

// At the descriptor's position: the writer never writes at an offset.
ssize_t writeStep(int fd, const void* data, size_t size, off_t) {
    return steps().write ? steps().write(fd, data, size) : ::write(fd, data, size);
}
int syncStep(int fd) { return steps().sync ? steps().sync(fd) : ::fsync(fd); }
int renameStep(const char* from, const char* to) {
    return steps().rename ? steps().rename(from, to) : ::rename(from, to);
}
int syncFolderStep(const char* folder) { return steps().syncFolder ? steps().syncFolder(folder) : flushFolder(folder); }

[[noreturn]] void fail(const std::string& what, const std::string& path, int err) {
    throw EFileError(what, path, err);
}
}  // namespace

void setSafeWriteSteps(SafeWriteSteps s) { steps() = std::move(s); }

bool claimNewFile(const std::string& path) {
    // 0666: the user's umask decides who may read it.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST) return false;
        fail("Cannot create", path, errno);
    }
    ::close(fd);
    return true;
}

namespace {

// An output stream buffer straight onto a file descriptor, so large images are not copied
// through memory once more on their way to disk.
class FdOutBuf : public std::streambuf {
public:
    explicit FdOutBuf(int fd) : fd_(fd), buffer_(1 << 20) { setp(buffer_.data(), buffer_.data() + buffer_.size()); }
    bool failed() const { return failed_; }
    int error() const { return error_; }

protected:
    int_type overflow(int_type ch) override {
        if (!flushBuffer()) return traits_type::eof();
        if (!traits_type::eq_int_type(ch, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(ch);
            pbump(1);
        }
        return traits_type::not_eof(ch);
    }
    int sync() override { return flushBuffer() ? 0 : -1; }

private:
    bool flushBuffer() {
        if (failed_) return false;
        const size_t n = size_t(pptr() - pbase());
        if (n > 0 && !writeAll(fd_, pbase(), n, kAtPosition, writeStep)) {
            failed_ = true;
            error_ = errno;
            return false;
        }
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        return true;
    }

    int fd_;
    std::vector<char> buffer_;
    bool failed_ = false;
    int error_ = 0;
};

// Creates a new temporary file beside path with mode 0666, so the umask applies as to any
// file the user makes.
int createTemporaryBeside(const std::string& path, std::string& tmp) {
    static std::atomic<unsigned> counter{0};
    std::string stem = extractFilePath(path) + "." + extractFileName(path) + ".";
    if (extractFilePath(path).empty()) stem = "./" + stem;
    std::random_device random;
    for (int attempt = 0; attempt < 64; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", unsigned(random()) ^ (counter++ * 0x9E3779B9u));
        tmp = stem + suffix;
        int fd = ::open(tmp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// The file path names once symbolic links are followed, so that replacing it keeps the link
// and the new file lands in the target's own folder. A dangling link names its target.
std::string followLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string target(size_t(st.st_size > 0 ? st.st_size : 0) + 256, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0 || size_t(n) >= target.size()) fail("Cannot follow the link", path, n < 0 ? errno : ENAMETOOLONG);
        target.resize(size_t(n));
        path = target.front() == '/' ? target : extractFilePath(path) + target;
    }
    fail("Cannot follow the link", path, ELOOP);
}

// Writes through a temporary file in path's folder and renames it over path when complete.
// A file that is replaced keeps its permissions.
void writeThroughTemporary(const std::string& path, const std::function<void(std::ostream&)>& writer, bool durable) {
    std::string tmp;
    int fd = createTemporaryBeside(path, tmp);
    if (fd < 0) fail("Cannot write", path, errno);
    struct stat old;
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 0777);
    int err = 0;
    bool ok = true;
    try {
        FdOutBuf buf(fd);
        std::ostream out(&buf);
        writer(out);
        out.flush();
        ok = !buf.failed() && bool(out);
        err = buf.error();
    } catch (...) {
        ::close(fd);
        ::unlink(tmp.c_str());
        throw;
    }
    if (ok && durable && syncStep(fd) != 0) ok = false, err = errno;
    if (::close(fd) != 0 && ok) ok = false, err = errno;
    if (ok && renameStep(tmp.c_str(), path.c_str()) != 0) ok = false, err = errno;
    if (!ok) {
        ::unlink(tmp.c_str());
        fail("Cannot write", path, err ? err : EIO);
    }
    // Until its folder is flushed, a crash can undo the rename.
    const std::string folder = extractFilePath(path).empty() ? "." : extractFilePath(path);
    if (durable && syncFolderStep(folder.c_str()) != 0) fail("Cannot write", path, errno);
}

}  // namespace

void replaceFileAtomically(const std::string& path, const std::string& bytes) {
    // Settings files are flushed to disk before they replace the old one.
    writeThroughTemporary(
        followLinks(path), [&](std::ostream& out) { out.write(bytes.data(), std::streamsize(bytes.size())); }, true);
}

void fillClaimedFile(const std::string& path, const std::function<void(std::ostream&)>& writer) {
    try {
        writeThroughTemporary(path, writer, false);
    } catch (...) {
        ::unlink(path.c_str());
        throw;
    }
}

int flushFolder(const char* folder) {
    const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    int r = ::fsync(fd);
    if (r != 0 && (errno == EINVAL || errno == ENOTSUP)) r = 0;  // fsync(2): no folder flush there
    const int err = errno;
    ::close(fd);
    errno = err;
    return r;
}

}  // namespace korvel
