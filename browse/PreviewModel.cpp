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

// Makes fitted fw x fh from a reduced decode of picture; false when its graphic has no coarser
// scale that still covers that size. The picture keeps its full scale.
bool reduceToFit(TPicture& picture, int fw, int fh, TBitmap& fitted) {
    TGraphic* g = picture.graphic();
    if (!g || g->graphicClass().inheritsFrom(TBitmap::classInfo) || !g->rasterIsWholeImage()) return false;
    const int iw = g->width();
    g->requestDecodeSize(fw, fh);
    if (g->width() >= iw) {
        g->requestDecodeScale(1);
        return false;
    }
    try {
        fitted = *g->raster();
        StretchBitmap(fitted, fw, fh);
    } catch (...) {
        // Back to the full scale, so the picture keeps telling its true size.
        g->requestDecodeScale(1);
        throw;
    }
    // The reduced raster goes with the scale change; the full one is decoded only when asked for.
    g->requestDecodeScale(1);
    return true;
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
    return accept(request, decode(path, photo, fitWidth, fitHeight));
}

PreviewModel::Decoded PreviewModel::decode(const std::string& path, const PhotoSwitches& photo, int fitWidth,
                                           int fitHeight) {
    Decoded d;
    try {
        DecodeLimits limits;
        limits.photo = photo;
        d.picture.loadFromFile(path, limits);
        TGraphic* g = d.picture.graphic();
        d.result = Load::Loaded;
        d.content = d.picture.content();
        if (fitWidth < 0 && g && !g->graphicClass().inheritsFrom(TBitmap::classInfo) && g->rasterIsWholeImage()) {
            // The pane is not laid out yet: its first fitting decodes as far as it needs.
            const int iw = g->width();
            g->requestDecodeScale(8);
            const bool reducible = g->width() < iw;
            g->requestDecodeScale(1);
            if (reducible) {
                d.reduced = true;
                return d;
            }
        }
        const bool larger = g && (g->width() > fitWidth || g->height() > fitHeight);
        int fw = 0, fh = 0;
        if (larger && fitWidth > 0 && fitHeight > 0) fitSize(g->width(), g->height(), fitWidth, fitHeight, fw, fh);
        if (fw > 0 && reduceToFit(d.picture, fw, fh, d.fitted)) {
            d.reduced = true;
            d.fittedWidth = fw;
            d.fittedHeight = fh;
        } else {
            LoadPictureAsBitmap(d.picture);
        }
    } catch (const std::exception& e) {
        // A failure after the load (the bitmap over its limit) names the graphic's class.
        const TGraphic* g = d.picture.graphic();
        std::optional<DecodeFailure> why = d.picture.failure();
        d = Decoded();
        d.failure = why ? std::move(why) : classifyFailure(e, g ? g->graphicClass().name : "");
    }
    return d;
}

PreviewModel::Load PreviewModel::accept(uint64_t request, Decoded decoded) {
    if (request_ != request) return Load::Stopped;
    reduced_ = decoded.reduced;
    fittedWidth_ = decoded.fittedWidth;
    fittedHeight_ = decoded.fittedHeight;
    fitted_ = std::move(decoded.fitted);
    content_ = std::move(decoded.content);
    failure_ = std::move(decoded.failure);
    picture_.setGraphic(decoded.picture.releaseGraphic());
    if (decoded.result == Load::Failed) request_ = 0;
    return decoded.result;
}

bool PreviewModel::fitReduced(int fw, int fh) {
    if (!reduceToFit(picture_, fw, fh, fitted_)) return false;
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

bool PreviewModel::fitNeedsDecode(int pw, int ph, bool fullSize) const {
    if (!reduced_ || fullSize || pw <= 0 || ph <= 0 || !hasImage()) return false;
    const int iw = picture_.width(), ih = picture_.height();
    // A picture that fits the pane is shown at its own size, which a small decode gives at once.
    if (iw <= pw && ih <= ph) return false;
    int fw, fh;
    fitSize(iw, ih, pw, ph, fw, fh);
    return fw != fittedWidth_ || fh != fittedHeight_ || fitted_.empty();
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
