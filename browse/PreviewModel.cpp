#include "browse/PreviewModel.h"

#include <algorithm>
#include <exception>

#include "base/Errors.h"
#include "imaging/StretchUtils.h"

namespace korvel {

namespace {

// The size of an iw x ih image fitted into a pw x ph pane, aspect kept.
void fitSize(int iw, int ih, int pw, int ph, int& fw, int& fh) {
    if (double(pw) / iw >= double(ph) / ih) fw = int(int64_t(ph) * iw / ih), fh = ph;
    else fw = pw, fh = int(int64_t(pw) * ih / iw);
    fw = std::max(1, fw);
    fh = std::max(1, fh);
}

}  // namespace

uint64_t PreviewModel::begin(const std::string& path) {
    path_ = path;
    request_ = ++counter_;
    loading_ = true;
    return request_;
}

PreviewModel::Load PreviewModel::load(const std::string& path, uint64_t request, int fitWidth, int fitHeight) {
    if (request_ != request) return Load::Stopped;
    try {
        DecodeLimits limits;
        limits.photo = photo;
        reduced_ = false;
        fitted_.clear();
        picture_.loadFromFile(path, limits);
        TGraphic* g = picture_.graphic();
        if (fitWidth < 0 && g && !g->graphicClass().inheritsFrom(TBitmap::classInfo) && g->rasterIsWholeImage()) {
            // The pane is not laid out yet: its first fitting decodes as far as it needs.
            const int iw = g->width();
            g->requestDecodeScale(8);
            const bool reducible = g->width() < iw;
            g->requestDecodeScale(1);
            if (reducible) {
                reduced_ = true;
                fittedWidth_ = fittedHeight_ = 0;
                return Load::Loaded;
            }
        }
        const bool larger = g && (g->width() > fitWidth || g->height() > fitHeight);
        int fw = 0, fh = 0;
        if (larger && fitWidth > 0 && fitHeight > 0) fitSize(g->width(), g->height(), fitWidth, fitHeight, fw, fh);
        if (!(fw > 0 && fitReduced(fw, fh))) LoadPictureAsBitmap(picture_);
        return Load::Loaded;
    } catch (const std::exception&) {
        request_ = 0;
        reduced_ = false;
        fitted_.clear();
        picture_.setGraphic(nullptr);
        return Load::Failed;
    }
}

bool PreviewModel::fitReduced(int fw, int fh) {
    TGraphic* g = picture_.graphic();
    if (!g || g->graphicClass().inheritsFrom(TBitmap::classInfo) || !g->rasterIsWholeImage()) return false;
    const int iw = g->width();
    g->requestDecodeSize(fw, fh);
    if (g->width() >= iw) {
        g->requestDecodeScale(1);
        return false;
    }
    try {
        fitted_ = *g->raster();
        StretchBitmap(fitted_, fw, fh);
    } catch (...) {
        // Back to the full scale, so the picture keeps telling its true size.
        g->requestDecodeScale(1);
        throw;
    }
    // The reduced raster goes with the scale change; the full one is decoded only when asked for.
    g->requestDecodeScale(1);
    reduced_ = true;
    fittedWidth_ = fw;
    fittedHeight_ = fh;
    return true;
}

bool PreviewModel::hasImage() const {
    const TGraphic* g = picture_.graphic();
    return g && !g->empty();
}

const TBitmap* PreviewModel::bitmap() {
    if (!hasImage()) return nullptr;
    if (reduced_) {
        reduced_ = false;
        try {
            LoadPictureAsBitmap(picture_);
        } catch (const std::exception&) {
            picture_.setGraphic(nullptr);
            fitted_.clear();
            return nullptr;
        }
    }
    return picture_.graphic()->raster();
}

TBitmap* PreviewModel::editableBitmap() {
    if (!bitmap()) return nullptr;
    return dynamic_cast<TBitmap*>(picture_.graphic());
}

const TBitmap* PreviewModel::shown(int pw, int ph, bool fullSize, bool enlarge, bool refit) {
    if (reduced_ && hasImage() && !fullSize) {
        // Only the fitted copy exists; it stays enough while the image is larger than the pane.
        const int iw = picture_.width(), ih = picture_.height();
        if (!refit) return fitted_.empty() ? nullptr : &fitted_;
        if (pw > 0 && ph > 0 && (iw > pw || ih > ph)) {
            int fw, fh;
            fitSize(iw, ih, pw, ph, fw, fh);
            if (fw == fittedWidth_ && fh == fittedHeight_) return &fitted_;
            try {
                if (fitReduced(fw, fh)) return &fitted_;
            } catch (const std::exception&) {
            }
        }
    }
    const TBitmap* image = bitmap();
    if (!image) {
        fitted_.clear();
        return nullptr;
    }
    const int iw = image->width(), ih = image->height();
    if (refit && pw > 0 && ph > 0) {
        int fw, fh;
        fitSize(iw, ih, pw, ph, fw, fh);
        fitted_ = *image;
        try {
            StretchBitmap(fitted_, fw, fh);
        } catch (const Exception&) {
            fitted_.clear();
        }
    }
    const bool useFit = !fullSize && (enlarge || iw > pw || ih > ph) && !fitted_.empty();
    return useFit ? &fitted_ : image;
}

}  // namespace korvel
