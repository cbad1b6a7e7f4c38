#pragma once
// ThumbCache: the temporary file that holds the thumbnails of the current listing, each one a
// complete bitmap file image (file header, info header, palette, pixels), appended in the order
// they were built. There is no index inside the file: an entry's ThumbPos is the offset where
// its image starts, and the image's own file header gives its length.
//
// The file lives in a private folder (privateTempFolder) and is created new with exclusive,
// no-follow flags and mode 0600. Whatever stands at its name beforehand (a stale file of a
// crashed run, a planted symbolic link) is removed, never opened. A failed write rolls the file
// back to its size before the write, so every offset handed out stays valid.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>


namespace korvel {

class TBitmap;

// The call that writes bytes at an offset, pwrite's contract: bytes written or -1 with errno.
// Tests replace it to simulate a full disk.
using CacheWriteFunction = std::function<ssize_t(int fd, const void* data, size_t size, off_t offset)>;

class ThumbCache {
public:
    ThumbCache();
    // Truncates and deletes the file (close).
    ~ThumbCache();
    ThumbCache(const ThumbCache&) = delete;
    ThumbCache& operator=(const ThumbCache&) = delete;

    // Creates fileName in folder, first removing whatever stands at that name (the entry itself,
    // not what a link points to). folder should be private (privateTempFolder). Throws EFileError
    // with the system's reason; the cache then stays closed and every append fails.
    void create(const std::string& folder, const std::string& fileName);
    bool isOpen() const { return fd_ >= 0; }
    // The file's full path; "" while closed.
    const std::string& path() const { return path_; }
    // Bytes held: where the next image will start.
    int64_t size() const { return size_; }

    // Empties the file (a replacing listing: every offset of the old list is gone).
    void truncate();
    // Appends bmp as a bitmap file image and returns the offset where it starts. Throws
    // EFileError when the cache is closed, the write failed, or the offset would not fit
    // ThumbPos (31 bits). After a failure the file holds what it held before.
    int64_t append(const TBitmap& bmp);
    // Reads the bitmap file image starting at pos into out. False (out unspecified) when pos
    // does not start a complete, decodable image inside the file.
    bool read(int64_t pos, TBitmap& out) const;
    // Truncates and deletes the file, unless its name now denotes another file (a second
    // program replaced it), which is left alone.
    void close();

    // The write call; the default is pwrite.
    void setWriteFunction(CacheWriteFunction write);

private:
    int dirFd_ = -1, fd_ = -1;
    std::string path_, name_;
    int64_t size_ = 0;
    CacheWriteFunction write_;
};

// The cache file's name for the running program: its base name with ".tp0".
std::string thumbCacheFileName(const std::string& executablePath);

}  // namespace korvel
