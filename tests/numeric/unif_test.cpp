// Uniform generator: seeding rules and the recurrence against an independent
// computation.
#include "numeric/unif.h"

#include <gtest/gtest.h>

namespace {

// The three-part recurrence written out with 64-bit arithmetic.
struct Reference {
    long long x, y, z;
    double next()
    {
        x = (171 * x) % 30269;
        y = (172 * y) % 30307;
        z = (170 * z) % 30323;
        double u = x / 30269.0 + y / 30307.0 + z / 30323.0;
        while (u > 1.0)
            u -= 1.0;
        return u;
    }
};

TEST(RandUnif, FirstValueAfterStartUpSeeds)
{
    ASSERT_EQ(RandInit(10, 20, 1000), 0);
    // State (1710, 3440, 18385).
    double expected = 1710 / 30269.0 + 3440 / 30307.0 + 18385 / 30323.0;
    while (expected > 1.0)
        expected -= 1.0;
    double u = RandUnif();
    EXPECT_EQ(u, expected);
    EXPECT_NEAR(u, 0.776304, 5e-7);
}

TEST(RandUnif, SchrageFormMatchesTheModularRecurrence)
{
    // 171 (x mod 177) - 2 (x div 177) is 171 x mod 30269 computed without
    // overflow; check a long run against the direct product.
    ASSERT_EQ(RandInit(123, 4567, 28999), 0);
    Reference ref{123, 4567, 28999};
    for (int i = 0; i < 100000; i++) {
        double expected = ref.next();
        double u = RandUnif();
        ASSERT_NEAR(u, expected, 1e-15) << "draw " << i;
        ASSERT_GT(u, 0.0);
        ASSERT_LE(u, 1.0);
    }
}

TEST(RandUnif, InvalidSeedsLeaveTheSequenceUnchanged)
{
    ASSERT_EQ(RandInit(10, 20, 1000), 0);
    double first = RandUnif();
    ASSERT_EQ(RandInit(10, 20, 1000), 0);
    EXPECT_EQ(RandInit(0, 5, 5), -45);
    EXPECT_EQ(RandInit(5, 5, 30001), -45);
    EXPECT_EQ(RandUnif(), first);
    EXPECT_EQ(RandInit(30000, 30000, 30000), 0);
}

} // namespace
