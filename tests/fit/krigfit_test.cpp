// The concentrated likelihood against an independent Cholesky computation
// (with and without random error, and where the eigenvalue product
// underflows), the plain product kept bit for bit where it is normal, the
// penalty branches and their counters, and the number of search variables.
#include "fit/krigfit.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <string>

#include "likelihood_reference.h"
#include "model/settings.h"
#include "numeric/eigen.h"
#include "numeric/matrix.h"
#include "session.h"

namespace {

using likelihood::Mat;
using likelihood::Vec;

// The plain product of the eigenvalues of krfit's R.
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

TEST(Krigloglike, EqualsTheConcentratedLikelihoodByCholesky)
{
    std::mt19937 gen(2718);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (boolean random_error : {FALSE, TRUE})
        for (int d = 1; d <= 4; d++) {
            RandomError = random_error;
            int n = 8 + (int)(18 * unit(gen));
            Mat X = likelihood::random_design(n, d, gen);
            Vec y(n), v;
            for (int i = 0; i < n; i++)
                y[i] = std::sin(3.0 * X[i][0]) + X[i][d - 1] + 0.2 * unit(gen);
            for (int k = 0; k < 2 * d + random_error; k++) // alpha 0.2..1.8, theta 0.5..4.5, s 0.6..1
                v.push_back(k < d ? 1.8 * unit(gen) - 0.9 : k < 2 * d ? std::sqrt(5 + 40 * unit(gen)) : 0.2 + unit(gen));
            UnderFit fit(X, y);
            likelihood::Concentrated ref = likelihood::concentrated(X, y, likelihood::from_search(v, d));
            SCOPED_TRACE("d=" + std::to_string(d) + " random error " + std::to_string(random_error));
            EXPECT_NEAR(-fit.eval(v), ref.loglike, 1e-9 * std::fabs(ref.loglike));
            EXPECT_NEAR(krfit.beta[0], ref.beta, 1e-9 * std::fabs(ref.beta));
            EXPECT_NEAR(krfit.var[0], ref.var, 1e-9 * ref.var);
            EXPECT_EQ(fit.kr.theta[d - 1], krfit.theta[d - 1]); // the record's arrays are shared
        }
    RandomError = FALSE;

    // Where the determinant is normal the plain product is used as it is.
    Mat X = likelihood::random_design(15, 2, gen);
    UnderFit fit(X, Vec(X.size(), 0.0));
    for (int i = 0; i < 15; i++)
        fit.kr.y[i] = X[i][0] * X[i][1];
    real value = fit.eval({0.1, -0.5, 1.0, 2.0});
    EXPECT_EQ(value, 0.5 * (15 * log(krfit.var[0]) + log(eigenvalue_product(15))));
}

TEST(Krigloglike, UnderflowedProductGivesTheLogDeterminant)
{
    // 240 runs on a line with exponential correlation: ln det R is about
    // -1100, and the plain product is 0, while R is well conditioned.
    std::mt19937 gen(5);
    Mat X = likelihood::random_design(240, 1, gen);
    Vec y = likelihood::sample(X, {{1.0}, {1.0}, 1.0}, 2.0, 1.5, gen);
    UnderFit fit(X, y);
    Vec v = {0.0, std::sqrt(10.0)};
    likelihood::Concentrated ref = likelihood::concentrated(X, y, likelihood::from_search(v, 1));
    EXPECT_NEAR(-fit.eval(v), ref.loglike, 1e-9 * std::fabs(ref.loglike));
    EXPECT_LT(ref.lndet, -720.0);
    EXPECT_EQ(eigenvalue_product(240), 0.0);
    EXPECT_EQ(info_infty + info_infty_warn, 0);
}

TEST(Krigloglike, RepeatedRunGivesZeroTinyOrSlightlyNegativeDeterminants)
{
    // The first run repeated: an eigenvalue exactly 0 (penalised, counted
    // for (T4)), slightly negative (penalised, (T5)) or slightly positive (a
    // finite value). On 240 runs the product has underflowed: the sign then
    // comes from the count of negative eigenvalues.
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
        SCOPED_TRACE(std::to_string(r.n) + " runs, seed " + std::to_string(r.seed));
        EXPECT_EQ(value > 4e13, r.t4 + r.t5 == 1);
        EXPECT_EQ(info_infty, r.t4);
        EXPECT_EQ(info_infty_warn, r.t5);
        if (r.t4 == 0) { // without an exact 0, only the product of 240 runs underflows
            EXPECT_EQ(std::fabs(eigenvalue_product(r.n)) < DBL_MIN, r.n == 240);
        }
    }
}

TEST(CalcNParams, CountsAndTheResetOfTheErrorShare)
{
    Session session;
    krfit = *session.kr;
    krfit.stochratio[0] = 0.8;
    RandomError = TRUE;
    EXPECT_EQ(calc_n_params(3), 7);
    EXPECT_EQ(session.kr->stochratio[0], 0.8);
    RandomError = FALSE;
    EXPECT_EQ(calc_n_params(3), 6);
    EXPECT_EQ(session.kr->stochratio[0], 1.0);
    EXPECT_EQ(session.report(), "WARNING: Setting ErrorVariance to 0.0 for Fitting\n");
}

} // namespace
