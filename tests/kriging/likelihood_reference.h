// An independent computation of the concentrated log likelihood for the
// tests of fitting: the correlation matrix built directly, its Cholesky
// factor R = L·Lᵀ, the generalised-least-squares mean and variance by
// triangular solves, and ln det R = 2 Σ ln L_ii (no eigen-decomposition, no
// pseudo-inverse). Also samples of the process itself for given parameters.
#ifndef MORLA_LIKELIHOOD_REFERENCE_H
#define MORLA_LIKELIHOOD_REFERENCE_H

#include <cmath>
#include <random>
#include <vector>

namespace likelihood {

using Vec = std::vector<double>;
using Mat = std::vector<Vec>;

struct Params {
    Vec alpha, theta;
    double stochratio = 1.0;
};

// R = s·C + (1 - s)·I with C_ij = exp(-Σ_k theta_k |x_ik - x_jk|^(2 - alpha_k)).
inline Mat correlation(const Mat &X, const Params &p)
{
    size_t n = X.size();
    Mat R(n, Vec(n, 1.0));
    for (size_t i = 0; i < n; i++)
        for (size_t j = 0; j < n; j++) {
            if (i == j)
                continue;
            double sum = 0.0;
            for (size_t k = 0; k < p.theta.size(); k++)
                sum += p.theta[k] * std::pow(std::fabs(X[i][k] - X[j][k]), 2.0 - p.alpha[k]);
            R[i][j] = p.stochratio * std::exp(-sum);
        }
    return R;
}

// Lower triangular L with L·Lᵀ = A (A symmetric positive definite).
inline Mat cholesky(const Mat &A)
{
    size_t n = A.size();
    Mat L(n, Vec(n, 0.0));
    for (size_t j = 0; j < n; j++) {
        double diag = A[j][j];
        for (size_t k = 0; k < j; k++)
            diag -= L[j][k] * L[j][k];
        L[j][j] = std::sqrt(diag);
        for (size_t i = j + 1; i < n; i++) {
            double s = A[i][j];
            for (size_t k = 0; k < j; k++)
                s -= L[i][k] * L[j][k];
            L[i][j] = s / L[j][j];
        }
    }
    return L;
}

// z = L⁻¹ b (forward substitution).
inline Vec forward(const Mat &L, const Vec &b)
{
    Vec z(b.size());
    for (size_t i = 0; i < b.size(); i++) {
        double s = b[i];
        for (size_t k = 0; k < i; k++)
            s -= L[i][k] * z[k];
        z[i] = s / L[i][i];
    }
    return z;
}

inline double dot(const Vec &a, const Vec &b)
{
    double s = 0.0;
    for (size_t i = 0; i < a.size(); i++)
        s += a[i] * b[i];
    return s;
}

struct Concentrated {
    double loglike; // -(n·ln(var) + ln det R) / 2
    double beta, var, lndet;
};

// With a = L⁻¹y and b = L⁻¹1: beta = aᵀb / bᵀb and
// var = |a - beta·b|² / n = (y - beta)ᵀ R⁻¹ (y - beta) / n.
inline Concentrated concentrated(const Mat &X, const Vec &y, const Params &p)
{
    size_t n = y.size();
    Mat L = cholesky(correlation(X, p));
    Vec a = forward(L, y), b = forward(L, Vec(n, 1.0));
    Concentrated c;
    c.beta = dot(a, b) / dot(b, b);
    Vec resid(n);
    for (size_t i = 0; i < n; i++)
        resid[i] = a[i] - c.beta * b[i];
    c.var = dot(resid, resid) / n;
    c.lndet = 0.0;
    for (size_t i = 0; i < n; i++)
        c.lndet += 2.0 * std::log(L[i][i]);
    c.loglike = -0.5 * (n * std::log(c.var) + c.lndet);
    return c;
}

// One sample of the process at the design X: mean + sqrt(var)·L·z with z
// standard normal, so that Cov(y) = var·R.
inline Vec sample(const Mat &X, const Params &p, double mean, double var, std::mt19937 &gen)
{
    std::normal_distribution<double> normal(0.0, 1.0);
    Mat L = cholesky(correlation(X, p));
    size_t n = X.size();
    Vec z(n), y(n);
    for (auto &v : z)
        v = normal(gen);
    for (size_t i = 0; i < n; i++) {
        double s = 0.0;
        for (size_t k = 0; k <= i; k++)
            s += L[i][k] * z[k];
        y[i] = mean + std::sqrt(var) * s;
    }
    return y;
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

} // namespace likelihood

#endif
