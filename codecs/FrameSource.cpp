#include "codecs/FrameSource.h"

#include <utility>

#include "base/Errors.h"

namespace korvel {

int clampFrameDelay(int ms) { return ms <= 10 ? 100 : ms; }

FramePlayer::FramePlayer(std::unique_ptr<FrameSource> source) : source_(std::move(source)) {
    if (!source_->next(frame_)) throw EInvalidGraphic("the animation holds no frame");
    // Learn at once whether there is a second frame; a single one is a still picture.
    if (!source_->next(spare_)) {
        frameCount_ = 1;
        finished_ = true;
    }
}

bool FramePlayer::advance(bool ignoreFinished) {
    if (frameCount_ == 1 || (finished_ && !ignoreFinished)) return false;
    if (spare_.width > 0) {
        // The frame read ahead in the constructor.
        std::swap(frame_, spare_);
        spare_ = {};
        ++index_;
        return true;
    }
    if (source_->next(frame_)) {
        ++index_;
        return true;
    }
    // The end of one play.
    if (frameCount_ == 0) frameCount_ = index_ + 1;
    ++playsDone_;
    const int plays = source_->plays();
    if (plays > 0 && playsDone_ >= plays && !ignoreFinished) {
        finished_ = true;
        return false;
    }
    source_->rewind();
    if (!source_->next(frame_)) return false;
    index_ = 0;
    return true;
}

}  // namespace korvel
