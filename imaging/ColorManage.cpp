#include "imaging/ColorManage.h"

#include <lcms2.h>

#include <map>
#include <mutex>

#include "imaging/Bitmap.h"

namespace korvel {

namespace {

struct ProfileCloser {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

Profile openProfile(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 132) return Profile();  // header and tag count
    return Profile(cmsOpenProfileFromMem(bytes.data(), cmsUInt32Number(bytes.size())));
}

class LcmsTransform : public ColorTransform {
public:
    LcmsTransform(cmsHTRANSFORM bgr, cmsHTRANSFORM bgra) : bgr_(bgr), bgra_(bgra) {}
    ~LcmsTransform() override {
        cmsDeleteTransform(bgr_);
        cmsDeleteTransform(bgra_);
    }

    void apply(TBitmap& bitmap) const override {
        if (bitmap.empty()) return;
        if (isPaletteFormat(bitmap.pixelFormat())) {
            std::vector<RGBQuad> palette = bitmap.palette();
            cmsDoTransform(bgra_, palette.data(), palette.data(), cmsUInt32Number(palette.size()));
            bitmap.setPalette(std::move(palette));
            return;
        }
        if (bitmap.bitsPerPixel() != 24 && bitmap.bitsPerPixel() != 32) bitmap.convertTo24();
        const cmsHTRANSFORM t = bitmap.bitsPerPixel() == 24 ? bgr_ : bgra_;
        // Rows are padded, so lines go one by one in a single call through the stride form.
        const cmsUInt32Number stride = cmsUInt32Number(bitmap.stride());
        cmsDoTransformLineStride(t, bitmap.bits(), bitmap.bits(), cmsUInt32Number(bitmap.width()),
                                 cmsUInt32Number(bitmap.height()), stride, stride, 0, 0);
    }

private:
    cmsHTRANSFORM bgr_, bgra_;
};

class Cache {
public:
    std::shared_ptr<const ColorTransform> get(const std::vector<uint8_t>& profile, bool toDisplay) {
        std::lock_guard lock(mutex_);
        toDisplay = toDisplay && !display_.empty();
        const std::string key = (toDisplay ? "D" : "S") + std::string(profile.begin(), profile.end());
        if (auto it = transforms_.find(key); it != transforms_.end()) return it->second;
        // A folder of photos holds a handful of profiles; a hostile stream of new ones stays bounded.
        if (transforms_.size() >= 32) transforms_.clear();
        return transforms_[key] = make(profile, toDisplay);
    }

    void setDisplay(const std::vector<uint8_t>& profile) {
        std::lock_guard lock(mutex_);
        display_.clear();
        if (Profile p = openProfile(profile);
            p && cmsGetColorSpace(p.get()) == cmsSigRgbData && cmsGetDeviceClass(p.get()) == cmsSigDisplayClass)
            display_ = profile;
        transforms_.clear();
    }

private:
    std::shared_ptr<const ColorTransform> make(const std::vector<uint8_t>& profile, bool toDisplay) const {
        Profile in = openProfile(profile);
        if (!in || cmsGetColorSpace(in.get()) != cmsSigRgbData) return nullptr;
        const cmsProfileClassSignature cls = cmsGetDeviceClass(in.get());
        if (cls != cmsSigDisplayClass && cls != cmsSigInputClass && cls != cmsSigColorSpaceClass) return nullptr;
        if (toDisplay && display_ == profile) return nullptr;
        Profile out = toDisplay ? openProfile(display_) : Profile(cmsCreate_sRGBProfile());
        if (!out) return nullptr;
        // No one-pixel cache, so one transform serves several threads at once.
        const cmsUInt32Number flags = cmsFLAGS_NOCACHE | cmsFLAGS_COPY_ALPHA;
        cmsHTRANSFORM bgr = cmsCreateTransform(in.get(), TYPE_BGR_8, out.get(), TYPE_BGR_8, INTENT_PERCEPTUAL, flags);
        cmsHTRANSFORM bgra = cmsCreateTransform(in.get(), TYPE_BGRA_8, out.get(), TYPE_BGRA_8, INTENT_PERCEPTUAL, flags);
        if (!bgr || !bgra) {
            if (bgr) cmsDeleteTransform(bgr);
            if (bgra) cmsDeleteTransform(bgra);
            return nullptr;
        }
        return std::make_shared<LcmsTransform>(bgr, bgra);
    }

    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<const ColorTransform>> transforms_;
    std::vector<uint8_t> display_;
};

Cache& cache() {
    static Cache* c = new Cache;  // never destroyed: worker threads may still convert at exit
    return *c;
}

}  // namespace

std::shared_ptr<const ColorTransform> TransformForProfile(const std::vector<uint8_t>& profile, bool toDisplay) {
    if (profile.empty()) return nullptr;
    return cache().get(profile, toDisplay);
}

std::string IccProfileDescription(const std::vector<uint8_t>& profile) {
    Profile p = openProfile(profile);
    if (!p) return {};
    char text[256] = {};
    const cmsUInt32Number n = cmsGetProfileInfoASCII(p.get(), cmsInfoDescription, "en", "US", text, sizeof text);
    if (n == 0) return {};
    std::string s(text);
    // The description is shown on one line after a tab.
    for (char& c : s)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return s;
}

void SetDisplayProfile(const std::vector<uint8_t>& profile) { cache().setDisplay(profile); }

}  // namespace korvel
