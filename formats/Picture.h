#pragma once
// TPicture: owns at most one graphic and loads files by their extension through the registry.
#include <functional>
#include <memory>
#include <string>

#include "imaging/Graphic.h"

namespace korvel {

class TFileFormatsList;

class TPicture {
public:
    TPicture() = default;
    // Uses formats instead of the process-wide registry (tests).
    explicit TPicture(const TFileFormatsList& formats) : formats_(&formats) {}

    // Creates a graphic of the class registered for the file's extension and loads the file
    // within limits. The old graphic is released only after the new one loaded. Throws
    // EInvalidGraphic "拡張子 .%s の画像形式は処理できません" for an unknown extension; decoder
    // errors pass unchanged. A photo is then shown upright and colour managed as limits.photo
    // allows (see ShowAsPhoto).
    void loadFromFile(const std::string& path, const DecodeLimits& limits = {});

    TGraphic* graphic() const { return graphic_.get(); }
    void setGraphic(std::unique_ptr<TGraphic> graphic);
    std::unique_ptr<TGraphic> releaseGraphic() { return std::move(graphic_); }
    int width() const { return graphic_ ? graphic_->width() : 0; }
    int height() const { return graphic_ ? graphic_->height() : 0; }

    std::function<void()> onChange;
    ProgressListener onProgress;

private:
    const TFileFormatsList* formats_ = nullptr;
    std::unique_ptr<TGraphic> graphic_;
};

// Makes the picture hold a TBitmap: a JPEG hands over its decoded raster, any other graphic
// is drawn at (0,0) onto a new 24-bit bitmap of its size, refused over maxPixels.
void LoadPictureAsBitmap(TPicture& picture, uint64_t maxPixels = kDefaultPixelLimit);

}  // namespace korvel
