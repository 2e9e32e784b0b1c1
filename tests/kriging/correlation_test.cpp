// Correlation and regression matrices: R and r against the product formula
// evaluated directly, the special parameter values, the augmented matrix and
// its guarded reciprocals, the (T1) warning and every fatal message.
#include "kriging/correlation.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "alloc/alloc.h"
#include "kriging/predict.h"
#include "model/krigmodel.h"
#include "testutil.h"

namespace {

const char *const T1_LINE = "WARNING: Correlation Matrix is singular. Proceed with fingers crossed. (T1)\n";

// The four lines of the value form of the fatal-error routine.
std::string value_fatal_text(const std::string &message, const std::string &value)
{
    return "MORLA error ... \nstochratio: " + value + " \n" + message + " \nNow exiting to system ... \n ";
}

// A model record with n points in d inputs and r regression terms, seeded
// design in [0, 1]^d, released at the end of scope.
struct Model {
    Model(int n, int d, int r = 1, unsigned seed = 1)
    {
        NULL_KrigModel(&kr);
        init_KrigModel(&kr, n, d, r);
        std::mt19937 gen(seed);
        std::uniform_real_distribution<real> unif(0.0, 1.0);
        for (int i = 0; i < n; i++)
            for (int k = 0; k < d; k++)
                kr.X[i][k] = unif(gen);
        kr.init.X = TRUE;
    }
    ~Model() { free_KrigModel(&kr); }
    Model(const Model &) = delete;
    Model &operator=(const Model &) = delete;
    int n() const { return kr.n[0]; }
    int d() const { return kr.d[0]; }
    void set_parameters(const std::vector<real> &alpha, const std::vector<real> &theta)
    {
        for (int k = 0; k < d(); k++) {
            kr.alpha[k] = alpha[k];
            kr.theta[k] = theta[k];
        }
        kr.init.alpha = kr.init.theta = TRUE;
    }
    KrigModel kr;
};

// c(u, v) written as the exponential of a sum.
real direct_correlation(const real *u, const real *v, const real *alpha, const real *theta, int d)
{
    real s = 0.0;
    for (int k = 0; k < d; k++)
        s += theta[k] * std::pow(std::fabs(u[k] - v[k]), 2.0 - alpha[k]);
    return std::exp(-s);
}

TEST(CalcR, MatchesTheProductFormula)
{
    Model m(25, 4, 1, 11);
    m.set_parameters({0.0, 0.5, 1.0, 1.7}, {3.0, 0.2, 1.5, 8.0});
    m.kr.stochratio[0] = 0.8;
    kr_calcR(&m.kr);
    EXPECT_TRUE(m.kr.init.R);
    for (int i = 0; i < m.n(); i++)
        for (int j = 0; j < m.n(); j++) {
            if (i == j) {
                EXPECT_EQ(m.kr.R[i][i], 1.0);
                continue;
            }
            EXPECT_EQ(m.kr.R[i][j], m.kr.R[j][i]);
            real want = 0.8 * direct_correlation(m.kr.X[i], m.kr.X[j], m.kr.alpha, m.kr.theta, m.d());
            EXPECT_NEAR(m.kr.R[i][j] / want, 1.0, 64 * DBL_EPSILON) << i << "," << j;
        }
}

TEST(CalcR, CoincidingPointsCorrelateAtTheRatio)
{
    Model m(4, 2);
    m.set_parameters({0.3, 1.0}, {2.0, 5.0});
    for (int k = 0; k < 2; k++)
        m.kr.X[3][k] = m.kr.X[1][k];
    m.kr.stochratio[0] = 0.6;
    kr_calcR(&m.kr);
    EXPECT_EQ(m.kr.R[1][3], 0.6);
    EXPECT_EQ(m.kr.R[3][1], 0.6);
}

TEST(CalcR, RatioZeroGivesTheIdentity)
{
    Model m(5, 3);
    m.set_parameters({0.0, 0.0, 0.0}, {1.0, 1.0, 1.0});
    m.kr.stochratio[0] = 0.0;
    kr_calcR(&m.kr);
    for (int i = 0; i < 5; i++)
        for (int j = 0; j < 5; j++)
            EXPECT_EQ(m.kr.R[i][j], i == j ? 1.0 : 0.0);
    std::vector<real> r(5);
    const real x[3] = {0.5, 0.5, 0.5};
    calcr(x, r.data(), m.kr.X, m.kr.alpha, m.kr.theta, 0.0, 5, 3);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(r[i], 0.0);
    // Also at a design point.
    calcr(m.kr.X[2], r.data(), m.kr.X, m.kr.alpha, m.kr.theta, 0.0, 5, 3);
    EXPECT_EQ(r[2], 0.0);
}

TEST(CalcR, ThetaZeroGivesTheRatioEverywhere)
{
    Model m(6, 2);
    m.set_parameters({0.0, 1.2}, {0.0, 0.0});
    m.kr.stochratio[0] = 0.9;
    kr_calcR(&m.kr);
    for (int i = 0; i < 6; i++)
        for (int j = 0; j < 6; j++)
            EXPECT_EQ(m.kr.R[i][j], i == j ? 1.0 : 0.9);
}

TEST(CalcR, AlphaTwoIgnoresTheDistance)
{
    // The power is 0 and 0^0 = 1: every pair, coinciding or not, gets
    // stochratio · exp(-theta0 - theta1).
    Model m(4, 2);
    m.set_parameters({2.0, 2.0}, {0.5, 1.25});
    for (int k = 0; k < 2; k++)
        m.kr.X[2][k] = m.kr.X[0][k];
    m.kr.stochratio[0] = 0.7;
    kr_calcR(&m.kr);
    const real want = 0.7 * std::exp(-1.75);
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) {
            if (i == j)
                continue;
            EXPECT_NEAR(m.kr.R[i][j] / want, 1.0, 4 * DBL_EPSILON) << i << "," << j;
        }
}

