#pragma once
// Thumbnail building: decoding a listed file, reducing it into the thumbnail box, and keeping
// the result in the cache file (ThumbCache). Everything runs on the caller's thread, one file at
// a time; only the one working bitmap (ThumbBitmap) and one intermediate bitmap live in memory.
//
// How the grid draws a cell whose index is inside the list:
//
//     const TBitmap* t = builder.thumbnail(index, params);   // builds and caches when needed
//     if (t) draw *t unscaled at x = left + 2 + (ThumbSize - t->width()) / 2,
//                                 y = top + (ThumbSize - t->height() - InfoHeight) / 2
//
// params carries ThumbSize, InfoHeight, SpeedFlg and the screen size (from the platform layer),
// read on every call so that an options change takes effect at the next build. After a listing
// the window calls BuildThumbnails(0, 1, params). A replacing listing calls cache.truncate()
// before the list is refilled (every ThumbPos is gone with the old entries).
//
// File-type icons: files of the media list and files that cannot be decoded get the icon of
// their file type. The window layer supplies that raster through FileIconSource (the icon
// theme's icon for the file's MIME type); without a source, or when it has no icon, the core
// draws its own built-in icon (a plain page with a folded corner, 32 x 32), so the core never
// needs a window toolkit.
#include <cstddef>
#include <functional>
#include <string>

#include "base/Translatable.h"
#include "imaging/Bitmap.h"
#include "imaging/Graphic.h"

namespace korvel {

class FileList;
class MediaExtList;
class TFileFormatsList;
class SharedThumbs;
class ThumbCache;

// The settings a thumbnail depends on.
struct ThumbParams {
    int thumbSize = 100;     // ThumbSize: the cell's edge
    int infoHeight = 20;     // InfoHeight: the text band under the thumbnail
    bool speedFlg = false;   // SpeedFlg: the plain stretch instead of quality resampling
    int screenWidth = 1920;  // images larger than the screen are first reduced to half of it
    int screenHeight = 1080;
    // The freedesktop shared thumbnails, read as a source and written after a decode; null: off.
    const SharedThumbs* sharedThumbs = nullptr;
    PhotoSwitches photo;     // upright and colour managed, as the preview shows it
    // Words a refused file's reason is given in (the window's language); none: the source texts.
    TextTranslator translate;
    // Edge of the square every thumbnail fits into.
    int box() const { return thumbSize - infoHeight; }
};

// The target rectangle (0, 0, w, h) of a width x height image in the thumbnail box: the aspect
// ratio kept, the longer side equal to the box, both sides at least 1.
Rect FitThumbRect(int width, int height, const ThumbParams& params);

// How a thumbnail was made, for tests and korvel-tool.
enum class ThumbMethod { Resampled, PlainStretch };
struct ThumbReport {
    int decodedWidth = 0, decodedHeight = 0;            // the graphic as decoded (a JPEG at its scale)
    int intermediateWidth = 0, intermediateHeight = 0;  // after the half-screen reduction, if any
    ThumbMethod method = ThumbMethod::Resampled;
    bool fromSharedThumb = false;  // the source was a shared thumbnail, not the file
};

// Decodes path by its extension and makes its thumbnail in thumb (24 bits per pixel): a JPEG is
// decoded at the coarsest scale covering thumbSize x thumbSize; an image larger than the screen
// is first reduced to half the screen size with the plain stretch; the result is resampled
// (StretchBitmap) into the box, or plain-stretched when that would enlarge or speedFlg is set.
// Transparent areas show white. Throws what loading and decoding throw. With sharedThumbs, a
// valid shared thumbnail whose longer side is at least thumbSize stands in for the file (so the
// thumbnail is always a reduction of it), and a decoded file's picture is written there.
ThumbReport MakeThumbnail(const std::string& path, const ThumbParams& params, TBitmap& thumb,
                          const TFileFormatsList* formats = nullptr);

// Draws the built-in file icon into icon (replaced).
void DrawBuiltinFileIcon(TBitmap& icon);

// Supplies the icon of a file's type; implemented by the window layer.
class FileIconSource {
public:
    virtual ~FileIconSource() = default;
    // The normal large icon of path's file type, any size. Its mask (255 = transparent) lets the
    // white background show. False when there is none.
    virtual bool fileIcon(const std::string& path, TBitmap& icon) = 0;
};

// Builds, caches and reads back the thumbnails of one FileList.
class ThumbnailBuilder {
public:
    ThumbnailBuilder(FileList& list, ThumbCache& cache) : list_(list), cache_(cache) {}

    const MediaExtList* mediaExts = nullptr;    // null: no media files
    const TFileFormatsList* formats = nullptr;  // null: the process-wide registry
    FileIconSource* iconSource = nullptr;       // null: the built-in icon
    // Told about each file that could not be decoded (it gets the icon; the grid shows no message).
    std::function<void(size_t index, const std::string& reason)> onDecodeFailure;

    // Builds the thumbnails of entries first .. first + count - 1 that have none (ThumbPos -1),
    // stores each in the cache and records its offset. Never throws for a file; a thumbnail
    // the cache cannot take leaves ThumbPos -1 (see thumbnail()).
    void BuildThumbnails(size_t first, size_t count, const ThumbParams& params);

    // The thumbnail of entry index for drawing: built first when ThumbPos is -1, then read back
    // from the cache into ThumbBitmap. When the cache could not take it (full disk, no cache
    // folder) the freshly built ThumbBitmap is returned uncached, so the cell still shows it and
    // the next draw builds it again. A cached image that no longer reads back (the file was
    // damaged from outside) is built and appended again. Null for an index outside the list.
    const TBitmap* thumbnail(size_t index, const ThumbParams& params);
    // The cached thumbnail of entry index, or null when it has none yet (nothing is built here).
    // A cached image that no longer reads back sets ThumbPos to -1.
    const TBitmap* cachedThumbnail(size_t index);
    // Takes a thumbnail a worker built for entry index (failure set: the file could not be
    // decoded and gets the icon), appends it to the cache and records the offset; ThumbBitmap
    // holds it afterwards. Returns false (ThumbPos stays -1) when the cache could not take it.
    bool storeBuilt(size_t index, TBitmap&& built, const std::string& failure);

    // True while BuildThumbnails runs (the preview start waits for it).
    bool ThumbBusy() const { return busy_; }
    // The one working bitmap.
    const TBitmap& ThumbBitmap() const { return thumb_; }

    // ThumbBitmap := the file type's icon of path on white.
    void DrawShellIcon(const std::string& path);
    // Appends ThumbBitmap to the cache and records the offset in entry index (stays -1 on failure).
    void StoreThumbnail(size_t index);

private:
    FileList& list_;
    ThumbCache& cache_;
    TBitmap thumb_;
    bool busy_ = false;
    // Entry whose thumbnail ThumbBitmap holds without a cached copy, or -1.
    std::ptrdiff_t uncached_ = -1;
};

}  // namespace korvel
