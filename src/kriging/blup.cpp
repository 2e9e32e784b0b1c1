// Best linear unbiased prediction and its mean squared error.
#include "kriging/blup.h"

#include <cmath>
#include <cstdio>

#include "alloc/alloc.h"
#include "matfile/dumps.h"
#include "kriging/correlation.h"
#include "numeric/matrix.h"
#include "numeric/nrerror.h"

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
    int nr = w->nr;
    w->a[0] = 1.0;
    calcr(x, w->rvec, X, kr->alpha, kr->theta, kr->stochratio[0], n, d);
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

// Predictions and standard errors of the nb points whose rows a'U are in aU,
// points numbered from `first` for the negative-mse guard. The two inner
// products of the points are formed side by side, each in increasing k.
static void blup_finish(KrigModel *kr, const real *eigvalinv, int nr, real **aU, const real *bU, int nb,
                        int first, real **ypred)
{
    real pred[BLUP_BLOCK], s[BLUP_BLOCK];
    for (int b = 0; b < nb; b++)
        pred[b] = s[b] = 0.0;
    for (int k = 0; k < nr; k++)
        for (int b = 0; b < nb; b++) {
            real t1 = aU[b][k] * eigvalinv[k];
            pred[b] += t1 * bU[k];
            s[b] += t1 * aU[b][k];
        }
    for (int b = 0; b < nb; b++) {
        ypred[b][0] = pred[b];
        real mse = kr->var[0] * (1.0 - s[b]);
        if (mse < 0)
            mse = variance_check(kr, mse, first + b);
        ypred[b][1] = sqrt(mse);
    }
}

void blup_on_design(KrigModel *kr, real **X, const real *y, int n, int d, int r, real **U, const real *eigvalinv,
                    int npred, real **xpred, real **ypred, const char *r_error)
{
    if (npred == 0)
        return;
    if (r != 1)
        nrerror(r_error);
    int nr = n + r;
    BlupWork w;
    real **a = NULL, **aU = NULL;
    blup_work_alloc(&w, n, r);
    alloc(BLUP_BLOCK, nr, &a);
    alloc(BLUP_BLOCK, nr, &aU);
    blup_prepare_responses(&w, y, U);
    for (int first = 0; first < npred; first += BLUP_BLOCK) {
        int nb = npred - first < BLUP_BLOCK ? npred - first : BLUP_BLOCK;
        for (int b = 0; b < nb; b++) {
            a[b][0] = 1.0;
            calcr(xpred[first + b], a[b] + 1, X, kr->alpha, kr->theta, kr->stochratio[0], n, d);
        }
        MatMultMatReal(nb, a, nr, U, nr, aU);
        blup_finish(kr, eigvalinv, nr, aU, w.bU, nb, first, ypred + first);
    }
    frei(BLUP_BLOCK, nr, &aU);
    frei(BLUP_BLOCK, nr, &a);
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
