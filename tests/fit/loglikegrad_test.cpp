// The likelihood of the gradient method: its value is the concentrated log
// likelihood of an independent Cholesky computation and of krigloglike, and
// its gradient agrees with central differences of the value, with and
// without random error, for alpha at 0, inside (0, 2) and near 2.
#include "fit/loglikegrad.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "fit/krigtrafo.h"
#include "likelihood_reference.h"
#include "model/settings.h"
#include "session.h"

namespace {

using likelihood::Mat;
using likelihood::Params;
using likelihood::Vec;

struct Case {
    const char *name;
    int n, d;
    double alpha;      // every alpha_k (0, inside, near 2)
    double stochratio; // 1: no random error
};

const Case CASES[] = {
    {"gauss", 20, 2, 0.0, 1.0},   {"inside", 25, 3, 0.7, 1.0},   {"near 2", 15, 2, 1.9, 1.0},
    {"gauss noise", 20, 2, 0.0, 0.8}, {"inside noise", 30, 4, 1.2, 0.95}, {"near 2 noise", 18, 3, 1.95, 0.6},
    // More runs than one block of the blocked inverse of R (64): two whole
    // blocks and one row, and a part block.
    {"gauss noise, blocks", 129, 3, 0.0, 0.9}, {"inside noise, blocks", 150, 2, 1.0, 0.9},
};

// The design, responses and random parameters of one case (x scaled to
// [0, 3] in the first input, so that the ranges differ).
struct Drawn {
    Mat X;
    Vec y;
    Params p;
};

Drawn setup(const Case &c, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    Drawn s;
    s.X = likelihood::random_design(c.n, c.d, gen);
    for (auto &row : s.X)
        row[0] *= 3.0;
    for (int k = 0; k < c.d; k++) {
        // alpha exactly 0 for the first case kind, otherwise about the given value
        s.p.alpha.push_back(c.alpha == 0.0 ? 0.0 : std::min(2.0, c.alpha + 0.04 * (u(gen) - 0.5)));
        s.p.theta.push_back(0.3 + 3.0 * u(gen));
    }
    s.p.stochratio = c.stochratio;
    s.y = likelihood::sample(s.X, s.p, 1.0, 2.0, gen);
    return s;
}

struct Evaluator {
    explicit Evaluator(const Drawn &s) : m(s.X, s.y)
    {
        grad_design_init(&g, m.kr.X, m.kr.y, m.n, m.d);
        w = grad_work_new(m.n, m.d);
    }
    ~Evaluator()
    {
        grad_work_free(w);
        grad_design_free(&g);
    }
    double value(const Params &p)
    {
        double f = 0.0;
        EXPECT_TRUE(grad_loglike(&g, w, p.alpha.data(), p.theta.data(), p.stochratio, &f, NULL, NULL, NULL));
        return f;
    }
    DataModel m;
    GradDesign g;
    GradWork *w;
};

TEST(GradLoglike, ValueIsTheConcentratedLogLikelihood)
{
    unsigned seed = 100;
    for (const Case &c : CASES) {
        SCOPED_TRACE(c.name);
        Session session;
        RandomError = c.stochratio < 1.0;
        Drawn s = setup(c, seed++);
        Evaluator e(s);
        double f = e.value(s.p);
        double reference = likelihood::concentrated(s.X, s.y, s.p).loglike;
        EXPECT_NEAR(-f, reference, 1e-9 * std::fabs(reference) + 1e-9);

        // krigloglike, through the eigenvalues of R, at the same parameters.
        UnderFit fit(s.X, s.y);
        krfit.stochratio[0] = s.p.stochratio;
        Vec v(2 * c.d + (RandomError ? 1 : 0));
        trafo_corpar(s.p.alpha.data(), s.p.theta.data(), 1.0, s.p.stochratio, v.data(), c.d);
        EXPECT_NEAR(fit.eval(v), f, 1e-7 * std::fabs(f) + 1e-7);
        RandomError = FALSE;
    }
}

TEST(GradLoglike, GradientAgreesWithCentralDifferences)
{
    unsigned seed = 200;
    for (const Case &c : CASES) {
        for (int draw = 0; draw < 3; draw++) {
            SCOPED_TRACE(std::string(c.name) + " draw " + std::to_string(draw));
            Session session;
            RandomError = c.stochratio < 1.0;
            Drawn s = setup(c, seed++);
            Evaluator e(s);
            Vec ga(c.d), gt(c.d);
            double gs = 0.0, f = 0.0;
            ASSERT_TRUE(grad_loglike(&e.g, e.w, s.p.alpha.data(), s.p.theta.data(), s.p.stochratio, &f, ga.data(),
                                     gt.data(), &gs));
            auto central = [&](double *param, double h) {
                double keep = *param;
                *param = keep + h;
                double up = e.value(s.p);
                *param = keep - h;
                double down = e.value(s.p);
                *param = keep;
                return (up - down) / (2.0 * h);
            };
            auto expect_close = [](double analytic, double numeric, const char *what, int k) {
                EXPECT_NEAR(analytic, numeric, 1e-5 * std::fabs(numeric) + 1e-5) << what << " " << k;
            };
            for (int k = 0; k < c.d; k++) {
                expect_close(gt[k], central(&s.p.theta[k], 1e-6 * s.p.theta[k]), "theta", k);
                expect_close(ga[k], central(&s.p.alpha[k], 1e-6), "alpha", k);
            }
            if (RandomError)
                expect_close(gs, central(&s.p.stochratio, 1e-7), "stochratio", 0);
            RandomError = FALSE;
        }
    }
}

TEST(GradLoglike, NotPositiveDefiniteIsReportedNotFactored)
{
    // Two equal runs without random error: R is singular.
    Session session;
    Mat X = {{0.1, 0.2}, {0.5, 0.9}, {0.1, 0.2}, {0.8, 0.3}};
    Vec y = {1.0, 2.0, 1.0, 0.5};
    Drawn s{X, y, Params{{0.0, 0.0}, {1.0, 1.0}, 1.0}};
    Evaluator e(s);
    double f = 0.0;
    EXPECT_FALSE(grad_loglike(&e.g, e.w, s.p.alpha.data(), s.p.theta.data(), 1.0, &f, NULL, NULL, NULL));
    // With some random error the same design is fine.
    EXPECT_TRUE(grad_loglike(&e.g, e.w, s.p.alpha.data(), s.p.theta.data(), 0.9, &f, NULL, NULL, NULL));
    EXPECT_NEAR(-f, likelihood::concentrated(X, y, Params{{0.0, 0.0}, {1.0, 1.0}, 0.9}).loglike, 1e-9);
}

// A work record keeps the powers of inputs whose alpha did not change since
// its last call: after calls at other parameters (some alphas moved, some
// not, one back to its first value) its value and gradient are those of a
// fresh record, to the bit.
TEST(GradLoglike, KeptPowersGiveTheFreshResult)
{
    Session session;
    Drawn s = setup(CASES[1], 300);
    Evaluator warm(s);
    Params other = s.p;
    other.alpha[0] += 0.1;
    other.theta[1] *= 2.0;
    Params moved = other;
    moved.alpha[0] = s.p.alpha[0];
    moved.alpha[2] = 0.0;
    int d = CASES[1].d;
    for (const Params *p : {&s.p, &other, &moved, &s.p}) {
        Evaluator fresh(s);
        Vec ga(d), gt(d), fa(d), ft(d);
        double f = 0.0, ff = 0.0, gs = 0.0, fs = 0.0;
        ASSERT_TRUE(grad_loglike(&warm.g, warm.w, p->alpha.data(), p->theta.data(), 1.0, &f, ga.data(), gt.data(), &gs));
        ASSERT_TRUE(grad_loglike(&fresh.g, fresh.w, p->alpha.data(), p->theta.data(), 1.0, &ff, fa.data(), ft.data(),
                                 &fs));
        EXPECT_EQ(f, ff);
        EXPECT_EQ(ga, fa);
        EXPECT_EQ(gt, ft);
    }
}

} // namespace
