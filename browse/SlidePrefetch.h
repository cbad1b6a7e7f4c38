#pragma once
// The slideshow's decode-ahead, free of any window: which slide is decoded next, the one slide
// kept decoded ahead, and what a result that comes back means. The window asks for a slide when
// its turn comes (a tick or a navigation), does what the answer says, and hands every decoded
// result back here; it only shows what this class gives it.
//
// One slide is decoded ahead: the one after the slide on screen, for the box it is shown in. At
// its turn it is shown at once when it still matches its file and the box; a decode still in
// hand for it is waited for; anything else is decoded again.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "browse/SlideShow.h"

namespace korvel {

struct SlideBox {
    int width = 0, height = 0;
    bool operator==(const SlideBox&) const = default;
};

// One decode to run.
struct SlideOrder {
    uint64_t id = 0;
    std::string path;
    SlideBox box;     // the paint box the slide is reduced to fit
    bool fit = true;  // off: the slide stays at its decoded size
};

// What a decode gave; the window's result type adds the pixels.
struct DecodedSlide {
    virtual ~DecodedSlide() = default;
    SlideOrder order;
    bool ok = false;
    SlideStamp stamp;  // the file as it was when its decode began
};

class SlidePrefetch {
public:
    enum class Pending { None, Tick, Navigation };
    using IsCurrent = std::function<bool(const SlideStamp&, const std::string&)>;
    explicit SlidePrefetch(IsCurrent isCurrent = slideIsCurrent) : isCurrent_(std::move(isCurrent)) {}

    // What the window does next: show a slide, start a decode, or neither (wait for one in hand).
    struct Step {
        std::shared_ptr<DecodedSlide> show;
        std::optional<SlideOrder> decode;
    };

    // The slide at path is due, for box. Until it is shown the load counts as pending.
    Step due(Pending kind, const std::string& path, SlideBox box, bool fit);
    // A decode came back; box is the paint box now. A result for no pending or ahead request is
    // dropped; one decoded ahead for a file that changed since, or for another box, is decoded
    // again.
    Step arrived(std::shared_ptr<DecodedSlide> result, SlideBox box);
    // The slide given by show was put on screen: returns the kind of load that ended.
    Pending shown();
    // Decodes path (the slide after the one on screen) ahead, dropping what was kept.
    SlideOrder ahead(const std::string& path, SlideBox box, bool fit);
    // The box changed: the decode ahead is for the old size and should be asked again.
    bool aheadOutdated(SlideBox box) const { return aheadId_ && aheadBox_ != box; }

    Pending pending() const { return pending_; }
    // The slide kept decoded ahead; null when none is.
    const DecodedSlide* kept() const { return kept_.get(); }

private:
    SlideOrder order(const std::string& path, SlideBox box, bool fit) { return {++lastId_, path, box, fit}; }

    IsCurrent isCurrent_;
    Pending pending_ = Pending::None;
    uint64_t lastId_ = 0;
    uint64_t wantedId_ = 0;     // the decode the pending load waits for
    bool wantedAhead_ = false;  // it was begun ahead, before the slide's turn
    uint64_t aheadId_ = 0;      // the decode of the next slide ahead, in hand or kept
    std::string aheadPath_;
    SlideBox aheadBox_;
    bool aheadFit_ = true;
    std::shared_ptr<DecodedSlide> kept_;  // the next slide, once decoded ahead
};

}  // namespace korvel
