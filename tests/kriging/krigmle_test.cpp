// Maximum-likelihood fitting: data sampled from the process itself with
// known parameters are fitted at least as well as the true parameters
// explain them (also on a design whose eigenvalue product underflows), the
// starting simplex follows the generator in its fixed order, and the same
// seed gives the same report while another seed takes another path.
#include "kriging/krigmle.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>
#include <sstream>
#include <string>

#include "alloc/alloc.h"
#include "fit_support.h"
#include "kriging/krigfit.h"
#include "model/settings.h"
#include "numeric/unif.h"
#include "session.h"
#include "testutil.h"

namespace {

using likelihood::Mat;
using likelihood::Params;
using likelihood::Vec;

Params fitted(const KrigModel &kr)
{
    int d = kr.d[0];
    return Params{Vec(kr.alpha, kr.alpha + d), Vec(kr.theta, kr.theta + d), kr.stochratio[0]};
}

// The report without the CPU-time line.
std::string without_timer(const std::string &report)
{
    std::istringstream in(report);
    std::string line, out;
    while (std::getline(in, line))
        if (line.rfind("Fitting Seconds:", 0) != 0)
            out += line + "\n";
    return out;
}

struct Truth {
    int n;
    Params p;
    unsigned seed;
};

TEST(KrigMle, SampleOfTheProcessIsFittedAtLeastAsWellAsByTheTruth)
{
    const Truth rows[] = {
        {30, {{0.5}, {4.0}, 1.0}, 1},
        {60, {{0.2, 0.5}, {2.0, 5.0}, 1.0}, 2},
        {80, {{0.1}, {2.0}, 0.7}, 3},
    };
    for (const Truth &t : rows) {
        Session session;
        RandomError = t.p.stochratio < 1.0;
        std::mt19937 gen(t.seed);
        int d = (int)t.p.theta.size();
        Mat X = likelihood::random_design(t.n, d, gen);
        Vec y = likelihood::sample(X, t.p, 3.0, 2.0, gen); // total variance 2
        DataModel m(X, y);
        RandInit(10, 20, 1000);
        krig_mle(&m.kr, 0);
        double truth = likelihood::concentrated(X, y, t.p).loglike;
        likelihood::Concentrated at_fit = likelihood::concentrated(X, y, fitted(m.kr));
        std::string what = std::to_string(t.n) + " runs, " + std::to_string(d) + " inputs";
        EXPECT_GE(m.kr.loglike[0], truth - 1e-9 * std::fabs(truth)) << what;
        // The reported optimum is the likelihood of the parameters kept, and
        // the model holds the estimates that belong to them.
        EXPECT_NEAR(m.kr.loglike[0], at_fit.loglike, 1e-8 * std::fabs(at_fit.loglike)) << what;
        EXPECT_NEAR(m.kr.var[0], at_fit.var, 1e-8 * at_fit.var) << what;
        EXPECT_NEAR(m.kr.beta[0], at_fit.beta, 1e-8 * (1 + std::fabs(at_fit.beta))) << what;
        for (int k = 0; k < d; k++) {
            EXPECT_GT(m.kr.theta[k], t.p.theta[k] / 4) << what << " theta " << k;
            EXPECT_LT(m.kr.theta[k], t.p.theta[k] * 4) << what << " theta " << k;
        }
        if (RandomError) {
            // The error variance: with one sample the share of a long-range
            // process in the total is poorly determined, the noise is not.
            double error_var = (1.0 - m.kr.stochratio[0]) * m.kr.var[0], true_error = (1.0 - t.p.stochratio) * 2.0;
            EXPECT_GT(error_var, true_error / 1.5) << what;
            EXPECT_LT(error_var, true_error * 1.5) << what;
        }
        EXPECT_TRUE(m.kr.init.alpha && m.kr.init.theta && m.kr.init.R && m.kr.init.F && m.kr.init.U &&
                    m.kr.init.beta && m.kr.init.var);
        session.report();
    }
}

TEST(KrigMle, UnderflowingDeterminantNoLongerStopsTheFit)
{
    // 200 runs on a line, exponential correlation: ln det R is below -745
    // at the truth and at the start, so the plain product of the
    // eigenvalues is 0 there. The fit still leaves its start and ends at
    // least as likely as the truth, without penalised evaluations.
    Session session;
    std::mt19937 gen(8);
    const int n = 200;
    Mat X = likelihood::random_design(n, 1, gen);
    Params truth{{1.0}, {1.0}, 1.0};
    Vec y = likelihood::sample(X, truth, 0.0, 1.0, gen);
    DataModel m(X, y);
    m.kr.alpha[0] = 0.7;
    m.kr.theta[0] = 0.4;
    m.kr.init.alpha = m.kr.init.theta = TRUE;
    Params start = fitted(m.kr);
    EXPECT_LT(likelihood::concentrated(X, y, truth).lndet, -745.0);
    EXPECT_LT(likelihood::concentrated(X, y, start).lndet, -745.0);

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
        return without_timer(session.report());
    };
    std::string first = run(7);
    EXPECT_EQ(run(7), first);
    EXPECT_NE(run(8), first);
    EXPECT_NE(first.find("MLE-Try  3, MaxLogLike: "), std::string::npos) << first;
}

