// Expected improvement and constraint probability.
#include "minimize/criterion.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "alloc/alloc.h"
#include "kriging/blup.h"
#include "kriging/predict.h"
#include "model/settings.h"
#include "numeric/gauss.h"
#include "numeric/grid.h"
#include "numeric/nrerror.h"
#include "numeric/trafo.h"
#include "numeric/repmath.h"

KrigModel *krmin = NULL;
KrigArray *kam = NULL;
real ymin = 0.0;
int des_to_min = 0;
int constraint = 0;
real **anyX = NULL;
int anyX_rows = 0;
int anyX_cols = 0;
int initial_des_n = 0;
string trafo_method = "sin";

namespace {

// Prepared predictors: one work record per model, of which those of the
// target and the constraints are in use, and the box point of the current
// evaluation.
BlupWork *work = NULL;
boolean *in_use = NULL;
int work_models = 0;
real *box_point = NULL;
int box_d = 0;

// Leading rows of the staged design anyX that repeat the target's design bit
// for bit: the correlations of a point with them are those the target's own
// prediction has just formed, and are not formed twice.
int staged_known = 0;

// The number of leading rows of anyX equal to the target's design, all of
// them or none.
int rows_shared_with_target(const KrigModel *t)
{
    int n = t->n[0], d = t->d[0];
    if (!des_to_min || anyX == NULL || anyX_rows < n || anyX_cols != d)
        return 0;
    for (int i = 0; i < n; i++)
        if (memcmp(anyX[i], t->X[i], sizeof(real) * d) != 0)
            return 0;
    return n;
}

// The standard error assumed for a constraint predicted without error.
const real ZERO_SE = 3e-14;

// Prediction and standard error of model q at the box point x.
void predict_model(int q, const real *x, real *mu, real *sigma)
{
    KrigModel *m = &krmin[q];
    blup_point(m, m->X, m->n[0], m->d[0], m->U, m->eigvalinv, x, &work[q], 0, mu, sigma);
}

} // namespace

void criterion_state(KrigModel *kr, KrigArray *ka, int staged)
{
    krmin = kr;
    kam = ka;
    des_to_min = staged;
    constraint = ka->c >= 1;
}

void criterion_prepare(KrigModel *kr, KrigArray *ka)
{
    criterion_release();
    work_models = ka->p + ka->c;
    work = (BlupWork *)malloc(sizeof(BlupWork) * work_models);
    in_use = (boolean *)calloc(work_models, sizeof(boolean));
    if (work == NULL || in_use == NULL)
        nrerror("criterion_prepare: out of memory");
    in_use[ka->pvec[0]] = TRUE;
    for (int k = 0; k < ka->c; k++)
        in_use[ka->cvec[k]] = TRUE;
    for (int q = 0; q < work_models; q++)
        if (in_use[q]) {
            blup_work_alloc(&work[q], kr[q].n[0], kr[q].r[0]);
            blup_prepare_responses(&work[q], kr[q].y, kr[q].U);
        }
    box_d = kr[0].d[0];
    alloc(box_d, &box_point);
    staged_known = rows_shared_with_target(&kr[ka->pvec[0]]);
}

void criterion_release()
{
    if (work == NULL)
        return;
    for (int q = 0; q < work_models; q++)
        if (in_use[q])
            blup_work_free(&work[q]);
    free(work);
    free(in_use);
    work = NULL;
    in_use = NULL;
    work_models = 0;
    staged_known = 0;
    frei(box_d, &box_point);
}

void criterion_forget()
{
    work = NULL;
    in_use = NULL;
    work_models = 0;
    box_point = NULL;
    staged_known = 0;
}

real recurse_integral(int p, real pdfprob, real cdfprob, real zmin)
{
    if (p < 0)
        nrerror("recurse_integral: p<0");
    if (p == 0)
        return cdfprob;
    if (p == 1)
        return -pdfprob;
    return (p - 1) * recurse_integral(p - 2, pdfprob, cdfprob, zmin) - rep_pow(zmin, p - 1) * pdfprob;
}

real generalised_improvement(real z, real scale, int g)
{
    if (g == 1)
        return scale * (z * cdfgauss(z, 1) + pdfgauss(z));
    if (g == 0) {
        real crit = cdfgauss(z, 1);
        return crit == 0.0 ? -rep_log(-z) : crit;
    }
    if (g < 0)
        nrerror("ExpectedImprovement: GlobalEiParam<0 ");
    real pdf = pdfgauss(z), cdf = cdfgauss(z, 1);
    real sum = 0.0;
    for (int i = 0; i <= g; i++)
        sum += choose(g, i) * rep_pow(-1.0, i) * rep_pow(z, g - i) * recurse_integral(i, pdf, cdf, z);
    // Far below the target the terms cancel and their sum can come out at or
    // below 0 by rounding, where the true value is a tiny positive number: the
    // criterion is 0 there rather than not a number.
    return sum > 0.0 ? rep_pow(sum, 1.0 / g) * scale : 0.0;
}

real ExpectedImprovement(real *x, int dopt)
{
    (void)dopt;
    if (work == NULL)
        nrerror("ExpectedImprovement: Code Bug, criterion not prepared");
    int target = kam->pvec[0];
    KrigModel *kr = &krmin[target];
    int d = kr->d[0];
    real *in[1] = {x};
    real *out[1] = {box_point};
    trafo_inf_ab(1, d, in, kr->range, out, trafo_method);

    real mu, sigma;
    predict_model(target, box_point, &mu, &sigma);
    real sigma_anyX = sigma;
    if (des_to_min)
        sigma_anyX = krigse_anyXY_known(kr, anyX, anyX_rows, anyX_cols, box_point, work[target].rvec,
                                        staged_known);
    if (sigma == 0.0)
        return -0.0;

    real crit = generalised_improvement((MinTarget - mu) / sigma, sigma_anyX, GlobalEiParam);
    if (constraint)
        crit *= ConstraintProb(out, d);
    return -crit;
}

real ConstraintProb(real **trafo_x, int d)
{
    (void)d;
    if (work == NULL)
        nrerror("ConstraintProb: Code Bug, criterion not prepared");
    real prob = 1.0;
    for (int k = 0; k < kam->c; k++) {
        int q = kam->cvec[k];
        real mu, sigma;
        predict_model(q, trafo_x[0], &mu, &sigma);
        if (sigma == 0.0)
            sigma = ZERO_SE;
        real b0 = kam->ydescrip[q][0], b1 = kam->ydescrip[q][1];
        real cdfprob0 = b0 > NA_VALUE ? cdfgauss((b0 - mu) / sigma, 1) : 0.0;
        real cdfprob1 = b1 < NO_UPPER_BOUND ? cdfgauss((b1 - mu) / sigma, 1) : 1.0;
        prob *= cdfprob1 - cdfprob0;
    }
    return prob;
}
