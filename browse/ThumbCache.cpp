#include "browse/ThumbCache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sstream>
#include <vector>

#include "imaging/Bmp.h"
#include "imaging/Bitmap.h"
#include "base/Errors.h"
#include "base/FdIo.h"
#include "base/FileNames.h"

namespace korvel {

namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr uint32_t kBiRgb = 0, kBiBitfields = 3;
// The smallest bitmap file: file header and the 12-byte core header.
constexpr uint32_t kMinImageBytes = kFileHeaderBytes + 12;
// ThumbPos is a signed 32-bit offset.
constexpr int64_t kMaxCacheBytes = std::numeric_limits<int32_t>::max();

[[noreturn]] void fail(const std::string& what, const std::string& path, int err) {
    throw EFileError(what, path, err);
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

// An empty write call is the system's pwrite.
ThumbCache::ThumbCache() = default;

ThumbCache::~ThumbCache() { close(); }

void ThumbCache::setWriteFunction(CacheWriteFunction write) { write_ = std::move(write); }

void ThumbCache::create(const std::string& folder, const std::string& fileName) {
    close();
    const std::string dir = withoutTrailingSlashes(folder);
    const std::string path = dir + "/" + fileName;
    int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) fail("Cannot open the folder", dir, errno);
    int fd = -1;
    // A stale entry is unlinked (a link goes, not its target) and the name created anew; a
    // few rounds cover another process racing for the same name.
    for (int attempt = 0; attempt < 4 && fd < 0; ++attempt) {
        fd = ::openat(dirFd, fileName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) break;
        int err = errno;
        if (err != EEXIST || (::unlinkat(dirFd, fileName.c_str(), 0) != 0 && errno != ENOENT)) {
            if (err == EEXIST) err = errno;
            ::close(dirFd);
            fail("Cannot create the thumbnail cache", path, err);
        }
    }
    if (fd < 0) {
        ::close(dirFd);
        fail("Cannot create the thumbnail cache", path, EEXIST);
    }
    dirFd_ = dirFd;
    fd_ = fd;
    path_ = path;
    name_ = fileName;
    size_ = 0;
}

void ThumbCache::truncate() {
    if (fd_ < 0) return;
    // Offsets restart at 0 even when the system keeps the old bytes (they are overwritten).
    (void)::ftruncate(fd_, 0);
    size_ = 0;
}

int64_t ThumbCache::append(const TBitmap& bmp) {
    if (fd_ < 0) throw EFileError("The thumbnail cache is not open");
    std::ostringstream buffer;
    writeBmp(bmp, buffer);
    const std::string bytes = std::move(buffer).str();
    if (int64_t(bytes.size()) > kMaxCacheBytes - size_) throw EFileError("Cannot write", path_, EFBIG);
    const int64_t pos = size_;
    errno = 0;
    if (!writeAll(fd_, bytes.data(), bytes.size(), off_t(pos), write_)) {
        const int err = errno ? errno : ENOSPC;  // a replaced write call may fail without a reason
        // Part of the image may be on disk: cut it off so the file ends where it did.
        (void)::ftruncate(fd_, off_t(pos));
        throw EFileError("Cannot write", path_, err);
    }
    size_ = pos + int64_t(bytes.size());
    return pos;
}

bool ThumbCache::read(int64_t pos, TBitmap& out) const {
    if (fd_ < 0 || pos < 0 || pos > size_ - int64_t(kMinImageBytes)) return false;
    uint8_t head[kFileHeaderBytes];
    if (readAll(fd_, head, sizeof head, off_t(pos)) != ssize_t(sizeof head)) return false;
    if (head[0] != 'B' || head[1] != 'M') return false;
    const uint32_t length = uint32_t(head[2]) | uint32_t(head[3]) << 8 | uint32_t(head[4]) << 16 | uint32_t(head[5]) << 24;
    if (length < kMinImageBytes || int64_t(length) > size_ - pos) return false;
    std::vector<uint8_t> image(length);
    std::memcpy(image.data(), head, sizeof head);
    const size_t rest = length - sizeof head;
    if (readAll(fd_, image.data() + sizeof head, rest, off_t(pos + int64_t(sizeof head))) != ssize_t(rest)) return false;
    // Korvel writes uncompressed images only; refusing run-length data keeps a damaged header
    // from asking for a raster far larger than the bytes behind it.
    const uint8_t* info = image.data() + kFileHeaderBytes;
    const uint32_t infoSize = uint32_t(info[0]) | uint32_t(info[1]) << 8 | uint32_t(info[2]) << 16 | uint32_t(info[3]) << 24;
    if (infoSize >= 40) {
        if (length < kFileHeaderBytes + 40) return false;
        const uint32_t compression = uint32_t(info[16]) | uint32_t(info[17]) << 8 | uint32_t(info[18]) << 16 |
                                     uint32_t(info[19]) << 24;
        if (compression != kBiRgb && compression != kBiBitfields) return false;
    }
    try {
        readBmp(image.data(), image.size(), out);
    } catch (const Exception&) {
        return false;
    }
    return true;
}

void ThumbCache::close() {
    if (fd_ >= 0) {
        (void)::ftruncate(fd_, 0);
        struct stat mine, named;
        if (::fstat(fd_, &mine) == 0 && ::fstatat(dirFd_, name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            mine.st_dev == named.st_dev && mine.st_ino == named.st_ino)
            ::unlinkat(dirFd_, name_.c_str(), 0);
        ::close(fd_);
    }
    if (dirFd_ >= 0) ::close(dirFd_);
    fd_ = dirFd_ = -1;
    path_.clear();
    name_.clear();
    size_ = 0;
}

std::string thumbCacheFileName(const std::string& executablePath) {
    const std::string name = extractFileName(executablePath);
    return name.substr(0, name.size() - extractFileExt(name).size()) + ".tp0";
}

}  // namespace korvel
