// Thumbnails of the grid's cells: the cache file, building on demand, and the file-type icons
// of the desktop's icon theme.
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMimeDatabase>
#include <QScreen>
#include <QScrollBar>

#include "app/ThumbnailGridPanel.h"
#include "base/UserFolders.h"
#include "browse/EmbeddedThumbs.h"
#include "browse/FileList.h"
#include "browse/SharedThumbs.h"
#include "browse/ThumbCache.h"
#include "browse/ThumbPool.h"
#include "browse/Thumbnails.h"
#include "browse/ui/OrgStGrid.h"
#include "base/Errors.h"
#include "platform/QtImage.h"
#include "platform/ThemeIcons.h"
#include "platform/Translations.h"
#include "platform/UiHandOff.h"
#include "platform/WorkerFailure.h"

namespace {

// The icon theme's icon for a file's type, 32 pixels on the grid at the thumbnails' ratio;
// the core draws its own icon when there is none.
class ThemeIconSource : public korvel::FileIconSource {
public:
    explicit ThemeIconSource(const qreal& ratio) : ratio_(ratio) {}

    bool fileIcon(const std::string& path, korvel::TBitmap& icon) override {
        const QMimeType mime = QMimeDatabase().mimeTypeForFile(QString::fromStdString(path));
        QIcon themed = QIcon::fromTheme(mime.iconName(),
                                        QIcon::fromTheme(mime.genericIconName(), toolIcon(ToolIcon::GenericFile)));
        if (themed.isNull()) return false;
        const QImage image = themed.pixmap(QSize(32, 32), ratio_).toImage().convertToFormat(QImage::Format_ARGB32);
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

private:
    const qreal& ratio_;
};

}  // namespace

void ThumbnailGridPanel::startThumbnails() {
    cache_ = std::make_unique<korvel::ThumbCache>();
    try {
        const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + QStringLiteral(".tp0");
        cache_->create(korvel::privateTempFolder(), name.toStdString());
    } catch (const korvel::Exception&) {
        // Without a cache file every thumbnail is drawn uncached, built again when needed.
    }
    ratio_ = grid_->devicePixelRatioF();
    iconSource_ = std::make_unique<ThemeIconSource>(ratio_);
    builder_ = std::make_unique<korvel::ThumbnailBuilder>(files_, *cache_);
    builder_->mediaExts = &mediaExts_;
    builder_->iconSource = iconSource_.get();
    // Failures reach the builder on this thread, from the workers too.
    builder_->onDecodeFailure = [this](size_t index, const std::string& why) {
        refused_[files_.path(index)] = QString::fromStdString(why);
    };
    if (const std::string root = korvel::sharedThumbnailFolder(); !root.empty())
        sharedThumbs_ = std::make_unique<korvel::SharedThumbs>(root);
    try {
        pool_ = std::make_unique<korvel::ThumbnailPool>();
        // Workers only hand over a call; everything they made is taken on this thread.
        pool_->onReady = [this] { handToUi(this, [this] { takeThumbnails(); }); };
    } catch (const korvel::Exception& e) {
        // Without workers each thumbnail is built here when its cell is drawn.
        pool_.reset();
        reportWorkerFailure(window(), e);
    }
    if (pool_) {
        try {
            lane_ = std::make_unique<korvel::EmbeddedThumbLane>();
            lane_->onReady = [this] { handToUi(this, [this] { takeStandIns(); }); };
        } catch (const korvel::Exception&) {
            lane_.reset();  // the cells wait for the workers' thumbnails, as without stand-ins
        }
    }
    connect(grid_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { updateThumbView(); });
}

void ThumbnailGridPanel::stopThumbnails() {
    if (lane_) lane_->stop();
    if (pool_) pool_->stop();
}

korvel::ThumbParams ThumbnailGridPanel::thumbParams() const {
    const Look lk = look();
    korvel::ThumbParams p;
    // Built in device pixels: the cell's logical size times the ratio.
    p.thumbSize = qRound(lk.thumbSize * ratio_);
    p.infoHeight = qRound(lk.infoHeight * ratio_);
    p.speedFlg = lk.speedFlg;
    p.sharedThumbs = lk.sharedCache ? sharedThumbs_.get() : nullptr;
    p.photo = lk.photo;
    p.translate = coreTranslator();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        p.screenWidth = qRound(screen->size().width() * screen->devicePixelRatio());
        p.screenHeight = qRound(screen->size().height() * screen->devicePixelRatio());
    }
    return p;
}

void ThumbnailGridPanel::resetThumbnails() {
    cache_->truncate();
    refused_.clear();
    // A listing's thumbnails share one ratio: the screen's when it began.
    ratio_ = grid_->devicePixelRatioF();
    listingReplaced_ = true;
}

QImage ThumbnailGridPanel::thumbnail(size_t index) {
    if (thumbnailBusy_ || index >= files_.size()) return {};
    if (const korvel::TBitmap* t = builder_->cachedThumbnail(index)) return atRatio(toQImage(*t));
    if (auto it = uncached_.find(index); it != uncached_.end()) return it->second;
    // A file-type icon costs no decoding: made here at once.
    if (!pool_ || korvel::IsMediaFile(mediaExts_, files_.path(index))) return thumbnailNow(index);
    pool_->want(index, files_.path(index), uncachedEvicted_);
    if (auto it = standIns_.find(index); it != standIns_.end()) return it->second;
    return {};
}

