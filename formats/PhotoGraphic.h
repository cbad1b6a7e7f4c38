#pragma once
// TPhotoGraphic: a decoded graphic shown as its photo metadata asks, upright and in sRGB. TPicture
// wraps a freshly loaded graphic in one whenever there is something to do, so every caller that
// loads through TPicture sees the same upright size and pixels.
#include <memory>

#include "imaging/Bitmap.h"
#include "imaging/ColorManage.h"
#include "imaging/Graphic.h"

namespace korvel {

class TPhotoGraphic : public TGraphic {
public:
    static const GraphicClass classInfo;

    // orientation 1 to 8; colors null to keep the stored colours.
    TPhotoGraphic(std::unique_ptr<TGraphic> stored, int orientation, std::shared_ptr<const ColorTransform> colors);
    ~TPhotoGraphic() override;
    const GraphicClass& graphicClass() const override { return classInfo; }

    // The upright size; a reduced decode of the stored graphic is turned after it (cheap).
    int width() const override;
    int height() const override;
    const TBitmap* raster() const override;
    // As the stored graphic's, or true when that has no raster and is drawn on white.
    bool rasterIsWholeImage() const override;
    void requestDecodeScale(int denominator) override;
    void requestDecodeSize(int requiredWidth, int requiredHeight) override;
    // Reloads the stored graphic and keeps the orientation and colours given at construction.
    void loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits& limits = {}) override;

    const TGraphic& stored() const { return *stored_; }
    int orientation() const { return orientation_; }

private:
    class Rows;
    std::unique_ptr<TGraphic> stored_;
    int orientation_;
    std::shared_ptr<const ColorTransform> colors_;
    mutable std::unique_ptr<TBitmap> shown_;
    std::shared_ptr<Rows> rows_;  // null when the stored format works on whole rasters only
};

// What TPicture does after every decode: the graphic itself when its metadata asks for nothing
// (or the switches turn that off), else the graphic wrapped in a TPhotoGraphic.
std::unique_ptr<TGraphic> ShowAsPhoto(std::unique_ptr<TGraphic> decoded, const PhotoSwitches& switches);

}  // namespace korvel
