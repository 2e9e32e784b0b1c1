// The production correlation matrix and vector, predictor and likelihood
// against their plain forms (tests/plain), to the bit, on random designs of
// every size the benchmarks use and on exponents of exactly 0, 1 and 2.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "alloc/alloc.h"
#include "kriging/blup.h"
#include "kriging/correlation.h"
#include "fit/krigfit.h"
#include "model/krigmodel.h"
#include "plain/kriging_plain.h"
#include "testutil.h"

namespace {

bool same_bits(real a, real b) { return memcmp(&a, &b, sizeof a) == 0; }

int rows_differing(real **a, real **b, int rows, int cols)
{
    int count = 0;
    for (int i = 0; i < rows; i++)
        count += memcmp(a[i], b[i], cols * sizeof(real)) != 0;
    return count;
}

// A model of n random runs in [0, 1]^d; alpha of input k is 0, 1, 2 or
// random in (0, 2) by `pattern`, theta random in [0, 5], a smooth response.
struct RandomModel {
    RandomModel(int n_, int d_, int pattern, real stochratio, std::mt19937 &gen) : n(n_), d(d_)
    {
        std::uniform_real_distribution<real> unit(0.0, 1.0);
        NULL_KrigModel(&kr);
        init_KrigModel(&kr, n, d, 1);
        for (int i = 0; i < n; i++) {
            real s = 0.0;
            for (int k = 0; k < d; k++) {
                kr.X[i][k] = unit(gen);
                s += std::sin((k + 1) * kr.X[i][k]);
            }
            kr.y[i] = s;
        }
        const real fixed[] = {0.0, 1.0, 2.0};
        for (int k = 0; k < d; k++) {
            int choice = (pattern + k) % 4;
            kr.alpha[k] = choice < 3 ? fixed[choice] : 2.0 * unit(gen);
            kr.theta[k] = 5.0 * unit(gen);
        }
        kr.stochratio[0] = stochratio;
        kr.var[0] = 1.5;
        kr.init.X = kr.init.y = kr.init.alpha = kr.init.theta = kr.init.var = TRUE;
    }
    ~RandomModel() { free_KrigModel(&kr); }
    int n, d;
    KrigModel kr;
};

TEST(KrigingPlain, CorrelationMatrixAndVectorAreBitIdentical)
{
    std::mt19937 gen(77);
    std::uniform_real_distribution<real> unit(0.0, 1.0);
    for (int n : {1, 2, 5, 50, 100, 200})
        for (int d : {1, 2, 4, 8})
            for (int pattern = 0; pattern < 5; pattern++) {
                real ratio = pattern == 4 ? 0.7 : 1.0;
                RandomModel m(n, d, pattern, ratio, gen);
                real **R = NULL, **Rplain = NULL;
                alloc(n, n, &R);
                alloc(n, n, &Rplain);
                calcR(m.kr.X, m.kr.alpha, m.kr.theta, ratio, n, d, R);
                plain::calcR(m.kr.X, m.kr.alpha, m.kr.theta, ratio, n, d, Rplain);
                EXPECT_EQ(rows_differing(R, Rplain, n, n), 0) << "n " << n << " d " << d << " pattern " << pattern;

                // New points, every third one a design point.
                std::vector<real> x(d), r(n), rplain(n);
                for (int p = 0; p < 12; p++) {
                    for (int k = 0; k < d; k++)
                        x[k] = p % 3 == 0 ? m.kr.X[p % n][k] : unit(gen);
                    calcr(x.data(), r.data(), m.kr.X, m.kr.alpha, m.kr.theta, ratio, n, d);
                    plain::calcr(x.data(), rplain.data(), m.kr.X, m.kr.alpha, m.kr.theta, ratio, n, d);
                    EXPECT_EQ(memcmp(r.data(), rplain.data(), n * sizeof(real)), 0) << "point " << p;
                }
                frei(n, n, &Rplain);
                frei(n, n, &R);
            }
}

// The power skipped for an exponent of 1 is exactly its argument, whatever
// its size (arguments are absolute differences).
TEST(KrigingPlain, PowerOneIsItsArgument)
{
    std::mt19937_64 gen(5);
    std::uniform_real_distribution<real> unit(0.0, 1.0);
    volatile real one = 1.0;
    int differ = 0;
    for (int i = 0; i < 1000000; i++) {
        real x = std::ldexp(unit(gen), (int)(gen() % 200) - 100);
        differ += !same_bits(std::pow(x, one), x);
    }
    EXPECT_EQ(differ, 0);
    EXPECT_TRUE(same_bits(std::pow(0.0, one), 0.0));
}

TEST(KrigingPlain, PredictionsInBlocksAreBitIdentical)
{
    std::mt19937 gen(99);
    std::uniform_real_distribution<real> unit(0.0, 1.0);
    struct Case {
        int n, d, npred;
        real ratio;
    };
    const Case cases[] = {{1, 1, 3, 1.0}, {5, 2, 8, 1.0}, {20, 3, 9, 0.8}, {100, 4, 17, 1.0}, {200, 4, 203, 1.0},
                          {200, 8, 64, 0.9}, {200, 4, 2003, 1.0}};
    for (const Case &c : cases) {
        RandomModel m(c.n, c.d, c.n % 4, c.ratio, gen);
        kr_calcR(&m.kr);
        kr_calcF(&m.kr);
        kr_cover_augmR(&m.kr);
        real **xpred = NULL, **ypred = NULL, **yplain = NULL;
        alloc(c.npred, c.d, &xpred);
        alloc(c.npred, 2, &ypred);
        alloc(c.npred, 2, &yplain);
        for (int p = 0; p < c.npred; p++)
            for (int k = 0; k < c.d; k++)
                xpred[p][k] = p % 5 == 0 ? m.kr.X[p % c.n][k] : unit(gen);
        blup_on_design(&m.kr, m.kr.X, m.kr.y, c.n, c.d, 1, m.kr.U, m.kr.eigvalinv, c.npred, xpred, ypred, "r");
        plain::blup_on_design(&m.kr, m.kr.X, m.kr.y, c.n, c.d, 1, m.kr.U, m.kr.eigvalinv, c.npred, xpred, yplain);
        EXPECT_EQ(rows_differing(ypred, yplain, c.npred, 2), 0) << "n " << c.n << " npred " << c.npred;
        frei(c.npred, 2, &yplain);
        frei(c.npred, 2, &ypred);
        frei(c.npred, c.d, &xpred);
    }
}

TEST(KrigingPlain, WarningsOfPointsSharedAmongThreadsComeInPointOrder)
{
    // A negative variance makes the mean squared errors small and negative:
    // a warning for each point, none at the design points (every fifth).
    std::mt19937 gen(5);
    std::uniform_real_distribution<real> unit(0.0, 1.0);
    RandomModel m(30, 2, 3, 1.0, gen);
    m.kr.var[0] = -0.001;
    kr_calcR(&m.kr);
    kr_calcF(&m.kr);
    kr_cover_augmR(&m.kr);
    const int npred = 1500;
    real **xpred = NULL, **ypred = NULL, **yplain = NULL;
    alloc(npred, 2, &xpred);
    alloc(npred, 2, &ypred);
    alloc(npred, 2, &yplain);
    for (int p = 0; p < npred; p++)
        for (int k = 0; k < 2; k++)
            xpred[p][k] = p % 5 == 0 ? m.kr.X[p % 30][k] : unit(gen);
    ReportCapture capture;
    plain::blup_on_design(&m.kr, m.kr.X, m.kr.y, 30, 2, 1, m.kr.U, m.kr.eigvalinv, npred, xpred, yplain);
    std::string expected = capture.take();
    blup_on_design(&m.kr, m.kr.X, m.kr.y, 30, 2, 1, m.kr.U, m.kr.eigvalinv, npred, xpred, ypred, "r");
    EXPECT_EQ(capture.take(), expected);
    EXPECT_NE(expected.find("WARNING : MSE for obs. 1499 is"), std::string::npos);
    EXPECT_EQ(rows_differing(ypred, yplain, npred, 2), 0);
    frei(npred, 2, &yplain);
    frei(npred, 2, &ypred);
    frei(npred, 2, &xpred);
}

TEST(KrigingPlain, LikelihoodIsBitIdentical)
{
    std::mt19937 gen(31);
    std::uniform_real_distribution<real> unit(0.0, 1.0);
    for (int n : {10, 50, 100, 200})
        for (int d : {2, 4, 8}) {
            RandomModel m(n, d, 3, 1.0, gen);
            krfit = m.kr;
            fit_global_alloc();
            kr_calcF(&krfit);
            std::vector<real> v(2 * d);
            for (int trial = 0; trial < 2; trial++) {
                for (int k = 0; k < d; k++) {
                    v[k] = (unit(gen) - 0.5) * 3.14159265359;
                    v[d + k] = 1.0 + 3.0 * unit(gen);
                }
                real value = krigloglike(v.data(), 2 * d);
                plain::Likelihood want =
                    plain::loglike(krfit.X, krfit.y, krfit.alpha, krfit.theta, 1.0, n, d);
                EXPECT_TRUE(same_bits(value, want.value)) << "n " << n << " d " << d << ": " << value;
                EXPECT_TRUE(same_bits(krfit.beta[0], want.beta));
                EXPECT_TRUE(same_bits(krfit.var[0], want.var));
            }
            fit_global_free();
        }
}

} // namespace
