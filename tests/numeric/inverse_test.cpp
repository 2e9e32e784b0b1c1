// Matrix inverse by LU decomposition: residuals of A·A⁻¹ against the
// identity, the exact inverse of Hilbert matrices, the pivot order on ties,
// the zero-pivot stand-in and the fatal message for a zero row.
#include "numeric/inverse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <random>
#include <vector>

#include "alloc/alloc.h"
#include "testutil.h"

namespace {

// An n x n matrix from the tracked allocator, released at the end of scope.
struct SquareMat {
    explicit SquareMat(int n_) : n(n_) { alloc(n, n, &a); }
    ~SquareMat() { frei(n, n, &a); }
    SquareMat(const SquareMat &) = delete;
    SquareMat &operator=(const SquareMat &) = delete;
    real *operator[](int i) const { return a[i]; }
    int n;
    real **a = NULL;
};

void fill(SquareMat &m, const std::vector<std::vector<real>> &rows)
{
    for (int i = 0; i < m.n; i++)
        for (int j = 0; j < m.n; j++)
            m[i][j] = rows[i][j];
}

real max_abs(const SquareMat &m)
{
    real big = 0.0;
    for (int i = 0; i < m.n; i++)
        for (int j = 0; j < m.n; j++)
            big = std::max(big, std::fabs(m[i][j]));
    return big;
}

// Binomial coefficient, exact in double for the small arguments used here.
real binom(int n, int k)
{
    real b = 1.0;
    for (int i = 1; i <= k; i++)
        b = b * (n - k + i) / i;
    return b;
}

TEST(Inverse, ProductWithTheInverseIsTheIdentity)
{
    std::mt19937 gen(20240611);
    std::uniform_real_distribution<real> unif(-1.0, 1.0);
    for (int n = 1; n <= 50; n++) {
        SquareMat a(n), acopy(n), y(n);
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++)
                a[i][j] = acopy[i][j] = unif(gen);
        inverse(acopy.a, y.a, n);
        // Residual relative to the sizes of A and A⁻¹ (rows times columns).
        real worst = 0.0;
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++) {
                real s = 0.0;
                for (int k = 0; k < n; k++)
                    s += a[i][k] * y[k][j];
                worst = std::max(worst, std::fabs(s - (i == j ? 1.0 : 0.0)));
            }
        EXPECT_LE(worst / (n * max_abs(a) * max_abs(y)), 4096 * n * DBL_EPSILON) << "n = " << n;
    }
}

TEST(Inverse, HilbertMatrixAgainstItsExactIntegerInverse)
{
    for (int n = 1; n <= 7; n++) {
        SquareMat h(n), y(n), exact(n);
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++) {
                h[i][j] = 1.0 / (i + j + 1);
                // With one-based indices I, J:
                // (-1)^(I+J) (I+J-1) C(n+I-1, n-J) C(n+J-1, n-I) C(I+J-2, I-1)^2
                int I = i + 1, J = j + 1;
                real c = binom(I + J - 2, I - 1);
                exact[i][j] = ((I + J) % 2 ? -1.0 : 1.0) * (I + J - 1) * binom(n + I - 1, n - J) *
                              binom(n + J - 1, n - I) * c * c;
            }
        // Condition number in the max-row-sum norm, from the exact inverse.
        real normh = 0.0, norminv = 0.0;
        for (int i = 0; i < n; i++) {
            real sh = 0.0, si = 0.0;
            for (int j = 0; j < n; j++) {
                sh += std::fabs(h[i][j]);
                si += std::fabs(exact[i][j]);
            }
            normh = std::max(normh, sh);
            norminv = std::max(norminv, si);
        }
        real tol = 64 * n * DBL_EPSILON * normh * norminv;
        inverse(h.a, y.a, n);
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++)
                EXPECT_NEAR(y[i][j] / exact[i][j], 1.0, tol) << "n = " << n << " [" << i << "][" << j << "]";
    }
    // A small case written out: the inverse of the 3 x 3 Hilbert matrix.
    SquareMat h(3), y(3);
    fill(h, {{1.0, 1.0 / 2, 1.0 / 3}, {1.0 / 2, 1.0 / 3, 1.0 / 4}, {1.0 / 3, 1.0 / 4, 1.0 / 5}});
    inverse(h.a, y.a, 3);
    const real want[3][3] = {{9, -36, 30}, {-36, 192, -180}, {30, -180, 180}};
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            EXPECT_NEAR(y[i][j], want[i][j], 1e-11 * std::fabs(want[i][j]));
}

