// The reproducible exp, log, pow, sin and asin: the same bits with the
// processor's fused multiply-add and with the emulated one, the C library's
// bits where the C library uses its FMA versions, within about half a unit in
// the last place of a long-double reference, and the special values of the
// C standard.
#include "numeric/repmath.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <gnu/libc-version.h>

namespace {

uint64_t rep_bits(double x)
{
    uint64_t u;
    memcpy(&u, &x, sizeof u);
    return u;
}

bool same_bits(double a, double b) { return rep_bits(a) == rep_bits(b) || (std::isnan(a) && std::isnan(b)); }

// Arguments of the kinds the kriging code passes, and any bit pattern.
struct RepArgs {
    uint64_t state = 0x9e3779b97f4a7c15ULL;
    uint64_t next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    double unit() { return (double)(next() >> 11) * 0x1p-53; }
    double any()
    {
        uint64_t b = next();
        double d;
        memcpy(&d, &b, sizeof d);
        return d;
    }
    double exp_arg(int i)
    {
        switch (i % 4) {
        case 0: return (unit() - 0.5) * 1500.0; // past both ends of the range
        case 1: return -30.0 * unit();          // correlations
        case 2: return any();
        default: return (unit() - 0.5) * 1e-3;
        }
    }
    double log_arg(int i)
    {
        switch (i % 4) {
        case 0: return 10.0 * unit();
        case 1: return 1.0 + (unit() - 0.5) * 0.2; // the separate path near 1
        case 2: return fabs(any());
        default: return unit() * 1e-300;
        }
    }
    double sin_arg(int i)
    {
        switch (i % 5) {
        case 0: return (unit() - 0.5) * 3.2;   // the transformations' range
        case 1: return (unit() - 0.5) * 0.3;   // the Taylor series
        case 2: return (unit() - 0.5) * 200.0; // reduced by multiples of pi/2
        case 3: return (unit() - 0.5) * 2.2e8; // up to and past the reduction's limit
        default: return any();
        }
    }
    double asin_arg(int i)
    {
        switch (i % 4) {
        case 0: return 2.0 * unit() - 1.0;
        case 1: return (unit() - 0.5) * 0.25;
        case 2: return (1.0 - 0.04 * unit()) * (i & 8 ? 1.0 : -1.0); // near 1
        default: return any();
        }
    }
    void pow_args(int i, double *x, double *y)
    {
        switch (i % 5) {
        case 0: *x = 3.0 * unit(), *y = 2.0 * unit(); break; // distance powers
        case 1: *x = any(), *y = any(); break;
        case 2: *x = -std::floor(10.0 * unit()), *y = std::floor((unit() - 0.5) * 40.0); break;
        case 3: *x = unit(), *y = 2000.0 * unit(); break; // underflow, subnormal results
        default: *x = 1.0 + (unit() - 0.5) * 1e-8, *y = (unit() - 0.5) * 1e9;
        }
    }
};

const std::vector<double> &special_values()
{
    static const std::vector<double> v = {
        0.0, -0.0, 1.0, -1.0, INFINITY, -INFINITY, NAN, DBL_MIN, -DBL_MIN, DBL_TRUE_MIN, DBL_MAX, -DBL_MAX,
        0.5, -0.5, 2.0, -2.0, 3.0, -3.0, 1e-300, 1e300, 1.0 + DBL_EPSILON, 1.0 - DBL_EPSILON / 2, 0x1p-65,
        0x1p63, -0x1p53, -0x1p53 - 2.0, 0x1p52 + 1.0, -(0x1p52 + 1.0), 709.7827128933840, -745.1332191019412,
        -708.39641853226408, -740.0, 1024.0, -1075.0, 0.1, -1.5, 37.5};
    return v;
}

// Restores the processor's fused multiply-add after a test that forced the
// software one.
struct SoftwareFma {
    SoftwareFma() { rep_math_force_software_fma(TRUE); }
    ~SoftwareFma() { rep_math_force_software_fma(FALSE); }
};

TEST(RepMath, SoftwareAndProcessorFmaGiveTheSameBits)
{
    if (!rep_math_hardware_fma())
        GTEST_SKIP() << "this processor has no fused multiply-add";
    const int n = 300000;
    std::vector<double> hw(5 * n), args(6 * n);
    RepArgs r;
    for (int i = 0; i < n; i++) {
        double *a = &args[6 * i], *h = &hw[5 * i];
        a[0] = r.exp_arg(i), a[1] = r.log_arg(i), a[4] = r.sin_arg(i), a[5] = r.asin_arg(i);
        r.pow_args(i, &a[2], &a[3]);
        h[0] = rep_exp(a[0]), h[1] = rep_log(a[1]), h[2] = rep_pow(a[2], a[3]);
        h[3] = rep_sin(a[4]), h[4] = rep_asin(a[5]);
    }
    SoftwareFma soft;
    ASSERT_FALSE(rep_math_hardware_fma());
    int differ = 0;
    for (int i = 0; i < n; i++) {
        const double *a = &args[6 * i], *h = &hw[5 * i];
        differ += !same_bits(h[0], rep_exp(a[0])) + !same_bits(h[1], rep_log(a[1])) +
                  !same_bits(h[2], rep_pow(a[2], a[3])) + !same_bits(h[3], rep_sin(a[4])) +
                  !same_bits(h[4], rep_asin(a[5]));
    }
    EXPECT_EQ(differ, 0);
}

// The emulation against the C library's fma(), which is exact on every
// processor: products of every size, sums that cancel, and exact halfway
// cases where a second rounding would go wrong.
TEST(RepMath, EmulatedFmaRoundsOnce)
{
    RepArgs r;
    int differ = 0;
    for (int i = 0; i < 2000000; i++) {
        double a = (r.unit() + 0.5) * std::ldexp(1.0, (int)(r.next() % 400) - 200);
        double b = (r.unit() - 0.5) * std::ldexp(1.0, (int)(r.next() % 400) - 200);
        double c;
        switch (i % 4) {
        case 0: c = -(a * b); break;                                         // cancellation
        case 1: c = -(a * b) * (1.0 + (r.unit() - 0.5) * 0x1p-40); break;   // near cancellation
        case 2: c = (r.unit() - 0.5) * std::ldexp(1.0, (int)(r.next() % 800) - 400); break;
        default: {
            // a*b has at most 54 bits: c one half unit away rounds a tie.
            a = (double)(r.next() >> 37 | 1), b = (double)(r.next() >> 36 | 1);
            c = std::ldexp((double)(r.next() >> 11), (int)(r.next() % 60) - 10);
        }
        }
        differ += !same_bits(rep_math_emulated_fma(a, b, c), std::fma(a, b, c));
    }
    for (double a : special_values())
        for (double b : special_values())
            for (double c : {0.0, -0.0, 1.0, -DBL_MAX, DBL_TRUE_MIN, (double)NAN})
                differ += !same_bits(rep_math_emulated_fma(a, b, c), std::fma(a, b, c));
    EXPECT_EQ(differ, 0);
}

// The C library's FMA versions are in use where the processor has FMA and
// AVX2 and no tunable turns them off; they are the functions reproduced in
// the library's release 2.36 (other releases may have changed sin or asin).
bool libc_uses_fma()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("fma") && __builtin_cpu_supports("avx2") && getenv("GLIBC_TUNABLES") == NULL &&
           strcmp(gnu_get_libc_version(), "2.36") == 0;
}

