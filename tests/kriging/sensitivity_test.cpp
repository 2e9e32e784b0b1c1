// Variance shares and integrated effects against computations that share
// nothing with the code under test: closed forms of the one-input means,
// brute-force averages of the predictor (krigblup) on fine product rules,
// and the kriging covariance of the predictor at the quadrature points from
// a direct solve with R.
#include "kriging/sensitivity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "kriging/blup.h"
#include "kriging/boxintegral.h"
#include "kriging_reference.h"
#include "session.h"

namespace {

using reference::Mat;
using reference::Vec;

// Nodes and weights (summing to 1) of 5-point Gauss-Legendre rules on the
// panels of [lo, hi] cut into `panels` equal parts and at the given points,
// so that the kinks of the correlation fall on panel ends.
struct Rule {
    Vec x, w;
};

Rule product_panels(double lo, double hi, int panels, const Vec &kinks)
{
    static const double t[5] = {-0.9061798459386640, -0.5384693101056831, 0.0, 0.5384693101056831,
                                0.9061798459386640};
    static const double g[5] = {0.2369268850561891, 0.4786286704993665, 0.5688888888888889, 0.4786286704993665,
                                0.2369268850561891};
    Vec ends;
    for (int p = 0; p <= panels; p++)
        ends.push_back(lo + (hi - lo) * p / panels);
    for (double k : kinks)
        if (k > lo && k < hi)
            ends.push_back(k);
    std::sort(ends.begin(), ends.end());
    Rule r;
    for (size_t p = 0; p + 1 < ends.size(); p++) {
        double half = 0.5 * (ends[p + 1] - ends[p]), mid = 0.5 * (ends[p + 1] + ends[p]);
        for (int q = 0; q < 5; q++) {
            r.x.push_back(mid + half * t[q]);
            r.w.push_back(half * g[q] / (hi - lo));
        }
    }
    return r;
}

// A model of n random runs over the box, its responses from a function with
// main effects and interactions, the given correlation parameters; the
// reference model alongside.
struct Fixture {
    KrigModel *kr;
    reference::Model ref;
    Mat range;
};

Fixture make_model(std::mt19937 &gen, int n, const Mat &range, const Vec &theta, const Vec &alpha,
                   double stochratio)
{
    int d = (int)range.size();
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    Fixture f;
    f.range = range;
    f.kr = (KrigModel *)malloc(sizeof(KrigModel));
    NULL_KrigModel(f.kr);
    init_KrigModel(f.kr, n, d, 1);
    KrigModel *kr = f.kr;
    f.ref.X.assign(n, Vec(d));
    for (int i = 0; i < n; i++) {
        Vec u(d);
        for (int k = 0; k < d; k++) {
            u[k] = unit(gen);
            kr->X[i][k] = f.ref.X[i][k] = range[k][0] + u[k] * (range[k][1] - range[k][0]);
        }
        double y = 3.0 * u[0] + std::sin(5.0 * u[1]) + 4.0 * (u[0] - 0.5) * (u[d - 1] - 0.5) + 0.2 * unit(gen);
        kr->y[i] = y;
        f.ref.y.push_back(y);
    }
    for (int k = 0; k < d; k++) {
        kr->theta[k] = theta[k];
        kr->alpha[k] = alpha[k];
        kr->range[k][0] = range[k][0];
        kr->range[k][1] = range[k][1];
    }
    f.ref.theta = theta;
    f.ref.alpha = alpha;
    f.ref.stochratio = kr->stochratio[0] = stochratio;
    f.ref.var = kr->var[0] = 1.7;
    kr->init.X = kr->init.y = kr->init.alpha = kr->init.theta = kr->init.beta = TRUE;
    kr->init.var = kr->init.range = TRUE;
    return f;
}

void free_model(Fixture &f)
{
    free_KrigModel(f.kr);
    free(f.kr);
}

// Rules for every input, kinks at the design's coordinates.
std::vector<Rule> rules(const Fixture &f, int panels)
{
    std::vector<Rule> r;
    for (size_t k = 0; k < f.range.size(); k++) {
        Vec kinks;
        for (const Vec &x : f.ref.X)
            kinks.push_back(x[k]);
        r.push_back(product_panels(f.range[k][0], f.range[k][1], panels, kinks));
    }
    return r;
}

// The predictor (krigblup) at the given points.
Vec predict(KrigModel *kr, const Mat &points)
{
    int np = (int)points.size(), d = kr->d[0];
    real **x = NULL, **y = NULL;
    alloc(np, d, &x);
    alloc(np, 2, &y);
    for (int p = 0; p < np; p++)
        for (int k = 0; k < d; k++)
            x[p][k] = points[p][k];
    krigblup(kr, np, x, y, -1);
    Vec v(np);
    for (int p = 0; p < np; p++)
        v[p] = y[p][0];
    frei(np, d, &x);
    frei(np, 2, &y);
    return v;
}

TEST(BoxMeans, AgreeWithClosedFormsOfTheGaussianAndExponentialFactors)
{
    // alpha = 0: int exp(-theta (u - x)^2) = sqrt(pi / theta) / 2 [erf]; alpha = 1:
    // int exp(-theta |u - x|) = (2 - e^{-theta (x - lo)} - e^{-theta (hi - x)}) / theta
    // for x inside the range. Two uniform points, alpha = 1:
    // 2/(theta L) - 2 (1 - e^{-theta L}) / (theta L)^2.
    Session s;
    const double xs[5] = {0.3, -1.0, 1.9, 0.0, 2.5}; // an end and a point outside
    for (double theta : {0.01, 2.0, 40.0, 3000.0})
        for (double alpha : {0.0, 1.0}) {
            KrigModel *kr = (KrigModel *)malloc(sizeof(KrigModel));
            NULL_KrigModel(kr);
            init_KrigModel(kr, 5, 2, 1);
            for (int i = 0; i < 5; i++)
                kr->X[i][0] = kr->X[i][1] = xs[i];
            for (int k = 0; k < 2; k++) {
                kr->theta[k] = theta;
                kr->alpha[k] = alpha;
            }
            // The second input's range is the first's, reversed.
            kr->range[0][0] = kr->range[1][1] = -1.0;
            kr->range[0][1] = kr->range[1][0] = 2.0;
            BoxMeans bm;
            box_means_compute(kr, &bm);
            double lo = -1.0, hi = 2.0, L = 3.0, r = std::sqrt(theta);
            for (int i = 0; i < 5; i++) {
                double x = xs[i], want;
                if (alpha == 0.0)
                    want = std::sqrt(M_PI / theta) / 2.0 * (std::erf(r * (hi - x)) - std::erf(r * (lo - x))) / L;
                else if (x <= hi)
                    want = (2.0 - std::exp(-theta * (x - lo)) - std::exp(-theta * (hi - x))) / theta / L;
                else
                    want = (std::exp(-theta * (x - hi)) - std::exp(-theta * (x - lo))) / theta / L;
                EXPECT_NEAR(bm.mean[0][i], want, 1e-12 * want + 1e-17) << theta << " " << alpha << " " << x;
                EXPECT_EQ(bm.mean[1][i], bm.mean[0][i]);
            }
            if (alpha == 1.0) {
                double tl = theta * L;
                EXPECT_NEAR(bm.pair_mean[0], 2.0 / tl - 2.0 * (1.0 - std::exp(-tl)) / (tl * tl), 1e-12);
            }
            box_means_free(&bm);
            free_KrigModel(kr);
            free(kr);
        }
    // A range of one point: the factor there and certainty.
    EXPECT_EQ(factor_pair_mean(2.0, 0.5, 1.0, 1.0), 1.0);
}

// Shares from the predictor on a fine product rule: the mean, the variance
// of the conditional means of each input and pair, and the total variance.
TEST(VarianceComponents, MatchABruteForceDecompositionOfThePredictor)
{
    Session s;
    std::mt19937 gen(7);
    Mat range = {{0.0, 1.0}, {-1.0, 2.0}, {0.0, 3.0}};
    for (double ratio : {1.0, 0.8}) {
        Fixture f = make_model(gen, 10, range, {2.0, 0.8, 0.3}, {0.0, 1.0, 1.5}, ratio);
        real comp[6];
        boolean doubtful = TRUE;
        double total = variance_components(f.kr, comp, &doubtful);
        EXPECT_FALSE(doubtful);

        std::vector<Rule> r = rules(f, 4);
        size_t n0 = r[0].x.size(), n1 = r[1].x.size(), n2 = r[2].x.size();
        Mat points;
        for (size_t a = 0; a < n0; a++)
            for (size_t b = 0; b < n1; b++)
                for (size_t c = 0; c < n2; c++)
                    points.push_back({r[0].x[a], r[1].x[b], r[2].x[c]});
        Vec v = predict(f.kr, points);
        double mean = 0.0;
        for (size_t p = 0; p < v.size(); p++)
            mean += r[0].w[p / (n1 * n2)] * r[1].w[p / n2 % n1] * r[2].w[p % n2] * v[p];
        Mat m01(n0, Vec(n1, 0.0)), m02(n0, Vec(n2, 0.0)), m12(n1, Vec(n2, 0.0));
        Vec m0(n0, 0.0), m1(n1, 0.0), m2(n2, 0.0);
        double var = 0.0;
        for (size_t p = 0; p < v.size(); p++) {
            size_t a = p / (n1 * n2), b = p / n2 % n1, c = p % n2;
            double e = v[p] - mean;
            var += r[0].w[a] * r[1].w[b] * r[2].w[c] * e * e;
            m01[a][b] += r[2].w[c] * e;
            m02[a][c] += r[1].w[b] * e;
            m12[b][c] += r[0].w[a] * e;
            m0[a] += r[1].w[b] * r[2].w[c] * e;
            m1[b] += r[0].w[a] * r[2].w[c] * e;
            m2[c] += r[0].w[a] * r[1].w[b] * e;
        }
        auto sq1 = [](const Vec &m, const Vec &w) {
            double s = 0;
            for (size_t i = 0; i < m.size(); i++)
                s += w[i] * m[i] * m[i];
            return s;
        };
        auto sq2 = [](const Mat &m, const Vec &w1, const Vec &w2) {
            double s = 0;
            for (size_t i = 0; i < m.size(); i++)
                for (size_t j = 0; j < m[i].size(); j++)
                    s += w1[i] * w2[j] * m[i][j] * m[i][j];
            return s;
        };
        double v0 = sq1(m0, r[0].w), v1 = sq1(m1, r[1].w), v2 = sq1(m2, r[2].w);
        double want[6] = {v0, v1, v2, sq2(m01, r[0].w, r[1].w) - v0 - v1, sq2(m02, r[0].w, r[2].w) - v0 - v2,
                          sq2(m12, r[1].w, r[2].w) - v1 - v2};
        EXPECT_NEAR(total, var, 1e-3 * var) << "ratio " << ratio;
        for (int t = 0; t < 6; t++)
            EXPECT_NEAR(100.0 * comp[t] / total, 100.0 * want[t] / var, 0.01) << "term " << t << " ratio " << ratio;
        free_model(f);
    }
}

// The kriging covariance of the predictor's error at two points, divided by
// the variance: s c(x, x') - r' R^-1 r' + (1 - 1' R^-1 r)(1 - 1' R^-1 r') / 1' R^-1 1,
// by direct solves with R (no random error at the points themselves: the
// target is the smooth response).
struct DirectCovariance {
    const reference::Model &m;
    Mat R;
    Vec Rinv1;
    double denom;
    explicit DirectCovariance(const reference::Model &model) : m(model)
    {
        size_t n = m.y.size();
        R.assign(n, Vec(n));
        for (size_t i = 0; i < n; i++)
            for (size_t j = 0; j < n; j++)
                R[i][j] = i == j ? 1.0 : m.stochratio * reference::corr(m, m.X[i], m.X[j]);
        Rinv1 = reference::solve(R, Vec(n, 1.0));
        denom = reference::dot(Vec(n, 1.0), Rinv1);
    }
    Vec r(const Vec &x) const
    {
        Vec v;
        for (const Vec &xi : m.X)
            v.push_back(m.stochratio * reference::corr(m, x, xi));
        return v;
    }
};

TEST(IntegratedBlup, AveragesThePredictorAndGivesTheKrigingErrorOfTheAverage)
{
    Session s;
    std::mt19937 gen(11);
    Mat range = {{0.0, 1.0}, {-1.0, 2.0}};
    struct Case {
        double alpha, ratio, se_tol;
    } cases[] = {{0.0, 1.0, 1e-7}, {0.0, 0.7, 1e-7}, {1.0, 1.0, 1e-4}};
    for (const Case &c : cases) {
        Fixture f = make_model(gen, 12, range, {3.0, 0.6}, {c.alpha, c.alpha}, c.ratio);
        real comp[3];
        boolean doubtful;
        variance_components(f.kr, comp, &doubtful); // brings the decomposition up to date
        BoxMeans bm;
        box_means_compute(f.kr, &bm);
        std::vector<Rule> r = rules(f, 60);
        const Rule &avg = r[1];

        // Main effect of input 0 at three levels, input 1 averaged.
        Vec levels = {0.0, 0.37, 1.0};
        real **x = NULL, **y = NULL;
        alloc(3, 2, &x);
        alloc(3, 2, &y);
        for (int p = 0; p < 3; p++)
            x[p][0] = levels[p];
        int varied = 0;
        integrated_blup(f.kr, &bm, &varied, 1, 3, x, y);

        DirectCovariance dc(f.ref);
        for (int p = 0; p < 3; p++) {
            Mat points;
            for (double u : avg.x)
                points.push_back({levels[p], u});
            Vec v = predict(f.kr, points);
            double want = 0.0;
            for (size_t q = 0; q < v.size(); q++)
                want += avg.w[q] * v[q];
            EXPECT_NEAR(y[p][0], want, 1e-6 * std::fabs(want)) << c.alpha << " " << c.ratio;

            // Variance of sum_q w_q (error at x_q): the double sum of the
            // error covariance over the quadrature points.
            std::vector<Vec> rvec, Rinv_r;
            Vec trend;
            for (const Vec &pt : points) {
                Vec rr = dc.r(pt);
                rvec.push_back(rr);
                Rinv_r.push_back(reference::solve(dc.R, rr));
                trend.push_back(1.0 - reference::dot(dc.Rinv1, rr));
            }
            double mse = 0.0;
            for (size_t q = 0; q < points.size(); q++)
                for (size_t t = 0; t < points.size(); t++) {
                    double cov = c.ratio * reference::corr(f.ref, points[q], points[t]) -
                                 reference::dot(rvec[q], Rinv_r[t]) + trend[q] * trend[t] / dc.denom;
                    mse += avg.w[q] * avg.w[t] * cov;
                }
            double se = std::sqrt(f.ref.var * mse);
            EXPECT_NEAR(y[p][1], se, c.se_tol * se) << c.alpha << " " << c.ratio;
        }

        // With every input varied nothing is averaged: the predictor itself,
        // and without random error its standard error.
        int both[2] = {0, 1};
        x[0][1] = 0.5;
        x[1][1] = -0.3;
        x[2][1] = 2.0;
        integrated_blup(f.kr, &bm, both, 2, 3, x, y);
        real **plain = NULL;
        alloc(3, 2, &plain);
        krigblup(f.kr, 3, x, plain, -1);
        for (int p = 0; p < 3; p++) {
            EXPECT_NEAR(y[p][0], plain[p][0], 1e-12 * (1.0 + std::fabs(plain[p][0])));
            if (c.ratio == 1.0)
                EXPECT_NEAR(y[p][1], plain[p][1], 1e-9);
            else
                EXPECT_LT(y[p][1], plain[p][1]);
        }
        frei(3, 2, &plain);
        frei(3, 2, &x);
        frei(3, 2, &y);
        box_means_free(&bm);
        free_model(f);
    }
}

} // namespace

