// The concentrated likelihood against the independent Cholesky computation
// (with and without random error, and on a large design whose eigenvalue
// product underflows), the plain product kept bit for bit where it is a
// normal number, the penalties and their counters, the variance floor, the
// (T2) warning once per try, the number of search variables and the fatal
// messages of the parameter transformation.
#include "kriging/krigfit.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>
#include <string>

#include "fit_support.h"
#include "kriging/krigtrafo.h"
#include "model/settings.h"
#include "numeric/eigen.h"
#include "numeric/matrix.h"
#include "session.h"
#include "testutil.h"

namespace {

using likelihood::Mat;
using likelihood::Vec;

// The product of the eigenvalues of krfit's R as the plain loop forms it.
real eigenvalue_product(int n)
{
    real **R = NULL, *ev = NULL;
    alloc(n, n, &R);
    alloc(n, &ev);
    copy_real_matrix(n, n, krfit.R, R);
    eigen(R, n, ev);
    real prod = ProdVecReal(n, ev);
    frei(n, n, &R);
    frei(n, &ev);
    return prod;
}

void expect_relative(double actual, double expected, double tol, const std::string &what)
{
    EXPECT_LE(std::fabs(actual - expected), tol * std::fabs(expected)) << what << ": " << actual << " vs " << expected;
}

TEST(Krigloglike, EqualsTheConcentratedLikelihoodByCholesky)
{
    std::mt19937 gen(2718);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (boolean random_error : {FALSE, TRUE}) {
        RandomError = random_error;
        for (int d = 1; d <= 4; d++) {
            int n = 8 + (int)(18 * unit(gen));
            Mat X = likelihood::random_design(n, d, gen);
            Vec y(n);
            for (int i = 0; i < n; i++)
                y[i] = std::sin(3.0 * X[i][0]) + X[i][d - 1] + 0.2 * unit(gen);
            UnderFit fit(X, y);
            Vec v;
            for (int k = 0; k < d; k++)
                v.push_back(-0.9 + 1.8 * unit(gen)); // alpha in about [0.2, 1.8]
            for (int k = 0; k < d; k++)
                v.push_back(std::sqrt(10.0 * (0.5 + 4.0 * unit(gen)))); // theta in [0.5, 4.5]
            if (random_error)
                v.push_back(0.2 + 0.8 * unit(gen));
            likelihood::Params p = from_search(v, d);
            likelihood::Concentrated ref = likelihood::concentrated(X, y, p);
            std::string what = "d=" + std::to_string(d) + " n=" + std::to_string(n) + " RE=" + std::to_string(random_error);
            expect_relative(-fit.eval(v), ref.loglike, 1e-9, what + " loglike");
            expect_relative(krfit.beta[0], ref.beta, 1e-9, what + " beta");
            expect_relative(krfit.var[0], ref.var, 1e-9, what + " var");
            EXPECT_EQ(krfit.stochratio[0], p.stochratio) << what;
            EXPECT_EQ(info_infty + info_infty_warn, 0) << what;
            // The record's arrays are shared: the model sees the parameters.
            EXPECT_EQ(fit.kr.theta[d - 1], p.theta[d - 1]) << what;
        }
    }
    RandomError = FALSE;
}

TEST(Krigloglike, NormalProductIsUsedBitForBit)
{
    std::mt19937 gen(11);
    Mat X = likelihood::random_design(15, 2, gen);
    Vec y(15);
    for (int i = 0; i < 15; i++)
        y[i] = X[i][0] * X[i][1];
    UnderFit fit(X, y);
    for (Vec v : {Vec{0.1, -0.5, 1.0, 2.0}, Vec{-1.2, 0.7, 3.0, 0.4}}) {
        real value = fit.eval(v);
        real det = eigenvalue_product(15);
        ASSERT_GE(std::fabs(det), DBL_MIN);
        EXPECT_EQ(value, 0.5 * (15 * log(krfit.var[0]) + log(det)));
    }
}

TEST(Krigloglike, UnderflowedProductGivesTheLogDeterminant)
{
    // 240 runs on a line with exponential correlation: ln det R is about
    // -1100, far below the smallest normal double, while R is well
    // conditioned. The plain product is below DBL_MIN; the value still
    // matches the Cholesky computation, and nothing is penalised.
    std::mt19937 gen(5);
    const int n = 240;
    Mat X = likelihood::random_design(n, 1, gen);
    likelihood::Params truth{{1.0}, {1.0}, 1.0};
    Vec y = likelihood::sample(X, truth, 2.0, 1.5, gen);
    UnderFit fit(X, y);
    Vec v = {0.0, std::sqrt(10.0)};
    real value = fit.eval(v);
    likelihood::Concentrated ref = likelihood::concentrated(X, y, from_search(v, 1));
    EXPECT_LT(ref.lndet, -720.0);
    EXPECT_LT(std::fabs(eigenvalue_product(n)), DBL_MIN);
    expect_relative(-value, ref.loglike, 1e-9, "loglike");
    EXPECT_EQ(info_infty, 0);
    EXPECT_EQ(info_infty_warn, 0);
}

TEST(Krigloglike, ZeroDeterminantIsPenalisedAndCountedWithOneWarningPerTry)
{
    // Three runs at one point: R is the 3 x 3 matrix of ones for every
    // parameter, and its decomposition has an eigenvalue exactly 0. With
    // constant responses the variance estimate is 0 as well: the penalty
    // takes its logarithm at 1e-10 and stays a number.
    Session session;
    UnderFit fit({{0.3, 0.3}, {0.3, 0.3}, {0.3, 0.3}}, {0.0, 0.0, 0.0});
    real penalty = 0.5 * (3 * log(1e-10) + 1e14);
    EXPECT_EQ(fit.eval({0.2, 0.1, 1.0, 1.0}), penalty);
    EXPECT_EQ(fit.eval({-0.4, 0.3, 2.0, 0.5}), penalty);
    EXPECT_EQ(info_infty, 2);
    EXPECT_EQ(info_infty_warn, 0);
    EXPECT_EQ(session.report(), "WARNING: Correlation Matrix is singular. Proceed with fingers crossed. (T2)\n");
    warnflag = FALSE; // a new try
    fit.eval({0.2, 0.1, 1.0, 1.0});
    EXPECT_EQ(session.report(), "WARNING: Correlation Matrix is singular. Proceed with fingers crossed. (T2)\n");
}

TEST(Krigloglike, RepeatedRunGivesZeroTinyOrSlightlyNegativeDeterminants)
{
    // A design with its first run repeated: the decomposition finds an
    // eigenvalue that is exactly 0 (penalised, counted for (T4)), slightly
    // negative (penalised, counted for (T5)) or slightly positive (a finite
    // value). On 240 runs the product has underflowed: there the sign comes
    // from the count of negative eigenvalues, and only an eigenvalue exactly
    // 0 counts for (T4).
    struct Row {
        int n;
        unsigned seed;
        int t4, t5;
    } rows[] = {{5, 3, 1, 0}, {5, 1, 0, 1}, {5, 5, 0, 0}, {240, 4, 1, 0}, {240, 1, 0, 1}, {240, 3, 0, 0}};
    Quiet quiet;
    for (const Row &r : rows) {
        std::mt19937 gen(r.seed);
        Mat X = likelihood::random_design(r.n, 1, gen);
        X[1] = X[0];
        Vec y(r.n);
        for (auto &v : y)
            v = std::uniform_real_distribution<double>(0.0, 1.0)(gen);
        UnderFit fit(X, y);
        real value = fit.eval({0.0, std::sqrt(10.0)});
        std::string what = std::to_string(r.n) + " runs, seed " + std::to_string(r.seed);
        EXPECT_EQ(value > 4e13, r.t4 + r.t5 == 1) << what;
        EXPECT_EQ(info_infty, r.t4) << what;
        EXPECT_EQ(info_infty_warn, r.t5) << what;
        if (r.t4 == 0) { // without an exact 0: a normal product on 5 runs only
            EXPECT_EQ(std::fabs(eigenvalue_product(r.n)) < DBL_MIN, r.n == 240) << what;
        }
    }
}

TEST(Krigloglike, VarianceOfZeroIsWarnedAndFloored)
{
    Session session;
    std::mt19937 gen(3);
    Mat X = likelihood::random_design(6, 1, gen);
    UnderFit fit(X, Vec(6, 0.0));
    Vec v = {0.3, 2.0};
    real value = fit.eval(v);
    EXPECT_EQ(krfit.var[0], 1e-10);
    likelihood::Concentrated ref = likelihood::concentrated(X, Vec(6, 1.0), from_search(v, 1));
    expect_relative(value, 0.5 * (6 * log(1e-10) + ref.lndet), 1e-9, "floored value");
    EXPECT_EQ(session.report(), "WARNING: Stochastic Variance estimated to be 0 or smaller\n");
}

TEST(CalcNParams, CountsAndTheResetOfTheErrorShare)
{
    struct Row {
        boolean random_error;
        real stochratio;
        int expected;
        real stochratio_after;
        const char *report;
    } rows[] = {
        {FALSE, 1.0, 6, 1.0, ""},
        {FALSE, 0.8, 6, 1.0, "WARNING: Setting ErrorVariance to 0.0 for Fitting\n"},
        {TRUE, 0.8, 7, 0.8, ""},
    };
    for (const Row &r : rows) {
        Session session;
        RandomError = r.random_error;
        krfit = *session.kr;
        krfit.stochratio[0] = r.stochratio;
        EXPECT_EQ(calc_n_params(3), r.expected);
        EXPECT_EQ(session.kr->stochratio[0], r.stochratio_after);
        EXPECT_EQ(session.report(), r.report);
    }
}

TEST(Trafo, InverseRecoversTheParameters)
{
    Session session;
    RandomError = TRUE;
    const real alpha[3] = {0.0, 1.3, 2.0}, theta[3] = {0.0, 0.25, 40.0};
    real v[7];
    trafo_corpar(alpha, theta, 2.0, 0.75, v, 3);
    EXPECT_EQ(v[0], -M_PI / 2);
    EXPECT_EQ(v[2], M_PI / 2);
    EXPECT_EQ(v[6], asin(0.5));
    invtrafo_corpar(session.kr, v, 3);
    for (int k = 0; k < 3; k++) {
        EXPECT_NEAR(session.kr->alpha[k], alpha[k], 1e-15);
        EXPECT_NEAR(session.kr->theta[k], theta[k], 1e-14 * (1 + theta[k]));
    }
    EXPECT_NEAR(session.kr->stochratio[0], 0.75, 1e-15);
}

std::string value_fatal(const std::string &label, const std::string &value, const std::string &message)
{
    return "MORLA error ... \n" + label + " " + value + " \n" + message + " \nNow exiting to system ... \n ";
}

TEST(Trafo, ParametersOutOfRangeAreFatal)
{
    const real good[1] = {1.0}, wide[1] = {2.5}, negative[1] = {-0.5};
    real v[3];
    EXPECT_EXIT(trafo_corpar(wide, good, 1.0, 1.0, v, 1), ::testing::ExitedWithCode(2),
                ::testing::HasSubstr(value_fatal("arcsin argument:", "1.500000",
                                                 "krigfit, trafo_corpar: arcsin argument out of range")));
    EXPECT_EXIT(trafo_corpar(good, negative, 1.0, 1.0, v, 1), ::testing::ExitedWithCode(2),
                ::testing::HasSubstr(value_fatal("theta[i]:", "-0.500000", "trafo_corpar: theta<0.0")));
    RandomError = TRUE;
    EXPECT_EXIT(trafo_corpar(good, good, NA_VALUE, 1.0, v, 1), ::testing::ExitedWithCode(2),
                ::testing::HasSubstr(value_fatal(" ", "-100000000000000.000000", "trafo_corpar: var")));
    RandomError = FALSE;
}

} // namespace
