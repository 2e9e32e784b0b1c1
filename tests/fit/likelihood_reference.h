// An independent concentrated log likelihood for the tests of fitting: R
// built directly, its Cholesky factor R = L·Lᵀ, the generalised-least-
// squares mean and variance by forward substitution, ln det R = 2 Σ ln L_ii.
// Also samples of the process itself, and model records holding a design,
// on their own or placed under fit.
#ifndef MORLA_LIKELIHOOD_REFERENCE_H
#define MORLA_LIKELIHOOD_REFERENCE_H

#include <cmath>
#include <random>
#include <vector>

#include "kriging/correlation.h"
#include "fit/krigfit.h"
#include "model/krigmodel.h"

namespace likelihood {

using Vec = std::vector<double>;
using Mat = std::vector<Vec>;

struct Params {
    Vec alpha, theta;
    double stochratio = 1.0;
};

// The parameters a fit left in the model.
inline Params fitted(const KrigModel &kr)
{
    return Params{Vec(kr.alpha, kr.alpha + kr.d[0]), Vec(kr.theta, kr.theta + kr.d[0]), kr.stochratio[0]};
}

// Lower Cholesky factor of R = s·C + (1 - s)·I.
inline Mat cholesky(const Mat &X, const Params &p)
{
    size_t n = X.size();
    Mat R(n, Vec(n, 1.0)), L(n, Vec(n, 0.0));
    for (size_t i = 0; i < n; i++)
        for (size_t j = 0; j < n; j++) {
            double sum = 0.0;
            for (size_t k = 0; k < p.theta.size(); k++)
                sum += p.theta[k] * std::pow(std::fabs(X[i][k] - X[j][k]), 2.0 - p.alpha[k]);
            if (i != j)
                R[i][j] = p.stochratio * std::exp(-sum);
        }
    for (size_t j = 0; j < n; j++)
        for (size_t i = j; i < n; i++) {
            double s = R[i][j];
            for (size_t k = 0; k < j; k++)
                s -= L[i][k] * L[j][k];
            L[i][j] = i == j ? std::sqrt(s) : s / L[j][j];
        }
    return L;
}

struct Concentrated {
    double loglike; // -(n·ln(var) + ln det R) / 2
    double beta, var, lndet;
};

// With a = L⁻¹y, b = L⁻¹1: beta = a·b / b·b, var = |a - beta·b|² / n.
inline Concentrated concentrated(const Mat &X, const Vec &y, const Params &p)
{
    size_t n = y.size();
    Mat L = cholesky(X, p);
    Vec a(n), b(n);
    double ab = 0.0, bb = 0.0;
    Concentrated c{0.0, 0.0, 0.0, 0.0};
    for (size_t i = 0; i < n; i++) {
        a[i] = y[i];
        b[i] = 1.0;
        for (size_t k = 0; k < i; k++) {
            a[i] -= L[i][k] * a[k];
            b[i] -= L[i][k] * b[k];
        }
        a[i] /= L[i][i];
        b[i] /= L[i][i];
        ab += a[i] * b[i];
        bb += b[i] * b[i];
        c.lndet += 2.0 * std::log(L[i][i]);
    }
    c.beta = ab / bb;
    for (size_t i = 0; i < n; i++)
        c.var += (a[i] - c.beta * b[i]) * (a[i] - c.beta * b[i]) / n;
    c.loglike = -0.5 * (n * std::log(c.var) + c.lndet);
    return c;
}

// n points uniform in [0, 1]^d.
inline Mat random_design(int n, int d, std::mt19937 &gen)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    Mat X(n, Vec(d));
    for (auto &row : X)
        for (auto &v : row)
            v = unit(gen);
    return X;
}

// A sample of the process at X: mean + sqrt(var)·L·z, z standard normal.
inline Vec sample(const Mat &X, const Params &p, double mean, double var, std::mt19937 &gen)
{
    std::normal_distribution<double> normal(0.0, 1.0);
    Mat L = cholesky(X, p);
    Vec z(X.size()), y(X.size(), mean);
    for (size_t i = 0; i < X.size(); i++) {
        z[i] = normal(gen);
        for (size_t k = 0; k <= i; k++)
            y[i] += std::sqrt(var) * L[i][k] * z[k];
    }
    return y;
}

// The parameters that the search variables v stand for.
inline Params from_search(const Vec &v, int d)
{
    Params p;
    for (int k = 0; k < d; k++) {
        p.alpha.push_back(std::sin(v[k]) + 1.0);
        p.theta.push_back(v[d + k] * v[d + k] / 10.0);
    }
    if ((int)v.size() > 2 * d)
        p.stochratio = std::sin(v[2 * d]) / 2.0 + 0.5;
    return p;
}

} // namespace likelihood

// A model record of the tracked allocator holding a design and responses.
struct DataModel {
    DataModel(const likelihood::Mat &X, const likelihood::Vec &y) : n((int)X.size()), d((int)X[0].size())
    {
        NULL_KrigModel(&kr);
        init_KrigModel(&kr, n, d, 1);
        for (int i = 0; i < n; i++) {
            std::copy(X[i].begin(), X[i].end(), kr.X[i]);
            kr.y[i] = y[i];
        }
        kr.init.X = kr.init.y = TRUE;
    }
    ~DataModel() { free_KrigModel(&kr); }
    int n, d;
    KrigModel kr;
};

// The record placed under fit as the driver places it, with fresh counters
// and its work storage (released at the end of scope).
struct UnderFit : DataModel {
    UnderFit(const likelihood::Mat &X, const likelihood::Vec &y) : DataModel(X, y)
    {
        krfit = kr;
        krfit.init.alpha = krfit.init.theta = TRUE;
        fit_global_alloc();
        kr_calcF(&krfit);
        info_infty = info_infty_warn = 0;
        warnflag = FALSE;
    }
    ~UnderFit() { fit_global_free(); }
    real eval(likelihood::Vec v) { return krigloglike(v.data(), (int)v.size()); }
};

#endif
