// The concentrated log likelihood and its gradient by Cholesky factorisation.
#include "fit/loglikegrad.h"

#include <cmath>
#include <vector>

#include <Eigen/Cholesky>
#include <Eigen/Dense>

#include "alloc/alloc.h"
#include "numeric/nrerror.h"
#include "numeric/repmath.h"

struct GradWork {
    Eigen::MatrixXd R;              // n x n, lower triangle filled
    Eigen::LLT<Eigen::MatrixXd> llt;
    Eigen::MatrixXd Linv;           // n x n, L⁻¹ (lower triangle)
    Eigen::MatrixXd Rinv;           // n x n, R⁻¹ (lower triangle)
    Eigen::VectorXd ones, y, a1, ay, a;
    std::vector<real> corr;         // C_ij of every pair
    std::vector<real> power;        // |x_ik - x_jk|^(2 - alpha_k) of every pair and input
    std::vector<real> power_alpha;  // the alpha_k of each input's powers (NaN: none yet)
    std::vector<char> power_kept;   // per input: its powers are those of this call's alpha_k
};

// Stands in for a variance estimate that is not positive (as in krigloglike).
static const real VAR_FLOOR = 1e-10;
// The smallest squared pivot L_ii² (the variance of run i given the runs
// before it, as a share of the total) of a factorisation that is used.
// Below it R is numerically singular: the likelihood computed there is
// rounding error, and a search would be drawn to it.
static const real PIVOT_FLOOR = 1e-12;

static size_t pair_count(int n)
{
    return (size_t)n * (size_t)(n - 1) / 2;
}

void grad_design_init(GradDesign *g, real **X, const real *y, int n, int d)
{
    g->n = n;
    g->d = d;
    g->y = y;
    alloc((int)(pair_count(n) * (size_t)d) + 1, &g->lndist);
    alloc((int)(pair_count(n) * (size_t)d) + 1, &g->sqdist);
    size_t p = 0;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++, p++)
            for (int k = 0; k < d; k++) {
                real dist = fabs(X[i][k] - X[j][k]);
                g->lndist[p * d + k] = dist > 0.0 ? rep_log(dist) : -INFINITY;
                g->sqdist[p * d + k] = dist * dist;
            }
}

void grad_design_free(GradDesign *g)
{
    frei((int)(pair_count(g->n) * (size_t)g->d) + 1, &g->lndist);
    frei((int)(pair_count(g->n) * (size_t)g->d) + 1, &g->sqdist);
}

GradWork *grad_work_new(int n, int d)
{
    GradWork *w = new GradWork;
    w->R.resize(n, n);
    w->Linv.resize(n, n);
    w->Rinv.resize(n, n);
    w->ones = Eigen::VectorXd::Ones(n);
    w->y.resize(n);
    w->corr.resize(pair_count(n));
    w->power.resize(pair_count(n) * (size_t)d);
    w->power_alpha.assign(d, NAN);
    w->power_kept.assign(d, 0);
    return w;
}

void grad_work_free(GradWork *w)
{
    delete w;
}

// |dist|^p from ln |dist|, with the conventions of the correlation function:
// x^0 = 1 for every x (also 0), 0^p = 0 for p > 0.
static inline real power_of(real lnd, real p)
{
    if (p == 0.0)
        return 1.0;
    if (lnd == -INFINITY)
        return 0.0;
    return rep_exp(p * lnd);
}

// Columns per block of the inverse below: panels of L⁻¹ that stay in the
// processor's caches while the products run.
static const int INVERSE_BLOCK = 64;

