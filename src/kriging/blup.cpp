// Best linear unbiased prediction and its mean squared error.
#include "kriging/blup.h"

#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "alloc/alloc.h"
#include "matfile/dumps.h"
#include "kriging/correlation.h"
#include "numeric/matrix.h"
#include "numeric/nrerror.h"
#include "numeric/unix.h"

void blup_work_alloc(BlupWork *w, int n, int r)
{
    w->n = n;
    w->nr = n + r;
    w->a = w->aU = w->t1 = w->bU = w->rvec = NULL;
    alloc(w->nr, &w->a);
    alloc(w->nr, &w->aU);
    alloc(w->nr, &w->t1);
    alloc(w->nr, &w->bU);
    alloc(n, &w->rvec);
}

void blup_work_free(BlupWork *w)
{
    frei(w->n, &w->rvec);
    frei(w->nr, &w->bU);
    frei(w->nr, &w->t1);
    frei(w->nr, &w->aU);
    frei(w->nr, &w->a);
}

void blup_prepare_responses(BlupWork *w, const real *y, real **U)
{
    w->a[0] = 0.0;
    copy_real_vector(w->n, y, w->a + 1);
    VecMultMatReal(w->a, w->nr, U, w->nr, w->bU);
}

void blup_point(KrigModel *kr, real **X, int n, int d, real **U, const real *eigvalinv, const real *x,
                BlupWork *w, int counter, real *pred, real *se)
{
    blup_point_known(kr, X, n, d, U, eigvalinv, x, NULL, 0, w, counter, pred, se);
}

void blup_point_known(KrigModel *kr, real **X, int n, int d, real **U, const real *eigvalinv, const real *x,
                      const real *known_r, int n_known, BlupWork *w, int counter, real *pred, real *se)
{
    int nr = w->nr;
    w->a[0] = 1.0;
    // Each element of r(x) depends on its own design row alone, so the rows
    // after the known ones are formed exactly as calcr forms them.
    calcr(x, w->rvec + n_known, X + n_known, kr->alpha, kr->theta, kr->stochratio[0], n - n_known, d);
    if (n_known > 0)
        copy_real_vector(n_known, known_r, w->rvec);
    copy_real_vector(n, w->rvec, w->a + 1);

    // t1 = (a' U) scaled by the guarded reciprocal eigenvalues.
    VecMultMatReal(w->a, nr, U, nr, w->aU);
    VecEwMultVecNewReal(w->aU, nr, eigvalinv, w->t1);
    if (pred != NULL)
        *pred = VecMultVecReal(w->t1, nr, w->bU);

    real mse = kr->var[0] * (1.0 - VecMultVecReal(w->t1, nr, w->aU));
    if (mse < 0)
        mse = variance_check(kr, mse, counter);
    *se = sqrt(mse);
}

// Points predicted together: their correlation vectors are multiplied by U
// in one pass over it.
static const int BLUP_BLOCK = 8;
// Points below which a second processor is not worth a thread.
static const int POINTS_PER_HELPER = 256;

// What the points of one share of a prediction need: the design and its
// decomposition, bU = (0, y)' U, and where the results go.
typedef struct {
    KrigModel *kr;
    real **X;
    int n, d, nr;
    real **U;
    const real *eigvalinv;
    const real *bU;
    real **xpred;
    real **ypred;
} BlupShare;