TEST(Calcr, MatchesTheProductFormula)
{
    Model m(30, 3, 1, 5);
    m.set_parameters({0.1, 1.0, 1.9}, {4.0, 0.7, 2.2});
    std::vector<real> r(30);
    const real x[3] = {0.25, 0.6, 0.9};
    for (real ratio : {1.0, 0.35}) {
        calcr(x, r.data(), m.kr.X, m.kr.alpha, m.kr.theta, ratio, 30, 3);
        for (int i = 0; i < 30; i++) {
            real want = ratio * direct_correlation(x, m.kr.X[i], m.kr.alpha, m.kr.theta, 3);
            EXPECT_NEAR(r[i] / want, 1.0, 64 * DBL_EPSILON) << i;
        }
    }
}

TEST(Calcr, CoincidingPointWithRandomErrorGivesTheRatio)
{
    Model m(3, 2);
    m.set_parameters({2.0, 0.5}, {1.0, 3.0});
    const real *x = m.kr.X[1];
    std::vector<real> r(3);

    // Random error on: exactly the ratio at the design point, even with
    // alpha = 2 where the product alone would be exp(-1).
    calcr(x, r.data(), m.kr.X, m.kr.alpha, m.kr.theta, 0.4, 3, 2);
    EXPECT_EQ(r[1], 0.4);
    EXPECT_NEAR(r[0] / (0.4 * direct_correlation(x, m.kr.X[0], m.kr.alpha, m.kr.theta, 2)), 1.0,
                8 * DBL_EPSILON);

    // No random error: the product is taken, exp(-theta0) from the alpha = 2
    // input.
    calcr(x, r.data(), m.kr.X, m.kr.alpha, m.kr.theta, 1.0, 3, 2);
    EXPECT_NEAR(r[1], std::exp(-1.0), 4 * DBL_EPSILON);

    // A point that differs in one coordinate only is not coinciding.
    real y[2] = {x[0], x[1] + 0.125};
    calcr(y, r.data(), m.kr.X, m.kr.alpha, m.kr.theta, 0.4, 3, 2);
    EXPECT_NEAR(r[1] / (0.4 * std::exp(-1.0 - 3.0 * std::pow(0.125, 1.5))), 1.0, 8 * DBL_EPSILON);
}

TEST(CalcF, FillsOnes)
{
    Model m(7, 2);
    kr_calcF(&m.kr);
    EXPECT_TRUE(m.kr.init.F);
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(m.kr.F[i][0], 1.0);
}

// Largest |A - U·diag(ev)·Uᵀ| for the augmented matrix A built here from R.
real augmented_residual(const Model &m)
{
    int n = m.n(), N = n + 1;
    real worst = 0.0;
    for (int i = 0; i < N; i++)
        for (int j = 0; j < N; j++) {
            real want;
            if (i == 0 && j == 0)
                want = 0.0;
            else if (i == 0 || j == 0)
                want = 1.0;
            else
                want = m.kr.R[i - 1][j - 1];
            real s = 0.0;
            for (int k = 0; k < N; k++)
                s += m.kr.U[i][k] * m.kr.eigval[k] * m.kr.U[j][k];
            worst = std::max(worst, std::fabs(s - want));
        }
    return worst;
}

