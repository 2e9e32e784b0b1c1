// The Minimize loop: refit policy, stopping rule, bookkeeping of the best
// feasible value and the report of each pass.
#include "minimize/krigmin.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "alloc/alloc.h"
#include "kriging/blup.h"
#include "kriging/correlation.h"
#include "minimize/criterion.h"
#include "fit/krigmle.h"
#include "minimize/maxcrit.h"
#include "minimize/objective.h"
#include "kriging/predict.h"
#include "matfile/dumps.h"
#include "matfile/writemat.h"
#include "model/labels.h"
#include "model/reports.h"
#include "model/settings.h"
#include "numeric/grid.h"
#include "numeric/matrix.h"
#include "numeric/nrerror.h"
#include "numeric/unix.h"

namespace {

// Candidate grid of the withdrawn "quantile" stopping rule.
real **xpred = NULL;
real **ymat = NULL;
real *yvec = NULL;
real *h = NULL;
int npred = 0;

const char *const DASHES = "--------------------------------------------------------\n";

// TRUE when the run (row of p + c values) meets every constraint. A missing
// constraint value (the simulator gave none) counts as not met.
boolean feasible(KrigArray *ka, real *row)
{
    int m = ka->p + ka->c;
    for (int k = 0; k < ka->c; k++)
        if (row[ka->cvec[k]] == NA_VALUE)
            return FALSE;
    real *rows[1] = {row};
    return check_constraints(1, m, rows, ka->ydescrip) == 0;
}

// The target's prediction at its own design point `index`, the responses of
// the design as data.
real predict_at_design_point(KrigModel *kr, int index)
{
    int n = kr->n[0], d = kr->d[0], r = kr->r[0];
    real **ypred = NULL;
    alloc(1, 2, &ypred);
    init_krigblup_anyXY(kr, kr->X, n, d, r);
    krigblup_anyXY(kr, kr->X, kr->y, n, d, 1, &kr->X[index], ypred);
    free_krigblup_anyXY(n, r);
    real value = ypred[0][0];
    frei(1, 2, &ypred);
    return value;
}

// The correlation, regression and augmented matrices of a model with its
// present parameters.
void refresh(KrigModel *kr)
{
    kr_calcR(kr);
    kr_calcF(kr);
    kr_cover_augmR(kr);
}

// Adds the run (x, its value y) as the last observation of the model; the
// derived matrices are to be computed again.
void append_run(KrigModel *kr, const real *x, real y)
{
    int n = kr->n[0], d = kr->d[0], r = kr->r[0], nr = n + r;
    morealloc(n, d, &kr->X, n + 1, d);
    copy_real_vector(d, x, kr->X[n]);
    morealloc(n, &kr->y, n + 1);
    kr->y[n] = y;
    morealloc(nr, nr, &kr->U, nr + 1, nr + 1);
    morealloc(nr, &kr->eigval, nr + 1);
    morealloc(nr, &kr->eigvalinv, nr + 1);
    morealloc(n, n, &kr->R, n + 1, n + 1);
    morealloc(n, r, &kr->F, n + 1, r);
    kr->init.U = FALSE;
    kr->init.R = FALSE;
    kr->init.F = FALSE;
    kr->n[0] = n + 1;
}

// Refits the response and then every constraint, each after its line; the
// tries of all of them run side by side.
void refit_all(KrigModel *kr, KrigArray *ka, KrigModel *target)
{
    int count = 1 + ka->c;
    KrigModel **models = (KrigModel **)calloc((size_t)count, sizeof(KrigModel *));
    char (*lines)[64] = (char (*)[64])calloc((size_t)count, sizeof *lines);
    const char **headlines = (const char **)calloc((size_t)count, sizeof(const char *));
    if (models == NULL || lines == NULL || headlines == NULL)
        nrerror("Fitting: no memory for the fits");
    models[0] = target;
    snprintf(lines[0], sizeof lines[0], "Fitting Response %s...\n", target->ylabel);
    for (int k = 0; k < ka->c; k++) {
        models[1 + k] = &kr[ka->cvec[k]];
        snprintf(lines[1 + k], sizeof lines[1 + k], "Fitting Constraint %s...\n", kr[ka->cvec[k]].ylabel);
    }
    for (int m = 0; m < count; m++)
        headlines[m] = lines[m];
    krig_mle_set(models, headlines, count, 0);
    free(headlines);
    free(lines);
    free(models);
}

void alloc_quantile_grid(KrigModel *target)
{
    grid(GridSize, target->d[0], target->range, &xpred, &npred);
    alloc(npred, &h);
    alloc(npred, &yvec);
    alloc(npred, 2, &ymat);
}

void free_quantile_grid(int d)
{
    frei(npred, d, &xpred);
    frei(npred, &h);
    frei(npred, &yvec);
    frei(npred, 2, &ymat);
    npred = 0;
}

} // namespace

