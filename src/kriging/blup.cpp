// Best linear unbiased prediction and its mean squared error.
#include "kriging/blup.h"

#include <cmath>
#include <cstdio>

#include "alloc/alloc.h"
#include "matfile/dumps.h"
#include "kriging/correlation.h"
#include "numeric/matrix.h"
#include "numeric/nrerror.h"

void blup_on_design(KrigModel *kr, real **X, const real *y, int n, int d, int r, real **U, const real *eigvalinv,
                    int npred, real **xpred, real **ypred, const char *r_error)
{
    int nr = n + r;
    real *a = NULL, *aU = NULL, *t1 = NULL, *bU = NULL, *rvec = NULL;
    alloc(nr, &a);
    alloc(nr, &aU);
    alloc(nr, &t1);
    alloc(nr, &bU);
    alloc(n, &rvec);

    for (int i = 0; i < npred; i++) {
        if (r != 1)
            nrerror(r_error);
        if (i == 0) {
            // b' U does not depend on the point: formed once.
            a[0] = 0.0;
            copy_real_vector(n, y, a + 1);
            VecMultMatReal(a, nr, U, nr, bU);
        }
        a[0] = 1.0;
        calcr(xpred[i], rvec, X, kr->alpha, kr->theta, kr->stochratio[0], n, d);
        copy_real_vector(n, rvec, a + 1);

        // t1 = (a' U) scaled by the guarded reciprocal eigenvalues.
        VecMultMatReal(a, nr, U, nr, aU);
        VecEwMultVecNewReal(aU, nr, eigvalinv, t1);
        ypred[i][0] = VecMultVecReal(t1, nr, bU);

        real mse = kr->var[0] * (1.0 - VecMultVecReal(t1, nr, aU));
        if (mse < 0)
            mse = variance_check(kr, mse, i);
        ypred[i][1] = sqrt(mse);
    }

    frei(n, &rvec);
    frei(nr, &bU);
    frei(nr, &t1);
    frei(nr, &aU);
    frei(nr, &a);
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