TEST(CalcAugmR, DecomposesTheBorderedMatrix)
{
    Model m(20, 4, 1, 3);
    m.set_parameters({0.0, 0.5, 1.0, 1.5}, {2.0, 1.0, 0.5, 4.0});
    m.kr.stochratio[0] = 0.95;
    kr_calcR(&m.kr);
    kr_calcF(&m.kr);
    ReportCapture report;
    kr_cover_augmR(&m.kr);
    EXPECT_TRUE(m.kr.init.U);
    EXPECT_EQ(report.take(), "");
    EXPECT_LE(augmented_residual(m), 1e-13);
    // R is positive definite, so exactly one eigenvalue (r = 1) is negative;
    // every reciprocal is the plain one.
    int negative = 0;
    for (int k = 0; k < 21; k++) {
        if (m.kr.eigval[k] < 0.0)
            negative++;
        EXPECT_EQ(m.kr.eigvalinv[k], 1.0 / m.kr.eigval[k]);
    }
    EXPECT_EQ(negative, 1);
}

TEST(CalcAugmR, OnePointGivesTheGoldenRatioPair)
{
    Model m(1, 2);
    m.set_parameters({0.0, 0.0}, {1.0, 1.0});
    kr_calcR(&m.kr);
    kr_calcF(&m.kr);
    kr_cover_augmR(&m.kr);
    real lo = std::min(m.kr.eigval[0], m.kr.eigval[1]);
    real hi = std::max(m.kr.eigval[0], m.kr.eigval[1]);
    EXPECT_NEAR(lo, (1.0 - std::sqrt(5.0)) / 2, 4 * DBL_EPSILON);
    EXPECT_NEAR(hi, (1.0 + std::sqrt(5.0)) / 2, 4 * DBL_EPSILON);
}

TEST(CalcAugmR, SingularDirectionsAreDroppedWithOneWarningEach)
{
    // Two pairs of coinciding points without random error: R has two equal
    // row pairs, so the augmented matrix has two exact null vectors.
    Model m(6, 2, 1, 8);
    m.set_parameters({0.0, 0.0}, {1.0, 2.0});
    for (int k = 0; k < 2; k++) {
        m.kr.X[4][k] = m.kr.X[0][k];
        m.kr.X[5][k] = m.kr.X[2][k];
    }
    kr_calcR(&m.kr);
    kr_calcF(&m.kr);
    ReportCapture report;
    kr_cover_augmR(&m.kr);
    EXPECT_EQ(report.take(), std::string(T1_LINE) + T1_LINE);
    int dropped = 0;
    for (int k = 0; k < 7; k++) {
        if (std::fabs(m.kr.eigval[k]) <= 3e-14) {
            dropped++;
            EXPECT_EQ(m.kr.eigvalinv[k], 0.0);
        } else {
            EXPECT_EQ(m.kr.eigvalinv[k], 1.0 / m.kr.eigval[k]);
        }
    }
    EXPECT_EQ(dropped, 2);
    EXPECT_LE(augmented_residual(m), 1e-13);

    // With random error the same design is regular.
    m.kr.stochratio[0] = 0.9;
    kr_calcR(&m.kr);
    kr_cover_augmR(&m.kr);
    EXPECT_EQ(report.take(), "");
}

