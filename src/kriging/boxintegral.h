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

// Relative accuracy asked of the one-dimensional integrals.
const real BOX_QUAD_TOL = 1e-9;

// Correlation factor of one input at distance |u - x|; the power is
// 2 - alpha, as in the correlation matrix.
real corr_factor(real theta, real alpha, real u, real x);

// The rule shared by every integral over input k's range: tanh-sinh on the
// panels of the range (its ends in either order) cut at the design's
// coordinates, where the factors have their kinks, at the lowest level from
// 3 on at which no factor mean moves by more than 1e-10 from the level
// below (at most level 6). The weights sum to 1, so that a weighted sum is
// a mean over the range; a range of one point is one node of weight 1.
typedef struct {
    int count;
    real *node;
    real *weight;
} FactorRule;

// Builds the rule of input k of the model and writes the n factor means
// mean[i] = sum_a weight_a c_k(node_a, x_ik); factor_rule_free releases it.
void factor_rule(const KrigModel *kr, int k, FactorRule *rule, real *mean);
void factor_rule_free(FactorRule *rule);

// Mean of c(u, v) over u and v independent and uniform on [lo, hi] (1 on a
// range of one point).
real factor_pair_mean(real theta, real alpha, real lo, real hi);

// The factor means of a model's design over its input box.
typedef struct {
    int n, d;
    real **mean;     // d x n: mean[k][i], the mean of factor k of x_i (factor_rule)
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
