#pragma once
// The slideshow's play list and paint arithmetic, free of any window: which files play, the
// index of the slide to load next, navigation with its wrap at both ends, the jumps by one grid
// row, where a slide is drawn, and decoding a slide for the screen.
#include <cstddef>
#include <string>
#include <vector>

#include "base/Limits.h"
#include "imaging/Bitmap.h"

namespace korvel {

// Rounds to the nearest integer, halves away from zero.
int RoundHalfAway(double x);

class SlidePlaylist {
public:
    // marked: the files of the marked cells in grid order; all: every listed file. With none or
    // one marked, the whole list plays: selecting a single file plays the folder.
    void build(const std::vector<std::string>& marked, const std::vector<std::string>& all);
    // Starts at previewed when it is in the list (exact comparison), else at the first slide.
    // True when it was found.
    bool startAt(const std::string& previewed);

    size_t count() const { return files_.size(); }
    bool empty() const { return files_.empty(); }
    // The slide to load next; after a load it has already moved on to the following one.
    size_t index() const { return index_; }
    const std::string& current() const { return files_.at(index_); }
    const std::string& at(size_t i) const { return files_.at(i); }

    // After a slide was loaded: on to the next one, from the last back to the first.
    void advance();
    enum class Nav { First, Previous, Next, Last };
    // Sets the index of the slide a navigation command loads. Previous and next wrap at both ends.
    void navigate(Nav nav);
    // Moves the index by delta slides, wrapping around: the Shift jumps by one grid row.
    void jump(int delta);

private:
    std::vector<std::string> files_;
    size_t index_ = 0;
};

// Turns wheel rotation into slide steps: a notch (120 units) towards the user is one slide on,
// one away is one back. Finer wheels and touch pads add up to a notch; turning back starts over.
class WheelSteps {
public:
    // angleDelta as the wheel reports it (positive: away from the user). Returns the slides to
    // move, positive for on.
    int add(int angleDelta);

private:
    int rest_ = 0;  // rotation towards the user not yet used up
};

// Where a w x h slide is drawn in a W x H box: centred at its own size when it fits (never
// enlarged), else reduced with its aspect kept, each side at least 1.
struct SlidePlace {
    int left = 0, top = 0, width = 0, height = 0;
    bool reduced = false;
    bool operator==(const SlidePlace&) const = default;
};
SlidePlace placeSlide(int w, int h, int boxWidth, int boxHeight);

// What a slide was decoded from. A file whose size, time or inode changed (rewritten, or
// replaced by another file) is another picture; one that is gone has exists false.
struct SlideStamp {
    bool exists = false;
    unsigned long long device = 0, inode = 0;
    long long size = 0, mtimeNs = 0;
    bool operator==(const SlideStamp&) const = default;
};
SlideStamp stampSlideFile(const std::string& path);
// True when a slide decoded under stamp `decoded` still shows the file as it is now.
bool slideIsCurrent(const SlideStamp& decoded, const std::string& path);

// Decodes a slide: a JPEG at the coarsest scale that still covers screenWidth x screenHeight,
// any other format at its own size. Throws korvel::Exception or std::bad_alloc.
TBitmap decodeSlide(const std::string& path, int screenWidth, int screenHeight, const PhotoSwitches& photo = {});
// Resamples slide in place to the reduced size placeSlide gives for the box, when it does not
// fit; a slide that fits is left alone. True when it was resampled.
bool fitSlide(TBitmap& slide, int boxWidth, int boxHeight);

}  // namespace korvel
