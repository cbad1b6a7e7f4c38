#include "browse/PreviewModel.h"

#include <algorithm>
#include <exception>

#include "base/Errors.h"
#include "imaging/StretchUtils.h"

namespace korvel {

uint64_t PreviewModel::begin(const std::string& path) {
    path_ = path;
    request_ = ++counter_;
    loading_ = true;
    return request_;
}

PreviewModel::Load PreviewModel::load(const std::string& path, uint64_t request) {
    if (request_ != request) return Load::Stopped;
    try {
        DecodeLimits limits;
        limits.photo = photo;
        picture_.loadFromFile(path, limits);
        LoadPictureAsBitmap(picture_);
        return Load::Loaded;
    } catch (const std::exception&) {
        request_ = 0;
        picture_.setGraphic(nullptr);
        return Load::Failed;
    }
}

const TBitmap* PreviewModel::bitmap() const {
    const TGraphic* g = picture_.graphic();
    if (!g || g->empty()) return nullptr;
    return g->raster();
}

const TBitmap* PreviewModel::shown(int pw, int ph, bool fullSize, bool enlarge, bool refit) {
    const TBitmap* image = bitmap();
    if (!image) {
        fitted_.clear();
        return nullptr;
    }
    const int iw = image->width(), ih = image->height();
    if (refit && pw > 0 && ph > 0) {
        int fw, fh;
        if (double(pw) / iw >= double(ph) / ih) fw = int(int64_t(ph) * iw / ih), fh = ph;
        else fw = pw, fh = int(int64_t(pw) * ih / iw);
        fitted_ = *image;
        try {
            StretchBitmap(fitted_, std::max(1, fw), std::max(1, fh));
        } catch (const Exception&) {
            fitted_.clear();
        }
    }
    const bool useFit = !fullSize && (enlarge || iw > pw || ih > ph) && !fitted_.empty();
    return useFit ? &fitted_ : image;
}

}  // namespace korvel
