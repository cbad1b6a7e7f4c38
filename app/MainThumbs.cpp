// Thumbnails of the grid's cells: the cache file, building on demand, and the file-type icons
// of the desktop's icon theme.
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMimeDatabase>
#include <QScreen>

#include "app/KorvelMain.h"
#include "base/UserFolders.h"
#include "browse/SharedThumbs.h"
#include "browse/ThumbCache.h"
#include "browse/Thumbnails.h"
#include "base/Errors.h"
#include "platform/QtImage.h"

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
}

korvel::ThumbParams TKorvelMain::thumbParams() const {
    korvel::ThumbParams p;
    p.thumbSize = ThumbSize;
    p.infoHeight = InfoHeight;
    p.speedFlg = SpeedFlg;
    p.sharedThumbs = SharedCache ? sharedThumbs_.get() : nullptr;
    p.photo.toDisplay = true;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        p.screenWidth = screen->size().width();
        p.screenHeight = screen->size().height();
    }
    return p;
}

void TKorvelMain::resetThumbnailCache() { ThumbCache->truncate(); }

void TKorvelMain::BuildThumbnails(size_t first, size_t count) {
    if (FileList.empty()) return;
    ThumbBusy = true;
    thumbs_->BuildThumbnails(first, count, thumbParams());
    ThumbBusy = false;
}

QImage TKorvelMain::thumbnailImage(size_t index) {
    if (ThumbBusy) return {};
    ThumbBusy = true;
    const korvel::TBitmap* t = thumbs_->thumbnail(index, thumbParams());
    ThumbBusy = false;
    return t ? toQImage(*t) : QImage();
}

