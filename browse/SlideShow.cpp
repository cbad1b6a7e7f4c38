#include "browse/SlideShow.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

#include "base/Errors.h"
#include "codecs/Jpeg.h"
#include "formats/Picture.h"
#include "imaging/StretchUtils.h"

namespace korvel {

int RoundHalfAway(double x) { return int(x < 0 ? x - 0.5 : x + 0.5); }

void SlidePlaylist::build(const std::vector<std::string>& marked, const std::vector<std::string>& all) {
    files_ = marked.size() > 1 ? marked : all;
    index_ = 0;
}

bool SlidePlaylist::startAt(const std::string& previewed) {
    const auto it = std::find(files_.begin(), files_.end(), previewed);
    index_ = it == files_.end() ? 0 : size_t(it - files_.begin());
    return it != files_.end();
}

void SlidePlaylist::advance() { index_ = index_ + 1 < files_.size() ? index_ + 1 : 0; }

void SlidePlaylist::navigate(Nav nav) {
    const long n = long(files_.size());
    if (n == 0) return;
    long i = long(index_);
    switch (nav) {
        case Nav::First: i = 0; break;
        case Nav::Previous:
            // The index already points past the slide on screen, so one back is two down.
            i -= 2;
            if (i == -2) i = std::max(0L, n - 2);  // the last slide was on screen
            else if (i == -1) i = n - 1;            // the first slide was on screen
            break;
        case Nav::Next: break;
        case Nav::Last: i = n - 1; break;
    }
    index_ = size_t(i);
}

void SlidePlaylist::jump(int delta) {
    const long n = long(files_.size());
    if (n == 0) return;
    long i = long(index_) + delta;
    while (i > n - 1) i -= n;
    while (i < 0) i += n;
    index_ = size_t(i);
}

int WheelSteps::add(int angleDelta) {
    const int towardsUser = -std::clamp(angleDelta, -12000, 12000);  // a hundred notches at most
    if ((towardsUser > 0 && rest_ < 0) || (towardsUser < 0 && rest_ > 0)) rest_ = 0;
    rest_ += towardsUser;
    const int steps = rest_ / 120;  // truncates towards zero: the rest keeps its sign
    rest_ -= steps * 120;
    return steps;
}

SlidePlace placeSlide(int w, int h, int W, int H) {
    SlidePlace p{0, 0, w, h, false};
    if (w <= 0 || h <= 0) return p;
    if (w > W || h > H) {
        const double r = std::min(double(H) / h, double(W) / w);
        p.height = std::max(1, RoundHalfAway(h * r));
        p.width = std::max(1, RoundHalfAway(w * r));
        p.reduced = true;
    }
    p.left = RoundHalfAway((W - p.width) / 2.0);
    p.top = RoundHalfAway((H - p.height) / 2.0);
    return p;
}

SlideStamp stampSlideFile(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return {};
    return {true, (unsigned long long)st.st_dev, (unsigned long long)st.st_ino, (long long)st.st_size,
            (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
}

bool slideIsCurrent(const SlideStamp& decoded, const std::string& path) { return stampSlideFile(path) == decoded; }

TBitmap decodeSlide(const std::string& path, int screenWidth, int screenHeight, const PhotoSwitches& photo) {
    TPicture picture;
    DecodeLimits limits;
    limits.photo = photo;
    picture.loadFromFile(path, limits);
    // A JPEG at the coarsest scale that still covers the screen (upright, for a turned photo).
    picture.graphic()->requestDecodeSize(screenWidth, screenHeight);
    LoadPictureAsBitmap(picture);
    std::unique_ptr<TGraphic> g = picture.releaseGraphic();
    auto* bitmap = dynamic_cast<TBitmap*>(g.get());
    if (!bitmap || bitmap->empty()) throw EInvalidGraphic("empty image");
    return std::move(*bitmap);
}

bool fitSlide(TBitmap& slide, int boxWidth, int boxHeight) {
    const SlidePlace p = placeSlide(slide.width(), slide.height(), boxWidth, boxHeight);
    if (!p.reduced) return false;
    StretchBitmap(slide, p.width, p.height);
    return true;
}

}  // namespace korvel
