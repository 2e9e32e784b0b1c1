// The correlation matrix, the correlation vector and the predictor in their
// plain forms: a power for every factor and one point at a time, written
// straight down. The reference that the tests and benchmarks compare the
// production routines with, bit for bit.
#ifndef MORLA_PLAIN_KRIGING_H
#define MORLA_PLAIN_KRIGING_H

#include <cmath>

#include <cfloat>

#include "alloc/alloc.h"
#include "kriging/blup.h"
#include "numeric/inverse.h"
#include "plain/eigen_plain.h"
#include "model/krig.h"
#include "numeric/matrix.h"

namespace plain {

inline real correlation(const real *u, const real *v, const real *alpha, const real *theta, int d)
{
    real prod = 1.0;
    for (int k = 0; k < d; k++)
        prod *= exp(-theta[k] * pow(fabs(u[k] - v[k]), 2.0 - alpha[k]));
    return prod;
}

inline void calcR(real **X, const real *alpha, const real *theta, real stochratio, int n, int d, real **R)
{
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            R[i][j] = stochratio * correlation(X[i], X[j], alpha, theta, d);
            R[j][i] = R[i][j];
        }
    for (int i = 0; i < n; i++)
        R[i][i] = 1.0;
}

inline void calcr(const real *newx, real *r, real **X, const real *alpha, const real *theta, real stochratio,
                  int n, int d)
{
    for (int i = 0; i < n; i++) {
        r[i] = 1.0;
        if (stochratio == 1.0 || !identical_vec(d, newx, X[i]))
            r[i] *= correlation(newx, X[i], alpha, theta, d);
        r[i] *= stochratio;
    }
}

// Prediction and standard error at each row of xpred, one point at a time:
// a = (1, r(x)), b = (0, y), t1 = (a'U) ⊙ eigvalinv, prediction t1·(b'U),
// mse = var (1 - t1·(a'U)).
inline void blup_on_design(KrigModel *kr, real **X, const real *y, int n, int d, int r, real **U,
                           const real *eigvalinv, int npred, real **xpred, real **ypred)
{
    int nr = n + r;
    real *a = NULL, *b = NULL, *aU = NULL, *t1 = NULL, *bU = NULL;
    alloc(nr, &a);
    alloc(nr, &b);
    alloc(nr, &aU);
    alloc(nr, &t1);
    alloc(nr, &bU);
    b[0] = 0.0;
    for (int i = 0; i < n; i++)
        b[i + 1] = y[i];
    VecMultMatReal(b, nr, U, nr, bU);
    for (int p = 0; p < npred; p++) {
        a[0] = 1.0;
        calcr(xpred[p], a + 1, X, kr->alpha, kr->theta, kr->stochratio[0], n, d);
        VecMultMatReal(a, nr, U, nr, aU);
        VecEwMultVecNewReal(aU, nr, eigvalinv, t1);
        ypred[p][0] = VecMultVecReal(t1, nr, bU);
        real mse = kr->var[0] * (1.0 - VecMultVecReal(t1, nr, aU));
        if (mse < 0)
            mse = variance_check(kr, mse, p);
        ypred[p][1] = sqrt(mse);
    }
    frei(nr, &bU);
    frei(nr, &t1);
    frei(nr, &aU);
    frei(nr, &b);
    frei(nr, &a);
}

// vec2 = vec' mat by columns: vec2[i] = Σ_j vec[j]·mat[j][i] in increasing j.
inline void vec_mult_mat(const real *vec, int n, real **mat, int m, real *vec2)
{
    for (int i = 0; i < m; i++) {
        vec2[i] = 0.0;
        for (int j = 0; j < n; j++)
            vec2[i] += vec[j] * mat[j][i];
    }
}

// The estimates and the objective of the likelihood of a constant-mean
// model at given parameters, the steps of the production code written out
// for one regression term: R, its decomposition, beta = (1'R+1)⁻¹ 1'R+y,
// var = (y - beta)'R+(y - beta)/n, and (n ln var + ln det R)/2 for a
// positive determinant (from the sum of logarithms where the product of the
// eigenvalues falls below the smallest normal number).
struct Likelihood {
    real value, beta, var;
};

inline Likelihood loglike(real **X, const real *y, const real *alpha, const real *theta, real stochratio, int n,
                          int d)
{
    real **U = NULL, **tmp = NULL, **tmpinv = NULL;
    real *ev = NULL, *evinv = NULL, *FU = NULL, *FUD = NULL, *yU = NULL, *resid = NULL, *rU = NULL;
    alloc(n, n, &U);
    alloc(1, 1, &tmp);
    alloc(1, 1, &tmpinv);
    for (real **v : {&ev, &evinv, &FU, &FUD, &yU, &resid, &rU})
        alloc(n, v);
    calcR(X, alpha, theta, stochratio, n, d, U);
    eigen(U, n, ev);
    for (int i = 0; i < n; i++)
        evinv[i] = (ev[i] > 3e-14 || ev[i] < -3e-14) ? 1.0 / ev[i] : 0.0;
    for (int j = 0; j < n; j++) {
        FU[j] = 0.0;
        for (int k = 0; k < n; k++)
            FU[j] += 1.0 * U[k][j];
        FUD[j] = FU[j] * evinv[j];
    }
    tmp[0][0] = 0.0;
    for (int k = 0; k < n; k++)
        tmp[0][0] += FUD[k] * FU[k];
    ::inverse(tmp, tmpinv, 1);
    vec_mult_mat(y, n, U, n, yU);
    real ty = 0.0;
    for (int j = 0; j < n; j++)
        ty += yU[j] * FUD[j];
    Likelihood out;
    out.beta = 0.0 + ty * tmpinv[0][0];
    for (int i = 0; i < n; i++)
        resid[i] = y[i] + -1.0 * (0.0 + out.beta * 1.0);
    vec_mult_mat(resid, n, U, n, rU);
    real q = 0.0;
    for (int i = 0; i < n; i++)
        q += rU[i] * evinv[i] * rU[i];
    out.var = q / n;
    real det = 1.0;
    for (int i = 0; i < n; i++)
        det *= ev[i];
    real lndet = log(det);
    if (fabs(det) < DBL_MIN) {
        lndet = 0.0;
        for (int i = 0; i < n; i++)
            lndet += log(fabs(ev[i]));
    }
    out.value = 0.5 * (n * log(out.var) + lndet);
    for (real **v : {&ev, &evinv, &FU, &FUD, &yU, &resid, &rU})
        frei(n, v);
    frei(1, 1, &tmpinv);
    frei(1, 1, &tmp);
    frei(n, n, &U);
    return out;
}

} // namespace plain

#endif
