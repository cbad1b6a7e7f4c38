#include "browse/SharedThumbs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <sstream>

#include "base/FdIo.h"
#include "base/Md5.h"
#include "base/UserFolders.h"
#include "codecs/Png.h"
#include "imaging/Bitmap.h"
#include "imaging/StretchUtils.h"

namespace korvel {

namespace {

// Far above any 256 x 256 RGBA thumbnail with its text; a larger file is not one of ours.
constexpr off_t kMaxThumbBytes = off_t(4) << 20;
constexpr uint8_t kIendChunk[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};

std::string absolutePath(const std::string& file) {
    if (!file.empty() && file[0] == '/') return file;
    char cwd[4096];
    if (!::getcwd(cwd, sizeof cwd)) return file;
    return std::string(cwd) + "/" + file;
}

bool isPathByte(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return c != 0 && std::strchr("-._~!$&'()*+,;=:@/", c) != nullptr;
}

const char* folderOf(int edge) { return edge == SharedThumbs::kNormalEdge ? "normal/" : "large/"; }

const std::string* textOf(const TGLDPNG& png, const char* keyword) {
    for (const auto& [key, text] : png.texts)
        if (key == keyword) return &text;
    return nullptr;
}

bool sameMTime(const std::string* text, time_t mtime) {
    if (!text || text->empty()) return false;
    long long value = 0;
    const char* end = text->data() + text->size();
    const auto [at, ec] = std::from_chars(text->data(), end, value);
    return ec == std::errc() && at == end && value == static_cast<long long>(mtime);
}

// The whole file at path when it is a regular file (a link is not followed) owned by user.
bool readOwnedFile(const std::string& path, uid_t user, std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == user &&
              st.st_size >= off_t(sizeof kIendChunk) && st.st_size <= kMaxThumbBytes;
    if (ok) {
        bytes.resize(size_t(st.st_size));
        ok = readAll(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    }
    ::close(fd);
    return ok;
}

// A folder we may write thumbnails into: made when missing, ours, and private as the standard
// asks (an existing folder of ours that others could read is closed).
bool privateFolder(const std::string& folder, uid_t user) {
    try {
        makeFolders(folder);
    } catch (const std::exception&) {
        return false;
    }
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != user) return false;
    return (st.st_mode & 077) == 0 || ::chmod(folder.c_str(), 0700) == 0;
}

// The picture reduced to fit edge x edge with its aspect ratio, never enlarged, opaque RGBA.
TGLDPNG thumbnailImage(const TBitmap& image, int edge) {
    TGLDPNG png;
    TBitmap& t = png.image();
    t = image;
    const int w = image.width(), h = image.height();
    if (w > edge || h > edge) {
        const int64_t tw = w >= h ? edge : std::max<int64_t>(1, int64_t(w) * edge / h);
        const int64_t th = w >= h ? std::max<int64_t>(1, int64_t(h) * edge / w) : edge;
        StretchBitmap(t, int(tw), int(th));
    }
    // The standard asks for 8-bit RGBA; the picture is already drawn on white, so all opaque.
    auto mask = std::make_unique<TBitmap>(t.width(), t.height(), PixelFormat::pf8bit);
    std::memset(mask->bits(), 0, mask->stride() * size_t(t.height()));
    t.setMask(std::move(mask));
    png.filterMode = 0;
    return png;
}

}  // namespace

std::string fileUri(const std::string& absolutePath) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : absolutePath) {
        if (isPathByte(c)) {
            uri += char(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

SharedThumbs::SharedThumbs(std::string root) : user(::geteuid()), root_(std::move(root)) {
    if (!root_.empty() && root_.back() != '/') root_ += '/';
}

std::string SharedThumbs::thumbnailPath(const std::string& file, int edge) const {
    return root_ + folderOf(edge) + md5Hex(fileUri(absolutePath(file))) + ".png";
}

bool SharedThumbs::find(const std::string& file, int minEdge, TGLDPNG& thumb) const {
    const std::string path = absolutePath(file);
    // The standard: no thumbnails of thumbnails, and none for a file the user cannot read.
    if (root_.empty() || path.compare(0, root_.size(), root_) == 0) return false;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(path.c_str(), R_OK) != 0) return false;
    const std::string uri = fileUri(path);
    const std::string name = md5Hex(uri) + ".png";
    for (int edge : {kNormalEdge, kLargeEdge}) {
        if (edge < minEdge) continue;
        std::string bytes;
        if (!readOwnedFile(root_ + folderOf(edge) + name, user, bytes)) continue;
        // A file cut short keeps whatever rows it had; only a whole file counts.
        if (std::memcmp(bytes.data() + bytes.size() - sizeof kIendChunk, kIendChunk, sizeof kIendChunk) != 0) continue;
        TGLDPNG png;
        try {
            DecodeLimits limits;
            limits.maxPixels = uint64_t(edge) * uint64_t(edge);
            png.loadFromMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), limits);
        } catch (const std::exception&) {
            continue;
        }
        const int w = png.width(), h = png.height();
        if (w > edge || h > edge || std::max(w, h) < minEdge) continue;
        const std::string* storedUri = textOf(png, "Thumb::URI");
        if (!storedUri || *storedUri != uri || !sameMTime(textOf(png, "Thumb::MTime"), st.st_mtime)) continue;
        thumb = std::move(png);
        return true;
    }
    return false;
}

bool SharedThumbs::store(const std::string& file, int cellEdge, const TBitmap& image) const {
    const int edge = cellEdge <= kNormalEdge ? kNormalEdge : cellEdge <= kLargeEdge ? kLargeEdge : 0;
    const std::string path = absolutePath(file);
    if (!edge || image.empty() || root_.empty() || path.compare(0, root_.size(), root_) == 0) return false;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const std::string folder = root_ + folderOf(edge);
    if (!privateFolder(root_, user) || !privateFolder(folder, user)) return false;

    std::ostringstream encoded;
    try {
        TGLDPNG png = thumbnailImage(image, edge);
        const std::string uri = fileUri(path);
        png.texts = {{"Thumb::URI", uri},
                     {"Thumb::MTime", std::to_string(static_cast<long long>(st.st_mtime))},
                     {"Thumb::Size", std::to_string(static_cast<long long>(st.st_size))}};
        png.saveToStream(encoded);
    } catch (const std::exception&) {
        return false;
    }
    const std::string target = folder + md5Hex(fileUri(path)) + ".png";
    // Readers never see a partial file: write a private temporary one beside it, then rename.
    std::string temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    const std::string bytes = std::move(encoded).str();
    const bool written = ::fchmod(fd, 0600) == 0 && writeAll(fd, bytes.data(), bytes.size());
    const bool closed = ::close(fd) == 0;
    if (written && closed && ::rename(temp.c_str(), target.c_str()) == 0) return true;
    ::unlink(temp.c_str());
    return false;
}

int SharedThumbs::forget(const std::string& file) const {
    if (root_.empty()) return 0;
    const std::string name = md5Hex(fileUri(absolutePath(file))) + ".png";
    int removed = 0;
    // Korvel writes the first two; other programs also keep the larger ones.
    for (const char* folder : {"normal/", "large/", "x-large/", "xx-large/"})
        if (::unlink((root_ + folder + name).c_str()) == 0) ++removed;
    return removed;
}

}  // namespace korvel
