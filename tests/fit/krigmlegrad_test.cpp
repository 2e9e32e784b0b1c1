// The gradient method of maximum-likelihood fitting: samples of the process
// with known parameters are fitted at least as well as the truth explains
// them, a singular correlation matrix falls back to the eigenvalue path
// without ending the run, and the random starts follow the generator.
#include "fit/krigmlegrad.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "alloc/alloc.h"
#include "fit/krigmle.h"
#include "likelihood_reference.h"
#include "model/settings.h"
#include "numeric/unif.h"
#include "session.h"

namespace {

using likelihood::Mat;
using likelihood::Params;
using likelihood::Vec;
using likelihood::fitted;

// MleOptimMethod = gradient for the lifetime of the object.
struct GradientMethod {
    GradientMethod() { strcpy(MleOptimMethod, "gradient"); }
    ~GradientMethod()
    {
        strcpy(MleOptimMethod, "simplex");
        RandomError = FALSE;
    }
};


TEST(KrigMleGradient, SampleOfTheProcessIsFittedAtLeastAsWellAsByTheTruth)
{
    struct Row {
        int n;
        Params p;
        double scale; // of the first input
    } rows[] = {{30, {{0.5}, {4.0}, 1.0}, 1.0},
                {60, {{0.2, 0.5}, {2.0, 5.0}, 1.0}, 10.0},
                {50, {{0.0, 0.0, 0.0}, {1.0, 3.0, 0.5}, 1.0}, 0.01},
                {80, {{0.1}, {2.0}, 0.7}, 1.0},
                {60, {{1.0, 0.0}, {2.0, 1.0}, 0.9}, 1.0}};
    unsigned seed = 31;
    for (const Row &t : rows) {
        SCOPED_TRACE(std::to_string(t.n) + " runs");
        Session session;
        GradientMethod method;
        RandomError = t.p.stochratio < 1.0;
        std::mt19937 gen(seed++);
        int d = (int)t.p.theta.size();
        Mat X = likelihood::random_design(t.n, d, gen);
        Params truth = t.p;
        for (auto &row : X)
            row[0] *= t.scale;
        // The same process on the scaled input.
        truth.theta[0] /= std::pow(t.scale, 2.0 - truth.alpha[0]);
        Vec y = likelihood::sample(X, truth, 3.0, 2.0, gen);
        DataModel m(X, y);
        RandInit(10, 20, 1000);
        krig_mle(&m.kr, 1);
        double at_truth = likelihood::concentrated(X, y, truth).loglike;
        likelihood::Concentrated at_fit = likelihood::concentrated(X, y, fitted(m.kr));
        EXPECT_GE(m.kr.loglike[0], at_truth);
        EXPECT_NEAR(m.kr.loglike[0], at_fit.loglike, 1e-8 * std::fabs(at_fit.loglike));
        EXPECT_NEAR(m.kr.var[0], at_fit.var, 1e-6 * at_fit.var);
        std::string report = session.report();
        EXPECT_NE(report.find("MLE-Try  3, MaxLogLike: "), std::string::npos) << report;
        EXPECT_NE(report.find("mle theta:"), std::string::npos);
        // Starts where R is numerically singular may warn; no search stops at
        // the evaluation limit.
        EXPECT_EQ(report.find("interrupted"), std::string::npos) << report;
    }
}

TEST(KrigMleGradient, RepeatedRunWithoutRandomErrorIsFitted)
{
    // R is singular wherever the process is not white noise: the Cholesky
    // factorisation fails there, and those points are valued through the
    // eigenvalues (with their warnings and penalties), never fatally.
    Session session;
    GradientMethod method;
    std::mt19937 gen(5);
    Mat X = likelihood::random_design(12, 2, gen);
    X[5] = X[2];
    Vec y = likelihood::sample(X, Params{{0.5, 1.0}, {2.0, 3.0}, 1.0}, 0.0, 1.0, gen);
    y[5] = y[2];
    DataModel m(X, y);
    RandInit(10, 20, 1000);
    krig_mle(&m.kr, 1);
    std::string report = session.report();
    EXPECT_NE(report.find("LogLikelihood:"), std::string::npos) << report;
    EXPECT_TRUE(std::isfinite(m.kr.loglike[0]));
    EXPECT_TRUE(m.kr.init.U && m.kr.init.beta && m.kr.init.var);
}

// The best reference likelihood on a grid: alpha_1 in {0, 0.5, 1, 1.5},
// alpha_2 = 0, 21 values of theta_1 from 1e-2 to 1e3 and 31 of theta_2 from
// 1e-8 to 1e2 per unit range (log-spaced, inputs of ranges w), among the
// points where R is numerically positive definite (every squared pivot of
// its Cholesky factor at least 1e-12, as the fit requires).
double grid_best(const Mat &X, const Vec &y, const double w[2])
{
    double best = -INFINITY;
    for (double a1 : {0.0, 0.5, 1.0, 1.5})
        for (int i = 0; i <= 20; i++)
            for (int j = 0; j <= 30; j++) {
                double t1 = std::pow(10.0, -2.0 + 5.0 * i / 20.0), t2 = std::pow(10.0, -8.0 + 10.0 * j / 30.0);
                Params p{{a1, 0.0}, {t1 / std::pow(w[0], 2.0 - a1), t2 / (w[1] * w[1])}, 1.0};
                Mat L = likelihood::cholesky(X, p);
                bool definite = true;
                for (size_t k = 0; k < L.size(); k++)
                    definite = definite && L[k][k] * L[k][k] >= 1e-12;
                if (!definite)
                    continue;
                double v = likelihood::concentrated(X, y, p).loglike;
                if (v > best)
                    best = v;
            }
    return best;
}

TEST(KrigMleGradient, InputsThatBarelyMatterReachTheirLowRange)
{
    // A rough process in the first input plus, in the second, a slow trend
    // or nothing at all: the likelihood can rise as theta_2 falls far below
    // the starts, across a plateau where its gradient nearly vanishes. The
    // fit reaches the best of the grid, and the same likelihood whatever the
    // scale of the second input.
    struct Row {
        const char *name;
        double slope; // of the trend in the second input (per unit range)
        double w2;    // range of the second input
    } rows[] = {{"trend", 2.0, 1.0},
                {"trend on a wide input", 2.0, 100.0},
                {"no effect", 0.0, 1.0},
                {"no effect on a narrow input", 0.0, 0.01}};
    double loglike[4];
    for (int r = 0; r < 4; r++) {
        const Row &t = rows[r];
        SCOPED_TRACE(t.name);
        Session session;
        GradientMethod method;
        std::mt19937 gen(77);
        Mat X = likelihood::random_design(40, 2, gen);
        Vec y = likelihood::sample(X, Params{{1.0, 0.0}, {3.0, 0.0}, 1.0}, 0.0, 1.0, gen);
        for (size_t i = 0; i < X.size(); i++) {
            y[i] += t.slope * X[i][1];
            X[i][1] *= t.w2;
        }
        double w[2];
        for (int k = 0; k < 2; k++) {
            double lo = X[0][k], hi = X[0][k];
            for (const Vec &row : X) {
                lo = std::min(lo, row[k]);
                hi = std::max(hi, row[k]);
            }
            w[k] = hi - lo;
        }
        DataModel m(X, y);
        RandInit(4, 5, 600);
        krig_mle(&m.kr, 1);
        double fit = likelihood::concentrated(X, y, fitted(m.kr)).loglike;
        EXPECT_NEAR(m.kr.loglike[0], fit, 1e-8 * std::fabs(fit));
        // The grid is per unit range: the rows of other scales share it.
        if (t.w2 == 1.0) {
            EXPECT_GE(m.kr.loglike[0], grid_best(X, y, w) - 1e-6);
        }
        loglike[r] = m.kr.loglike[0];
    }
    EXPECT_NEAR(loglike[1], loglike[0], 1e-6 * std::fabs(loglike[0]));
    EXPECT_NEAR(loglike[3], loglike[2], 1e-6 * std::fabs(loglike[2]));
}

TEST(KrigMleGradient, ThoroughTryReachesAtLeastTheCheapTryFromTheSameStarts)
{
    // The first try of a fit is the thorough one: from the same starts it
    // runs the same first search and then more, so it ends at least as high
    // and spends more evaluations than a later try. Both return
    // the point they value: the independent likelihood there is the value.
    struct Row {
        int n;
        Params p;
        double slope; // of a slow trend in the last input
    } rows[] = {{25, {{0.0, 0.0}, {4.0, 1.0}, 1.0}, 0.0},
                {40, {{1.0, 0.0}, {3.0, 1e-4}, 1.0}, 2.0},
                {30, {{0.0, 0.5, 0.0}, {2.0, 5.0, 0.1}, 1.0}, 1.0}};
    unsigned seed = 101;
    for (const Row &t : rows) {
        SCOPED_TRACE(std::to_string(t.n) + " runs");
        Session session;
        GradientMethod method;
        std::mt19937 gen(seed++);
        int d = (int)t.p.theta.size(), dim = 2 * d, count = grad_start_count(dim);
        Mat X = likelihood::random_design(t.n, d, gen);
        Vec y = likelihood::sample(X, t.p, 1.0, 1.0, gen);
        for (int i = 0; i < t.n; i++)
            y[i] += t.slope * X[i][d - 1];
        DataModel m(X, y);
        GradDesign g;
        grad_design_init(&g, m.kr.X, m.kr.y, t.n, d);
        Vec lnw(d);
        grad_input_scales(m.kr.X, t.n, d, lnw.data());
        real value[2];
        int evals[2];
        for (int thorough = 0; thorough < 2; thorough++) {
            RandInit(7, 8, 900);
            real **starts = NULL, *fval = NULL;
            alloc(count, dim, &starts);
            alloc(count, &fval);
            grad_central_start(d, 0, starts[0]);
            for (int i = 1; i < count; i++)
                grad_random_start(d, starts[i], i % 2 == 1);
            // The first try (index 0) against the third (index 2): the same
            // stretch of the alphas, and the third is not thorough.
            evals[thorough] = grad_search(&g, lnw.data(), starts, fval, count, MAX_ITER_FIT, thorough ? 0 : 2);
            value[thorough] = -fval[0];
            Params at{Vec(d), Vec(d), 1.0};
            real ratio = 1.0;
            grad_parameters(starts[0], lnw.data(), d, at.alpha.data(), at.theta.data(), &ratio);
            EXPECT_NEAR(value[thorough], likelihood::concentrated(X, y, at).loglike,
                        1e-8 * (1.0 + std::fabs(value[thorough])));
            frei(count, dim, &starts);
            frei(count, &fval);
        }
        grad_design_free(&g);
        EXPECT_GE(value[1], value[0]);
        EXPECT_GT(evals[1], evals[0]) << "the thorough try searches twice";
        EXPECT_LT(evals[1], MAX_ITER_FIT);
    }
}

// The first number of the generator seeded with 3, 6, 300.
real first_draw()
{
    RandInit(3, 6, 300);
    return RandUnif();
}

TEST(KrigMleGradient, RandomStartsFollowTheGeneratorInsideTheirRanges)
{
    for (boolean random_error : {FALSE, TRUE}) {
        RandomError = random_error;
        const int d = 3, dim = 2 * d + random_error;
        Vec z(dim);
        RandInit(3, 6, 300);
        grad_random_start(d, z.data(), FALSE);
        real next = RandUnif();
        RandInit(3, 6, 300);
        for (int k = 0; k < d; k++)
            EXPECT_EQ(z[k], 2.0 * RandUnif());
        for (int k = 0; k < d; k++) {
            real u = RandUnif();
            EXPECT_NEAR(z[d + k], std::log(1e-3) + u * std::log(1e5), 1e-12);
        }
        if (random_error) {
            real u = RandUnif();
            EXPECT_NEAR(z[2 * d], std::log(1e-8) + u * (std::log(0.99) - std::log(1e-8)), 1e-12);
        }
        EXPECT_EQ(RandUnif(), next) << "no further draws";

        // Central starts draw nothing: Gaussian, one exponent for every input.
        const real exponent[4] = {2.0, 0.5, 8.0, 2.0};
        for (int level = 0; level < 4; level++) {
            RandInit(3, 6, 300);
            grad_central_start(d, level, z.data());
            real after = RandUnif();
            EXPECT_EQ(after, first_draw());
            for (int k = 0; k < d; k++) {
                EXPECT_EQ(z[k], 0.0);
                EXPECT_NEAR(std::exp(z[d + k]), exponent[level], 1e-12);
            }
            if (random_error) {
                EXPECT_NEAR(1.0 - std::exp(z[2 * d]), 0.99, 1e-12);
            }
        }

        // The parameters of a start: z[d + k] is the exponent across the range.
        real lnw[d] = {0.0, std::log(10.0), std::log(0.5)}, alpha[d], theta[d], ratio = 1.0;
        grad_parameters(z.data(), lnw, d, alpha, theta, &ratio);
        for (int k = 0; k < d; k++)
            EXPECT_NEAR(theta[k] * std::pow(std::exp(lnw[k]), 2.0 - alpha[k]), std::exp(z[d + k]),
                        1e-12 * std::exp(z[d + k]));
        Vec back(dim);
        grad_start_from(alpha, theta, ratio, lnw, d, back.data());
        for (int k = 0; k < dim; k++)
            EXPECT_NEAR(back[k], z[k], 1e-9);
    }
    RandomError = FALSE;
}

} // namespace
