// Powell's minimiser on problems with known minima, at the minimum itself and
// at the iteration limit; each in a session that checks that every work vector
// is released.
#include "numeric/powell.h"

#include <gtest/gtest.h>

#include <cmath>

#include "numeric/matrix.h"
#include "session.h"

namespace {

// Runs Powell from p with the identity directions.
int run(ObjFunc f, real ftol, int itmax, int n, real *p, real *fret)
{
    real **xi = NULL;
    alloc(n, n, &xi);
    init_diag_mat(1.0, n, xi);
    int iter = Powell(f, ftol, itmax, n, p, fret, xi);
    frei(n, n, &xi);
    return iter;
}

// (x - c)' A (x - c) with strongly correlated variables: the eigenvalues of A
// run from about 0.1 to 3, in directions that mix the inputs.
const real center[3] = {1.0, -2.0, 0.5};
real correlated(real *x, int)
{
    const real A[3][3] = {{1.0, 0.9, 0.125}, {0.9, 1.0, 0.125}, {0.125, 0.125, 3.0}};
    real s = 0;
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            s += (x[i] - center[i]) * A[i][j] * (x[j] - center[j]);
    return s;
}

real rosenbrock(real *x, int) { return 100.0 * pow(x[1] - x[0] * x[0], 2) + pow(1.0 - x[0], 2); }

real sum_of_squares(real *x, int n)
{
    real s = 0;
    for (int i = 0; i < n; i++)
        s += x[i] * x[i];
    return s;
}

TEST(Powell, FindsTheMinimaOfACorrelatedQuadraticAndOfRosenbrockWithinTheLimit)
{
    Session s;
    real p[3] = {-3.0, 4.0, 2.0}, fret = -1;
    EXPECT_LT(run(correlated, 1e-12, 200, 3, p, &fret), 200);
    for (int i = 0; i < 3; i++)
        EXPECT_NEAR(p[i], center[i], 1e-4) << i;
    EXPECT_EQ(fret, correlated(p, 3)) << "fret is the value at the returned point";

    real q[2] = {-1.2, 1.0};
    EXPECT_LT(run(rosenbrock, 1e-14, 500, 2, q, &fret), 500);
    EXPECT_NEAR(q[0], 1.0, 1e-4);
    EXPECT_NEAR(q[1], 1.0, 2e-4);
    EXPECT_LT(fret, 1e-8);

    // One sweep that does not pass the test: the limit is reported, not fatal.
    real r[3] = {-3.0, 4.0, 2.0};
    real start = correlated(r, 3);
    EXPECT_EQ(run(correlated, 1e-12, 1, 3, r, &fret), 1);
    EXPECT_LT(fret, start);
    EXPECT_EQ(fret, correlated(r, 3));
}

TEST(Powell, StartedAtTheMinimumReturnsZeroWithoutMoving)
{
    Session s;
    for (int n : {1, 2, 4}) {
        real p[4] = {0, 0, 0, 0}, fret = -1;
        EXPECT_EQ(run(sum_of_squares, 1e-6, 50, n, p, &fret), 0) << n;
        EXPECT_EQ(fret, 0.0);
        for (int i = 0; i < n; i++)
            EXPECT_EQ(p[i], 0.0);
    }
}

} // namespace
