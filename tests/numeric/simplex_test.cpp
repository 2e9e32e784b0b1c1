// The Nelder-Mead simplex: known minima of a quadratic bowl and of
// Rosenbrock's valley in 2 and 4 dimensions, the evaluation count against
// the evaluations actually made, the stopping rules, the evaluation limit,
// the order of the returned simplex, and the dispatcher.
#include "numeric/simplex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "alloc/alloc.h"
#include "testutil.h"

namespace {

// Evaluations made by the objectives below.
unsigned calls = 0;

// Σ (k + 1)·(x_k - (k + 1))²: minimum 0 at (1, 2, 3, ...).
real bowl(real *x, int n)
{
    calls++;
    real s = 0.0;
    for (int k = 0; k < n; k++)
        s += (k + 1) * (x[k] - (k + 1)) * (x[k] - (k + 1));
    return s;
}

// Σ 100·(x_{k+1} - x_k²)² + (1 - x_k)²: minimum 0 at (1, 1, ...).
real rosenbrock(real *x, int n)
{
    calls++;
    real s = 0.0;
    for (int k = 0; k + 1 < n; k++)
        s += 100.0 * (x[k + 1] - x[k] * x[k]) * (x[k + 1] - x[k] * x[k]) + (1.0 - x[k]) * (1.0 - x[k]);
    return s;
}

real constant(real *, int)
{
    calls++;
    return 2.5;
}

// A simplex of n + 1 vertices from the tracked allocator: start and start
// plus `step` along each axis, with their values.
struct Simp {
    Simp(ObjFunc f, const std::vector<real> &start, real step) : n((int)start.size())
    {
        alloc(n + 1, n, &p);
        alloc(n + 1, &y);
        for (int i = 0; i <= n; i++) {
            for (int k = 0; k < n; k++)
                p[i][k] = start[k] + (i == k + 1 ? step : 0.0);
            y[i] = f(p[i], n);
        }
    }
    ~Simp()
    {
        frei(n + 1, n, &p);
        frei(n + 1, &y);
    }
    int n;
    real **p = NULL;
    real *y = NULL;
};

struct Case {
    const char *name;
    ObjFunc f;
    std::vector<real> start, minimum;
};

TEST(Simplex, FindsKnownMinimaAndCountsEveryEvaluation)
{
    const std::vector<Case> cases = {
        {"bowl 2", bowl, {-3.0, 4.0}, {1.0, 2.0}},
        {"bowl 4", bowl, {0.0, 0.0, 0.0, 0.0}, {1.0, 2.0, 3.0, 4.0}},
        {"rosenbrock 2", rosenbrock, {-1.2, 1.0}, {1.0, 1.0}},
        {"rosenbrock 4", rosenbrock, {-1.2, 1.0, -1.2, 1.0}, {1.0, 1.0, 1.0, 1.0}},
    };
    for (const Case &c : cases) {
        int n = (int)c.start.size();
        std::vector<real> x = c.start;
        // Restarts from the best point until a restart no longer improves:
        // the usual cure for a simplex that has collapsed in a valley.
        real best = HUGE_VAL;
        for (int restart = 0; restart < 10; restart++) {
            Simp s(c.f, x, 0.5);
            calls = 0;
            unsigned count = Simplex(c.f, 1e-22, 1e-15, 100000, n, s.p, s.y);
            EXPECT_EQ(count, calls) << c.name;
            EXPECT_LT(count, 100000u) << c.name;
            for (int i = 0; i <= n; i++)
                EXPECT_LE(s.y[0], s.y[i]) << c.name;
            EXPECT_EQ(s.y[0], c.f(s.p[0], n)) << c.name << ": y[0] belongs to row 0";
            x.assign(s.p[0], s.p[0] + n);
            if (!(s.y[0] < best))
                break;
            best = s.y[0];
        }
        for (int k = 0; k < n; k++)
            EXPECT_NEAR(x[k], c.minimum[k], 1e-6) << c.name << " coordinate " << k;
        EXPECT_LT(best, 1e-12) << c.name;
    }
}

TEST(Simplex, OneDimension)
{
    Simp s(bowl, {5.0}, 1.0);
    calls = 0;
    unsigned count = Simplex(bowl, 1e-30, 1e-15, 10000, 1, s.p, s.y);
    EXPECT_EQ(count, calls);
    EXPECT_NEAR(s.p[0][0], 1.0, 1e-7);
}

TEST(Simplex, EqualValuesStopAtOnceWithTheFirstVertexFirst)
{
    Simp s(constant, {1.0, 2.0, 3.0}, 1.0);
    real *row0 = s.p[0];
    calls = 0;
    // A range of 0 meets the relative test even with a negative AbsTol.
    EXPECT_EQ(Simplex(constant, -6.0, 1e-5, 2000, 3, s.p, s.y), 0u);
    EXPECT_EQ(calls, 0u);
    EXPECT_EQ(s.p[0], row0);
}

TEST(Simplex, LimitIsTestedAtTheTopOfAnIteration)
{
    // The count reaches the limit and passes it by at most one iteration:
    // two trials, plus nDims evaluations with a shrink.
    for (int n : {2, 4}) {
        for (unsigned limit : {1u, 5u, 17u, 40u}) {
            Simp s(rosenbrock, std::vector<real>(n, -1.0), 0.3);
            calls = 0;
            unsigned count = Simplex(rosenbrock, -6.0, 0.0, limit, n, s.p, s.y);
            EXPECT_EQ(count, calls);
            EXPECT_GE(count, limit) << "n " << n << " limit " << limit;
            EXPECT_LE(count, limit + 1 + (unsigned)n) << "n " << n << " limit " << limit;
        }
    }
}

TEST(Simplex, MinimumValueZeroEndsByRangeZeroOrTheLimit)
{
    // AbsTol 0 and a relative test that cannot hold near a minimum of 0.
    Simp s(bowl, {0.3, 0.1}, 0.2);
    calls = 0;
    unsigned count = Simplex(bowl, 0.0, 0.001, 3000, 2, s.p, s.y);
    EXPECT_EQ(count, calls);
    EXPECT_TRUE(count >= 3000 || (s.y[0] == s.y[1] && s.y[1] == s.y[2])) << count;
    EXPECT_LT(s.y[0], 1e-12);
}

TEST(Minimize, SimplexByNameOtherNamesAreFatal)
{
    Simp a(bowl, {2.0, -1.0}, 0.5), b(bowl, {2.0, -1.0}, 0.5);
    int viaMinimize = Minimize(bowl, -6.0, 1e-8, 2000, 2, a.p, a.y, "simplex");
    int direct = (int)Simplex(bowl, -6.0, 1e-8, 2000, 2, b.p, b.y);
    EXPECT_EQ(viaMinimize, direct);
    EXPECT_EQ(a.y[0], b.y[0]);
    EXPECT_EQ(a.p[0][0], b.p[0][0]);
    EXPECT_FATAL(Minimize(bowl, -6.0, 1e-8, 2000, 2, a.p, a.y, "Simplex"), "minimize: Minimization method unknown");
}

} // namespace