TEST(RepMath, TheCLibrarysFmaVersionsBitForBit)
{
    if (!libc_uses_fma())
        GTEST_SKIP() << "the C library here is not release 2.36 with its FMA versions";
    RepArgs r;
    int differ = 0;
    for (int i = 0; i < 1000000; i++) {
        double x = r.exp_arg(i), l = r.log_arg(i), px, py;
        r.pow_args(i, &px, &py);
        differ += !same_bits(exp(x), rep_exp(x));
        differ += !same_bits(log(l), rep_log(l));
        differ += !same_bits(pow(px, py), rep_pow(px, py));
        double sx = r.sin_arg(i), ax = r.asin_arg(i);
        differ += !same_bits(sin(sx), rep_sin(sx)) + !same_bits(asin(ax), rep_asin(ax));
    }
    for (double x : special_values()) {
        differ += !same_bits(exp(x), rep_exp(x)) || !same_bits(log(x), rep_log(x));
        differ += !same_bits(sin(x), rep_sin(x)) || !same_bits(asin(x), rep_asin(x));
        for (double y : special_values())
            differ += !same_bits(pow(x, y), rep_pow(x, y));
    }
    EXPECT_EQ(differ, 0);
}

// Error in units of the last place of the double nearest the reference.
double ulps(double got, long double want)
{
    double near = (double)want;
    double ulp = std::nextafter(fabs(near), INFINITY) - fabs(near);
    return (double)fabsl((long double)got - want) / ulp;
}