TEST(Inverse, OneByOneMatrixKeepsItsValue)
{
    SquareMat a(1), y(1);
    a[0][0] = -4.0;
    inverse(a.a, y.a, 1);
    EXPECT_EQ(y[0][0], -0.25);
    EXPECT_EQ(a[0][0], -4.0);
}

TEST(Inverse, ZeroPivotIsReplacedSilently)
{
    // [[1,2],[2,4]] is singular without a zero row. Both rows scale to the
    // same candidate, the later one wins, and the second pivot is exactly 0,
    // replaced by 1e-20: U = [[2,4],[0,1e-20]], L = [[1,0],[0.5,1]] with the
    // rows swapped, whose inverse worked by hand is [[-2e20,1e20],[1e20,-5e19]].
    ReportCapture report;
    SquareMat a(2), y(2);
    fill(a, {{1.0, 2.0}, {2.0, 4.0}});
    inverse(a.a, y.a, 2);
    EXPECT_EQ(a[0][0], 2.0);
    EXPECT_EQ(a[0][1], 4.0);
    EXPECT_EQ(a[1][0], 0.5);
    EXPECT_EQ(a[1][1], 1.0e-20);
    EXPECT_NEAR(y[0][0] / -2e20, 1.0, 1e-15);
    EXPECT_NEAR(y[0][1] / 1e20, 1.0, 1e-15);
    EXPECT_NEAR(y[1][0] / 1e20, 1.0, 1e-15);
    EXPECT_NEAR(y[1][1] / -5e19, 1.0, 1e-15);
    EXPECT_EQ(report.take(), "");
}

TEST(Inverse, WorkVectorsAreReleased)
{
    // Tracking mode: the registries are the same before and after.
    SquareMat a(3), y(3);
    fill(a, {{2.0, 1.0, 0.0}, {1.0, 2.0, 1.0}, {0.0, 1.0, 2.0}});
    SPEED = 0;
    int reals = size_list, ints = size_int_list;
    inverse(a.a, y.a, 3);
    EXPECT_EQ(size_list, reals);
    EXPECT_EQ(size_int_list, ints);
    SPEED = 1;
}

TEST(Inverse, ZeroRowIsFatal)
{
    SquareMat a(3), y(3);
    fill(a, {{1.0, 2.0, 3.0}, {0.0, 0.0, 0.0}, {4.0, 5.0, 7.0}});
    EXPECT_FATAL(inverse(a.a, y.a, 3), "inverse : Singular matrix in routine ludcmp");
}

TEST(Ludcmp, TiesInThePivotSearchChooseTheLaterRow)
{
    // Both rows have scale 1 and the same first-column candidate 1; taking
    // the later row swaps them: P·A = [[1,1],[1,0.5]] = L·U with
    // L = [[1,0],[1,1]] and U = [[1,1],[0,-0.5]].
    SquareMat a(2);
    fill(a, {{1.0, 0.5}, {1.0, 1.0}});
    int indx[2];
    real d = 0.0;
    ludcmp(a.a, 2, indx, &d);
    EXPECT_EQ(indx[0], 1);
    EXPECT_EQ(indx[1], 1);
    EXPECT_EQ(d, -1.0);
    EXPECT_EQ(a[0][0], 1.0);
    EXPECT_EQ(a[0][1], 1.0);
    EXPECT_EQ(a[1][0], 1.0);
    EXPECT_EQ(a[1][1], -0.5);
}

TEST(Lubksb, SolvesWithLeadingZerosInTheRightHandSide)
{
    // A = [[4,1,0],[1,3,1],[0,1,2]], x = (1, -2, 3) gives b = (2, -2, 4);
    // and b = (0, 0, 1) exercises the skipped leading zeros: x is the last
    // column of A⁻¹ = [[5,-2,1],[-2,8,-4],[1,-4,11]] / 18.
    SquareMat a(3);
    fill(a, {{4.0, 1.0, 0.0}, {1.0, 3.0, 1.0}, {0.0, 1.0, 2.0}});
    int indx[3];
    real d;
    ludcmp(a.a, 3, indx, &d);
    real b[3] = {2.0, -2.0, 4.0};
    lubksb(a.a, 3, indx, b);
    EXPECT_NEAR(b[0], 1.0, 1e-15);
    EXPECT_NEAR(b[1], -2.0, 1e-15);
    EXPECT_NEAR(b[2], 3.0, 1e-15);
    real e[3] = {0.0, 0.0, 1.0};
    lubksb(a.a, 3, indx, e);
    EXPECT_NEAR(e[0], 1.0 / 18, 1e-16);
    EXPECT_NEAR(e[1], -4.0 / 18, 1e-16);
    EXPECT_NEAR(e[2], 11.0 / 18, 1e-15);
}

} // namespace
