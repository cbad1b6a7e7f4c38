#include "imaging/ColorManage.h"

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

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

// Both ends are matrix-shaper profiles (three tone curves and a matrix, as camera and phone
// profiles are): tables and integers do it several times faster than lcms's general 8-bit path.
class MatrixShaperTransform : public ColorTransform {
public:
    static std::shared_ptr<const ColorTransform> make(cmsHPROFILE in, cmsHPROFILE out) {
        if (!cmsIsMatrixShaper(in) || !cmsIsMatrixShaper(out)) return nullptr;
        std::array<std::array<double, 3>, 3> a, b;
        if (!colorants(in, a) || !colorants(out, b)) return nullptr;
        const auto binv = inverse(b);
        if (!binv) return nullptr;
        auto t = std::make_shared<MatrixShaperTransform>();
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                double m = 0;
                for (int k = 0; k < 3; ++k) m += (*binv)[size_t(i)][size_t(k)] * a[size_t(k)][size_t(j)];
                if (std::fabs(m) > 64) return nullptr;  // no real pair of profiles is this far apart
                t->matrix_[size_t(3 * i + j)] = int32_t(std::lround(m * kOne));
            }
        static const cmsTagSignature trc[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
        for (int c = 0; c < 3; ++c) {
            auto* curveIn = static_cast<cmsToneCurve*>(cmsReadTag(in, trc[c]));
            auto* curveOut = static_cast<cmsToneCurve*>(cmsReadTag(out, trc[c]));
            if (!curveIn || !curveOut) return nullptr;
            cmsToneCurve* reverse = cmsReverseToneCurve(curveOut);
            if (!reverse) return nullptr;
            for (int v = 0; v < 256; ++v)
                t->linear_[size_t(c)][size_t(v)] = toLevel(cmsEvalToneCurveFloat(curveIn, float(v / 255.0)), 65535);
            for (int i = 0; i < 2 * kFine; ++i) {
                // Every level below kFine, then steps of 16 taken at their middle.
                const double v = i < kFine ? i : i >= kFine + kFine / 16 ? (i - kFine) * 16 + 8 : 0;
                t->encode_[size_t(c)][size_t(i)] = uint8_t(toLevel(cmsEvalToneCurveFloat(reverse, float(v / 65535.0)), 255));
            }
            cmsFreeToneCurve(reverse);
        }
        return t;
    }

    void apply(TBitmap& bitmap) const override {
        if (bitmap.empty()) return;
        if (isPaletteFormat(bitmap.pixelFormat())) {
            std::vector<RGBQuad> palette = bitmap.palette();
            for (RGBQuad& q : palette) convert(&q.rgbBlue);
            bitmap.setPalette(std::move(palette));
            return;
        }
        if (bitmap.bitsPerPixel() != 24 && bitmap.bitsPerPixel() != 32) bitmap.convertTo24();
        const int step = bitmap.bitsPerPixel() / 8;
        auto rows = [&](int from, int to) {
            for (int y = from; y < to; ++y) {
                uint8_t* p = bitmap.scanLine(y);
                for (int x = 0; x < bitmap.width(); ++x, p += step) convert(p);
            }
        };
        // A full-size photo is shared with a second core; thumbnails and small pictures are not
        // worth a thread.
        const int h = bitmap.height();
        if (int64_t(bitmap.width()) * h < (int64_t(1) << 21) || std::thread::hardware_concurrency() < 2) {
            rows(0, h);
            return;
        }
        std::thread other;
        try {
            other = std::thread(rows, h / 2, h);
        } catch (const std::system_error&) {
            rows(h / 2, h);  // no thread to be had: this one does both halves
        }
        rows(0, h / 2);
        if (other.joinable()) other.join();
    }

private:
    static constexpr int kShift = 12;
    // The encoding tables stay small enough for the first-level cache: exact below kFine, where
    // the curves are steep, and in steps of 16 of the 65535 linear levels above it.
    static constexpr int kFine = 4096;
    static constexpr int32_t kOne = 1 << kShift;

    static int toLevel(double v, int top) { return int(std::lround(std::clamp(v, 0.0, 1.0) * top)); }

    static bool colorants(cmsHPROFILE p, std::array<std::array<double, 3>, 3>& m) {
        static const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
        for (int c = 0; c < 3; ++c) {
            const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(p, tags[c]));
            if (!xyz) return false;
            m[0][size_t(c)] = xyz->X, m[1][size_t(c)] = xyz->Y, m[2][size_t(c)] = xyz->Z;
        }
        return true;
    }

    static std::optional<std::array<std::array<double, 3>, 3>> inverse(const std::array<std::array<double, 3>, 3>& m) {
        const double d = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                         m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
        if (!(std::fabs(d) > 1e-9)) return std::nullopt;
        std::array<std::array<double, 3>, 3> r;
        for (size_t i = 0; i < 3; ++i)
            for (size_t j = 0; j < 3; ++j) {
                const size_t a = (j + 1) % 3, b = (j + 2) % 3, c = (i + 1) % 3, e = (i + 2) % 3;
                r[i][j] = (m[a][c] * m[b][e] - m[a][e] * m[b][c]) / d;
            }
        return r;
    }

    // One blue, green, red triple in place.
    void convert(uint8_t* bgr) const {
        const int32_t r = linear_[0][bgr[2]], g = linear_[1][bgr[1]], b = linear_[2][bgr[0]];
        auto channel = [&](int i) {
            const int64_t v = (int64_t(matrix_[size_t(3 * i)]) * r + int64_t(matrix_[size_t(3 * i + 1)]) * g +
                               int64_t(matrix_[size_t(3 * i + 2)]) * b + kOne / 2) >> kShift;
            const int32_t level = int32_t(std::clamp<int64_t>(v, 0, 65535));
            return encode_[size_t(i)][size_t(level < kFine ? level : kFine + (level >> 4))];
        };
        const uint8_t R = channel(0), G = channel(1), B = channel(2);
        bgr[0] = B, bgr[1] = G, bgr[2] = R;
    }

    std::array<int32_t, 9> matrix_{};
    std::array<std::array<int32_t, 256>, 3> linear_{};
    std::array<std::array<uint8_t, 2 * kFine>, 3> encode_{};
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
        if (auto fast = MatrixShaperTransform::make(in.get(), out.get())) return fast;
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
