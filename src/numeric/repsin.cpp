// sin and asin with the same bits on every x86-64 processor: what the C
// library's versions for processors with fused multiply-add compute (IBM's Accurate
// Mathematical Library, as GNU libc 2.28 and later have it; like that code,
// this file is under the GNU Lesser General Public License, version 2.1 or
// later), with every fused operation written out. Arguments beyond 105414350
// in magnitude, whose reduction takes a multi-word 2/pi, go to the C library.
#include "numeric/repmath.h"

#include "numeric/repfma.h"
#include "numeric/repsin_data.h"

namespace {

using namespace rep_fma;

inline double table(int k) { return from_bits(rep_sincos_table[k]); }

const double SN3 = -0x1.5555555555515p-3, SN5 = 0x1.11110e829872fp-7;
const double CS2 = 0.5, CS4 = -0x1.5555555555535p-5, CS6 = 0x1.6c16bedd9e239p-10;
const double S1 = -0x1.5555555555555p-3, S2 = 0x1.1111111110ecep-7, S3 = -0x1.a01a019db08b8p-13,
             S4 = 0x1.71de27b9a7ed9p-19, S5 = -0x1.addffc2fcdf59p-26;
const double BIG = 0x1.8p45;                                   // rounds |x| to a multiple of 1/128
const double HP0 = 0x1.921fb54442d18p0, HP1 = 0x1.1a62633145c07p-54; // pi/2 = HP0 + HP1
const double HPINV = 0x1.45f306dc9c883p-1, TOINT = 0x1.8p52;   // 2/pi; rounds to an integer
const double MP1 = 0x1.921fb58p0, MP2 = -0x1.dde973cp-27, PP3 = -0x1.cb3b398p-55,
             PP4 = -0x1.d747f23e32ed7p-83; // pi/2 = MP1 + MP2 + PP3 + PP4

// The Taylor polynomial of sin around 0, for |a| < 0.126: sin(a + da).
template <bool HW> inline __attribute__((always_inline)) double taylor_sin(double a, double da)
{
    double xx = a * a;
    double p = FMA(xx, FMA(xx, FMA(xx, FMA(xx, S5, S4), S3), S2), S1);
    return a + FMA(xx, FMA(a, p, -(da * 0.5)), da);
}

// The same with da = 0.
template <bool HW> inline __attribute__((always_inline)) double taylor_sin0(double a)
{
    double xx = a * a;
    double p = FMA(xx, FMA(xx, FMA(xx, FMA(xx, S5, S4), S3), S2), S1);
    return a + FMA(xx, a * p, 0.0);
}

// sin(x + dx) from the table entry nearest |x|: sin(x_i + d) by the sums
// for sin and cos of d.
template <bool HW> inline __attribute__((always_inline)) double sin_table(double x, double dx)
{
    if (x <= 0.0)
        dx = -dx;
    double ax = fabs(x);
    double u = BIG + ax;
    double d = ax - (u - BIG);
    double xx = d * d;
    double s = d + FMA(d * xx, FMA(xx, SN5, SN3), dx);
    double c = FMA(d, dx, xx * FMA(xx, FMA(xx, CS6, CS4), CS2));
    int k = (int)(uint32_t)bits(u) << 2;
    double sn = table(k), ssn = table(k + 1), cs = table(k + 2), ccs = table(k + 3);
    double cor = FMA(s, cs, FMA(-c, sn, FMA(s, ccs, ssn)));
    return copysign(sn + cor, x);
}

template <bool HW> inline __attribute__((always_inline)) double do_sin(double x, double dx)
{
    return fabs(x) < 0.126 ? taylor_sin<HW>(x, dx) : sin_table<HW>(x, dx);
}

// cos(x + dx) from the table entry nearest |x|.
template <bool HW> inline __attribute__((always_inline)) double do_cos(double x, double dx)
{
    if (x < 0.0)
        dx = -dx;
    double ax = fabs(x);
    double u = BIG + ax;
    double d = ax - (u - BIG) + dx;
    double xx = d * d;
    double s = FMA(d * xx, FMA(xx, SN5, SN3), d);
    double c = xx * FMA(xx, FMA(xx, CS6, CS4), CS2);
    int k = (int)(uint32_t)bits(u) << 2;
    double sn = table(k), ssn = table(k + 1), cs = table(k + 2), ccs = table(k + 3);
    double cor = FMA(-s, sn, FMA(-c, cs, FMA(-s, ssn, ccs)));
    return cs + cor;
}

template <bool HW> inline __attribute__((always_inline)) double sin_one(double x)
{
    int k = 0x7fffffff & (int)(bits(x) >> 32);
    if (k < 0x3e500000) // |x| < 2^-26
        return x;
    if (k < 0x3feb6000) { // |x| < 0.855469
        if (fabs(x) < 0.126)
            return taylor_sin0<HW>(x);
        return sin_table<HW>(x, 0.0);
    }
    if (k < 0x400368fd) // |x| < 2.426265: cos(pi/2 - |x|)
        return copysign(do_cos<HW>(HP0 - fabs(x), HP1), x);
    if (k < 0x419921fb) { // |x| < 105414350: x - n pi/2 in two parts
        double t = FMA(x, HPINV, TOINT);
        double xn = t - TOINT;
        double y = FMA(-xn, MP2, FMA(-xn, MP1, x));
        int n = (int)(uint32_t)bits(t) & 3;
        double t2 = FMA(-xn, PP3, y);
        double db = FMA(-xn, PP3, y - t2);
        double b = FMA(-xn, PP4, t2);
        db += FMA(-xn, PP4, t2 - b);
        double r = (n & 1) ? do_cos<HW>(b, db) : do_sin<HW>(b, db);
        return (n & 2) ? -r : r;
    }
    return sin(x);
}

const double F1 = 0x1.55555555554f9p-3, F2 = 0x1.333333336127dp-4, F3 = 0x1.6db6dae42c0e4p-5,
             F4 = 0x1.f1c7e04f4ad99p-6, F5 = 0x1.6e442c822d419p-6, F6 = 0x1.292d80f453c72p-6;
const double RT0 = 0x1.fffffffecc1ddp-1, RT1 = 0x1.fffffff757304p-2, RT2 = 0x1.800496769c91ap-2,
             RT3 = 0x1.4006318d1dab9p-2;
const double T24 = 16777216.0; // rounds to 24 bits below 1

inline double asin_coef(int k) { return from_bits(rep_asin_table[k]); }

// asin(|x|) on one of the tabulated intervals: a polynomial of `degree`
// around the interval's centre, from the coefficients at n.
template <bool HW>
inline __attribute__((always_inline)) double asin_interval(double ax, int n, int degree)
{
    double xx = ax - asin_coef(n);
    double q = FMA(xx, asin_coef(n + degree), asin_coef(n + degree - 1));
    for (int j = degree - 2; j >= 2; j--)
        q = FMA(q, xx, asin_coef(j + n));
    double p = FMA(xx * xx, q, asin_coef(n + degree + 1));
    return asin_coef(n + degree + 2) + FMA(xx, asin_coef(n + 1), p);
}

template <bool HW> inline __attribute__((always_inline)) double asin_one(double x)
{
    int m = (int)(bits(x) >> 32);
    int k = 0x7fffffff & m;
    if (k < 0x3e500000) // |x| < 2^-26
        return x;
    if (k < 0x3fc00000) { // |x| < 0.125: the Taylor series
        double x2 = x * x;
        double q = FMA(FMA(FMA(FMA(FMA(x2, F6, F5), x2, F4), x2, F3), x2, F2), x2, F1);
        return FMA(q, x * x2, x);
    }
    if (k >= 0x3ff00000) // |x| >= 1, NaN
        return asin(x);
    double ax = fabs(x), res;
    if (k < 0x3fe00000) // 0.125 <= |x| < 0.5
        res = asin_interval<HW>(ax, k < 0x3fd00000 ? 11 * ((k & 0x000fffff) >> 15)
                                                   : 11 * ((k & 0x000fffff) >> 14) + 352, 6);
    else if (k < 0x3fe80000) // < 0.75
        res = asin_interval<HW>(ax, 1056 + ((k & 0x000fe000) >> 11) * 3, 7);
    else if (k < 0x3fed8000) // < 0.921875
        res = asin_interval<HW>(ax, 992 + ((k & 0x000fe000) >> 13) * 13, 8);
    else if (k < 0x3fee8000) // < 0.953125
        res = asin_interval<HW>(ax, 884 + ((k & 0x000fe000) >> 13) * 14, 9);
    else if (k < 0x3fef0000) // < 0.96875
        res = asin_interval<HW>(ax, 768 + ((k & 0x000fe000) >> 13) * 15, 10);
    else {
        // asin|x| = pi/2 - 2 asin(sqrt(z)), z = (1 - |x|)/2: sqrt(z) by
        // Newton's method from a table, split in y + cc.
        double z = 0.5 * (m > 0 ? 1.0 - x : x + 1.0);
        int kz = (int)(bits(z) >> 32);
        double t = from_bits(rep_asin_inroot[(kz & 0x001fffff) >> 14]) *
                   from_bits(rep_asin_powtwo[511 - (kz >> 21)]);
        double r = FMA(-(t * t), z, 1.0);
        t = FMA(FMA(FMA(r, RT3, RT2), r, RT1), r, RT0) * t;
        double c = z * t;
        double h = FMA(-(t * 0.5), c, 1.5);
        double y = (c + T24) - T24;
        double cc = FMA(-y, y, z) / FMA(h, c, y);
        double p = FMA(FMA(FMA(FMA(FMA(z, F6, F5), z, F4), z, F3), z, F2), z, F1) * z;
        double cor = FMA(-((y + cc) * 2.0), p, FMA(-cc, 2.0, HP1));
        res = cor + FMA(-y, 2.0, HP0);
    }
    return m > 0 ? res : -res;
}

__attribute__((target("fma"))) double sin_hw(double x) { return sin_one<true>(x); }
__attribute__((target("fma"))) double asin_hw(double x) { return asin_one<true>(x); }
double sin_sw(double x) { return sin_one<false>(x); }
double asin_sw(double x) { return asin_one<false>(x); }

} // namespace

real rep_sin(real x) { return rep_math_hardware_fma() ? sin_hw(x) : sin_sw(x); }
real rep_asin(real x) { return rep_math_hardware_fma() ? asin_hw(x) : asin_sw(x); }