bool ThumbnailGridPanel::pictureInHand(size_t index) const {
    return index < files_.size() && (files_.seek(index).ThumbPos != -1 || uncached_.count(index) != 0 ||
                                     standIns_.count(index) != 0);
}

QImage ThumbnailGridPanel::thumbnailNow(size_t index) {
    if (thumbnailBusy_) return {};
    if (auto it = uncached_.find(index); it != uncached_.end()) return it->second;
    thumbnailBusy_ = true;
    const korvel::TBitmap* t = builder_->thumbnail(index, thumbParams());
    thumbnailBusy_ = false;
    return t ? atRatio(toQImage(*t)) : QImage();
}

QImage ThumbnailGridPanel::atRatio(QImage image) const {
    image.setDevicePixelRatio(ratio_);
    return image;
}

void ThumbnailGridPanel::syncThumbnails() {
    if (!pool_) return;
    std::vector<std::string> paths;
    std::vector<bool> needed;
    paths.reserve(files_.size());
    needed.reserve(files_.size());
    for (size_t i = 0; i < files_.size(); ++i) {
        paths.push_back(files_.path(i));
        needed.push_back(files_.seek(i).ThumbPos == -1 && !korvel::IsMediaFile(mediaExts_, files_.path(i)));
    }
    const korvel::ThumbParams params = thumbParams();
    const korvel::ThumbParams& was = poolParams_;
    // Files in hand stay useful across a layout or sort, unless they are of another folder or size.
    const bool same = !listingReplaced_ && params.thumbSize == was.thumbSize && params.infoHeight == was.infoHeight &&
                      params.speedFlg == was.speedFlg && params.screenWidth == was.screenWidth &&
                      params.screenHeight == was.screenHeight;
    // Thumbnails held in memory are by index, which a sort changes: they are built again.
    uncached_.clear();
    standIns_.clear();
    uncachedEvicted_ = false;
    listingReplaced_ = false;
    poolParams_ = params;
    if (lane_) lane_->setListing(paths, needed, params);
    pool_->setListing(std::move(paths), needed, params, same);
    updateThumbView();
}

void ThumbnailGridPanel::updateThumbView() {
    if (!pool_) return;
    const size_t cols = size_t(grid_->colCount());
    const int top = grid_->topRow();
    const size_t first = size_t(top) * cols;
    // The partly visible row below counts as on screen.
    const size_t last = first + size_t(grid_->visibleRowCount() + 1) * cols - 1;
    // The lane first: its stand-ins are what the screen shows until the workers catch up.
    if (lane_) lane_->setView(first, last);
    pool_->setView(first, last, top < viewTop_ ? -1 : 1);
    viewTop_ = top;
}

void ThumbnailGridPanel::holdThumbnails(bool hold) {
    held_ = hold;
    if (!hold) takeThumbnails();
}

void ThumbnailGridPanel::takeThumbnails() {
    if (!pool_ || held_) return;
    for (korvel::PoolThumbnail& r : pool_->take()) {
        if (r.index >= files_.size()) continue;
        // Only the built thumbnail is kept from here on; the stand-in goes.
        standIns_.erase(r.index);
        if (lane_) lane_->done(r.index);
        // A sort or rename moved the file: the cell asks again when it is drawn.
        if (files_.path(r.index) == r.path && files_.seek(r.index).ThumbPos == -1 &&
            !builder_->storeBuilt(r.index, std::move(r.thumb), r.failure)) {
            if (uncached_.size() >= 1024) {
                uncached_.clear();
                uncachedEvicted_ = true;
            }
            uncached_[r.index] = atRatio(toQImage(builder_->ThumbBitmap()));
        }
        repaintCell(r.index);
    }
    emit thumbnailsArrived();
}

void ThumbnailGridPanel::takeStandIns() {
    if (!lane_) return;
    for (korvel::EmbeddedThumb& r : lane_->take()) {
        // Too late (the thumbnail is here) or moved by a sort: the cell waits for its thumbnail.
        if (r.index >= files_.size() || files_.path(r.index) != r.path || pictureInHand(r.index)) continue;
        standIns_[r.index] = atRatio(toQImage(r.thumb));
        repaintCell(r.index);
    }
}

korvel::RewriteFollowUp ThumbnailGridPanel::rewritten(const std::vector<std::string>& files,
                                                      const std::string& previewed) {
    korvel::RewriteFollowUp up = korvel::forgetRewritten(files_, files, previewed, sharedThumbs_.get());
    for (size_t i : up.cells) {
        uncached_.erase(i);
        standIns_.erase(i);
        refused_.erase(files_.path(i));
        if (pool_ && !korvel::IsMediaFile(mediaExts_, files_.path(i))) pool_->want(i, files_.path(i), true);
        repaintCell(i);
    }
    return up;
}

void ThumbnailGridPanel::repaintCell(size_t index) {
    const size_t cols = size_t(grid_->colCount());
    if (cols == 0) return;
    const korvel::GridCell cell{int(index % cols), int(index / cols)};
    if (cell.row >= grid_->topRow() && cell.row <= grid_->topRow() + grid_->visibleRowCount())
        grid_->viewport()->update(grid_->cellRect(cell));
}
