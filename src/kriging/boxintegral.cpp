// One-dimensional means of the correlation factors and the integrated
// predictor.
#include "kriging/boxintegral.h"

#include <cmath>

#include "alloc/alloc.h"
#include "kriging/blup.h"
#include "numeric/matrix.h"
#include "numeric/quadrature.h"
#include "numeric/repmath.h"

namespace {

struct Factor {
    real theta, alpha, length;
};

// (L - t) c(t, 0) for t in [0, L]: the density of |u - v| for two uniform
// points, times the factor at that distance.
real distance_weighted(real t, const void *context)
{
    const Factor *f = (const Factor *)context;
    return (f->length - t) * corr_factor(f->theta, f->alpha, t, 0.0);
}

const int FIRST_LEVEL = 2;
const int LAST_LEVEL = 6;
const real MEAN_CHANGE = 1e-10;

// The rule of `level` on the panels `ends`, and the means by it.
void rule_at(const KrigModel *kr, int k, const real *ends, int panels, int level, FactorRule *rule, real *mean)
{
    int n = kr->n[0];
    real lo = ends[0], hi = ends[panels];
    rule->count = panels * tanh_sinh_nodes(level);
    rule->node = rule->weight = NULL;
    alloc(rule->count, &rule->node);
    alloc(rule->count, &rule->weight);
    panel_rule(ends, panels, level, 1.0 / (hi - lo), rule->node, rule->weight);
    for (int i = 0; i < n; i++) {
        real s = 0.0;
        for (int a = 0; a < rule->count; a++)
            s += rule->weight[a] * corr_factor(kr->theta[k], kr->alpha[k], rule->node[a], kr->X[i][k]);
        mean[i] = s;
    }
}

} // namespace

real corr_factor(real theta, real alpha, real u, real x)
{
    return rep_exp(-theta * rep_pow(fabs(u - x), 2.0 - alpha));
}

void factor_rule(const KrigModel *kr, int k, FactorRule *rule, real *mean)
{
    int n = kr->n[0];
    real lo = fmin(kr->range[k][0], kr->range[k][1]), hi = fmax(kr->range[k][0], kr->range[k][1]);
    if (!(hi > lo)) {
        rule->count = 1;
        rule->node = rule->weight = NULL;
        alloc(1, &rule->node);
        alloc(1, &rule->weight);
        rule->node[0] = lo;
        rule->weight[0] = 1.0;
        for (int i = 0; i < n; i++)
            mean[i] = corr_factor(kr->theta[k], kr->alpha[k], lo, kr->X[i][k]);
        return;
    }
    real *coords = NULL, *ends = NULL, *previous = NULL;
    alloc(n, &coords);
    alloc(n + 2, &ends);
    alloc(n, &previous);
    for (int i = 0; i < n; i++)
        coords[i] = kr->X[i][k];
    int panels = panel_ends(lo, hi, coords, n, ends);
    rule_at(kr, k, ends, panels, FIRST_LEVEL, rule, previous);
    for (int level = FIRST_LEVEL + 1; level <= LAST_LEVEL; level++) {
        factor_rule_free(rule);
        rule_at(kr, k, ends, panels, level, rule, mean);
        real change = 0.0;
        for (int i = 0; i < n; i++)
            change = fmax(change, fabs(mean[i] - previous[i]));
        if (change <= MEAN_CHANGE)
            break;
        copy_real_vector(n, mean, previous);
    }
    frei(n, &previous);
    frei(n + 2, &ends);
    frei(n, &coords);
}

void factor_rule_free(FactorRule *rule)
{
    frei(rule->count, &rule->node);
    frei(rule->count, &rule->weight);
}

real factor_pair_mean(real theta, real alpha, real lo, real hi)
{
    real length = fabs(hi - lo);
    if (length == 0.0)
        return 1.0;
    Factor f = {theta, alpha, length};
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
        FactorRule rule;
        factor_rule(kr, k, &rule, bm->mean[k]);
        factor_rule_free(&rule);
        bm->pair_mean[k] = factor_pair_mean(kr->theta[k], kr->alpha[k], kr->range[k][0], kr->range[k][1]);
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
