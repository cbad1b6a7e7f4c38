#pragma once
// Animations frame by frame: a source composes each frame onto its canvas from the one before,
// so a long animation holds a canvas or two, never all of its frames. FramePlayer adds the
// timing: delays as browsers clamp them and the number of plays.
#include <cstdint>
#include <memory>
#include <vector>

namespace korvel {

// One composed frame: the whole canvas as straight (not premultiplied) RGBA rows, top-down.
struct AnimFrame {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    int delayMs = 0;  // as the file states it
    const uint8_t* pixel(int x, int y) const { return rgba.data() + (size_t(y) * size_t(width) + size_t(x)) * 4; }
};

class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    // Times the whole animation plays; 0 plays it forever. Known once the first frame is read.
    virtual int plays() const = 0;
    // Composes the next frame into out; false after the last one. Throws on damaged data
    // before the first frame only: damage later ends the animation there.
    virtual bool next(AnimFrame& out) = 0;
    // Starts again at the first frame.
    virtual void rewind() = 0;
    // Full-canvas rasters the source keeps between frames (the canvas, a saved copy).
    virtual int rastersHeld() const = 0;
};

// Delays of 10 ms or less are shown as 100 ms, as browsers do: such files were made for them.
int clampFrameDelay(int ms);

// Plays a source: the current frame, its clamped delay, and the step to the next frame that
// starts again at the first frame while plays remain.
class FramePlayer {
public:
    // Reads the first frame; throws what the source throws. frameCount() is 1 for a source
    // holding a single frame, which is then no animation.
    explicit FramePlayer(std::unique_ptr<FrameSource> source);

    const AnimFrame& current() const { return frame_; }
    int delayMs() const { return clampFrameDelay(frame_.delayMs); }
    // Index of the current frame within one play.
    int index() const { return index_; }
    // Frames in one play, once the first play has ended; 0 before.
    int frameCount() const { return frameCount_; }
    int playsDone() const { return playsDone_; }
    // True once the last play ended: the last frame stays.
    bool finished() const { return finished_; }
    // Moves to the next frame (the step command ignores finished()). False when nothing changed.
    bool advance(bool ignoreFinished = false);
    const FrameSource& source() const { return *source_; }

private:
    std::unique_ptr<FrameSource> source_;
    AnimFrame frame_, spare_;
    int index_ = 0, frameCount_ = 0, playsDone_ = 0;
    bool finished_ = false;
};

}  // namespace korvel
