// Numbers as text: the usual layout kept where it is exact, and every value,
// of any magnitude, read back as the same double.
#include "numeric/numtext.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <random>

TEST(NumText, KeepsTheLayoutWhereItIsExact)
{
    struct { real x; const char *fmt, *text; } cases[] = {
        {0.5, "%10.5f", "   0.50000"}, {-3.25, "%10.5f", "  -3.25000"}, {0.0, "%f", "0.000000"},
        {1234.125, "%f", "1234.125000"}, {1e-6, "%f", "0.000001"},
        // Not exact in the layout: the fewest digits that are, in its width.
        {0.1, "%10.5f", "   0.10000"}, {5.3e-5, "%f", "0.000053"},
        // Not exact in the layout: the fewest digits that are, in its width.
        {0.123456789, "%10.5f", "0.123456789"}, {5.3123e-5, "%f", "5.3123e-05"},
        {1.0 / 3.0, "%f", "0.3333333333333333"}, {4e-7, "%10.5f", "     4e-07"},
        {-2.5e-9, "%10.5f", "  -2.5e-09"},
    };
    for (const auto &c : cases) {
        char buf[64];
        exact_real_text(c.x, c.fmt, buf, sizeof buf);
        EXPECT_STREQ(c.text, buf) << c.x;
    }
}

TEST(NumText, EveryMagnitudeReadsBack)
{
    std::mt19937_64 gen(7);
    std::uniform_real_distribution<double> mant(-1.0, 1.0);
    for (int e = -300; e <= 300; e += 7) {
        for (int k = 0; k < 20; k++) {
            real x = mant(gen) * std::pow(10.0, e);
            char buf[64];
            exact_real_text(x, "%10.5f", buf, sizeof buf);
            EXPECT_EQ(x, strtod(buf, NULL)) << buf;
        }
    }
    char buf[64];
    exact_real_text(DBL_MIN / 8, "%f", buf, sizeof buf);
    EXPECT_EQ(DBL_MIN / 8, strtod(buf, NULL));
    exact_real_text(-DBL_MAX, "%f", buf, sizeof buf);
    EXPECT_EQ(-DBL_MAX, strtod(buf, NULL));
}
