// The Nelder-Mead simplex: the known minima of a quadratic bowl and of
// Rosenbrock's valley, the evaluation count against the evaluations made,
// the stopping rules and the evaluation limit, and the dispatcher.
#include "numeric/simplex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "alloc/alloc.h"
#include "numeric/matrix.h"
#include "numeric/powell.h"
#include "testutil.h"

namespace {

unsigned calls = 0; // evaluations made by the objectives below

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
real rosenbrock_n(real *x, int n)
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

// The simplex of start and start + step along each axis, with its values.
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
        calls = 0;
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

TEST(Simplex, FindsKnownMinimaAndCountsEveryEvaluation)
{
    struct Case {
        ObjFunc f;
        std::vector<real> start, minimum;
    } cases[] = {
        {bowl, {5.0}, {1.0}},
        {bowl, {-3.0, 4.0}, {1.0, 2.0}},
        {bowl, {0.0, 0.0, 0.0, 0.0}, {1.0, 2.0, 3.0, 4.0}},
        {rosenbrock_n, {-1.2, 1.0}, {1.0, 1.0}},
        {rosenbrock_n, {-1.2, 1.0, -1.2, 1.0}, {1.0, 1.0, 1.0, 1.0}},
    };
    for (const Case &c : cases) {
        int n = (int)c.start.size();
        SCOPED_TRACE(std::string(c.f == bowl ? "bowl " : "rosenbrock ") + std::to_string(n));
        std::vector<real> x = c.start;
        // Restarts from the best point while they improve: the usual cure
        // for a simplex collapsed in a curved valley.
        real best = HUGE_VAL;
        for (int restart = 0; restart < 10; restart++) {
            Simp s(c.f, x, 0.5);
            EXPECT_EQ(Simplex(c.f, 1e-22, 1e-15, 100000, n, s.p, s.y), calls);
            for (int i = 0; i <= n; i++)
                EXPECT_LE(s.y[0], s.y[i]);
            EXPECT_EQ(s.y[0], c.f(s.p[0], n)) << "y[0] belongs to row 0";
            x.assign(s.p[0], s.p[0] + n);
            if (!(s.y[0] < best))
                break;
            best = s.y[0];
        }
        for (int k = 0; k < n; k++)
            EXPECT_NEAR(x[k], c.minimum[k], 1e-6) << "coordinate " << k;
    }
}

TEST(Simplex, StoppingRulesAndTheLimit)
{
    // Equal values: a range of 0 meets the relative test even with a
    // negative AbsTol; no evaluation, vertex 0 stays first.
    Simp flat(constant, {1.0, 2.0, 3.0}, 1.0);
    real *row0 = flat.p[0];
    EXPECT_EQ(Simplex(constant, -6.0, 1e-5, 2000, 3, flat.p, flat.y), 0u);
    EXPECT_EQ(flat.p[0], row0);
    // The limit is tested at the top of an iteration: the count reaches it
    // and passes it by at most two trials plus the nDims of a shrink.
    for (int n : {2, 4})
        for (unsigned limit : {1u, 5u, 17u, 40u}) {
            Simp s(rosenbrock_n, std::vector<real>(n, -1.0), 0.3);
            unsigned count = Simplex(rosenbrock_n, -6.0, 0.0, limit, n, s.p, s.y);
            EXPECT_EQ(count, calls);
            EXPECT_GE(count, limit);
            EXPECT_LE(count, limit + 1 + n);
        }
}

TEST(Minimize, SimplexByNameOtherNamesAreFatal)
{
    Simp a(bowl, {2.0, -1.0}, 0.5), b(bowl, {2.0, -1.0}, 0.5);
    EXPECT_EQ(Minimize(bowl, -6.0, 1e-8, 2000, 2, a.p, a.y, "simplex"), (int)Simplex(bowl, -6.0, 1e-8, 2000, 2, b.p, b.y));
    EXPECT_EQ(a.p[0][1], b.p[0][1]);
    EXPECT_FATAL(Minimize(bowl, -6.0, 1e-8, 2000, 2, a.p, a.y, "Simplex"), "minimize: Minimization method unknown");
}


// Powell's method through the dispatcher: the direction set starts as the
// unit directions, is carried from one call to the next of the same
// dimension, and starts again from the unit directions when the dimension
// changes. Each call is compared with Powell run on a direction set kept by
// the test.
TEST(Minimize, PowellKeepsItsDirectionsWithinOneDimension)
{
    Minimize_release();
    real **xi2 = NULL, **xi3 = NULL;
    alloc(2, 2, &xi2);
    alloc(3, 3, &xi3);
    init_diag_mat(1.0, 2, xi2);
    init_diag_mat(1.0, 3, xi3);
    struct Call {
        std::vector<real> start;
        real **xi;
        bool reset;
    } calls_made[] = {{{2.0, -1.0}, xi2, false}, {{-3.0, 0.5}, xi2, false}, {{0.0, 0.0, 5.0}, xi3, false},
                      {{2.0, -1.0}, xi2, true}};
    for (const auto &c : calls_made) {
        int n = (int)c.start.size();
        if (c.reset)
            init_diag_mat(1.0, n, c.xi);
        Simp a(rosenbrock_n, c.start, 0.5);
        std::vector<real> p = c.start;
        real fret;
        int expected = Powell(rosenbrock_n, 1e-6, 200, n, p.data(), &fret, c.xi);
        EXPECT_EQ(Minimize(rosenbrock_n, 0.0, 1e-6, 200, n, a.p, a.y, "powell"), expected);
        EXPECT_EQ(a.y[0], fret);
        for (int k = 0; k < n; k++)
            EXPECT_EQ(a.p[0][k], p[k]);
    }
    frei(2, 2, &xi2);
    frei(3, 3, &xi3);
    Minimize_release();
    EXPECT_FATAL(Minimize(rosenbrock_n, 0.0, 1e-6, 200, 0, NULL, NULL, "powell"),
                 "Minimize(Powell) : Dimension of ObjFunc is 0");
}

} // namespace
