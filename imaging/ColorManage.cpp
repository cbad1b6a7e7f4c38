#include "imaging/ColorManage.h"

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <mutex>
#include <optional>
#include <atomic>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/Errors.h"
#include "base/Workers.h"
#include "imaging/Bitmap.h"
#include "imaging/WideColorKernel.h"

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

// A transparent colour names a stored colour, which the conversion moves: it becomes a mask
// first, so that the same pixels stay transparent.
void keyToMask(TBitmap& bitmap) {
    if (bitmap.transparency() != Transparency::Color || bitmap.mask()) return;
    const int w = bitmap.width(), h = bitmap.height();
    auto mask = std::make_unique<TBitmap>(w, h, PixelFormat::pf8bit, uint64_t(w) * uint64_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) mask->scanLine(y)[x] = bitmap.pixel(x, y) == bitmap.transparentColor() ? 255 : 0;
    bitmap.setMask(std::move(mask));
    bitmap.clearTransparency();
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
        keyToMask(bitmap);
        if (isPaletteFormat(bitmap.pixelFormat())) {
            std::vector<RGBQuad> palette = bitmap.palette();
            cmsDoTransform(bgra_, palette.data(), palette.data(), cmsUInt32Number(palette.size()));
            bitmap.setPalette(std::move(palette));
            return;
        }
        if (bitmap.bitsPerPixel() != 24 && bitmap.bitsPerPixel() != 32) bitmap.convertTo24();
        applyRows(bitmap, 0, bitmap.height());
    }

    void applyRows(TBitmap& bitmap, int from, int to) const noexcept override {
        if (bitmap.bitsPerPixel() != 24 && bitmap.bitsPerPixel() != 32) return;
        const cmsHTRANSFORM t = bitmap.bitsPerPixel() == 24 ? bgr_ : bgra_;
        // Rows are padded, so lines go one by one in a single call through the stride form.
        const cmsUInt32Number stride = cmsUInt32Number(bitmap.stride());
        cmsDoTransformLineStride(t, bitmap.scanLine(from), bitmap.scanLine(from), cmsUInt32Number(bitmap.width()),
                                 cmsUInt32Number(to - from), stride, stride, 0, 0);
    }

private:
    cmsHTRANSFORM bgr_, bgra_;
};

