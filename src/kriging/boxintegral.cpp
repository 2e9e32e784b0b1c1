// One-dimensional means of the correlation factors and the integrated
// predictor.
#include "kriging/boxintegral.h"

#include <cmath>

#include "alloc/alloc.h"
#include "kriging/blup.h"
#include "numeric/matrix.h"
#include "numeric/quadrature.h"

namespace {

struct FactorPair {
    real theta, alpha;
    real xi, mi, xj, mj;
};

real factor_at(real u, const void *context)
{
    const FactorPair *f = (const FactorPair *)context;
    return corr_factor(f->theta, f->alpha, u, f->xi);
}

real centred_product(real u, const void *context)
{
    const FactorPair *f = (const FactorPair *)context;
    return (corr_factor(f->theta, f->alpha, u, f->xi) - f->mi) * (corr_factor(f->theta, f->alpha, u, f->xj) - f->mj);
}

// (L - t) c(t, 0) for t in [0, L]: the density of |u - v| for two uniform
// points, times the factor at that distance (xi holds L).
real distance_weighted(real t, const void *context)
{
    const FactorPair *f = (const FactorPair *)context;
    return (f->xi - t) * corr_factor(f->theta, f->alpha, t, 0.0);
}

void order(real *lo, real *hi)
{
    if (*lo > *hi) {
        real t = *lo;
        *lo = *hi;
        *hi = t;
    }
}

} // namespace

real corr_factor(real theta, real alpha, real u, real x)
{
    return exp(-theta * pow(fabs(u - x), 2.0 - alpha));
}

real factor_mean(real theta, real alpha, real lo, real hi, real x)
{
    order(&lo, &hi);
    if (hi == lo)
        return corr_factor(theta, alpha, lo, x);
    FactorPair f = {theta, alpha, x, 0.0, x, 0.0};
    return integrate_panels(factor_at, &f, lo, hi, &x, 1, BOX_QUAD_TOL) / (hi - lo);
}

real factor_covariance(real theta, real alpha, real lo, real hi, real xi, real mi, real xj, real mj)
{
    order(&lo, &hi);
    if (hi == lo)
        return 0.0;
    FactorPair f = {theta, alpha, xi, mi, xj, mj};
    real kinks[2] = {xi, xj};
    return integrate_panels(centred_product, &f, lo, hi, kinks, 2, BOX_QUAD_TOL) / (hi - lo);
}

real factor_pair_mean(real theta, real alpha, real lo, real hi)
{
    order(&lo, &hi);
    real length = hi - lo;
    if (length == 0.0)
        return 1.0;
    FactorPair f = {theta, alpha, length, 0.0, 0.0, 0.0};
    return 2.0 * tanh_sinh(distance_weighted, &f, 0.0, length, BOX_QUAD_TOL, NULL) / (length * length);
}

void box_means_compute(const KrigModel *kr, BoxMeans *bm)
{
    bm->n = kr->n[0];
    bm->d = kr->d[0];
    bm->mean = NULL;
    bm->pair_mean = NULL;
    alloc(bm->d, bm->n, &bm->mean);
    alloc(bm->d, &bm->pair_mean);
    for (int k = 0; k < bm->d; k++) {
        real lo = kr->range[k][0], hi = kr->range[k][1];
        for (int i = 0; i < bm->n; i++)
            bm->mean[k][i] = factor_mean(kr->theta[k], kr->alpha[k], lo, hi, kr->X[i][k]);
        bm->pair_mean[k] = factor_pair_mean(kr->theta[k], kr->alpha[k], lo, hi);
    }
}

void box_means_free(BoxMeans *bm)
{
    frei(bm->d, bm->n, &bm->mean);
    frei(bm->d, &bm->pair_mean);
}

void integrated_blup(KrigModel *kr, const BoxMeans *bm, const int *free_inputs, int nfree, int npred,
                     real **xpred, real **ypred)
{
    int n = bm->n, d = bm->d;
    real ratio = kr->stochratio[0];
    BlupWork w;
    blup_work_alloc(&w, n, kr->r[0]);
    blup_prepare_responses(&w, kr->y, kr->U);

    // The averaged inputs' part of every cbar_i and of the prior variance.
    real *averaged = NULL;
    alloc(n, &averaged);
    init_real_vec(1.0, n, averaged);
    real prior = ratio;
    for (int k = 0; k < d; k++) {
        boolean is_free = FALSE;
        for (int f = 0; f < nfree; f++)
            is_free |= free_inputs[f] == k;
        if (is_free)
            continue;
        for (int i = 0; i < n; i++)
            averaged[i] *= bm->mean[k][i];
        prior *= bm->pair_mean[k];
    }

    for (int p = 0; p < npred; p++) {
        w.a[0] = 1.0;
        for (int i = 0; i < n; i++) {
            real c = averaged[i];
            for (int f = 0; f < nfree; f++) {
                int k = free_inputs[f];
                c *= corr_factor(kr->theta[k], kr->alpha[k], xpred[p][k], kr->X[i][k]);
            }
            w.a[1 + i] = ratio * c;
        }
        VecMultMatReal(w.a, w.nr, kr->U, w.nr, w.aU);
        VecEwMultVecNewReal(w.aU, w.nr, kr->eigvalinv, w.t1);
        ypred[p][0] = VecMultVecReal(w.t1, w.nr, w.bU);
        real mse = kr->var[0] * (prior - VecMultVecReal(w.t1, w.nr, w.aU));
        if (mse < 0)
            mse = variance_check(kr, mse, p);
        ypred[p][1] = sqrt(mse);
    }
    frei(n, &averaged);
    blup_work_free(&w);
}
