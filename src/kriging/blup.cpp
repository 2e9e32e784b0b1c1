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

void blup_on_design(KrigModel *kr, real **X, const real *y, int n, int d, int r, real **U, const real *eigvalinv,
                    int npred, real **xpred, real **ypred, const char *r_error)
{
    BlupWork w;
    blup_work_alloc(&w, n, r);
    for (int i = 0; i < npred; i++) {
        if (r != 1)
            nrerror(r_error);
        if (i == 0)
            blup_prepare_responses(&w, y, U);
        blup_point(kr, X, n, d, U, eigvalinv, xpred[i], &w, i, &ypred[i][0], &ypred[i][1]);
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
