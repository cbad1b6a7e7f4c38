#pragma once
// The freedesktop shared thumbnail folders: "normal" (up to 128 x 128) and "large" (up to
// 256 x 256) PNG thumbnails other programs made or will use, named by the MD5 of the file's URI
// and stamped with that URI (tEXt Thumb::URI) and the file's modification time (Thumb::MTime).
// Korvel reads one as the source of a thumbnail it has not built yet and writes one for every
// file it decodes anyway. Both are only a cache: every failure is silent.
#include <sys/types.h>

#include <string>

namespace korvel {

class TBitmap;
class TGLDPNG;

// The "file://" URI of an absolute path: every byte that is not an RFC 3986 path character
// (unreserved, sub-delims, ":", "@") or "/" is written as %XX with upper-case digits.
std::string fileUri(const std::string& absolutePath);

class SharedThumbs {
public:
    static constexpr int kNormalEdge = 128, kLargeEdge = 256;

    // root: the shared thumbnail folder, ending with "/" (sharedThumbnailFolder()).
    explicit SharedThumbs(std::string root);

    // Files and folders are trusted only when this user owns them. Tests set another id to play
    // a file owned by someone else, as they run as root.
    uid_t user;

    const std::string& root() const { return root_; }
    // Where the thumbnail of file is kept in the folder of edge (kNormalEdge or kLargeEdge).
    std::string thumbnailPath(const std::string& file, int edge) const;

    // A valid thumbnail of file whose longer side is at least minEdge, normal before large, read
    // into thumb. Valid: a regular file (not a link) owned by user, a whole PNG (IEND last) no
    // larger than its folder's square, Thumb::URI equal to file's URI and Thumb::MTime to file's
    // modification time in seconds. False when there is none or file cannot be read.
    bool find(const std::string& file, int minEdge, TGLDPNG& thumb) const;

    // Writes the thumbnail of file made from image (the file's picture on white) into the folder
    // a cell of cellEdge reads from (normal up to 128, large up to 256, none above): reduced to
    // fit its square, never enlarged, RGBA, mode 0600 in 0700 folders, under a temporary name
    // that is renamed when complete. Returns false when nothing was written.
    bool store(const std::string& file, int cellEdge, const TBitmap& image) const;

    // Removes every size's thumbnail of file (normal, large, x-large, xx-large), whatever time it
    // was stamped with: after the file's bytes changed in place its time may be the old one, and
    // the old picture would pass as valid. Returns how many were removed.
    int forget(const std::string& file) const;

private:
    std::string root_;
};

}  // namespace korvel
