// Maximum-likelihood fitting: samples of the process with known parameters
// are fitted at least as well as the truth explains them (also where the
// eigenvalue product underflows), the starting simplex follows the
// generator in its fixed order, and the same seed gives the same report.
#include "fit/krigmle.h"

#include <gtest/gtest.h>

#include <string>

#include "likelihood_reference.h"
#include "model/settings.h"
#include "numeric/unif.h"
#include "session.h"

namespace {

using likelihood::Mat;
using likelihood::Params;
using likelihood::Vec;
using likelihood::fitted;


TEST(KrigMle, SampleOfTheProcessIsFittedAtLeastAsWellAsByTheTruth)
{
    struct Row {
        int n;
        Params p;
    } rows[] = {{30, {{0.5}, {4.0}, 1.0}}, {60, {{0.2, 0.5}, {2.0, 5.0}, 1.0}}, {80, {{0.1}, {2.0}, 0.7}}};
    unsigned seed = 1;
    for (const Row &t : rows) {
        Session session;
        RandomError = t.p.stochratio < 1.0;
        std::mt19937 gen(seed++);
        int d = (int)t.p.theta.size();
        Mat X = likelihood::random_design(t.n, d, gen);
        Vec y = likelihood::sample(X, t.p, 3.0, 2.0, gen); // total variance 2
        DataModel m(X, y);
        RandInit(10, 20, 1000);
        krig_mle(&m.kr, 0);
        double truth = likelihood::concentrated(X, y, t.p).loglike;
        likelihood::Concentrated at_fit = likelihood::concentrated(X, y, fitted(m.kr));
        SCOPED_TRACE(std::to_string(t.n) + " runs");
        EXPECT_GE(m.kr.loglike[0], truth);
        // The log likelihood reported belongs to the parameters kept, and
        // so do the model's estimates.
        EXPECT_NEAR(m.kr.loglike[0], at_fit.loglike, 1e-8 * std::fabs(at_fit.loglike));
        EXPECT_NEAR(m.kr.var[0], at_fit.var, 1e-8 * at_fit.var);
        EXPECT_NEAR(m.kr.beta[0], at_fit.beta, 1e-8 * std::fabs(at_fit.beta));
        for (int k = 0; k < d; k++) {
            EXPECT_GT(m.kr.theta[k], t.p.theta[k] / 4);
            EXPECT_LT(m.kr.theta[k], t.p.theta[k] * 4);
        }
        // With one sample the share of a long-range process in the total
        // is poorly determined; the noise variance is not.
        double error_var = (1.0 - m.kr.stochratio[0]) * m.kr.var[0], true_error = (1.0 - t.p.stochratio) * 2.0;
        EXPECT_NEAR(error_var, true_error, true_error / 3);
        EXPECT_TRUE(m.kr.init.alpha && m.kr.init.theta && m.kr.init.R && m.kr.init.F && m.kr.init.U &&
                    m.kr.init.beta && m.kr.init.var);
    }
}

TEST(KrigMle, UnderflowingDeterminantNoLongerStopsTheFit)
{
    // 200 runs on a line, exponential correlation: ln det R is below -745
    // at the truth and at the start, so the plain product of the
    // eigenvalues is 0 there; the fit still leaves its start, without
    // penalised evaluations, and ends at least as likely as the truth.
    Session session;
    std::mt19937 gen(8);
    Mat X = likelihood::random_design(200, 1, gen);
    Params truth{{1.0}, {1.0}, 1.0};
    Vec y = likelihood::sample(X, truth, 0.0, 1.0, gen);
    DataModel m(X, y);
    m.kr.alpha[0] = 0.7;
    m.kr.theta[0] = 0.4;
    m.kr.init.alpha = m.kr.init.theta = TRUE;
    EXPECT_LT(likelihood::concentrated(X, y, truth).lndet, -745.0);
    EXPECT_LT(likelihood::concentrated(X, y, fitted(m.kr)).lndet, -745.0);
    MleTries = 1;
    krig_mle(&m.kr, 1);
    MleTries = 3;
    std::string report = session.report();
    EXPECT_NE(report.find("Supplied Parameter values used as Starting values for mle."), std::string::npos);
    EXPECT_EQ(report.find("(T4)"), std::string::npos) << report;
    EXPECT_EQ(report.find("failed to start"), std::string::npos) << report;
    EXPECT_NE(m.kr.theta[0], 0.4);
    EXPECT_GE(m.kr.loglike[0], likelihood::concentrated(X, y, truth).loglike);
}

TEST(KrigMle, SameSeedSameReportOtherSeedOtherPath)
{
    std::mt19937 gen(4);
    Mat X = likelihood::random_design(15, 2, gen);
    Vec y = likelihood::sample(X, Params{{1.0, 1.0}, {2.0, 5.0}, 1.0}, 0.0, 1.0, gen);
    auto run = [&](int seed) {
        Session session;
        DataModel m(X, y);
        RandInit(seed, 2 * seed, 100 * seed);
        krig_mle(&m.kr, 1);
        std::string report = session.report();
        return report.substr(0, report.find("Fitting Seconds:")); // without the CPU time
    };
    std::string first = run(7);
    EXPECT_EQ(run(7), first);
    EXPECT_NE(run(8), first);
    EXPECT_NE(first.find("MLE-Try  3, MaxLogLike: "), std::string::npos) << first;
}

TEST(StartValues, VerticesFollowTheGeneratorInOrder)
{
    // Vertex 0 from the model's parameters only for try 1 of a model that
    // has them; every random vertex draws one number per entry, and with
    // random error one more that replaces the last entry.
    struct Row {
        boolean supplied, random_error;
        int try_num;
    } rows[] = {{FALSE, FALSE, 1}, {TRUE, FALSE, 1}, {TRUE, FALSE, 2}, {FALSE, TRUE, 1}, {TRUE, TRUE, 1}};
    std::mt19937 gen(12);
    Mat X = likelihood::random_design(7, 2, gen);
    Vec y = likelihood::sample(X, Params{{1.0, 1.0}, {2.0, 2.0}, 1.0}, 0.0, 1.0, gen);
    for (const Row &r : rows) {
        Session session;
        RandomError = r.random_error;
        UnderFit fit(X, y);
        krfit.init.alpha = krfit.init.theta = r.supplied;
        krfit.alpha[0] = 0.5;
        krfit.var[0] = 2.0;
        krfit.stochratio[0] = 0.9;
        const int dim = 4 + r.random_error;
        real **x = NULL, *v = NULL;
        alloc(dim + 1, dim, &x);
        alloc(dim + 1, &v);
        RandInit(3, 6, 300);
        start_values_krfit(r.try_num, dim, x, v);
        real next = RandUnif();

        boolean from_model = r.supplied && r.try_num == 1;
        EXPECT_EQ(session.report() == "Supplied Parameter values used as Starting values for mle.\n", from_model);
        if (from_model) {
            EXPECT_EQ(x[0][0], asin(-0.5));
        }
        RandInit(3, 6, 300);
        for (int i = from_model; i <= dim; i++)
            for (int k = 0; k < dim + r.random_error; k++) {
                real u = RandUnif();
                if (k < dim - r.random_error) {
                    EXPECT_EQ(x[i][k], (u - 0.5) * 3.14159265359) << "vertex " << i << " entry " << k;
                } else if (k == dim) {
                    EXPECT_EQ(x[i][dim - 1], u * 3.14159265359 / 2) << "vertex " << i;
                }
            }
        EXPECT_EQ(RandUnif(), next) << "no further draws";
        for (int i = 0; i <= dim; i++)
            EXPECT_EQ(v[i], krigloglike(x[i], dim)) << "value of vertex " << i;
        frei(dim + 1, dim, &x);
        frei(dim + 1, &v);
    }
    RandomError = FALSE;
}

} // namespace
