#include "browse/Thumbnails.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>

#include "browse/FileList.h"
#include "browse/SharedThumbs.h"
#include "browse/ThumbCache.h"
#include "base/Errors.h"
#include "codecs/Png.h"
#include "formats/MediaFiles.h"
#include "formats/Picture.h"
#include "imaging/ColorManage.h"
#include "imaging/PlainStretch.h"
#include "imaging/StretchUtils.h"

namespace korvel {

namespace {

TBitmap whiteBitmap(int width, int height) {
    TBitmap b(width, height, PixelFormat::pf24bit);
    std::memset(b.bits(), 0xFF, b.stride() * size_t(height));
    return b;
}

bool isOpaque24(const TBitmap* r) {
    return r && r->pixelFormat() == PixelFormat::pf24bit && !r->mask() && r->transparency() == Transparency::None;
}

// The graphic on white: reduced to half the screen with the plain stretch when it is larger than
// the screen (that bounds the resampler's work), else at its own size.
TBitmap intermediateOf(const TGraphic& g, const ThumbParams& p) {
    const int w = g.width(), h = g.height();
    int iw = w, ih = h;
    if (w > p.screenWidth || h > p.screenHeight) {
        const int mw = std::max(1, p.screenWidth / 2), mh = std::max(1, p.screenHeight / 2);
        if (double(mh) / h <= double(mw) / w) {
            iw = int(std::max<int64_t>(1, int64_t(w) * mh / h));
            ih = mh;
        } else {
            iw = mw;
            ih = int(std::max<int64_t>(1, int64_t(h) * mw / w));
        }
    }
    // An opaque 24-bit raster at its own size needs no drawing: on white it stays as it is.
    if (iw == w && ih == h && isOpaque24(g.raster())) return *g.raster();
    TBitmap out = whiteBitmap(iw, ih);
    g.draw(out, Rect{0, 0, iw, ih});
    return out;
}

}  // namespace

Rect FitThumbRect(int width, int height, const ThumbParams& params) {
    if (width < 1 || height < 1) return Rect{0, 0, 1, 1};
    const int b = params.box();
    int64_t w, h;
    if (double(b) / width >= double(b) / height) {
        w = int64_t(width) * b / height;
        h = b;
    } else {
        w = b;
        h = int64_t(height) * b / width;
    }
    return Rect{0, 0, int(std::max<int64_t>(1, w)), int(std::max<int64_t>(1, h))};
}

namespace {
// Other programs read the shared thumbnails as upright sRGB: only builds made that way go there,
// and only then does one stand in for the file.
bool sharesWithOtherPrograms(const PhotoSwitches& p) {
    return p.exifRotate && p.colorManage && !(p.toDisplay && HasDisplayProfile());
}
}  // namespace

ThumbReport MakeThumbnail(const std::string& path, const ThumbParams& params, TBitmap& thumb,
                          const TFileFormatsList* formats) {
    // A valid shared thumbnail stands in for the file; the steps after decoding are the same.
    const SharedThumbs* sharedThumbs = sharesWithOtherPrograms(params.photo) ? params.sharedThumbs : nullptr;
    TGLDPNG shared;
    const bool fromShared = sharedThumbs && sharedThumbs->find(path, params.thumbSize, shared);
    TPicture picture = formats ? TPicture(*formats) : TPicture();
    DecodeLimits limits;
    limits.photo = params.photo;
    if (!fromShared) {
        try {
            picture.loadFromFile(path, limits);
        } catch (const EInvalidGraphic&) {
            // The cell shows which decoder refused the file and why, not only the decoder's words.
            if (!picture.failure()) throw;
            throw EInvalidGraphic(picture.failure()->text(params.translate));
        }
    }
    TGraphic& g = fromShared ? shared : *picture.graphic();
    g.requestDecodeSize(params.thumbSize, params.thumbSize);
    if (g.empty()) throw EInvalidGraphic("The image \"" + path + "\" has no pixels");
    ThumbReport report;
    report.decodedWidth = g.width();
    report.decodedHeight = g.height();
    report.fromSharedThumb = fromShared;

    TBitmap inter = intermediateOf(g, params);
    picture.setGraphic(nullptr);  // only the intermediate bitmap stays in memory
    if (sharedThumbs && !fromShared) sharedThumbs->store(path, params.thumbSize, inter);
    report.intermediateWidth = inter.width();
    report.intermediateHeight = inter.height();
    const Rect r = FitThumbRect(inter.width(), inter.height(), params);
    if (inter.width() >= r.width() && inter.height() >= r.height() && !params.speedFlg) {
        StretchBitmap(inter, r.width(), r.height());
        thumb = std::move(inter);
        report.method = ThumbMethod::Resampled;
    } else {
        // Enlargements, and every size with speedFlg: rows and columns repeated or dropped.
        thumb = whiteBitmap(r.width(), r.height());
        stretchCopy(inter, Rect{0, 0, inter.width(), inter.height()}, thumb, r);
        report.method = ThumbMethod::PlainStretch;
    }
    return report;
}

void DrawBuiltinFileIcon(TBitmap& icon) {
    // A page with a folded top-right corner and a few text lines; outside the page is transparent.
    constexpr int kSize = 32, kLeft = 6, kRight = 25, kTop = 2, kBottom = 29, kFold = 7;
    const Color edge = makeColor(0x60, 0x60, 0x60), paper = makeColor(0xFF, 0xFF, 0xFF),
                fold = makeColor(0xC8, 0xC8, 0xC8), text = makeColor(0xA0, 0xA0, 0xA0);
    icon = TBitmap(kSize, kSize, PixelFormat::pf24bit);
    auto mask = std::make_unique<TBitmap>(kSize, kSize, PixelFormat::pf8bit);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const int foldX = x - (kRight - kFold);  // > 0 right of the fold's start
            const int foldY = y - kTop;
            bool inside = x >= kLeft && x <= kRight && y >= kTop && y <= kBottom && !(foldX > foldY);
            Color c = paper;
            if (!inside) {
                mask->scanLine(y)[x] = 255;
                continue;
            }
            const bool foldEdge = (foldX == 0 && foldY <= kFold) || (foldY == kFold && foldX >= 0);
            if (x == kLeft || x == kRight || y == kTop || y == kBottom || foldX == foldY || foldEdge)
                c = edge;
            else if (foldX > 0 && foldY < kFold)
                c = fold;
            else if (y >= 12 && y <= 24 && y % 3 == 0 && x >= kLeft + 4 && x <= kRight - 4)
                c = text;
            uint8_t* p = icon.scanLine(y) + 3 * x;
            p[0] = blueOf(c), p[1] = greenOf(c), p[2] = redOf(c);
        }
    }
    icon.setMask(std::move(mask));
}

