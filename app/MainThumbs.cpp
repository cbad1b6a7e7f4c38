// Thumbnails of the grid's cells: the cache file, building on demand, and the file-type icons
// of the desktop's icon theme.
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMimeDatabase>
#include <QScreen>
#include <QScrollBar>

#include "app/KorvelMain.h"
#include "base/UserFolders.h"
#include "browse/SharedThumbs.h"
#include "browse/ThumbCache.h"
#include "browse/ThumbPool.h"
#include "browse/Thumbnails.h"
#include "browse/ui/OrgStGrid.h"
#include "base/Errors.h"
#include "platform/QtImage.h"
#include "platform/UiHandOff.h"
#include "platform/WorkerFailure.h"

namespace {

// The icon theme's icon for a file's type; the core draws its own icon when there is none.
class ThemeIconSource : public korvel::FileIconSource {
public:
    bool fileIcon(const std::string& path, korvel::TBitmap& icon) override {
        const QMimeType mime = QMimeDatabase().mimeTypeForFile(QString::fromStdString(path));
        QIcon themed = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
        if (themed.isNull()) return false;
        const QImage image = themed.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull()) return false;
        icon = fromQImage(image);
        auto mask = std::make_unique<korvel::TBitmap>(image.width(), image.height(), korvel::PixelFormat::pf8bit);
        for (int y = 0; y < image.height(); ++y) {
            const auto* px = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) mask->scanLine(y)[x] = uint8_t(255 - qAlpha(px[x]));
        }
        icon.setMask(std::move(mask));
        return true;
    }
};

}  // namespace

void TKorvelMain::createThumbCache() {
    ThumbCache = std::make_unique<korvel::ThumbCache>();
    try {
        const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + QStringLiteral(".tp0");
        ThumbCache->create(korvel::privateTempFolder(), name.toStdString());
    } catch (const korvel::Exception&) {
        // Without a cache file every thumbnail is drawn uncached, built again when needed.
    }
    iconSource_ = std::make_unique<ThemeIconSource>();
    thumbs_ = std::make_unique<korvel::ThumbnailBuilder>(FileList, *ThumbCache);
    thumbs_->mediaExts = &MediaExtList;
    thumbs_->iconSource = iconSource_.get();
    if (const std::string root = korvel::sharedThumbnailFolder(); !root.empty())
        sharedThumbs_ = std::make_unique<korvel::SharedThumbs>(root);
    try {
        thumbPool_ = std::make_unique<korvel::ThumbnailPool>();
        // Workers only hand over a call; everything they made is taken on this thread.
        thumbPool_->onReady = [this] { handToUi(this, [this] { takeThumbnails(); }); };
    } catch (const korvel::Exception& e) {
        // Without workers each thumbnail is built here when its cell is drawn.
        thumbPool_.reset();
        reportWorkerFailure(this, e);
    }
    connect(StringGrid1->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { updateThumbView(); });
}

korvel::ThumbParams TKorvelMain::thumbParams() const {
    korvel::ThumbParams p;
    p.thumbSize = ThumbSize;
    p.infoHeight = InfoHeight;
    p.speedFlg = SpeedFlg;
    p.sharedThumbs = SharedCache ? sharedThumbs_.get() : nullptr;
    p.photo = photoSwitches();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        p.screenWidth = screen->size().width();
        p.screenHeight = screen->size().height();
    }
    return p;
}

void TKorvelMain::resetThumbnailCache() {
    ThumbCache->truncate();
    thumbListingReplaced_ = true;
}

QImage TKorvelMain::thumbnailImage(size_t index) {
    if (ThumbBusy || index >= FileList.size()) return {};
    if (const korvel::TBitmap* t = thumbs_->cachedThumbnail(index)) return toQImage(*t);
    if (auto it = uncachedThumbs_.find(index); it != uncachedThumbs_.end()) return it->second;
    // A file-type icon costs no decoding: made here at once.
    if (!thumbPool_ || korvel::IsMediaFile(MediaExtList, FileList.path(index))) return thumbnailImageNow(index);
    thumbPool_->want(index, FileList.path(index), thumbsEvicted_);
    return {};
}

QImage TKorvelMain::thumbnailImageNow(size_t index) {
    if (ThumbBusy) return {};
    if (auto it = uncachedThumbs_.find(index); it != uncachedThumbs_.end()) return it->second;
    ThumbBusy = true;
    const korvel::TBitmap* t = thumbs_->thumbnail(index, thumbParams());
    ThumbBusy = false;
    return t ? toQImage(*t) : QImage();
}

void TKorvelMain::syncThumbPool() {
    if (!thumbPool_) return;
    std::vector<std::string> paths;
    std::vector<bool> needed;
    paths.reserve(FileList.size());
    needed.reserve(FileList.size());
    for (size_t i = 0; i < FileList.size(); ++i) {
        paths.push_back(FileList.path(i));
        needed.push_back(FileList.seek(i).ThumbPos == -1 && !korvel::IsMediaFile(MediaExtList, FileList.path(i)));
    }
    const korvel::ThumbParams params = thumbParams();
    const korvel::ThumbParams& was = thumbPoolParams_;
    // Files in hand stay useful across a layout or sort, unless they are of another folder or size.
    const bool same = !thumbListingReplaced_ && params.thumbSize == was.thumbSize && params.infoHeight == was.infoHeight &&
                      params.speedFlg == was.speedFlg && params.screenWidth == was.screenWidth &&
                      params.screenHeight == was.screenHeight;
    // Thumbnails held in memory are by index, which a sort changes: they are built again.
    uncachedThumbs_.clear();
    thumbsEvicted_ = false;
    thumbListingReplaced_ = false;
    thumbPoolParams_ = params;
    thumbPool_->setListing(std::move(paths), needed, params, same);
    updateThumbView();
}

void TKorvelMain::updateThumbView() {
    if (!thumbPool_) return;
    const size_t cols = size_t(StringGrid1->colCount());
    const int top = StringGrid1->topRow();
    const size_t first = size_t(top) * cols;
    // The partly visible row below counts as on screen.
    const size_t last = first + size_t(StringGrid1->visibleRowCount() + 1) * cols - 1;
    thumbPool_->setView(first, last, top < thumbViewTop_ ? -1 : 1);
    thumbViewTop_ = top;
}

void TKorvelMain::takeThumbnails() {
    if (!thumbPool_) return;
    const size_t cols = size_t(StringGrid1->colCount());
    for (korvel::PoolThumbnail& r : thumbPool_->take()) {
        if (r.index >= FileList.size()) continue;
        // A sort or rename moved the file: the cell asks again when it is drawn.
        if (FileList.path(r.index) == r.path && FileList.seek(r.index).ThumbPos == -1 &&
            !thumbs_->storeBuilt(r.index, std::move(r.thumb), r.failure)) {
            if (uncachedThumbs_.size() >= 1024) {
                uncachedThumbs_.clear();
                thumbsEvicted_ = true;
            }
            uncachedThumbs_[r.index] = toQImage(thumbs_->ThumbBitmap());
        }
        const korvel::GridCell cell{int(r.index % cols), int(r.index / cols)};
        if (cell.row >= StringGrid1->topRow() && cell.row <= StringGrid1->topRow() + StringGrid1->visibleRowCount())
            StringGrid1->viewport()->update(StringGrid1->cellRect(cell));
    }
    emit thumbnailsArrived();
}