boolean constraint_init(KrigModel *kr, KrigArray *ka, boolean fit_params)
{
    boolean ok = TRUE;
    for (int k = 0; k < ka->c; k++) {
        const InitStruct *init = &kr[ka->cvec[k]].init;
        if (!initialized(init, "X", "y", "range", NULL, NULL, TRUE))
            ok = FALSE;
        if (fit_params && !initialized(init, "alpha", "beta", "theta", "var", NULL, TRUE))
            ok = FALSE;
    }
    if (!ok)
        fprintf(ofp, "The previous message(s) refer to the constraints\n");
    return ok;
}

void calc_ymin(KrigArray *ka, KrigModel *kr)
{
    KrigModel *target = &kr[ka->pvec[0]];
    int n = target->n[0], m = ka->p + ka->c;
    real **all = NULL;
    real *values = NULL;
    int *cases = NULL;
    alloc(n, &values);
    alloc(n, &cases);
    if (ka->c > 0) {
        alloc(n, m, &all);
        char label[150];
        if (construct_ymat(kr, ka, all, label, sizeof label) != 0)
            nrerror("calc_ymin: y labels are too long .");
    }
    // Runs whose target value is missing never give the best value.
    int count = 0;
    for (int i = 0; i < n; i++) {
        if (target->y[i] == NA_VALUE)
            continue;
        if (ka->c > 0 && !feasible(ka, all[i]))
            continue;
        values[count] = target->y[i];
        cases[count] = i;
        count++;
    }
    int index;
    ymin = RealMinimumIndex(count, values, &index);
    int best = cases[index - 1];
    if (ka->c > 0)
        frei(n, m, &all);
    frei(n, &cases);
    frei(n, &values);
    // A noisy observation is not taken at face value, once the model has
    // parameters to predict with.
    if (RandomError && initialized(&target->init, "alpha", "theta", "var", NULL, NULL, FALSE))
        ymin = predict_at_design_point(target, best);
}

void update_ymin(KrigArray *ka, const real *newy)
{
    real thisy = newy[ka->pvec[0]];
    if (thisy == NA_VALUE)
        return;
    if (ka->c > 0) {
        real *row = NULL;
        int m = ka->p + ka->c;
        alloc(m, &row);
        copy_real_vector(m, newy, row);
        boolean ok = feasible(ka, row);
        frei(m, &row);
        if (!ok)
            return;
    }
    if (thisy < ymin)
        ymin = thisy;
}

boolean do_mle(int i, int n, int last_mle_n)
{
    if (last_mle_n == 0)
        nrerror("do_mle: Code Bug , last_mle_n==0");
    if (n == 100 && MinimizationMleFrequency <= 9)
        MinimizationMleFrequency = 10;
    if (i == 0)
        return TRUE;
    if (n >= MaxObsForMle)
        return FALSE;
    if (MinimizationMlePerc != 0)
        return (real)n / last_mle_n - 1 >= MinimizationMlePerc;
    return i % MinimizationMleFrequency == 0;
}

boolean ConvergeCrit(real y, real deltay)
{
    if (strcmp(StopCrit, "tolerance") == 0) {
        if (deltay < StopTolAbs)
            return TRUE;
        return y != 0 && fabs(deltay / y) < StopTolRel;
    }
    if (strcmp(StopCrit, "quantile") == 0) {
        KrigModel *target = &krmin[kam->pvec[0]];
        int d = target->d[0];
        krigblup(target, npred, xpred, ymat, -1);
        int kept = 0, last = npred - 1;
        while (kept <= last) {
            if (ymat[kept][1] > 0) {
                yvec[kept] = ymat[kept][0];
                h[kept] = ymin;
                kept++;
            } else {
                exchange(d, xpred, kept, last);
                exchange(2, ymat, kept, last);
                last--;
            }
        }
        if (kept < npred)
            fprintf(ofp, "%d variables in entire grid have 0 standard error.\n)", npred - kept);
        nrerror("This option has been removed");
    }
    nrerror("ConvergeCrit: This method doesn't exist ");
}