// Taking the decomposition from a model whose matrices agree to the bit
// gives the numbers and the warnings of decomposing afresh; matrices that
// differ from the model's, or a model without a current decomposition, are
// decomposed afresh.
TEST(ReuseAugmR, SameNumbersAndWarningsAsDecomposingAfresh)
{
    struct Case {
        int n;
        bool repeats;        // two repeated runs: two (T1) warnings
        bool perturb;        // R differs from the model's in one pair of elements
        bool stale;          // the model's U flag is clear
    };
    const Case cases[] = {
        {12, false, false, false}, {30, false, false, false}, {8, true, false, false},
        {12, false, true, false},  {12, false, false, true},
    };
    for (const Case &c : cases) {
        Model m(c.n, 3, 1, 40 + c.n);
        m.set_parameters({0.0, 0.5, 1.0}, {1.0, 2.0, 0.5});
        if (c.repeats)
            for (int k = 0; k < 3; k++) {
                m.kr.X[c.n - 1][k] = m.kr.X[0][k];
                m.kr.X[c.n - 2][k] = m.kr.X[1][k];
            }
        kr_calcR(&m.kr);
        kr_calcF(&m.kr);
        ReportCapture report;
        ASSERT_TRUE(kr_cover_augmR(&m.kr));
        std::string model_warnings = report.take();
        EXPECT_EQ(model_warnings, c.repeats ? std::string(T1_LINE) + T1_LINE : "");
        if (c.stale)
            m.kr.init.U = FALSE;

        int n = c.n, nr = c.n + 1;
        real **R = NULL, **F = NULL, **U1 = NULL, **U2 = NULL, *ev1 = NULL, *ev2 = NULL, *inv1 = NULL, *inv2 = NULL;
        alloc(n, n, &R);
        alloc(n, 1, &F);
        alloc(nr, nr, &U1);
        alloc(nr, nr, &U2);
        alloc(nr, &ev1);
        alloc(nr, &ev2);
        alloc(nr, &inv1);
        alloc(nr, &inv2);
        calcR(m.kr.X, m.kr.alpha, m.kr.theta, m.kr.stochratio[0], n, 3, R);
        calcF(n, 1, F);
        if (c.perturb)
            R[2][5] = R[5][2] = R[2][5] * 0.999;
        ASSERT_TRUE(calc_augmR(n, 1, R, F, U1, ev1, inv1));
        std::string fresh = report.take();
        ASSERT_TRUE(reuse_augmR(&m.kr, n, 1, R, F, U2, ev2, inv2));
        EXPECT_EQ(report.take(), fresh);
        for (int i = 0; i < nr; i++) {
            EXPECT_EQ(std::memcmp(U1[i], U2[i], sizeof(real) * nr), 0) << "n=" << n << " row " << i;
            EXPECT_EQ(std::memcmp(&ev1[i], &ev2[i], sizeof(real)), 0) << "n=" << n << " " << i;
            EXPECT_EQ(std::memcmp(&inv1[i], &inv2[i], sizeof(real)), 0) << "n=" << n << " " << i;
        }
        if (c.perturb) {
            // Decomposed afresh: not the model's numbers.
            bool differs = false;
            for (int i = 0; i < nr; i++)
                differs = differs || ev2[i] != m.kr.eigval[i];
            EXPECT_TRUE(differs);
        }
        frei(n, n, &R);
        frei(n, 1, &F);
        frei(nr, nr, &U1);
        frei(nr, nr, &U2);
        frei(nr, &ev1);
        frei(nr, &ev2);
        frei(nr, &inv1);
        frei(nr, &inv2);
    }
}

// A matrix that cannot be decomposed (here: a design coordinate that is
// not a number) is reported and refused, never an exit: the model's U flag
// stays clear, every reciprocal is 0, the prepared foreign design predicts
// the missing value, and the model's refusal names it.
TEST(CalcAugmR, MatrixThatCannotBeDecomposedIsRefused)
{
    Model m(6, 2);
    m.set_parameters({0.0, 0.0}, {1.0, 1.0});
    m.kr.X[3][1] = std::numeric_limits<real>::quiet_NaN();
    snprintf(m.kr.ylabel, sizeof m.kr.ylabel, "yield");
    kr_calcR(&m.kr);
    kr_calcF(&m.kr);
    ReportCapture report;
    EXPECT_FALSE(kr_cover_augmR(&m.kr));
    EXPECT_FALSE(m.kr.init.U);
    for (int k = 0; k < 7; k++)
        EXPECT_EQ(m.kr.eigvalinv[k], 0.0);
    const std::string t6 = "WARNING: Correlation Matrix cannot be decomposed: its QL iteration does not settle. (T6)\n";
    EXPECT_EQ(report.take(), t6);
    EXPECT_FALSE(ensure_init(&m.kr, "U"));
    EXPECT_EQ(report.take(), t6);
    augmR_refusal(&m.kr);
    EXPECT_EQ(report.take(), "Sorry, yield skipped: its correlation matrix cannot be decomposed.\n");

    m.kr.var[0] = 1.0;
    EXPECT_FALSE(init_krigblup_anyXY(&m.kr, m.kr.X, 6, 2, 1));
    real **ypred = NULL;
    alloc(2, 2, &ypred);
    krigblup_anyXY(&m.kr, m.kr.X, m.kr.y, 6, 2, 2, m.kr.X, ypred);
    EXPECT_EQ(ypred[0][0], NA_VALUE);
    EXPECT_EQ(ypred[1][1], NA_VALUE);
    EXPECT_EQ(krigse_anyXY(&m.kr, m.kr.X, 6, 2, m.kr.X[0]), NA_VALUE);
    free_krigblup_anyXY(6, 1);
    frei(2, 2, &ypred);
    EXPECT_EQ(report.take(), t6);
}