// Predictions of points first .. last-1 into ypred[i][0], and their mean
// squared errors, before the guard against negative values, into
// ypred[i][1]. Every point goes through U with the others of its block; its
// two inner products are formed side by side with theirs, each in
// increasing k: the numbers of one point at a time.
static void blup_points(const BlupShare *sh, int first, int last)
{
    int nr = sh->nr;
    real **a = NULL, **aU = NULL;
    alloc(BLUP_BLOCK, nr, &a);
    alloc(BLUP_BLOCK, nr, &aU);
    for (int p0 = first; p0 < last; p0 += BLUP_BLOCK) {
        int nb = last - p0 < BLUP_BLOCK ? last - p0 : BLUP_BLOCK;
        for (int b = 0; b < nb; b++) {
            a[b][0] = 1.0;
            calcr(sh->xpred[p0 + b], a[b] + 1, sh->X, sh->kr->alpha, sh->kr->theta, sh->kr->stochratio[0], sh->n,
                  sh->d);
        }
        MatMultMatReal(nb, a, nr, sh->U, nr, aU);
        real pred[BLUP_BLOCK], s[BLUP_BLOCK];
        for (int b = 0; b < nb; b++)
            pred[b] = s[b] = 0.0;
        for (int k = 0; k < nr; k++)
            for (int b = 0; b < nb; b++) {
                real t1 = aU[b][k] * sh->eigvalinv[k];
                pred[b] += t1 * sh->bU[k];
                s[b] += t1 * aU[b][k];
            }
        for (int b = 0; b < nb; b++) {
            sh->ypred[p0 + b][0] = pred[b];
            sh->ypred[p0 + b][1] = sh->kr->var[0] * (1.0 - s[b]);
        }
    }
    frei(BLUP_BLOCK, nr, &aU);
    frei(BLUP_BLOCK, nr, &a);
}

// A helper thread's share of the points.
static void blup_helper(const BlupShare *sh, int first, int last)
{
    leave_signals_to_main_thread();
    blup_points(sh, first, last);
}

void blup_on_design(KrigModel *kr, real **X, const real *y, int n, int d, int r, real **U, const real *eigvalinv,
                    int npred, real **xpred, real **ypred, const char *r_error)
{
    if (npred == 0)
        return;
    if (r != 1)
        nrerror(r_error);
    BlupWork w;
    blup_work_alloc(&w, n, r);
    // A ratio out of range ends the program at the first point, here in
    // this thread.
    calcr(xpred[0], w.rvec, X, kr->alpha, kr->theta, kr->stochratio[0], n, d);
    blup_prepare_responses(&w, y, U);
    BlupShare sh = {kr, X, n, d, n + r, U, eigvalinv, w.bU, xpred, ypred};

    // Contiguous shares of the points, the last one done by this thread.
    int shares = available_cores();
    if (shares > npred / POINTS_PER_HELPER)
        shares = npred / POINTS_PER_HELPER > 0 ? npred / POINTS_PER_HELPER : 1;
    std::vector<std::thread> helpers;
    for (int h = 0; h + 1 < shares; h++)
        helpers.emplace_back(blup_helper, &sh, (int)((long)npred * h / shares),
                             (int)((long)npred * (h + 1) / shares));
    blup_points(&sh, (int)((long)npred * (shares - 1) / shares), npred);
    for (std::thread &t : helpers)
        t.join();

    // The guard and the standard errors in the order of the points.
    for (int i = 0; i < npred; i++) {
        real mse = ypred[i][1];
        if (mse < 0)
            mse = variance_check(kr, mse, i);
        ypred[i][1] = sqrt(mse);
    }
    blup_work_free(&w);
}

void krigblup(KrigModel *kr, int npred, real **xpred, real **ypred, int cvindex)
{
    if (cvindex != -1)
        nrerror("krigblup(): Code Bug, leaving an observation out is not dealt with");
    blup_on_design(kr, kr->X, kr->y, kr->n[0], kr->d[0], kr->r[0], kr->U, kr->eigvalinv, npred, xpred, ypred,
                   "krigblup(): regression model not dealt with, r>1");
}

real variance_check(KrigModel *kr, real mse, int counter)
{
    if (mse < -0.1) {
        fprintf(ofp, "Observation Number  %d\n", counter + 1);
        fprintf(ofp, "mse : %f\n", mse);
        output_error(kr, "krigblup,krigcov or mse_anyX: MSE in covariance is negative, possibly due to scaling.");
    }
    if (mse < -1e-7) {
        fprintf(ofp, "WARNING : MSE for obs. %d is %f.Set to zero.\n", counter + 1, mse);
        return 0.0;
    }
    if (mse < 0)
        return 0.0;
    return mse;
}
