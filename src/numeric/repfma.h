// The fused multiply-add of the reproducible mathematical functions, and the
// bit access they share: for their own translation units only.
#ifndef MORLA_REPFMA_H
#define MORLA_REPFMA_H

#include <cmath>
#include <cstdint>
#include <cstring>

namespace rep_fma {

inline uint64_t bits(double x)
{
    uint64_t u;
    memcpy(&u, &x, sizeof u);
    return u;
}

inline double from_bits(uint64_t u)
{
    double x;
    memcpy(&x, &u, sizeof x);
    return x;
}

// a*b + c rounded once, without the processor's fused instruction: the
// product exact as a sum of two doubles (Dekker), added to c exactly
// (Knuth), the low parts summed and rounded to odd, then the whole rounded
// to nearest, which rounds the exact value correctly (Boldo and Melquiond,
// "Emulation of FMA and correctly rounded sums: proved algorithms using
// rounding to odd", IEEE Trans. Computers 57, 2008). The steps are exact
// while |a|, |b| <= 2^500, |c| <= 2^960 and the product is 0 or at least
// 2^-960, which holds for every fused operation of exp, log and pow outside
// their special cases; the C library's fma(), exact but some hundred times
// slower on such processors, takes the rest.
inline double two_sum(double a, double b, double *err)
{
    double s = a + b;
    double bb = s - a;
    *err = (a - (s - bb)) + (b - bb);
    return s;
}

inline double two_product(double a, double b, double *err)
{
    const double split = 134217729.0; // 2^27 + 1
    double t = split * a;
    double ah = t - (t - a), al = a - ah;
    t = split * b;
    double bh = t - (t - b), bl = b - bh;
    double p = a * b;
    *err = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
    return p;
}

inline double software_fma(double a, double b, double c)
{
    double pl;
    double ph = two_product(a, b, &pl);
    if (!(fabs(a) <= 0x1p500 && fabs(b) <= 0x1p500 && fabs(c) <= 0x1p960 &&
          (fabs(ph) >= 0x1p-960 || a == 0.0 || b == 0.0)))
        return fma(a, b, c);
    double tl;
    double th = two_sum(c, ph, &tl);
    double e;
    double v = two_sum(tl, pl, &e);
    if (e != 0.0 && (bits(v) & 1) == 0)
        v = from_bits(bits(v) + ((v > 0.0) == (e > 0.0) ? 1 : -1)); // rounded to odd
    return v == 0.0 ? th : th + v;
}

// The fused operation: the processor's instruction in the functions compiled
// for FMA, the emulation in the others.
#define FMA(a, b, c) (HW ? __builtin_fma((a), (b), (c)) : rep_fma::software_fma((a), (b), (c)))

} // namespace rep_fma

#endif
