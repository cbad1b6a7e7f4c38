#include "formats/PhotoGraphic.h"

#include <algorithm>

#include "imaging/Orientation.h"

namespace korvel {

const GraphicClass TPhotoGraphic::classInfo{"TPhotoGraphic", &TGraphic::classInfo, nullptr};

TPhotoGraphic::TPhotoGraphic(std::unique_ptr<TGraphic> stored, int orientation,
                             std::shared_ptr<const ColorTransform> colors)
    : stored_(std::move(stored)), orientation_(orientation), colors_(std::move(colors)) {
    setPhotoMeta(stored_->photoMeta());
}

int TPhotoGraphic::width() const {
    return orientationSwapsSides(orientation_) ? stored_->height() : stored_->width();
}

int TPhotoGraphic::height() const {
    return orientationSwapsSides(orientation_) ? stored_->width() : stored_->height();
}

const TBitmap* TPhotoGraphic::raster() const {
    if (shown_) return shown_.get();
    if (stored_->empty()) return nullptr;
    const TBitmap* r = stored_->raster();
    if (r && stored_->rasterIsWholeImage()) {
        shown_ = std::make_unique<TBitmap>(OrientUpright(*r, orientation_));
    } else {
        // Composited formats are drawn on white first, as LoadPictureAsBitmap does.
        TBitmap canvas(stored_->width(), stored_->height(), PixelFormat::pf24bit);
        for (int y = 0; y < canvas.height(); ++y) std::fill_n(canvas.scanLine(y), canvas.stride(), 0xFF);
        stored_->draw(canvas, Rect{0, 0, canvas.width(), canvas.height()});
        shown_ = std::make_unique<TBitmap>(OrientUpright(canvas, orientation_));
    }
    if (colors_) colors_->apply(*shown_);
    return shown_.get();
}

void TPhotoGraphic::requestDecodeScale(int denominator) {
    const int w = stored_->width(), h = stored_->height();
    stored_->requestDecodeScale(denominator);
    if (stored_->width() != w || stored_->height() != h) shown_.reset();
}

void TPhotoGraphic::requestDecodeSize(int requiredWidth, int requiredHeight) {
    const int w = stored_->width(), h = stored_->height();
    if (orientationSwapsSides(orientation_)) std::swap(requiredWidth, requiredHeight);
    stored_->requestDecodeSize(requiredWidth, requiredHeight);
    if (stored_->width() != w || stored_->height() != h) shown_.reset();
}

void TPhotoGraphic::loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits& limits) {
    stored_->loadFromMemory(data, size, limits);
    shown_.reset();
}

std::unique_ptr<TGraphic> ShowAsPhoto(std::unique_ptr<TGraphic> decoded, const PhotoSwitches& switches) {
    if (!decoded) return decoded;
    int orientation = switches.exifRotate ? decoded->photoMeta().orientation : 1;
    if (orientation < 2 || orientation > 8) orientation = 1;
    std::shared_ptr<const ColorTransform> colors;
    if (switches.colorManage) colors = TransformForProfile(decoded->photoMeta().iccProfile, switches.toDisplay);
    if (orientation == 1 && !colors) return decoded;
    return std::make_unique<TPhotoGraphic>(std::move(decoded), orientation, std::move(colors));
}

}  // namespace korvel