void ThumbnailBuilder::DrawShellIcon(const std::string& path) {
    TBitmap icon;
    bool got = false;
    try {
        got = iconSource && iconSource->fileIcon(path, icon) && !icon.empty();
    } catch (const std::exception&) {
        got = false;
    }
    if (!got) DrawBuiltinFileIcon(icon);
    thumb_ = whiteBitmap(icon.width(), icon.height());
    stretchDraw(icon, Rect{0, 0, icon.width(), icon.height()}, thumb_, Rect{0, 0, icon.width(), icon.height()});
}

void ThumbnailBuilder::StoreThumbnail(size_t index) {
    // A thumbnail that cannot be cached is built again when next asked for.
    try {
        list_.seek(index).ThumbPos = int32_t(cache_.append(thumb_));
    } catch (const Exception&) {
        list_.seek(index).ThumbPos = -1;
    }
}

void ThumbnailBuilder::BuildThumbnails(size_t first, size_t count, const ThumbParams& params) {
    if (list_.empty()) return;
    struct Busy {
        bool& flag;
        explicit Busy(bool& f) : flag(f) { flag = true; }
        ~Busy() { flag = false; }
    } busy(busy_);
    for (size_t i = first; i - first < count && i < list_.size(); ++i) {
        if (list_.seek(i).ThumbPos != -1) continue;
        const std::string path = list_.path(i);
        if (mediaExts && IsMediaFile(*mediaExts, path)) {
            DrawShellIcon(path);
        } else {
            std::string failure;
            try {
                MakeThumbnail(path, params, thumb_, formats);
            } catch (const std::exception& e) {
                failure = e.what()[0] ? e.what() : "unknown failure";
            } catch (...) {
                failure = "unknown failure";
            }
            if (!failure.empty()) {
                if (onDecodeFailure) onDecodeFailure(i, failure);
                DrawShellIcon(path);
            }
        }
        StoreThumbnail(i);
    }
}

const TBitmap* ThumbnailBuilder::thumbnail(size_t index, const ThumbParams& params) {
    if (index >= list_.size()) return nullptr;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (list_.seek(index).ThumbPos == -1) {
            BuildThumbnails(index, 1, params);
            // Not cached: ThumbBitmap still holds what was just built.
            if (list_.seek(index).ThumbPos == -1) return &thumb_;
        }
        if (cache_.read(list_.seek(index).ThumbPos, thumb_)) return &thumb_;
        // The cached bytes were damaged from outside: build the entry once more.
        list_.seek(index).ThumbPos = -1;
    }
    return nullptr;
}

const TBitmap* ThumbnailBuilder::cachedThumbnail(size_t index) {
    if (index >= list_.size() || list_.seek(index).ThumbPos == -1) return nullptr;
    if (cache_.read(list_.seek(index).ThumbPos, thumb_)) return &thumb_;
    list_.seek(index).ThumbPos = -1;
    return nullptr;
}

bool ThumbnailBuilder::storeBuilt(size_t index, TBitmap&& built, const std::string& failure) {
    if (index >= list_.size()) return false;
    if (failure.empty()) {
        thumb_ = std::move(built);
    } else {
        if (onDecodeFailure) onDecodeFailure(index, failure);
        DrawShellIcon(list_.path(index));
    }
    StoreThumbnail(index);
    return list_.seek(index).ThumbPos != -1;
}

}  // namespace korvel
