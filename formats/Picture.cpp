#include "formats/Picture.h"

#include <algorithm>

#include "codecs/Jpeg.h"
#include "imaging/Bitmap.h"
#include "base/Errors.h"
#include "base/FileNames.h"
#include "formats/FormatRegistry.h"
#include "formats/PhotoGraphic.h"

namespace korvel {

void TPicture::loadFromFile(const std::string& path, const DecodeLimits& limits) {
    std::string ext = extractFileExt(path);
    if (!ext.empty()) ext.erase(0, 1);
    const TFileFormatsList& formats = formats_ ? *formats_ : fileFormats();
    const GraphicClass* cls = formats.findFormatByExtension(ext);
    if (!cls || !cls->create)
        throw EInvalidGraphic(TrText{"Picture", KORVEL_TR_NOOP("Picture", "拡張子 .%1 の画像形式は処理できません"), {ext}});
    std::unique_ptr<TGraphic> fresh = cls->create();
    if (onProgress) fresh->setProgressListener(onProgress);
    fresh->loadFromFile(path, limits);
    setGraphic(ShowAsPhoto(std::move(fresh), limits.photo));
}

void TPicture::setGraphic(std::unique_ptr<TGraphic> graphic) {
    graphic_ = std::move(graphic);
    if (onChange) onChange();
}

void LoadPictureAsBitmap(TPicture& picture, uint64_t maxPixels) {
    TGraphic* g = picture.graphic();
    if (!g || g->graphicClass().inheritsFrom(TBitmap::classInfo)) return;
    std::unique_ptr<TBitmap> bitmap;
    if (g->rasterIsWholeImage()) {
        bitmap = std::make_unique<TBitmap>(*g->raster());
    } else {
        bitmap = std::make_unique<TBitmap>(g->width(), g->height(), PixelFormat::pf24bit, maxPixels);
        // A new canvas is white, so transparent areas show white as they do elsewhere in Korvel.
        for (int y = 0; y < bitmap->height(); ++y) std::fill_n(bitmap->scanLine(y), bitmap->stride(), 0xFF);
        g->draw(*bitmap, Rect{0, 0, g->width(), g->height()});
    }
    picture.setGraphic(std::move(bitmap));
}

}  // namespace korvel