TEST(StartValues, VerticesFollowTheGeneratorInOrder)
{
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
        krfit.alpha[1] = 1.5;
        krfit.theta[0] = krfit.theta[1] = 1.0;
        krfit.var[0] = 2.0;
        krfit.stochratio[0] = 0.9;
        const int dim = r.random_error ? 5 : 4;
        real **x = NULL, *v = NULL;
        alloc(dim + 1, dim, &x);
        alloc(dim + 1, &v);
        RandInit(3, 6, 300);
        start_values_krfit(r.try_num, dim, x, v);
        real next = RandUnif();

        boolean from_model = r.supplied && r.try_num == 1;
        EXPECT_EQ(session.report().find("Supplied Parameter values used as Starting values for mle.\n") !=
                      std::string::npos,
                  from_model);
        RandInit(3, 6, 300);
        if (from_model) {
            EXPECT_EQ(x[0][0], asin(0.5 - 1.0));
            EXPECT_EQ(x[0][3], sqrt(10.0));
            if (r.random_error) {
                EXPECT_EQ(x[0][4], asin((0.9 - 0.5) * 2.0));
            }
        }
        // Every vertex draws dim numbers; with random error one more
        // replaces the last entry.
        for (int i = from_model ? 1 : 0; i <= dim; i++) {
            for (int k = 0; k < dim; k++) {
                real u = RandUnif();
                if (!(r.random_error && k == dim - 1)) {
                    EXPECT_EQ(x[i][k], (u - 0.5) * 3.14159265359) << "vertex " << i << " entry " << k;
                }
            }
            if (r.random_error) {
                real u = RandUnif();
                EXPECT_EQ(x[i][dim - 1], u * 3.14159265359 / 2);
            }
        }
        EXPECT_EQ(RandUnif(), next) << "the draws end here";
        for (int i = 0; i <= dim; i++)
            EXPECT_EQ(v[i], krigloglike(x[i], dim)) << "value of vertex " << i;
        EXPECT_TRUE(krfit.init.alpha && krfit.init.theta);
        frei(dim + 1, dim, &x);
        frei(dim + 1, &v);
    }
}

TEST(StartValues, TryNumberBelowOneWithParametersIsFatal)
{
    Mat X = {{0.1}, {0.5}, {0.9}};
    UnderFit fit(X, {1.0, 2.0, 0.5});
    real **x = NULL, *v = NULL;
    alloc(3, 2, &x);
    alloc(3, &v);
    EXPECT_FATAL(start_values_krfit(0, 2, x, v), "start_values_krfit: Code Bug. try_num<1 or 'initalized' bug");
    frei(3, 2, &x);
    frei(3, &v);
}

} // namespace
