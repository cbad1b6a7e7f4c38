#include "formats/PhotoGraphic.h"

#include <algorithm>

#include "imaging/Orientation.h"
#include "imaging/RowPipeline.h"

namespace korvel {

// Converts and turns the stored rows while the decoder writes later ones, so that a big photo
// costs little more than its decode.
class TPhotoGraphic::Rows : public RowStage {
public:
    Rows(int orientation, std::shared_ptr<const ColorTransform> colors)
        : orientation_(orientation), colors_(std::move(colors)) {}

    void begin(TBitmap& raster) override {
        upright_.reset();
        const int bpp = raster.bitsPerPixel();
        active_ = bpp == 8 || bpp == 24 || bpp == 32;
        if (!active_ || orientation_ == 1) return;
        const bool swap = orientationSwapsSides(orientation_);
        const int w = swap ? raster.height() : raster.width(), h = swap ? raster.width() : raster.height();
        upright_ = std::make_unique<TBitmap>(w, h, raster.pixelFormat(), uint64_t(w) * uint64_t(h));
    }

    void rows(TBitmap& raster, int from, int to) noexcept override {
        if (!active_) return;
        if (colors_) colors_->applyRows(raster, from, to);
        if (upright_) OrientRowsInto(raster, *upright_, orientation_, from, to);
    }

    void end(TBitmap& raster) override {
        if (!active_) return;
        if (colors_ && isPaletteFormat(raster.pixelFormat())) colors_->apply(raster);  // a grey picture: its palette
        if (upright_) OrientExtrasInto(raster, *upright_, orientation_);
    }

    // Whether the last decode went through the stage.
    bool active() const { return active_; }
    std::unique_ptr<TBitmap> takeUpright() { return std::move(upright_); }

private:
    const int orientation_;
    const std::shared_ptr<const ColorTransform> colors_;
    bool active_ = false;
    std::unique_ptr<TBitmap> upright_;
};

const GraphicClass TPhotoGraphic::classInfo{"TPhotoGraphic", &TGraphic::classInfo, nullptr};

TPhotoGraphic::TPhotoGraphic(std::unique_ptr<TGraphic> stored, int orientation,
                             std::shared_ptr<const ColorTransform> colors)
    : stored_(std::move(stored)), orientation_(orientation), colors_(std::move(colors)) {
    setPhotoMeta(stored_->photoMeta());
    rows_ = std::make_shared<Rows>(orientation_, colors_);
    if (!stored_->setRowStage(rows_)) rows_.reset();
}

TPhotoGraphic::~TPhotoGraphic() = default;

int TPhotoGraphic::width() const {
    return orientationSwapsSides(orientation_) ? stored_->height() : stored_->width();
}

int TPhotoGraphic::height() const {
    return orientationSwapsSides(orientation_) ? stored_->width() : stored_->height();
}

bool TPhotoGraphic::rasterIsWholeImage() const {
    // A stored raster with a mask is still to be composited, by whoever draws this one.
    return stored_->rasterIsWholeImage() || !stored_->raster();
}

const TBitmap* TPhotoGraphic::raster() const {
    if (shown_) return shown_.get();
    if (stored_->empty()) return nullptr;
    const TBitmap* r = stored_->raster();
    if (r && rows_ && rows_->active()) {
        if (orientation_ == 1) return r;  // converted in place
        shown_ = rows_->takeUpright();
        // Taken before and dropped since: the stored raster is converted already, turn it again.
        if (!shown_) shown_ = std::make_unique<TBitmap>(OrientUpright(*r, orientation_));
        return shown_.get();
    }
    if (r) {
        // The raster with its mask or transparent colour is the picture: both are turned, and
        // the conversion keeps them.
        shown_ = std::make_unique<TBitmap>(OrientUpright(*r, orientation_));
    } else {
        // Formats drawn without a raster are drawn on white first, as LoadPictureAsBitmap does.
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
