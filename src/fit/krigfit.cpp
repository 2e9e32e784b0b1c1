// The concentrated likelihood of the model under fit.
#include "fit/krigfit.h"

#include <cfloat>
#include <cmath>

#include "alloc/alloc.h"
#include "kriging/correlation.h"
#include "fit/krigtrafo.h"
#include "model/settings.h"
#include "numeric/eigen.h"
#include "numeric/inverse.h"
#include "numeric/matrix.h"
#include "numeric/nrerror.h"
#include "numeric/repmath.h"

thread_local KrigModel krfit;
thread_local int info_infty = 0;
thread_local int info_infty_warn = 0;
thread_local boolean warnflag = FALSE;

namespace {

// Work storage of one fit, for n observations and r regression terms; each
// thread that runs tries has its own.
thread_local int fit_n = 0, fit_r = 0;
thread_local real **Ufit = NULL;        // n x n eigenvectors of R (columns)
thread_local real *eigvalfit = NULL;    // n eigenvalues of R
thread_local real *diaginvfit = NULL;   // n guarded reciprocals
thread_local real *eigwork = NULL;      // n, work vector of the decomposition
thread_local real *tempn = NULL;        // n
thread_local real *yminFbeta = NULL;    // n
thread_local real *UyminFbeta = NULL;   // n
thread_local real *yU = NULL;           // n
thread_local real *tempr = NULL;        // r
thread_local real **transF = NULL;      // r x n: Fᵀ
thread_local real **FU = NULL;          // r x n: FᵀU
thread_local real **FUDinv = NULL;      // r x n: FᵀU·diag(diaginv)
thread_local real **transFU = NULL;     // n x r: (FᵀU)ᵀ
thread_local real **temprr = NULL;      // r x r: Fᵀ R⁺ F
thread_local real **temprrinv = NULL;   // r x r: its inverse
thread_local int *invindx = NULL;       // r, pivots of the inverse
thread_local real *invcol = NULL;       // r, one column of the inverse
thread_local real *invscale = NULL;     // r, row scales of the inverse

// Stands in for a variance estimate that is not positive.
const real VAR_FLOOR = 1e-10;
// Stands in for ln det R when R is singular or not definite.
const real PENALTY_LNDET = 1e14;
// Negative determinants down to this value are taken as rounding.
const real NEGATIVE_DET_BAND = -1e-4;

// ln |det R| = Σ ln |λ_i| in eigenvalue order; *negative is TRUE for an odd
// number of negative eigenvalues.
real log_abs_det(int n, const real *ev, boolean *negative)
{
    real sum = 0.0;
    int count = 0;
    for (int i = 0; i < n; i++) {
        sum += rep_log(fabs(ev[i]));
        if (ev[i] < 0.0)
            count++;
    }
    *negative = count % 2 == 1;
    return sum;
}

boolean has_zero(int n, const real *ev)
{
    for (int i = 0; i < n; i++)
        if (ev[i] == 0.0)
            return TRUE;
    return FALSE;
}

} // namespace

void fit_global_alloc()
{
    int n = krfit.n[0], r = krfit.r[0];
    fit_n = n;
    fit_r = r;
    alloc(n, n, &Ufit);
    alloc(n, &eigvalfit);
    alloc(n, &diaginvfit);
    alloc(n, &eigwork);
    alloc(n, &tempn);
    alloc(n, &yminFbeta);
    alloc(n, &UyminFbeta);
    alloc(n, &yU);
    alloc(r, &tempr);
    alloc(r, n, &transF);
    alloc(r, n, &FU);
    alloc(r, n, &FUDinv);
    alloc(n, r, &transFU);
    alloc(r, r, &temprr);
    alloc(r, r, &temprrinv);
    alloc(r, &invindx);
    alloc(r, &invcol);
    alloc(r, &invscale);
}

void fit_global_free()
{
    int n = fit_n, r = fit_r;
    frei(n, n, &Ufit);
    frei(n, &eigvalfit);
    frei(n, &diaginvfit);
    frei(n, &eigwork);
    frei(n, &tempn);
    frei(n, &yminFbeta);
    frei(n, &UyminFbeta);
    frei(n, &yU);
    frei(r, &tempr);
    frei(r, n, &transF);
    frei(r, n, &FU);
    frei(r, n, &FUDinv);
    frei(n, r, &transFU);
    frei(r, r, &temprr);
    frei(r, r, &temprrinv);
    frei(r, &invindx);
    frei(r, &invcol);
    frei(r, &invscale);
}

// decompose, or FALSE when the QL iteration fails on R.
static boolean try_decompose(real **U, real *eigval, real *eigvalinv)
{
    int n = krfit.n[0];
    copy_real_matrix(n, n, krfit.R, U);
    if (!eigen_converged(U, n, eigval, eigwork))
        return FALSE;
    for (int i = 0; i < n; i++) {
        if (eigval[i] > SINGULAR_EIGVAL || eigval[i] < -SINGULAR_EIGVAL) {
            eigvalinv[i] = 1.0 / eigval[i];
        } else {
            eigvalinv[i] = 0.0;
            if (!warnflag) {
                nrwarning("Correlation Matrix is singular. Proceed with fingers crossed. (T2)");
                warnflag = TRUE;
            }
        }
    }
    return TRUE;
}

