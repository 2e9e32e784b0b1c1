// exp, log and pow with the same bits on every x86-64 processor: the
// computations of the C library's versions for processors with fused
// multiply-add, each fused operation written out as FMA(a, b, c) = a*b + c
// rounded once. The bodies are compiled twice, once where FMA is the
// processor's instruction and once where it is emulated exactly (repfma.h);
// both round every operation alike, so the choice changes no result.
#include "numeric/repmath.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "numeric/repfma.h"
#include "numeric/repmath_data.h"

namespace {

using namespace rep_fma;

inline double edata(int i) { return from_bits(rep_exp_data[i]); }
inline double ldata(int i) { return from_bits(rep_log_data[i]); }
inline double pdata(int i) { return from_bits(rep_pow_data[i]); }

// exp: x = k ln2/128 + r, exp(x) = 2^(k/128) exp(r).
const int EXP_TABLE_BITS = 7;
const int EXP_N = 1 << EXP_TABLE_BITS;
const uint64_t SIGN_BIAS = 0x800ULL << EXP_TABLE_BITS;

inline uint32_t top12(double x) { return (uint32_t)(bits(x) >> 52); }

// Results that overflow or underflow, with their sign.
inline double overflow(uint64_t sign) { return (sign ? -0x1p769 : 0x1p769) * 0x1p769; }
inline double underflow(uint64_t sign) { return (sign ? -0x1p-767 : 0x1p-767) * 0x1p-767; }

// The scale 2^(k/128) out of the normal range: computed in two steps, and
// rounded once only where the result is subnormal.
template <bool HW> inline __attribute__((always_inline)) double exp_special(double tmp, uint64_t sbits, uint64_t ki)
{
    if ((ki & 0x80000000) == 0) {
        sbits -= 1009ULL << 52;
        double scale = from_bits(sbits);
        return 0x1p1009 * FMA(scale, tmp, scale);
    }
    sbits += 1022ULL << 52;
    double scale = from_bits(sbits);
    double st = scale * tmp;
    double y = scale + st;
    if (fabs(y) < 1.0) {
        double one = y < 0.0 ? -1.0 : 1.0;
        double lo = scale - y + st;
        double hi = one + y;
        lo = one - hi + y + lo;
        y = (hi + lo) - one;
        if (y == 0.0)
            y = from_bits(sbits & 0x8000000000000000ULL);
    }
    return 0x1p-1022 * y;
}

// exp(x + xtail), negated when sign_bias is set; pow passes the low part of
// its product in xtail, exp passes 0 with `with_tail` false.
template <bool HW> inline __attribute__((always_inline)) double exp_body(double x, double xtail, bool with_tail,
                                                      uint64_t sign_bias)
{
    uint32_t abstop = top12(x) & 0x7ff;
    if (abstop - top12(0x1p-54) >= top12(512.0) - top12(0x1p-54)) {
        if (abstop - top12(0x1p-54) >= 0x80000000) {
            double one = 1.0 + x;
            return sign_bias ? -one : one;
        }
        if (abstop >= top12(1024.0))
            return (bits(x) >> 63) ? underflow(sign_bias) : overflow(sign_bias);
        abstop = 0; // large |x|: the scale is handled apart
    }
    const double invln2n = edata(0), negln2hin = edata(1), negln2lon = edata(2);
    const double c2 = edata(3), c3 = edata(4), c4 = edata(5), c5 = edata(6), shift = edata(7);
    double kd = FMA(x, invln2n, shift);
    uint64_t ki = bits(kd);
    kd -= shift;
    double r = FMA(kd, negln2lon, FMA(kd, negln2hin, x));
    if (with_tail)
        r = xtail + r;
    uint64_t idx = 2 * (ki % EXP_N);
    uint64_t top = (ki + sign_bias) << (52 - EXP_TABLE_BITS);
    double tail = from_bits(rep_exp_data[REP_EXP_HEAD + idx]);
    uint64_t sbits = rep_exp_data[REP_EXP_HEAD + idx + 1] + top;
    double r2 = r * r;
    double p23 = FMA(r, c3, c2);
    double p45 = FMA(r, c5, c4);
    double tmp = FMA(r2 * r2, p45, FMA(p23, r2, tail + r));
    if (abstop == 0)
        return exp_special<HW>(tmp, sbits, ki);
    double scale = from_bits(sbits);
    return FMA(scale, tmp, scale);
}

template <bool HW> inline __attribute__((always_inline)) double exp_one(double x)
{
    uint32_t abstop = top12(x) & 0x7ff;
    if (abstop >= top12(1024.0) && abstop - top12(0x1p-54) < 0x80000000) {
        if (bits(x) == bits(-INFINITY))
            return 0.0;
        if (abstop >= top12(INFINITY))
            return 1.0 + x;
    }
    return exp_body<HW>(x, 0.0, false, 0);
}

// log: x = 2^k z with z near c, the centre of one of 128 intervals;
// log(x) = k ln2 + log(c) + log1p(z/c - 1).
const int LOG_TABLE_BITS = 7;
const int LOG_N = 1 << LOG_TABLE_BITS;
const uint64_t LOG_OFF = 0x3fe6000000000000ULL;

template <bool HW> inline __attribute__((always_inline)) double log_one(double x)
{
    uint64_t ix = bits(x);
    uint32_t top = (uint32_t)(ix >> 48);
    const uint64_t lo_near = bits(1.0 - 0x1p-4), hi_near = bits(1.0 + 0x1.09p-4);
    if (ix - lo_near < hi_near - lo_near) {
        // Near 1: a polynomial in r = x - 1, its leading terms split exactly.
        if (ix == bits(1.0))
            return 0.0;
        auto b = [](int i) { return ldata(7 + i); };
        double r = x - 1.0;
        double r2 = r * r;
        double r3 = r * r2;
        double t1 = FMA(r2, b(3), FMA(r, b(2), b(1)));
        double t2 = FMA(r2, b(6), FMA(r, b(5), b(4)));
        double t3 = FMA(r3, b(10), FMA(r2, b(9), FMA(r, b(8), b(7))));
        double u = FMA(FMA(t3, r3, t2), r3, t1);
        double rhi = FMA(-0x1p27, r, FMA(r, 0x1p27, r));
        double rlo = r - rhi;
        double rhi2 = rhi * rhi;
        double hi = FMA(rhi2, b(0), r);
        double lo = FMA(rhi2, b(0), r - hi);
        lo = FMA(b(0) * rlo, r + rhi, lo);
        return hi + FMA(u, r3, lo);
    }
    if (top - 0x0010 >= 0x7ff0 - 0x0010) {
        if (ix * 2 == 0)
            return -INFINITY;
        if (ix == bits(INFINITY))
            return x;
        if ((top & 0x8000) || (top & 0x7ff0) == 0x7ff0)
            return (x - x) / (x - x);
        // subnormal: normalised
        ix = bits(x * 0x1p52);
        ix -= 52ULL << 52;
    }
    uint64_t tmp = ix - LOG_OFF;
    int i = (int)((tmp >> (52 - LOG_TABLE_BITS)) % LOG_N);
    int k = (int)((int64_t)tmp >> 52);
    uint64_t iz = ix - (tmp & 0xfffULL << 52);
    double invc = ldata(REP_LOG_HEAD + 2 * i), logc = ldata(REP_LOG_HEAD + 2 * i + 1);
    double z = from_bits(iz);
    double kd = (double)k;
    double r = FMA(z, invc, -1.0);
    double w = FMA(kd, ldata(0), logc);
    double hi = w + r;
    double lo = FMA(kd, ldata(1), w - hi + r);
    double r2 = r * r;
    double r3 = r * r2;
    auto a = [](int j) { return ldata(2 + j); };
    double q = FMA(FMA(r, a(4), a(3)), r2, FMA(r, a(2), a(1)));
    return FMA(r3, q, FMA(r2, a(0), lo)) + hi;
}

// pow: log(x) to about 68 bits as hi + lo, then exp(y (hi + lo)).
const uint64_t POW_OFF = 0x3fe6955500000000ULL;

template <bool HW> inline __attribute__((always_inline)) double pow_log(uint64_t ix, double *tail)
{
    uint64_t tmp = ix - POW_OFF;
    int i = (int)((tmp >> (52 - LOG_TABLE_BITS)) % LOG_N);
    int k = (int)((int64_t)tmp >> 52);
    uint64_t iz = ix - (tmp & 0xfffULL << 52);
    double z = from_bits(iz);
    double kd = (double)k;
    const int e = REP_POW_HEAD + 4 * i;
    double invc = pdata(e), logc = pdata(e + 2), logctail = pdata(e + 3);
    double r = FMA(z, invc, -1.0);
    double t1 = FMA(kd, pdata(0), logc);
    double t2 = t1 + r;
    double lo1 = FMA(kd, pdata(1), logctail);
    double lo2 = t1 - t2 + r;
    auto a = [](int j) { return pdata(2 + j); };
    double ar = a(0) * r;
    double ar2 = r * ar;
    double ar3 = r * ar2;
    double hi = t2 + ar2;
    double lo3 = FMA(ar, r, -ar2);
    double lo4 = t2 - hi + ar2;
    double s = FMA(ar2, FMA(FMA(r, a(6), a(5)), ar2, FMA(r, a(4), a(3))), FMA(r, a(2), a(1)));
    double lo = FMA(ar3, s, lo1 + lo2 + lo3 + lo4);
    double y = hi + lo;
    *tail = hi - y + lo;
    return y;
}

// 0 when not an integer, 1 when odd, 2 when even (iy: a finite non-zero).
inline int checkint(uint64_t iy)
{
    int e = iy >> 52 & 0x7ff;
    if (e < 0x3ff)
        return 0;
    if (e > 0x3ff + 52)
        return 2;
    if (iy & ((1ULL << (0x3ff + 52 - e)) - 1))
        return 0;
    if (iy & (1ULL << (0x3ff + 52 - e)))
        return 1;
    return 2;
}

// 0, infinity or NaN.
inline bool zeroinfnan(uint64_t i) { return 2 * i - 1 >= 2 * bits(INFINITY) - 1; }

inline bool signaling(double x) { return 2 * (bits(x) ^ 0x0008000000000000ULL) > 2 * 0x7ff8000000000000ULL; }

template <bool HW> inline __attribute__((always_inline)) double pow_one(double x, double y)
{
    uint64_t sign_bias = 0;
    uint64_t ix = bits(x), iy = bits(y);
    uint32_t topx = top12(x), topy = top12(y);
    if (topx - 0x001 >= 0x7ff - 0x001 || (topy & 0x7ff) - 0x3be >= 0x43e - 0x3be) {
        if (zeroinfnan(iy)) {
            if (2 * iy == 0)
                return signaling(x) ? x + y : 1.0;
            if (ix == bits(1.0))
                return signaling(y) ? x + y : 1.0;
            if (2 * ix > 2 * bits(INFINITY) || 2 * iy > 2 * bits(INFINITY))
                return x + y;
            if (2 * ix == 2 * bits(1.0))
                return 1.0;
            if ((2 * ix < 2 * bits(1.0)) == !(iy >> 63))
                return 0.0; // |x| < 1 and y = inf, or |x| > 1 and y = -inf
            return y * y;
        }
        if (zeroinfnan(ix)) {
            double x2 = x * x;
            if (ix >> 63 && checkint(iy) == 1)
                x2 = -x2;
            return iy >> 63 ? 1 / x2 : x2;
        }
        if (ix >> 63) {
            int yint = checkint(iy);
            if (yint == 0)
                return (x - x) / (x - x);
            if (yint == 1)
                sign_bias = SIGN_BIAS;
            ix &= 0x7fffffffffffffffULL;
            topx &= 0x7ff;
        }
        if ((topy & 0x7ff) - 0x3be >= 0x43e - 0x3be) {
            if (ix == bits(1.0))
                return 1.0;
            if ((topy & 0x7ff) < 0x3be)
                return ix > bits(1.0) ? 1.0 + y : 1.0 - y;
            return (ix > bits(1.0)) == (topy < 0x800) ? overflow(0) : underflow(0);
        }
        if (topx == 0) {
            ix = bits(x * 0x1p52);
            ix &= 0x7fffffffffffffffULL;
            ix -= 52ULL << 52;
        }
    }
    double lo;
    double hi = pow_log<HW>(ix, &lo);
    double ehi = y * hi;
    double elo = FMA(y, lo, FMA(y, hi, -ehi));
    return exp_body<HW>(ehi, elo, true, sign_bias);
}

__attribute__((target("fma"))) double exp_hw(double x) { return exp_one<true>(x); }
__attribute__((target("fma"))) double log_hw(double x) { return log_one<true>(x); }
__attribute__((target("fma"))) double pow_hw(double x, double y) { return pow_one<true>(x, y); }
double exp_sw(double x) { return exp_one<false>(x); }
double log_sw(double x) { return log_one<false>(x); }
double pow_sw(double x, double y) { return pow_one<false>(x, y); }

bool processor_fma()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("fma");
}

const bool has_fma = processor_fma();
bool use_hw = has_fma;

} // namespace

real rep_exp(real x) { return use_hw ? exp_hw(x) : exp_sw(x); }
real rep_log(real x) { return use_hw ? log_hw(x) : log_sw(x); }
real rep_pow(real x, real y) { return use_hw ? pow_hw(x, y) : pow_sw(x, y); }

boolean rep_math_hardware_fma() { return use_hw; }

void rep_math_force_software_fma(boolean software) { use_hw = has_fma && !software; }

real rep_math_emulated_fma(real a, real b, real c) { return rep_fma::software_fma(a, b, c); }
