// An independent ordinary-kriging computation for the tests: the constant
// mean estimated by generalised least squares, the predictor and its mean
// squared error with the trend-uncertainty term, all by a direct dense solve
// with the correlation matrix (no eigen-decomposition, no pseudo-inverse).
#ifndef MORLA_KRIGING_REFERENCE_H
#define MORLA_KRIGING_REFERENCE_H

#include <cmath>
#include <random>
#include <vector>

namespace reference {

using Vec = std::vector<double>;
using Mat = std::vector<Vec>;

struct Model {
    Mat X;          // n x d design
    Vec y;          // n responses
    Vec theta, alpha;
    double stochratio = 1.0;
    double var = 1.0;
};

inline double corr(const Model &m, const Vec &u, const Vec &v)
{
    double sum = 0.0;
    for (size_t k = 0; k < u.size(); k++)
        sum += m.theta[k] * std::pow(std::fabs(u[k] - v[k]), 2.0 - m.alpha[k]);
    return std::exp(-sum);
}

// Solves A x = b by Gaussian elimination with partial pivoting.
inline Vec solve(Mat A, Vec b)
{
    size_t n = b.size();
    for (size_t c = 0; c < n; c++) {
        size_t p = c;
        for (size_t r = c + 1; r < n; r++)
            if (std::fabs(A[r][c]) > std::fabs(A[p][c]))
                p = r;
        std::swap(A[c], A[p]);
        std::swap(b[c], b[p]);
        for (size_t r = c + 1; r < n; r++) {
            double f = A[r][c] / A[c][c];
            for (size_t k = c; k < n; k++)
                A[r][k] -= f * A[c][k];
            b[r] -= f * b[c];
        }
    }
    Vec x(n);
    for (size_t i = n; i-- > 0;) {
        double s = b[i];
        for (size_t k = i + 1; k < n; k++)
            s -= A[i][k] * x[k];
        x[i] = s / A[i][i];
    }
    return x;
}

inline double dot(const Vec &a, const Vec &b)
{
    double s = 0.0;
    for (size_t i = 0; i < a.size(); i++)
        s += a[i] * b[i];
    return s;
}

struct Prediction {
    double value;
    double se;
};

// Random error enters the diagonal of R only: R = s C + (1 - s) I, and the
// correlations with a new point are s c(x, x_i).
inline Prediction predict(const Model &m, const Vec &x)
{
    size_t n = m.y.size();
    Mat R(n, Vec(n));
    for (size_t i = 0; i < n; i++)
        for (size_t j = 0; j < n; j++)
            R[i][j] = i == j ? 1.0 : m.stochratio * corr(m, m.X[i], m.X[j]);
    Vec r(n);
    for (size_t i = 0; i < n; i++)
        r[i] = m.stochratio * corr(m, x, m.X[i]);
    Vec ones(n, 1.0);
    Vec Rinv_y = solve(R, m.y);
    Vec Rinv_1 = solve(R, ones);
    Vec Rinv_r = solve(R, r);
    double denom = dot(ones, Rinv_1);
    double beta = dot(ones, Rinv_y) / denom;
    Vec resid(n);
    for (size_t i = 0; i < n; i++)
        resid[i] = m.y[i] - beta;
    double value = beta + dot(r, solve(R, resid));
    double trend = 1.0 - dot(ones, Rinv_r);
    double mse = m.var * (1.0 - dot(r, Rinv_r) + trend * trend / denom);
    return {value, std::sqrt(std::fmax(mse, 0.0))};
}

// A seeded random model: n points in [0, 1]^d, a smooth response with a
// little noise, parameters that keep R well conditioned.
inline Model random_model(std::mt19937 &gen, int n, int d, double stochratio)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    Model m;
    m.X.assign(n, Vec(d));
    for (auto &row : m.X)
        for (auto &v : row)
            v = unit(gen);
    for (int i = 0; i < n; i++)
        m.y.push_back(5.0 * m.X[i][0] - std::cos(4.0 * m.X[i][d - 1]) + 0.3 * unit(gen));
    for (int k = 0; k < d; k++) {
        m.theta.push_back(0.5 + 5.0 * unit(gen));
        m.alpha.push_back(1.2 * unit(gen));
    }
    m.stochratio = stochratio;
    m.var = 0.2 + 3.0 * unit(gen);
    return m;
}

} // namespace reference

#endif