TEST(RepMath, WithinHalfAUnitInTheLastPlace)
{
    RepArgs r;
    double worst_exp = 0.0, worst_log = 0.0, worst_pow = 0.0, worst_sin = 0.0, worst_asin = 0.0;
    for (int i = 0; i < 200000; i++) {
        double x = (r.unit() - 0.5) * 1400.0;
        worst_exp = fmax(worst_exp, ulps(rep_exp(x), expl((long double)x)));
        double l = r.unit() * 100.0 + 1e-3;
        worst_log = fmax(worst_log, ulps(rep_log(l), logl((long double)l)));
        // |y log x| below 1 keeps the long-double reference accurate to
        // 64 bits.
        double px = r.unit() * 3.0 + 0.1, py = (r.unit() - 0.5) * 0.8;
        worst_pow = fmax(worst_pow, ulps(rep_pow(px, py), powl((long double)px, (long double)py)));
        double sx = (r.unit() - 0.5) * 100.0, ax = 2.0 * r.unit() - 1.0;
        worst_sin = fmax(worst_sin, ulps(rep_sin(sx), sinl((long double)sx)));
        worst_asin = fmax(worst_asin, ulps(rep_asin(ax), asinl((long double)ax)));
    }
    EXPECT_LT(worst_exp, 0.52);
    EXPECT_LT(worst_log, 0.52);
    EXPECT_LT(worst_pow, 0.52);
    EXPECT_LT(worst_sin, 0.55);
    EXPECT_LT(worst_asin, 0.55);
}

TEST(RepMath, SpecialValuesOfTheCStandard)
{
    struct Case {
        double x, y, want;
    };
    const Case pows[] = {
        {2.0, 10.0, 1024.0},      {-2.0, 3.0, -8.0},        {-2.0, -2.0, 0.25},      {2.0, -1075.0, 0.0},
        {4.0, 0.5, 2.0},          {0.0, -1.0, INFINITY},    {-0.0, -1.0, -INFINITY}, {-0.0, 3.0, -0.0},
        {0.0, 0.5, 0.0},          {1.0, NAN, 1.0},          {NAN, 0.0, 1.0},         {-1.0, INFINITY, 1.0},
        {0.5, INFINITY, 0.0},     {0.5, -INFINITY, INFINITY}, {2.0, INFINITY, INFINITY}, {-INFINITY, 3.0, -INFINITY},
        {-INFINITY, -3.0, -0.0},  {INFINITY, -0.5, 0.0},    {10.0, 400.0, INFINITY}, {-10.0, 401.0, -INFINITY},
        {DBL_TRUE_MIN, 1.0, DBL_TRUE_MIN}, {0x1p-1022, 0.5, 0x1p-511},
    };
    for (const Case &c : pows)
        EXPECT_TRUE(same_bits(rep_pow(c.x, c.y), c.want)) << "pow(" << c.x << ", " << c.y << ")";
    EXPECT_TRUE(std::isnan(rep_pow(-8.0, 1.0 / 3.0)));
    EXPECT_TRUE(std::isnan(rep_pow(NAN, 1.0)));

    const Case exps[] = {{0.0, 0, 1.0},        {-0.0, 0, 1.0},     {-INFINITY, 0, 0.0}, {INFINITY, 0, INFINITY},
                         {710.0, 0, INFINITY}, {-746.0, 0, 0.0},   {1.0, 0, M_E},       {M_LN2, 0, 2.0},
                         {-745.0, 0, DBL_TRUE_MIN}, {0x1p-60, 0, 1.0}};
    for (const Case &c : exps)
        EXPECT_TRUE(same_bits(rep_exp(c.x), c.want)) << "exp(" << c.x << ")";

    const Case logs[] = {{1.0, 0, 0.0}, {0.0, 0, -INFINITY}, {-0.0, 0, -INFINITY}, {INFINITY, 0, INFINITY},
                         {2.0, 0, M_LN2}, {M_E, 0, 1.0}, {DBL_TRUE_MIN, 0, -744.4400719213812}};
    for (const Case &c : logs)
        EXPECT_TRUE(same_bits(rep_log(c.x), c.want)) << "log(" << c.x << ")";
    EXPECT_TRUE(std::isnan(rep_log(-1.0)));
    EXPECT_TRUE(std::isnan(rep_log(NAN)));
    EXPECT_TRUE(std::isnan(rep_exp(NAN)));

    const Case trig[] = {{0.0, 0.0, 0.0}, {-0.0, -0.0, -0.0}, {1e-300, 1e-300, 1e-300}, {-0x1p-30, -0x1p-30, -0x1p-30},
                         {M_PI_2, 1.0, 1.5707963267948966}, {-M_PI_2, -1.0, -1.5707963267948966}};
    for (const Case &c : trig) {
        EXPECT_TRUE(same_bits(rep_sin(c.x), c.y)) << "sin(" << c.x << ")";
        EXPECT_TRUE(same_bits(rep_asin(c.y), c.want)) << "asin(" << c.y << ")";
    }
    for (double x : {(double)INFINITY, -(double)INFINITY, (double)NAN}) {
        EXPECT_TRUE(std::isnan(rep_sin(x)));
        EXPECT_TRUE(std::isnan(rep_asin(x)));
    }
    EXPECT_TRUE(std::isnan(rep_asin(1.0 + DBL_EPSILON)));
}

} // namespace