// The lower triangle of R⁻¹ = L⁻ᵀL⁻¹ from the Cholesky factor L (lower
// triangle of llt), by blocks, skipping the zeros of both triangles:
//   L⁻¹ column block J (columns j0 to j0 + b, zero above row j0) solves the
//   trailing triangle L[j0:, j0:] against the matching columns of I;
//   R⁻¹ = Σ_K L⁻¹[K, :]ᵀ L⁻¹[K, :] over row blocks K, each a rank-b update
//   of the leading block of R⁻¹ up to K's last row (the rest of row block K
//   is zero).
// About n³/3 multiplications in all, in Eigen's blocked kernels.
static void lower_inverse(const Eigen::MatrixXd &L, Eigen::MatrixXd &Linv, Eigen::MatrixXd &Rinv)
{
    int n = (int)L.rows();
    Linv.setZero();
    for (int j0 = 0; j0 < n; j0 += INVERSE_BLOCK) {
        int b = n - j0 < INVERSE_BLOCK ? n - j0 : INVERSE_BLOCK;
        auto X = Linv.block(j0, j0, n - j0, b);
        X.topRows(b).setIdentity();
        L.block(j0, j0, n - j0, n - j0).triangularView<Eigen::Lower>().solveInPlace(X);
    }
    Rinv.setZero();
    for (int k0 = 0; k0 < n; k0 += INVERSE_BLOCK) {
        int b = n - k0 < INVERSE_BLOCK ? n - k0 : INVERSE_BLOCK;
        int width = k0 + b;
        Rinv.topLeftCorner(width, width).selfadjointView<Eigen::Lower>().rankUpdate(
            Linv.block(k0, 0, b, width).transpose());
    }
}

boolean grad_loglike(const GradDesign *g, GradWork *w, const real *alpha, const real *theta, real s,
                     real *f, real *g_alpha, real *g_theta, real *g_s)
{
    int n = g->n, d = g->d;
    // The powers of an input whose alpha_k is that of the previous call are
    // kept (the same numbers: searches that move some parameters only, or
    // thetas only, take no exponentials for the others).
    for (int k = 0; k < d; k++)
        w->power_kept[k] = alpha[k] == w->power_alpha[k];
    size_t p = 0;
    for (int i = 0; i < n; i++) {
        w->R(i, i) = 1.0;
        for (int j = i + 1; j < n; j++, p++) {
            real sum = 0.0;
            for (int k = 0; k < d; k++) {
                real t;
                if (w->power_kept[k])
                    t = w->power[p * d + k];
                else
                    w->power[p * d + k] = t = alpha[k] == 0.0 ? g->sqdist[p * d + k]
                                                              : power_of(g->lndist[p * d + k], 2.0 - alpha[k]);
                sum += theta[k] * t;
            }
            real c = rep_exp(-sum);
            w->corr[p] = c;
            w->R(j, i) = s * c;
        }
    }
    for (int k = 0; k < d; k++)
        w->power_alpha[k] = alpha[k];
    w->llt.compute(w->R);
    if (w->llt.info() != Eigen::Success)
        return FALSE;
    const Eigen::MatrixXd &L = w->llt.matrixLLT();
    real lndet = 0.0;
    for (int i = 0; i < n; i++) {
        if (!(L(i, i) * L(i, i) >= PIVOT_FLOOR))
            return FALSE;
        lndet += rep_log(L(i, i));
    }
    lndet *= 2.0;
    for (int i = 0; i < n; i++)
        w->y(i) = g->y[i];
    w->a1 = w->llt.solve(w->ones);
    w->ay = w->llt.solve(w->y);
    real beta = w->ay.sum() / w->a1.sum();
    w->a = w->ay - beta * w->a1;
    real var = (w->y.array() - beta).matrix().dot(w->a) / n;
    boolean var_ok = var > 0.0;
    if (!var_ok) {
        nrwarning("Stochastic Variance estimated to be 0 or smaller");
        var = VAR_FLOOR;
    }
    *f = 0.5 * (n * rep_log(var) + lndet);
    if (!std::isfinite(*f))
        return FALSE;
    if (g_alpha == NULL)
        return TRUE;

    for (int k = 0; k < d; k++)
        g_alpha[k] = g_theta[k] = 0.0;
    *g_s = 0.0;
    if (!var_ok)
        return TRUE;
    lower_inverse(L, w->Linv, w->Rinv);
    real gs = 0.0;
    p = 0;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++, p++) {
            real wij = w->a(i) * w->a(j) / var - w->Rinv(j, i);
            real c = w->corr[p];
            gs -= wij * c;
            real wsc = wij * s * c;
            if (wsc == 0.0)
                continue;
            const real *t = &w->power[p * d];
            const real *lnd = &g->lndist[p * d];
            for (int k = 0; k < d; k++) {
                g_theta[k] += wsc * t[k];
                if (t[k] != 0.0 && lnd[k] != -INFINITY)
                    g_alpha[k] -= wsc * theta[k] * t[k] * lnd[k];
            }
        }
    *g_s = gs;
    return TRUE;
}
