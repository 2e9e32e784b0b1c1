// Full factorial grids in odometer order, the odometer step, row exchange,
// binomial coefficients, and the fatal limits.
#include "numeric/grid.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "alloc/alloc.h"
#include "testutil.h"

namespace {

using Points = std::vector<std::vector<real>>;

Points make_grid(int n_levels, const Points &ranges)
{
    int d = (int)ranges.size(), npred = -1;
    real **m = NULL, **g = NULL;
    alloc(d, 2, &m);
    for (int j = 0; j < d; j++)
        for (int side = 0; side < 2; side++)
            m[j][side] = ranges[j][side];
    grid(n_levels, d, m, &g, &npred);
    Points out(npred);
    for (int i = 0; i < npred; i++)
        out[i].assign(g[i], g[i] + d);
    frei(npred, d, &g);
    frei(d, 2, &m);
    return out;
}

TEST(Grid, RowsRunInOdometerOrderLastVariableFastest)
{
    struct Case {
        int n_levels;
        Points ranges, expected;
    } cases[] = {
        {2, {{0, 1}, {10, 20}}, {{0, 10}, {0, 20}, {1, 10}, {1, 20}}},
        {3, {{-1, 1}}, {{-1}, {0}, {1}}},
        {2, {{0, 1}, {0, 2}, {5, 6}},
         {{0, 0, 5}, {0, 0, 6}, {0, 2, 5}, {0, 2, 6}, {1, 0, 5}, {1, 0, 6}, {1, 2, 5}, {1, 2, 6}}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(make_grid(c.n_levels, c.ranges), c.expected);

    const real a = -0.3, b = 2.7;
    Points g = make_grid(10, {{a, b}});
    ASSERT_EQ(g.size(), 10u);
    for (int k = 0; k < 10; k++)
        EXPECT_EQ(g[k][0], a + ((real)k / 9.0) * (b - a)) << k;
}

TEST(Grid, OdometerWrapsToZeroAndExchangeOfARowWithItself)
{
    int levels[1] = {3}, elem[1] = {1};
    EXPECT_TRUE(PermGrid(1, levels, elem));
    EXPECT_FALSE(PermGrid(1, levels, elem));
    EXPECT_EQ(elem[0], 0);

    real **m = NULL;
    alloc(2, 2, &m);
    m[0][0] = 1, m[0][1] = 2, m[1][0] = 3, m[1][1] = 4;
    exchange(2, m, 1, 1);
    EXPECT_EQ(m[1][0], 3);
    EXPECT_EQ(m[1][1], 4);
    exchange(2, m, 0, 1);
    EXPECT_EQ(m[0][1], 4);
    EXPECT_EQ(m[1][0], 1);
    frei(2, 2, &m);
}

TEST(Grid, BinomialCoefficientsAgreeWithPascalsTriangle)
{
    int row[11] = {1};
    for (int n = 0; n <= 10; n++) {
        for (int i = n; i > 0; i--)
            row[i] += row[i - 1];
        for (int i = 0; i <= n; i++)
            EXPECT_EQ(choose(n, i), row[i]) << n << " over " << i;
    }
    EXPECT_EQ(factorial(12), 479001600);
}

TEST(GridDeathTest, FatalLimits)
{
    int levels[1] = {2}, elem[1] = {0}, npred = 0;
    real **range = NULL, **g = NULL;
    alloc(30, 2, &range);
    for (int j = 0; j < 30; j++) {
        range[j][0] = 0;
        range[j][1] = 1;
    }
    const std::pair<std::function<void()>, const char *> cases[] = {
        {[&] { grid(1, 2, range, &g, &npred); }, "grid(): Code Bug : <=1 on grid"},
        {[&] { grid(10, 10, range, &g, &npred); },
         "grid(): 10 levels on 10 variables give more than 2147483647 grid points"},
        {[&] { PermGrid(0, levels, elem); }, "PermGrid: dimension is zero or negative."},
        {[] { choose(11, 2); }, "choose: rewrite procedure, can't handle n>10"},
        {[] { choose(2, 3); }, "choose: i>n , mathematical nonsense\n"},
        {[] { factorial(31); }, "factorial: n! where n>30, number too large"},
        {[] { factorial(13); }, "factorial: n! where n>12 does not fit an integer"},
        {[] { factorial(-1); }, "factorial: (n<0) or (n is not an integer)"},
    };
    for (const auto &c : cases)
        EXPECT_FATAL(c.first(), c.second);
#ifndef __SANITIZE_ADDRESS__
    // 2^30 points of 30 inputs (some 270 GB) are refused before any row is
    // made. (Under the address sanitizer its allocator ends the run itself.)
    EXPECT_FATAL(grid(2, 30, range, &g, &npred),
                 "grid(): 2 levels on 30 variables give 1073741824 grid points, more than memory can hold");
#endif
    frei(30, 2, &range);
}

} // namespace