namespace {

// The joint form: inputs 0 and 2 of three varied, input 1 averaged; value
// and standard error against the predictor and its error covariance at the
// quadrature points of input 1.
TEST(IntegratedBlup, JointEffectAveragesTheMiddleInput)
{
    Session s;
    std::mt19937 gen(5);
    Mat range = {{0.0, 1.0}, {-1.0, 2.0}, {0.0, 3.0}};
    Fixture f = make_model(gen, 14, range, {2.0, 0.7, 0.4}, {0.0, 0.0, 0.0}, 0.9);
    real comp[6];
    boolean doubtful;
    variance_components(f.kr, comp, &doubtful);
    BoxMeans bm;
    box_means_compute(f.kr, &bm);
    const Rule avg = rules(f, 40)[1];
    Mat levels = {{0.1, 0.0, 2.9}, {0.8, 0.0, 0.0}};
    real **x = NULL, **y = NULL;
    alloc(2, 3, &x);
    alloc(2, 2, &y);
    for (int p = 0; p < 2; p++)
        for (int k = 0; k < 3; k++)
            x[p][k] = levels[p][k];
    int varied[2] = {0, 2};
    integrated_blup(f.kr, &bm, varied, 2, 2, x, y);
    DirectCovariance dc(f.ref);
    for (int p = 0; p < 2; p++) {
        Mat points;
        for (double u : avg.x)
            points.push_back({levels[p][0], u, levels[p][2]});
        Vec v = predict(f.kr, points);
        double want = 0.0;
        for (size_t q = 0; q < v.size(); q++)
            want += avg.w[q] * v[q];
        EXPECT_NEAR(y[p][0], want, 1e-6 * std::fabs(want));
        std::vector<Vec> rvec, Rinv_r;
        Vec trend;
        for (const Vec &pt : points) {
            rvec.push_back(dc.r(pt));
            Rinv_r.push_back(reference::solve(dc.R, rvec.back()));
            trend.push_back(1.0 - reference::dot(dc.Rinv1, rvec.back()));
        }
        double mse = 0.0;
        for (size_t q = 0; q < points.size(); q++)
            for (size_t t = 0; t < points.size(); t++)
                mse += avg.w[q] * avg.w[t] *
                       (f.ref.stochratio * reference::corr(f.ref, points[q], points[t]) -
                        reference::dot(rvec[q], Rinv_r[t]) + trend[q] * trend[t] / dc.denom);
        double se = std::sqrt(f.ref.var * mse);
        EXPECT_NEAR(y[p][1], se, 1e-7 * se);
    }
    frei(2, 3, &x);
    frei(2, 2, &y);
    box_means_free(&bm);
    free_model(f);
}

} // namespace