void minimize_output(int n, int d, real *xbest, int ny, real *newy, real MaxExpImp, int pos_pvec,
                     int constraint)
{
    printvecr(d, xbest, "xbest:");
    if (constraint) {
        fprintf(ofp, "Responses at xbest: ");
        for (int q = 0; q < ny; q++) {
            if (newy[q] == NA_VALUE)
                fprintf(ofp, " NA ");
            else
                fprintf(ofp, " %7.3e ", newy[q]);
        }
        fprintf(ofp, "\n");
        fprintf(ofp, "Criterion:%6.4e ", MaxExpImp);
        fprintf(ofp, "RelCrit:%6.4e ", MaxExpImp / fabs(MinTarget));
        real *row[1] = {xbest};
        fprintf(ofp, "P(constr. met)=%5.3f ", ConstraintProb(row, d));
        fprintf(ofp, "ymin:%6.4e", ymin);
    } else {
        fprintf(ofp, "y(xbest): %7.5e\n", newy[pos_pvec]);
        fprintf(ofp, "Criterion: %7.5e ", MaxExpImp);
        fprintf(ofp, "RelCrit: %7.5e ", MaxExpImp / fabs(ymin));
        fprintf(ofp, "ymin:%7.5e ", ymin);
    }
    fprintf(ofp, "n=%3d\n", n + 1);
    if (ymin < MinTarget)
        nrwarning("MinTarget< Minimal Sampled y Value");
}

int minimize(KrigModel *kr, KrigArray *ka)
{
    int status = 0;
    boolean ready = initialized(ka);
    if (ready && ka->c > 0)
        ready = constraint_init(kr, ka, FALSE);
    if (ready)
        ready = initialized(&kr[ka->pvec[0]].init, "X", "y", "range", "FuncName", NULL, TRUE);
    if (ready) {
        criterion_state(kr, ka, 0);
        if (ka->p > 1)
            nrinfo("Minimize for first non - constraint only.");
        database(kr, ka);
        KrigModel *target = &kr[ka->pvec[0]];
        int n = target->n[0], d = target->d[0];
        int ny = ka->p + ka->c;
        initial_des_n = n;
        calc_ymin(ka, kr);
        if (!init_MinTarget)
            MinTarget = ymin;
        real *MaxExpImp = NULL, *xbest = NULL, *newy = NULL;
        alloc(1, &MaxExpImp);
        alloc(d, &xbest);
        alloc(ny, &newy);
        boolean quantile = strcmp(StopCrit, "quantile") == 0;
        if (quantile)
            alloc_quantile_grid(target);

        int converged = 0, last_mle_n = 1;
        for (int i = 0;;) {
            if (do_mle(i, n, last_mle_n)) {
                refit_all(kr, ka, target);
                last_mle_n = n;
                if (n > 99)
                    output_temp(target);
            } else {
                refresh(target);
                for (int k = 0; k < ka->c; k++)
                    refresh(&kr[ka->cvec[k]]);
            }
            i++;

            criterion_prepare(kr, ka);
            status = MaximalExpectedImprovement(target, MaxExpImp, xbest);

            if (MinSample != 0 && target->n[0] < MinSample) {
                converged = 0;
            } else {
                if (quantile)
                    cputime(11, "1st Order Statistic");
                if (ConvergeCrit(MinTarget, MaxExpImp[0])) {
                    converged++;
                } else {
                    if (converged > 0)
                        nrinfo("3 Consecutive Convergences Interrupted");
                    converged = 0;
                }
            }
            if (status != 0 || converged > 2) {
                fprintf(ofp, "Final MaxCriterion : %f\n", MaxExpImp[0]);
                fprintf(ofp, "Best Value found: ymin=%6.4e\n", ymin);
                break;
            }

            sample_new_y(FuncName, d, xbest, ny, newy);
            if (RandomError)
                calc_ymin(ka, kr);
            else
                update_ymin(ka, newy);
            if (!init_MinTarget)
                MinTarget = ymin;
            minimize_output(n, d, xbest, ny, newy, MaxExpImp[0], ka->pvec[0], constraint);

            criterion_release();
            for (int q = 0; q < ny; q++)
                append_run(&kr[q], xbest, newy[q]);
            n++;
            fprintf(ofp, "%s", DASHES);
        }
        criterion_release();
        frei(1, &MaxExpImp);
        frei(d, &xbest);
        frei(ny, &newy);
        if (quantile)
            free_quantile_grid(d);
    }
    exec_system("rm morla.temp");
    return status;
}

void init_Minimize(KrigModel *kr, KrigArray *ka, char **token, int n_token, boolean random_error)
{
    (void)token;
    (void)random_error;
    if (n_token != 1) {
        refuse("Unexpected Input. No tokens should follow 'Minimize'\n");
        return;
    }
    int status = minimize(kr, ka);
    if (status == 1)
        nrwarning("Couldn't find Expected Improvement > 0.0");
    else if (status == 2)
        nrwarning("Local Optimizer failed to make 3 successful searches");
}
