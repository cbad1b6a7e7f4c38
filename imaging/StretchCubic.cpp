// Enlargement passes: four-tap Lagrange interpolation inside, linear interpolation over the
// outermost source intervals, and the last sample copied unchanged.
#include <cstring>

#include "imaging/Bitmap.h"
#include "imaging/StretchPasses.h"

namespace korvel::stretch {

namespace {

constexpr int32_t kRound = 32768;
constexpr int32_t kMax = 0xFF0000;

inline uint8_t cubicValue(int32_t acc) {
    acc = acc < 0 ? 0 : acc > kMax ? kMax : acc;
    return uint8_t(acc >> 16);
}

class CubicHorizontal final : public HorizontalPass {
public:
    CubicHorizontal(int sw, int dw) : sw_(sw), dw_(dw), table_(makeCubicTable(sw, dw)) {
        linear_.resize(size_t(dw));
        int x = 0;
        while (table_[size_t(x)].p < 1) ++x;
        cubicBegin_ = x;
        while (table_[size_t(x)].p < sw - 2) ++x;
        cubicEnd_ = x;
        for (int i = 0; i < dw; ++i)
            if (i < cubicBegin_ || i >= cubicEnd_) linear_[size_t(i)] = LinearWeight(table_[size_t(i)].f);
    }

    void run(const uint8_t* src, uint8_t* dst) const override {
        for (int x = 0; x < cubicBegin_; ++x) linearPixel(src, dst, x);
        for (int x = cubicBegin_; x < cubicEnd_; ++x) {
            const CubicTap& t = table_[size_t(x)];
            const uint8_t* s = src + 3 * size_t(t.p - 1);
            uint8_t* d = dst + 3 * size_t(x);
            for (int c = 0; c < 3; ++c)
                d[c] = cubicValue(s[c] * t.w[0] + kRound + s[3 + c] * t.w[1] + s[6 + c] * t.w[2] + s[9 + c] * t.w[3]);
        }
        for (int x = cubicEnd_; x < dw_ - 1; ++x) linearPixel(src, dst, x);
        std::memcpy(dst + 3 * size_t(dw_ - 1), src + 3 * size_t(sw_ - 1), 3);
    }

private:
    void linearPixel(const uint8_t* src, uint8_t* dst, int x) const {
        const uint8_t* s = src + 3 * size_t(table_[size_t(x)].p);
        uint8_t* d = dst + 3 * size_t(x);
        const LinearWeight& w = linear_[size_t(x)];
        for (int c = 0; c < 3; ++c) d[c] = lerp(s[c], s[3 + c], w);
    }

    int sw_, dw_;
    std::vector<CubicTap> table_;
    std::vector<LinearWeight> linear_;
    int cubicBegin_ = 0, cubicEnd_ = 0;
};

// Whole rows at once: the same four weights for every byte, so the compiler vectorises it.
__attribute__((target_clones("avx2", "default"))) void cubicRow(const uint8_t* r0, const uint8_t* r1,
                                                                 const uint8_t* r2, const uint8_t* r3,
                                                                 const int32_t* w, uint8_t* out, size_t n) {
    const int32_t w0 = w[0], w1 = w[1], w2 = w[2], w3 = w[3];
    for (size_t i = 0; i < n; ++i) {
        int32_t acc = r0[i] * w0 + kRound + r1[i] * w1 + r2[i] * w2 + r3[i] * w3;
        acc = acc < 0 ? 0 : acc > kMax ? kMax : acc;
        out[i] = uint8_t(acc >> 16);
    }
}

void linearRow(const uint8_t* a, const uint8_t* b, const LinearWeight& w, uint8_t* out, size_t n) {
    for (size_t i = 0; i < n; ++i) out[i] = lerp(a[i], b[i], w);
}

}  // namespace

std::unique_ptr<HorizontalPass> makeHorizontalEnlarge(int sw, int dw) {
    return std::make_unique<CubicHorizontal>(sw, dw);
}

void verticalEnlarge(RowSource& src, TBitmap& dst) {
    const int sh = src.height(), dh = dst.height();
    const size_t n = size_t(dst.width()) * 3;
    const std::vector<CubicTap> table = makeCubicTable(sh, dh);
    for (int y = 0; y < dh; ++y) {
        const CubicTap& t = table[size_t(y)];
        uint8_t* out = dst.scanLine(y);
        if (t.p == sh - 1) {
            std::memcpy(out, src.row(t.p), n);
        } else if (t.p == 0 || t.p == sh - 2) {
            const uint8_t* a = src.row(t.p);
            linearRow(a, src.row(t.p + 1), LinearWeight(t.f), out, n);
        } else {
            const uint8_t* r0 = src.row(t.p - 1);
            const uint8_t* r1 = src.row(t.p);
            const uint8_t* r2 = src.row(t.p + 1);
            cubicRow(r0, r1, r2, src.row(t.p + 2), t.w, out, n);
        }
    }
}

}  // namespace korvel::stretch
