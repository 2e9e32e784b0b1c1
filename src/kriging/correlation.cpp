// Correlation and regression matrices of a response model and the
// eigen-decomposition of their augmented matrix.
#include "kriging/correlation.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "alloc/alloc.h"
#include "numeric/eigen.h"
#include "numeric/matrix.h"
#include "model/reports.h"
#include "numeric/nrerror.h"
#include "numeric/repmath.h"

// The label under which a rejected ratio is shown.
static const char *const STOCHRATIO_LABEL = "stochratio:";

// FALSE for a ratio outside [0, 1]; a ratio that is not a number fails too.
static boolean stochratio_ok(real stochratio)
{
    return stochratio >= 0.0 && stochratio <= 1.0;
}

// |x|^p. The power is not called where its value is known exactly: x^1 = x
// and x^0 = 1 for every x. An exponent of 2 still goes through pow: the
// library's pow(x, 2) is not always the correctly rounded x·x.
static inline real distance_power(real x, real p)
{
    if (p == 1.0)
        return x;
    if (p == 0.0)
        return 1.0;
    return rep_pow(x, p);
}

// Π_k exp(-theta[k] · |u_k - v_k|^(2 - alpha[k])), factors in input order.
static real correlation(const real *u, const real *v, const real *alpha, const real *theta, int d)
{
    real prod = 1.0;
    for (int k = 0; k < d; k++)
        prod *= rep_exp(-theta[k] * distance_power(fabs(u[k] - v[k]), 2.0 - alpha[k]));
    return prod;
}

void calcR(real **X, const real *alpha, const real *theta, real stochratio, int n, int d, real **R)
{
    if (!stochratio_ok(stochratio))
        nrerror("calcR: stochratio not within [0,1]", stochratio, STOCHRATIO_LABEL);
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            R[i][j] = stochratio * correlation(X[i], X[j], alpha, theta, d);
            R[j][i] = R[i][j];
        }
    for (int i = 0; i < n; i++)
        R[i][i] = 1.0;
}

void calcr(const real *newx, real *r, real **X, const real *alpha, const real *theta, real stochratio,
           int n, int d)
{
    if (!stochratio_ok(stochratio))
        nrerror("calcr: stochratio not within [0,1]", stochratio, STOCHRATIO_LABEL);
    for (int i = 0; i < n; i++) {
        r[i] = 1.0;
        // With random error, a new point at a design point correlates with it
        // through the process part alone: exactly stochratio. The product
        // would be 1 there anyway for every alpha[k] < 2.
        if (stochratio == 1.0 || !identical_vec(d, newx, X[i]))
            r[i] *= correlation(newx, X[i], alpha, theta, d);
        r[i] *= stochratio;
    }
}

void calcF(int n, int r, real **F)
{
    if (r != 1)
        nrerror("calcF : r!=1, that's  not implemented yet");
    for (int i = 0; i < n; i++)
        for (int j = 0; j < r; j++)
            F[i][j] = 1.0;
}

boolean singular_eigval(real ev)
{
    return !(ev > SINGULAR_EIGVAL || ev < -SINGULAR_EIGVAL);
}

boolean calc_augmR(int n, int r, real **R, real **F, real **U, real *ev, real *evinv)
{
    if (r > 1)
        nrerror("calc_augmR: r>1 not implmented yet");
    for (int i = 0; i < r; i++)
        for (int j = 0; j < r; j++)
            U[i][j] = 0.0;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++)
            U[r + i][r + j] = R[i][j];
    for (int i = 0; i < n; i++)
        for (int j = 0; j < r; j++) {
            U[r + i][j] = F[i][j];
            U[j][r + i] = F[i][j];
        }
    real *work = NULL;
    alloc(n + r, &work);
    boolean decomposed = eigen_converged(U, n + r, ev, work);
    frei(n + r, &work);
    if (!decomposed) {
        for (int i = 0; i < n + r; i++)
            evinv[i] = 0.0;
        nrwarning("Correlation Matrix cannot be decomposed: its QL iteration does not settle. (T6)");
        return FALSE;
    }
    // Pseudo-inverse: directions of (numerically) zero eigenvalues are
    // dropped; negative eigenvalues are legitimate and kept.
    for (int i = 0; i < n + r; i++) {
        if (singular_eigval(ev[i])) {
            evinv[i] = 0.0;
            nrwarning("Correlation Matrix is singular. Proceed with fingers crossed. (T1)");
        } else {
            evinv[i] = 1.0 / ev[i];
        }
    }
    return TRUE;
}

// TRUE when the n x m matrices a and b hold the same bits.
static boolean same_matrix(int n, int m, real **a, real **b)
{
    for (int i = 0; i < n; i++)
        if (memcmp(a[i], b[i], sizeof(real) * m) != 0)
            return FALSE;
    return TRUE;
}

boolean reuse_augmR(const KrigModel *from, int n, int r, real **R, real **F, real **U, real *ev, real *evinv)
{
    if (!from->init.U || from->n[0] != n || from->r[0] != r || !same_matrix(n, n, R, from->R) ||
        !same_matrix(n, r, F, from->F))
        return calc_augmR(n, r, R, F, U, ev, evinv);
    for (int i = 0; i < n + r; i++) {
        copy_real_vector(n + r, from->U[i], U[i]);
        ev[i] = from->eigval[i];
        evinv[i] = from->eigvalinv[i];
        if (singular_eigval(ev[i]))
            nrwarning("Correlation Matrix is singular. Proceed with fingers crossed. (T1)");
    }
    return TRUE;
}

void kr_calcR(KrigModel *kr)
{
    if (!kr->init.alpha || !kr->init.theta)
        nrerror("calcR: alpha or theta not initialized");
    calcR(kr->X, kr->alpha, kr->theta, kr->stochratio[0], kr->n[0], kr->d[0], kr->R);
    kr->init.R = TRUE;
}

void kr_calcF(KrigModel *kr)
{
    if (kr->r[0] != 1)
        nrerror("krCalcF : r!=1, that's  not implemented yet");
    calcF(kr->n[0], kr->r[0], kr->F);
    kr->init.F = TRUE;
}

boolean kr_cover_augmR(KrigModel *kr)
{
    kr->init.U = calc_augmR(kr->n[0], kr->r[0], kr->R, kr->F, kr->U, kr->eigval, kr->eigvalinv);
    return kr->init.U;
}

void augmR_refusal(const KrigModel *kr)
{
    refuse("Sorry, %s skipped: its correlation matrix cannot be decomposed.\n", kr->ylabel);
}

boolean ensure_init(KrigModel *kr, const char *name)
{
    if (initialized(&kr->init, name, NULL, NULL, NULL, NULL, FALSE))
        return TRUE;
    if (strcmp(name, "R") == 0)
        kr_calcR(kr);
    else if (strcmp(name, "F") == 0)
        kr_calcF(kr);
    else if (strcmp(name, "U") == 0)
        return kr_cover_augmR(kr);
    else
        nrerror("ensure_init: This option is not recognized");
    return TRUE;
}
