// Averages of a model's predictor over its input box. With inputs uniform
// over the XDescription ranges, the product correlation makes every average
// a product of one-dimensional means of the factors
//   c_k(u, x) = exp(-theta[k] |u - x|^(2 - alpha[k])),
// each computed by quadrature on panels cut where the factor has its kink.
// The averaged (integrated) predictor of a few inputs, the others averaged
// out, and its kriging standard error are built from them here.
#ifndef MORLA_BOXINTEGRAL_H
#define MORLA_BOXINTEGRAL_H

#include "model/krig.h"

// Relative accuracy asked of every one-dimensional integral.
const real BOX_QUAD_TOL = 1e-9;

// Correlation factor of one input at distance |u - x|; the power is
// 2 - alpha, as in the correlation matrix.
real corr_factor(real theta, real alpha, real u, real x);

// Mean of c(u, x) over u uniform on the range [lo, hi] (either order; a
// range of one point gives the factor at that point).
real factor_mean(real theta, real alpha, real lo, real hi, real x);

// Mean over u uniform on [lo, hi] of (c(u, xi) - mi)(c(u, xj) - mj), where
// mi and mj are the factor means of xi and xj: the covariance of the two
// factors (0 on a range of one point).
real factor_covariance(real theta, real alpha, real lo, real hi, real xi, real mi, real xj, real mj);

// Mean of c(u, v) over u and v independent and uniform on [lo, hi] (1 on a
// range of one point).
real factor_pair_mean(real theta, real alpha, real lo, real hi);

// The factor means of a model's design over its input box.
typedef struct {
    int n, d;
    real **mean;     // d x n: mean[k][i] = factor_mean of input k at x_ik
    real *pair_mean; // d: factor_pair_mean of input k
} BoxMeans;

// Computes the means of the model's design, correlation parameters and
// ranges; box_means_free releases them.
void box_means_compute(const KrigModel *kr, BoxMeans *bm);
void box_means_free(BoxMeans *bm);

// The predictor averaged over every input except the nfree inputs listed in
// `free_inputs`, which take their values from the rows of xpred (npred x d;
// the other columns are not read), and the standard error of that average
// as an estimate of the same average of the fitted process. With
// a = (1, stochratio * cbar(x)), cbar_i(x) = prod_{k free} c_k(x_k, x_ik)
// prod_{k averaged} mean[k][i], and A+ the model's pseudo-inverse (the
// caller has run kr_cover_augmR):
//   average = a' A+ (0, y),
//   mse = var (stochratio * prod_{k averaged} pair_mean[k] - a' A+ a),
// negative mse values going through variance_check. Random error averages
// out of the target, so the first term holds no (1 - stochratio) share;
// with nothing to average it is the error of the smooth response at x.
// ypred (npred x 2) receives the average and its standard error.
void integrated_blup(KrigModel *kr, const BoxMeans *bm, const int *free_inputs, int nfree, int npred,
                     real **xpred, real **ypred);

#endif
