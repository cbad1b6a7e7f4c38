// Per-call tables of the resampling passes. Positions and weights are computed in extended
// precision exactly once per call; the passes then work in integers.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "imaging/StretchPasses.h"

namespace korvel::stretch {

namespace {
constexpr long double kSixth = 1.0L / 6.0L;
constexpr long double kMinusSixth = -kSixth;

// trunc(v + 0.5): a negative weight is truncated toward zero, not rounded down.
int32_t roundedWeight(long double v) { return int32_t(v + 0.5L); }
}  // namespace

std::vector<CubicTap> makeCubicTable(int s, int d) {
    std::vector<CubicTap> table(static_cast<size_t>(d));
    for (int x = 0; x < d; ++x) {
        // The product is an integer; 64 bits keep it exact for any width.
        long double pos = (long double)(int64_t(s - 1) * x) / (long double)(d - 1);
        CubicTap& t = table[size_t(x)];
        t.p = int32_t(pos);
        t.f = pos - (long double)t.p;
        long double u = t.f + 1.0L;
        t.w[0] = roundedWeight((u - 1.0L) * 65536.0L * (u - 2.0L) * (u - 3.0L) * kMinusSixth);
        t.w[1] = roundedWeight(u * 65536.0L * (u - 2.0L) * (u - 3.0L) * 0.5L);
        t.w[2] = roundedWeight(u * 65536.0L * (u - 1.0L) * (u - 3.0L) * -0.5L);
        t.w[3] = roundedWeight(u * 65536.0L * (u - 1.0L) * (u - 2.0L) * kSixth);
    }
    return table;
}

AreaTable makeAreaTable(int s, int d) {
    AreaTable t;
    std::vector<int32_t> idx(static_cast<size_t>(d) + 1), fr(static_cast<size_t>(d) + 1);
    for (int i = 0; i <= d; ++i) {
        long double pos = (long double)(int64_t(s) * i) / (long double)d;
        idx[size_t(i)] = int32_t(pos);
        fr[size_t(i)] = int32_t((pos - (long double)idx[size_t(i)]) * 65536.0L);
    }
    // s * 65536 in 64 bits: exact also for widths of 32768 and more.
    t.scale = int64_t((long double)(int64_t(s) * kOne) / (long double)d + 0.5L);
    t.half = (t.scale + 1) / 2;
    t.spans.resize(size_t(d));
    for (int i = 0; i < d; ++i) {
        AreaSpan& a = t.spans[size_t(i)];
        a.first = idx[size_t(i)];
        a.wFirst = kOne - fr[size_t(i)];
        a.last = idx[size_t(i) + 1];
        a.wLast = fr[size_t(i) + 1];
        int64_t total = int64_t(a.wFirst) + int64_t(kOne) * (a.last - a.first - 1) + a.wLast;
        t.maxWeight = std::max(t.maxWeight, total);
    }
    return t;
}

Divider::Divider(uint64_t divisor, uint64_t nMax) : d(divisor) {
    using u128 = unsigned __int128;
    for (int k = 0; k < 64; ++k) {
        u128 p = u128(1) << k;
        u128 mm = (p + divisor - 1) / divisor;
        u128 e = mm * divisor - p;
        // floor(n * mm / 2^k) = floor(n / d) for every n <= nMax when e * nMax < 2^k.
        if (e * nMax < p) {
            if (mm * nMax <= std::numeric_limits<uint64_t>::max()) {
                m = uint64_t(mm);
                shift = k;
                byMultiply = true;
            }
            return;
        }
    }
}

uint8_t lerpExtended(unsigned a, unsigned b, long double f) {
    return uint8_t(int((long double)a * (1.0L - f) + (long double)b * f + 0.5L));
}

}  // namespace korvel::stretch
