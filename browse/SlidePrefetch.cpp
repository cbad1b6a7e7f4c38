#include "browse/SlidePrefetch.h"

#include <utility>

namespace korvel {

SlidePrefetch::Step SlidePrefetch::due(Pending kind, const std::string& path, SlideBox box, bool fit) {
    pending_ = kind;
    wantedAhead_ = false;
    const bool sameOrder = aheadId_ && aheadPath_ == path && aheadBox_ == box && aheadFit_ == fit;
    if (sameOrder && kept_ && isCurrent_(kept_->stamp, path)) {
        // Decoded ahead from the file as it still is: the change is only a paint.
        aheadId_ = 0;
        return {std::move(kept_), std::nullopt};
    }
    if (sameOrder && !kept_) {
        wantedId_ = std::exchange(aheadId_, 0);  // the decode in hand is this slide
        wantedAhead_ = true;
        return {};
    }
    kept_.reset();
    aheadId_ = 0;
    SlideOrder o = order(path, box, fit);
    wantedId_ = o.id;
    return {nullptr, std::move(o)};
}

SlidePrefetch::Step SlidePrefetch::arrived(std::shared_ptr<DecodedSlide> result, SlideBox box) {
    if (!result) return {};
    const SlideOrder& done = result->order;
    if (done.id == wantedId_ && pending_ != Pending::None) {
        // A decode begun before the slide's turn may show a file that has changed since; or the
        // box changed while the slide was decoded for it.
        const bool stale = wantedAhead_ && !isCurrent_(result->stamp, done.path);
        if (stale || (done.box != box && done.fit && result->ok)) {
            wantedAhead_ = false;
            SlideOrder o = order(done.path, box, done.fit);
            wantedId_ = o.id;
            return {nullptr, std::move(o)};
        }
        return {std::move(result), std::nullopt};
    }
    if (done.id == aheadId_ && aheadId_) kept_ = std::move(result);
    return {};
}

SlidePrefetch::Pending SlidePrefetch::shown() {
    wantedId_ = 0;
    wantedAhead_ = false;
    return std::exchange(pending_, Pending::None);
}

SlideOrder SlidePrefetch::ahead(const std::string& path, SlideBox box, bool fit) {
    kept_.reset();
    SlideOrder o = order(path, box, fit);
    aheadId_ = o.id;
    aheadPath_ = path;
    aheadBox_ = box;
    aheadFit_ = fit;
    return o;
}

}  // namespace korvel
