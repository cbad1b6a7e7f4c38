#pragma once
// TPicture: owns at most one graphic and loads files by their extension through the registry.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "formats/PictureFailure.h"
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
    // errors pass unchanged. When the extension's decoder refuses the file as invalid data and
    // the file's first bytes are another format's signature, that format's decoders are tried
    // (built-in, then plug-ins); content() then names it. A photo is then shown upright and colour managed as limits.photo
    // allows (see ShowAsPhoto).
    void loadFromFile(const std::string& path, const DecodeLimits& limits = {});

    TGraphic* graphic() const { return graphic_.get(); }
    void setGraphic(std::unique_ptr<TGraphic> graphic);
    std::unique_ptr<TGraphic> releaseGraphic() { return std::move(graphic_); }
    int width() const { return graphic_ ? graphic_->width() : 0; }
    int height() const { return graphic_ ? graphic_->height() : 0; }

    // What the last load found the file to hold when its extension said otherwise.
    const ContentNote& content() const { return content_; }
    // Why the last load failed: the decoder last tried and its reason; empty after a success.
    const std::optional<DecodeFailure>& failure() const { return failure_; }

    std::function<void()> onChange;
    ProgressListener onProgress;

private:
    const TFileFormatsList* formats_ = nullptr;
    std::unique_ptr<TGraphic> graphic_;
    ContentNote content_;
    std::optional<DecodeFailure> failure_;

    std::unique_ptr<TGraphic> loadAs(const GraphicClass& cls, const std::string& path, const DecodeLimits& limits);
    // Tries the decoders of the file's content after refused (the extension's class, null for
    // none) failed; null when none reads it.
    std::unique_ptr<TGraphic> loadByContent(const std::string& path, const std::string& ext,
                                            const GraphicClass* refused, const DecodeLimits& limits);
};

// Makes the picture hold a TBitmap: a JPEG hands over its decoded raster, any other graphic
// is drawn at (0,0) onto a new 24-bit bitmap of its size, refused over maxPixels.
void LoadPictureAsBitmap(TPicture& picture, uint64_t maxPixels = kDefaultPixelLimit);

}  // namespace korvel