// Both ends are matrix-shaper profiles (three tone curves and a matrix, as camera and phone
// profiles are). Each input level's share of the three linear outputs is a table entry, so a pixel
// is three table rows added, clamped and looked up in the output curve: no per-pixel branch,
// no floating point.
class MatrixShaperTransform : public ColorTransform {
public:
    // Null when the pair is not matrix-shaper, or when converting would move no channel of any
    // colour by more than a level (an embedded sRGB profile on the way to sRGB): then the stored
    // pixels are already what the conversion would give.
    static std::shared_ptr<const ColorTransform> make(cmsHPROFILE in, cmsHPROFILE out, bool& same) {
        same = false;
        if (!cmsIsMatrixShaper(in) || !cmsIsMatrixShaper(out)) return nullptr;
        std::array<std::array<double, 3>, 3> a, b, m;
        if (!colorants(in, a) || !colorants(out, b)) return nullptr;
        const auto binv = inverse(b);
        if (!binv) return nullptr;
        for (size_t i = 0; i < 3; ++i)
            for (size_t j = 0; j < 3; ++j) {
                m[i][j] = 0;
                for (size_t k = 0; k < 3; ++k) m[i][j] += (*binv)[i][k] * a[k][j];
                if (!(std::fabs(m[i][j]) <= 16)) return nullptr;  // no real pair of profiles is this far apart (or NaN)
            }
        static const cmsTagSignature trc[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
        std::array<std::array<double, 256>, 3> linear;
        std::array<cmsToneCurve*, 3> reverse{}, curvesOut{};
        auto freeReverse = [&] {
            for (cmsToneCurve* r : reverse)
                if (r) cmsFreeToneCurve(r);
        };
        for (size_t c = 0; c < 3; ++c) {
            auto* curveIn = static_cast<cmsToneCurve*>(cmsReadTag(in, trc[c]));
            auto* curveOut = curvesOut[c] = static_cast<cmsToneCurve*>(cmsReadTag(out, trc[c]));
            if (!curveIn || !curveOut || !(reverse[c] = cmsReverseToneCurve(curveOut))) {
                freeReverse();
                return nullptr;
            }
            // Clamped, and NaN taken as 0, so that a hostile curve cannot overflow the shares.
            for (size_t v = 0; v < 256; ++v)
                linear[c][v] = std::fmin(std::fmax(double(cmsEvalToneCurveFloat(curveIn, float(v / 255.0))), 0.0), 1.0);
        }
        same = nearIdentity(m, linear, reverse);
        if (same) {
            freeReverse();
            return nullptr;
        }
        auto t = std::make_shared<MatrixShaperTransform>();
        for (size_t j = 0; j < 3; ++j)
            for (size_t v = 0; v < 256; ++v)
                for (size_t i = 0; i < 3; ++i) {
                    // Half a final unit rides on the red share, so the shift below rounds.
                    const double share = m[i][j] * linear[j][v] * kTop * (1 << kFraction) + (j == 0 ? (1 << kFraction) / 2 : 0);
                    t->shares_[j][v][i] = int32_t(std::lround(share));
                }
        // Output levels before rounding, for the wide kernel to follow.
        std::array<std::vector<float>, 3> levels;
        WideColorKernel::Levels levelsOf{};
        for (size_t c = 0; c < 3; ++c) {
            // The three curves are nearly always one (often one shared tag): one table then
            // stays in the cache.
            t->encodeOf_[c] = c;
            for (size_t e = 0; e < c && t->encodeOf_[c] == c; ++e)
                if (curvesOut[e] == curvesOut[c]) t->encodeOf_[c] = t->encodeOf_[e];
            if (t->encodeOf_[c] != c) {
                levelsOf[c] = levelsOf[t->encodeOf_[c]];
                continue;
            }
            levels[c].resize(kTop + 1);
            std::array<uint8_t, kTop + 1>& table = t->encode_[c];
            for (int i = 0; i <= kTop; ++i) {
                const double v = std::fmin(std::fmax(double(cmsEvalToneCurveFloat(reverse[c], float(double(i) / kTop))), 0.0), 1.0);
                levels[c][size_t(i)] = float(v * 255);
                table[size_t(i)] = uint8_t(std::lround(v * 255));
            }
            levelsOf[c] = levels[c].data();
            for (size_t e = 0; e < c; ++e)
                if (t->encode_[e] == table) t->encodeOf_[c] = e, levelsOf[c] = levelsOf[e];
        }
        freeReverse();
        t->wide_ = WideColorKernel::make(m, linear, levelsOf);
        return t;
    }

    std::shared_ptr<const ColorTransform> portable() const override {
        if (!wide_) return nullptr;
        auto t = std::make_shared<MatrixShaperTransform>(*this);
        t->wide_.reset();
        return t;
    }

    void apply(TBitmap& bitmap) const override {
        if (bitmap.empty()) return;
        keyToMask(bitmap);
        if (isPaletteFormat(bitmap.pixelFormat())) {
            std::vector<RGBQuad> palette = bitmap.palette();
            if (!palette.empty()) convertRow(&palette.front().rgbBlue, int(palette.size()), int(sizeof(RGBQuad)));
            bitmap.setPalette(std::move(palette));
            return;
        }
        if (bitmap.bitsPerPixel() != 24 && bitmap.bitsPerPixel() != 32) bitmap.convertTo24();
        auto rows = [&](int from, int to) { applyRows(bitmap, from, to); };
        // A full-size photo is shared with up to three more cores, a band of at least one
        // megapixel each; thumbnails and small pictures are not worth a thread.
        const int h = bitmap.height();
        const int64_t bands =
            std::min<int64_t>({int64_t(bitmap.width()) * h >> 20, int64_t(WorkerThreads::perCore()), 4});
        if (bands < 2) {
            rows(0, h);
            return;
        }
        // The helpers and this thread take bands until none is left: with fewer helpers than
        // asked for (or none) this thread does more of them.
        std::atomic<int64_t> next{0};
        auto take = [&] {
            for (int64_t i; (i = next.fetch_add(1)) < bands;) rows(int(h * i / bands), int(h * (i + 1) / bands));
        };
        WorkerThreads others;
        try {
            others.start(size_t(bands - 1), take);
        } catch (const Exception&) {
            // No thread to be had: this one does every band.
        }
        take();
        others.join();
    }

    void applyRows(TBitmap& bitmap, int from, int to) const noexcept override {
        if (bitmap.bitsPerPixel() != 24 && bitmap.bitsPerPixel() != 32) return;
        const int step = bitmap.bitsPerPixel() / 8, width = bitmap.width();
        for (int y = from; y < to; ++y) convertRow(bitmap.scanLine(y), width, step);
    }

private:
    // Linear light in 15 bits: fine enough near black, where the output curves are steepest, and
    // small enough that a sum saturates into 16 bits and one table per curve is 32 KB.
    static constexpr int kTop = WideColorKernel::kTop;
    // Extra bits the shares carry so that three roundings do not add up to a unit.
    static constexpr int kFraction = 4;

    // Whether every channel stays within a level of its input for every colour. For one output
    // channel with its own input fixed, the other two only add linear light through the matrix,
    // so the extremes are where they are 0 or 255.
    static bool nearIdentity(const std::array<std::array<double, 3>, 3>& m, const std::array<std::array<double, 256>, 3>& linear,
                             const std::array<cmsToneCurve*, 3>& reverse) {
        for (size_t c = 0; c < 3; ++c) {
            const size_t o1 = (c + 1) % 3, o2 = (c + 2) % 3;
            for (size_t v = 0; v < 256; ++v)
                for (size_t corner = 0; corner < 4; ++corner) {
                    const double l = m[c][c] * linear[c][v] + m[c][o1] * linear[o1][corner & 1 ? 255 : 0] +
                                     m[c][o2] * linear[o2][corner & 2 ? 255 : 0];
                    const double out = 255.0 * cmsEvalToneCurveFloat(reverse[c], float(std::clamp(l, 0.0, 1.0)));
                    if (std::fabs(out - double(v)) > 1.0) return false;
                }
        }
        return true;
    }

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

    // `count` blue, green, red triples `step` bytes apart, in place.
    void convertRow(uint8_t* p, int count, int step) const {
        if (wide_) {
            wide_->convertRow(p, count, step);
            return;
        }
        const uint8_t *encR = encode_[encodeOf_[0]].data(), *encG = encode_[encodeOf_[1]].data(),
                      *encB = encode_[encodeOf_[2]].data();
        for (int x = 0; x < count; ++x, p += step) {
            const Share &r = shares_[0][p[2]], &g = shares_[1][p[1]], &b = shares_[2][p[0]];
#if defined(__SSE2__)
            __m128i sum = _mm_add_epi32(_mm_add_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(r.data())),
                                                      _mm_load_si128(reinterpret_cast<const __m128i*>(g.data()))),
                                        _mm_load_si128(reinterpret_cast<const __m128i*>(b.data())));
            // Saturating to 16 bits clamps the top, the maximum with 0 the bottom.
            sum = _mm_srai_epi32(sum, kFraction);
            sum = _mm_max_epi16(_mm_packs_epi32(sum, sum), _mm_setzero_si128());
            const uint8_t R = encR[_mm_extract_epi16(sum, 0)], G = encG[_mm_extract_epi16(sum, 1)],
                          B = encB[_mm_extract_epi16(sum, 2)];
#else
            auto level = [&](size_t i) { return size_t(std::clamp((r[i] + g[i] + b[i]) >> kFraction, 0, kTop)); };
            const uint8_t R = encR[level(0)], G = encG[level(1)], B = encB[level(2)];
#endif
            p[0] = B, p[1] = G, p[2] = R;
        }
    }

    // One input level's share of linear red, green and blue out, padded to one 16-byte load.
    using Share = std::array<int32_t, 4>;
    alignas(16) std::array<std::array<Share, 256>, 3> shares_{};
    std::array<std::array<uint8_t, kTop + 1>, 3> encode_{};
    std::array<size_t, 3> encodeOf_{};  // which of encode_ each output channel uses
    std::shared_ptr<const WideColorKernel> wide_;  // null where the processor has none
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

    bool hasDisplay() {
        std::lock_guard lock(mutex_);
        return !display_.empty();
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
        bool same = false;
        if (auto fast = MatrixShaperTransform::make(in.get(), out.get(), same)) return fast;
        if (same) return nullptr;
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
bool HasDisplayProfile() { return cache().hasDisplay(); }

}  // namespace korvel