void decompose(real **U, real *eigval, real *eigvalinv)
{
    if (!try_decompose(U, eigval, eigvalinv))
        nrerror("Too many iterations in tqli");
}

void calc_beta(real **U, const real *diaginv)
{
    int n = krfit.n[0], r = krfit.r[0];
    TransRealMat(n, r, krfit.F, transF);
    MatMultMatReal(r, transF, n, U, n, FU);
    MatMultDiagMatReal(r, FU, n, diaginv, FUDinv);
    TransRealMat(r, n, FU, transFU);
    MatMultMatReal(r, FUDinv, n, transFU, r, temprr);
    inverse(temprr, temprrinv, r, invindx, invcol, invscale);
    VecMultMatReal(krfit.y, n, U, n, yU);
    MatMultVecReal(r, FUDinv, n, yU, tempr);
    MatMultVecReal(r, temprrinv, r, tempr, krfit.beta);
}

void calc_var(real **U, const real *diaginv)
{
    int n = krfit.n[0], r = krfit.r[0];
    calc_beta(U, diaginv);
    MatMultVecReal(n, krfit.F, r, krfit.beta, tempn);
    VecAddVecNewReal(-1.0, krfit.y, n, tempn, yminFbeta);
    VecMultMatReal(yminFbeta, n, U, n, UyminFbeta);
    VecEwMultVecNewReal(UyminFbeta, n, diaginv, tempn);
    krfit.var[0] = VecMultVecReal(tempn, n, UyminFbeta) / n;
}

real krigloglike(real *parvec, int n_params)
{
    (void)n_params;
    int n = krfit.n[0];
    invtrafo_corpar(&krfit, parvec, krfit.d[0]);
    kr_calcR(&krfit);
    // A correlation matrix so near singular that the QL iteration does not
    // settle within its iterations is a numerical dead end for these
    // parameters, not for the fit: it gets the penalty, counted with (T4).
    if (!try_decompose(Ufit, eigvalfit, diaginvfit)) {
        info_infty++;
        return 0.5 * (n * rep_log(VAR_FLOOR) + PENALTY_LNDET);
    }
    calc_var(Ufit, diaginvfit);

    real detR = ProdVecReal(n, eigvalfit);
    // A product below the smallest normal double has lost its digits (for
    // large designs it is exactly 0 by underflow): unless an eigenvalue is
    // exactly 0, the determinant is then taken from the sum of logarithms.
    boolean underflow = fabs(detR) < DBL_MIN && !has_zero(n, eigvalfit);
    boolean negative = FALSE;
    real lndetR = 0.0;
    if (underflow)
        lndetR = log_abs_det(n, eigvalfit, &negative);
    else if (detR > 0.0)
        lndetR = rep_log(detR);

    real *var = krfit.var;
    if (underflow ? !negative : detR > 0.0) {
        if (var[0] <= 0.0) {
            nrwarning("Stochastic Variance estimated to be 0 or smaller");
            var[0] = VAR_FLOOR;
        }
        return 0.5 * (n * rep_log(var[0]) + lndetR);
    }
    // The penalty makes the point the worst vertex of a simplex; its
    // variance term stays a number whatever the estimate.
    real lnvar = var[0] > 0.0 ? rep_log(var[0]) : rep_log(VAR_FLOOR);
    if (!underflow && detR == 0.0) {
        info_infty++;
        return 0.5 * (n * lnvar + PENALTY_LNDET);
    }
    if (underflow || (detR < 0.0 && detR > NEGATIVE_DET_BAND)) {
        info_infty_warn++;
        return 0.5 * (n * lnvar + PENALTY_LNDET);
    }
    if (detR <= NEGATIVE_DET_BAND)
        nrerror("loglike: detR<0.0 , R is negative definite", detR, "Determinant R");
    nrerror("Fitting: log likelihood is complex?");
}

boolean update()
{
    kr_calcR(&krfit);
    kr_calcF(&krfit);
    boolean augmented = kr_cover_augmR(&krfit);
    boolean estimated = try_decompose(Ufit, eigvalfit, diaginvfit);
    if (estimated)
        calc_var(Ufit, diaginvfit);
    else
        nrwarning("Correlation Matrix cannot be decomposed: its QL iteration does not settle. (T6)");
    krfit.init.beta = estimated;
    krfit.init.var = estimated;
    krfit.init.F = TRUE;
    krfit.init.R = TRUE;
    return augmented && estimated;
}

int calc_n_params(int d)
{
    if (RandomError)
        return 2 * d + 1;
    if (krfit.stochratio[0] != 1.0)
        nrwarning("Setting ErrorVariance to 0.0 for Fitting");
    krfit.stochratio[0] = 1.0;
    return 2 * d;
}
