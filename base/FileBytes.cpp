#include "base/FileBytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/Errors.h"

namespace korvel {

namespace {

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

[[noreturn]] void throwSystem(const char* what, const std::string& path, int err) {
    throw EFileError(what, path, err);
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a named pipe";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

void requireRegular(const std::string& path, mode_t mode) {
    if (!S_ISREG(mode))
        throw EFileError("Cannot read " + quoted(path) + ": it is " + kindOf(mode) + ", not a regular file");
}

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

void refuseSpecialFile(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) requireRegular(path, st.st_mode);
}

std::shared_ptr<const FileBytes> FileBytes::open(const std::string& path, uint64_t maxBytes) {
    // Checked by name first so that a device is never opened at all (opening some has effects).
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) throwSystem("Cannot open", path, errno);
    requireRegular(path, st.st_mode);
    // Non-blocking: a regular file swapped for a pipe after the check still cannot stall us.
    Fd file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) throwSystem("Cannot open", path, errno);
    if (::fstat(file.fd, &st) != 0) throwSystem("Cannot read", path, errno);
    requireRegular(path, st.st_mode);
    const int flags = ::fcntl(file.fd, F_GETFL);
    if (flags >= 0) ::fcntl(file.fd, F_SETFL, flags & ~O_NONBLOCK);

    const uint64_t size = uint64_t(st.st_size);
    if (size > maxBytes)
        throw EImageTooLarge("Cannot read " + quoted(path) + ": " + std::to_string(size) +
                             " bytes, more than the " + std::to_string(maxBytes) +
                             " bytes an image of this format within the pixel limit can need");
    if (size > std::numeric_limits<size_t>::max() / 2) throwSystem("Cannot read", path, EFBIG);

    std::shared_ptr<FileBytes> bytes(new FileBytes);
    if (size >= kMapThreshold) {
        void* map = ::mmap(nullptr, size_t(size), PROT_READ, MAP_PRIVATE, file.fd, 0);
        if (map == MAP_FAILED) throwSystem("Cannot map", path, errno);
        bytes->data_ = static_cast<const uint8_t*>(map);
        bytes->size_ = size_t(size);
        bytes->mapped_ = true;
        return bytes;
    }
    // Read no more than the size seen: a file that grows meanwhile is taken as it was.
    bytes->owned_.resize(size_t(size));
    size_t got = 0;
    while (got < bytes->owned_.size()) {
        const ssize_t n = ::read(file.fd, bytes->owned_.data() + got, bytes->owned_.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throwSystem("Cannot read", path, errno);
        if (n == 0) break;
        got += size_t(n);
    }
    bytes->owned_.resize(got);
    bytes->data_ = bytes->owned_.data();
    bytes->size_ = got;
    return bytes;
}

std::shared_ptr<const FileBytes> FileBytes::hold(std::vector<uint8_t> data) {
    std::shared_ptr<FileBytes> bytes(new FileBytes);
    bytes->owned_ = std::move(data);
    bytes->data_ = bytes->owned_.data();
    bytes->size_ = bytes->owned_.size();
    return bytes;
}

FileBytes::~FileBytes() {
    if (mapped_) ::munmap(const_cast<uint8_t*>(data_), size_);
}

std::vector<uint8_t> readWholeFile(const std::string& path) {
    const std::shared_ptr<const FileBytes> bytes = FileBytes::open(path);
    return std::vector<uint8_t>(bytes->data(), bytes->data() + bytes->size());
}

}  // namespace korvel