TEST(SingularEigval, TheBandIsClosed)
{
    EXPECT_TRUE(singular_eigval(3e-14));
    EXPECT_TRUE(singular_eigval(-3e-14));
    EXPECT_TRUE(singular_eigval(0.0));
    EXPECT_TRUE(singular_eigval(-0.0));
    EXPECT_TRUE(singular_eigval(1e-300));
    EXPECT_FALSE(singular_eigval(std::nextafter(3e-14, 1.0)));
    EXPECT_FALSE(singular_eigval(std::nextafter(-3e-14, -1.0)));
    EXPECT_FALSE(singular_eigval(-0.5));
    EXPECT_TRUE(singular_eigval(std::numeric_limits<real>::quiet_NaN()));
}

TEST(CorrelationFatal, MissingParameters)
{
    Model m(3, 2);
    m.kr.init.alpha = TRUE;
    EXPECT_FATAL(kr_calcR(&m.kr), "calcR: alpha or theta not initialized");
    m.kr.init.alpha = FALSE;
    m.kr.init.theta = TRUE;
    EXPECT_FATAL(kr_calcR(&m.kr), "calcR: alpha or theta not initialized");
}

TEST(CorrelationFatal, RatioOutsideTheUnitIntervalShowsTheValue)
{
    Model m(3, 2);
    m.set_parameters({0.0, 0.0}, {1.0, 1.0});
    std::vector<real> r(3);
    const real x[2] = {0.5, 0.5};
    EXPECT_EXIT(calcR(m.kr.X, m.kr.alpha, m.kr.theta, 1.5, 3, 2, m.kr.R), ::testing::ExitedWithCode(2),
                ::testing::HasSubstr(value_fatal_text("calcR: stochratio not within [0,1]", "1.500000")));
    EXPECT_EXIT(calcR(m.kr.X, m.kr.alpha, m.kr.theta, -0.25, 3, 2, m.kr.R), ::testing::ExitedWithCode(2),
                ::testing::HasSubstr(value_fatal_text("calcR: stochratio not within [0,1]", "-0.250000")));
    m.kr.stochratio[0] = 1.0000001;
    EXPECT_EXIT(kr_calcR(&m.kr), ::testing::ExitedWithCode(2),
                ::testing::HasSubstr(value_fatal_text("calcR: stochratio not within [0,1]", "1.000000")));
    EXPECT_EXIT(calcr(x, r.data(), m.kr.X, m.kr.alpha, m.kr.theta, 2.0, 3, 2), ::testing::ExitedWithCode(2),
                ::testing::HasSubstr(value_fatal_text("calcr: stochratio not within [0,1]", "2.000000")));
    EXPECT_EXIT(calcr(x, r.data(), m.kr.X, m.kr.alpha, m.kr.theta, -1e-9, 3, 2), ::testing::ExitedWithCode(2),
                ::testing::HasSubstr(value_fatal_text("calcr: stochratio not within [0,1]", "-0.000000")));
    // A ratio that is not a number is rejected as well.
    EXPECT_EXIT(calcR(m.kr.X, m.kr.alpha, m.kr.theta, std::numeric_limits<real>::quiet_NaN(), 3, 2, m.kr.R),
                ::testing::ExitedWithCode(2),
                ::testing::HasSubstr(value_fatal_text("calcR: stochratio not within [0,1]", "nan")));
}

TEST(CorrelationFatal, MoreThanOneRegressionTerm)
{
    Model m(3, 2, 2);
    EXPECT_FATAL(kr_calcF(&m.kr), "krCalcF : r!=1, that's  not implemented yet");
    EXPECT_FATAL(calcF(3, 2, m.kr.F), "calcF : r!=1, that's  not implemented yet");
    EXPECT_FATAL(calcF(3, 0, m.kr.F), "calcF : r!=1, that's  not implemented yet");
    EXPECT_FATAL(calc_augmR(3, 2, m.kr.R, m.kr.F, m.kr.U, m.kr.eigval, m.kr.eigvalinv),
                 "calc_augmR: r>1 not implmented yet");
    EXPECT_FATAL(kr_cover_augmR(&m.kr), "calc_augmR: r>1 not implmented yet");
}

} // namespace
