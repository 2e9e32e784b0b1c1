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

// The files that hold every run of the design while Minimize works.
const char *const RUNS_X_FILE = "minimize_x.mat";
const char *const RUNS_Y_FILE = "minimize_y.mat";

// Consecutive runs with a missing target or constraint value that end
// Minimize.
const int MAX_MISSING_RUNS = 3;

// Every run of the design while Minimize works, in the order of the runs:
// the inputs (n x d) and the values of all m models (n x m), NA where the
// simulator gave none. A model holds only the runs that have its value, so
// that a missing value never enters a fit; the models and the log agree
// wherever nothing is missing.
struct RunLog {
    int n, d, m;
    real **X;
    real **Y;
};
RunLog runs = {0, 0, 0, NULL, NULL};

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

// The target's prediction at the point x (d reals), its own design and
// responses as data.
real predict_at_point(KrigModel *kr, real *x)
{
    int n = kr->n[0], d = kr->d[0], r = kr->r[0];
    real **ypred = NULL;
    alloc(1, 2, &ypred);
    init_krigblup_anyXY(kr, kr->X, n, d, r);
    real *point[1] = {x};
    krigblup_anyXY(kr, kr->X, kr->y, n, d, 1, point, ypred);
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

// Starts the log with the design and responses the models hold (all models
// share the design).
void runs_start(KrigModel *kr, KrigArray *ka)
{
    runs.n = kr[0].n[0];
    runs.d = kr[0].d[0];
    runs.m = ka->p + ka->c;
    alloc(runs.n, runs.d, &runs.X);
    alloc(runs.n, runs.m, &runs.Y);
    copy_real_matrix(runs.n, runs.d, kr[0].X, runs.X);
    for (int i = 0; i < runs.n; i++)
        for (int q = 0; q < runs.m; q++)
            runs.Y[i][q] = kr[q].y[i];
}

void runs_append(const real *x, const real *y)
{
    morealloc(runs.n, runs.d, &runs.X, runs.n + 1, runs.d);
    morealloc(runs.n, runs.m, &runs.Y, runs.n + 1, runs.m);
    copy_real_vector(runs.d, x, runs.X[runs.n]);
    copy_real_vector(runs.m, y, runs.Y[runs.n]);
    runs.n++;
}

void runs_free()
{
    frei(runs.n, runs.d, &runs.X);
    frei(runs.n, runs.m, &runs.Y);
    runs.n = 0;
}

// Writes every run so far to RUNS_X_FILE and RUNS_Y_FILE, as the object
// commands write X and y (labels as column names), so that they read back
// as the design and the responses.
void runs_save(KrigModel *kr, KrigArray *ka)
{
    outputmatr(runs.n, runs.d, runs.X, RUNS_X_FILE, kr[0].xlabel, NULL, "X Matrix", "w");
    string *names = NULL;
    alloc(runs.m, &names);
    assemble_ylab(ka, kr, names);
    outputmatr(runs.n, runs.m, runs.Y, RUNS_Y_FILE, names, NULL, "y Matrix", "w");
    frei(runs.m, &names);
}

// The runs of the log with a value of model q.
int valued_runs(int q)
{
    int n = 0;
    for (int i = 0; i < runs.n; i++)
        if (runs.Y[i][q] != NA_VALUE)
            n++;
    return n;
}

// Makes model q hold the runs of the log that have its value (all runs when
// all_runs is set, NA values included), in the order of the log. Its derived
// matrices are to be computed again; its parameters stay.
void take_runs(KrigModel *kr, int q, boolean all_runs)
{
    int old_n = kr->n[0], d = kr->d[0], r = kr->r[0];
    int n = all_runs ? runs.n : valued_runs(q);
    if (n == old_n || n == 0)
        return; // the model holds these runs already, or would hold none
    morealloc(old_n, d, &kr->X, n, d);
    morealloc(old_n, &kr->y, n);
    for (int i = 0, k = 0; i < runs.n; i++)
        if (all_runs || runs.Y[i][q] != NA_VALUE) {
            copy_real_vector(d, runs.X[i], kr->X[k]);
            kr->y[k] = runs.Y[i][q];
            k++;
        }
    morealloc(old_n + r, old_n + r, &kr->U, n + r, n + r);
    morealloc(old_n + r, &kr->eigval, n + r);
    morealloc(old_n + r, &kr->eigvalinv, n + r);
    morealloc(old_n, old_n, &kr->R, n, n);
    morealloc(old_n, r, &kr->F, n, r);
    kr->init.U = FALSE;
    kr->init.R = FALSE;
    kr->init.F = FALSE;
    kr->n[0] = n;
}

// The smallest target value over the runs (n rows of the values of all
// models) that have one and meet every constraint; *best its row. No such
// run is fatal.
real best_feasible_run(KrigArray *ka, int n, real **Y, int *best)
{
    real *values = NULL;
    int *cases = NULL;
    alloc(n, &values);
    alloc(n, &cases);
    int count = 0, target = ka->pvec[0];
    for (int i = 0; i < n; i++) {
        if (Y[i][target] == NA_VALUE)
            continue;
        if (ka->c > 0 && !feasible(ka, Y[i]))
            continue;
        values[count] = Y[i][target];
        cases[count] = i;
        count++;
    }
    int index;
    real value = RealMinimumIndex(count, values, &index);
    *best = cases[index - 1];
    frei(n, &cases);
    frei(n, &values);
    return value;
}

// ymin over the log; with random error the target's prediction at that run
// (once the target has parameters), so that a noisy observation is not
// taken at face value.
void calc_ymin_runs(KrigArray *ka, KrigModel *kr)
{
    KrigModel *target = &kr[ka->pvec[0]];
    int best;
    ymin = best_feasible_run(ka, runs.n, runs.Y, &best);
    if (RandomError && initialized(&target->init, "alpha", "theta", "var", NULL, NULL, FALSE))
        ymin = predict_at_point(target, runs.X[best]);
}

// TRUE when the refitted models have a likelihood that is a number;
// otherwise says which has not.
boolean fits_are_numbers(KrigModel *kr, KrigArray *ka)
{
    for (int k = -1; k < ka->c; k++) {
        KrigModel *m = &kr[k < 0 ? ka->pvec[0] : ka->cvec[k]];
        if (!std::isfinite(m->loglike[0]) || m->loglike[0] == NA_VALUE || !std::isfinite(m->var[0])) {
            fprintf(ofp, "ERROR: The fit of %s gives no usable likelihood (LogLikelihood: %f, StochVariance: %f): its "
                         "values are too large or too irregular to fit.\n",
                    m->ylabel, m->loglike[0], m->var[0]);
            return FALSE;
        }
    }
    return TRUE;
}

// TRUE when the response or a constraint of the run has no value.
boolean run_misses_values(KrigArray *ka, const real *y)
{
    if (y[ka->pvec[0]] == NA_VALUE)
        return TRUE;
    for (int k = 0; k < ka->c; k++)
        if (y[ka->cvec[k]] == NA_VALUE)
            return TRUE;
    return FALSE;
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
    alloc(n, m, &all);
    for (int i = 0; i < n; i++)
        for (int q = 0; q < m; q++)
            all[i][q] = kr[q].y[i];
    int best;
    ymin = best_feasible_run(ka, n, all, &best);
    frei(n, m, &all);
    // A noisy observation is not taken at face value, once the model has
    // parameters to predict with.
    if (RandomError && initialized(&target->init, "alpha", "theta", "var", NULL, NULL, FALSE))
        ymin = predict_at_point(target, target->X[best]);
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
    // The percentage is a single-precision option: the growth is compared at
    // that precision, so that 0.1 means 55 runs after 50 (in double
    // precision 55 / 50 - 1 falls just below the float 0.1).
    if (MinimizationMlePerc != 0)
        return (float)((real)n / last_mle_n - 1) >= (float)MinimizationMlePerc;
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
                     int constraint, real prob)
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
        fprintf(ofp, "P(constr. met)=%5.3f ", prob);
        fprintf(ofp, "ymin:%6.4e", ymin);
    } else {
        if (newy[pos_pvec] == NA_VALUE)
            fprintf(ofp, "y(xbest): NA\n");
        else
            fprintf(ofp, "y(xbest): %7.5e\n", newy[pos_pvec]);
        fprintf(ofp, "Criterion: %7.5e ", MaxExpImp);
        fprintf(ofp, "RelCrit: %7.5e ", MaxExpImp / fabs(ymin));
        fprintf(ofp, "ymin:%7.5e ", ymin);
    }
    fprintf(ofp, "n=%3d\n", n + 1);
    if (ymin < MinTarget)
        nrwarning("MinTarget< Minimal Sampled y Value");
}

namespace {

// The two lines that end every loop that ran.
void final_lines(const char *first)
{
    fprintf(ofp, "%s", first);
    fprintf(ofp, "Best Value found: ymin=%6.4e\n", ymin);
}

// The end of a loop stopped by a failure: every run is on disk.
void stopped_lines()
{
    char text[160];
    snprintf(text, sizeof text, "Minimize stopped after %d runs; all of them are in %s and %s\n", runs.n,
             RUNS_X_FILE, RUNS_Y_FILE);
    final_lines(text);
}

// TRUE when every model Minimize fits has at least two runs with a value;
// otherwise says which has not.
boolean enough_values(KrigModel *kr, KrigArray *ka)
{
    for (int k = -1; k < ka->c; k++) {
        int q = k < 0 ? ka->pvec[0] : ka->cvec[k];
        int n = valued_runs(q);
        if (n < 2) {
            fprintf(ofp, "Sorry, can't do that. %s has a value in %d run%s of the design; Minimize needs 2.\n",
                    kr[q].ylabel, n, n == 1 ? "" : "s");
            return FALSE;
        }
    }
    return TRUE;
}

} // namespace

int minimize(KrigModel *kr, KrigArray *ka)
{
    int status = 0;
    boolean ready = initialized(ka);
    if (ready && ka->c > 0)
        ready = constraint_init(kr, ka, FALSE);
    if (ready)
        ready = initialized(&kr[ka->pvec[0]].init, "X", "y", "range", "FuncName", NULL, TRUE);
    if (ready)
        ready = objective_ready(FuncName);
    if (!ready)
        return status;

    criterion_state(kr, ka, 0);
    if (ka->p > 1)
        nrinfo("Minimize for first non - constraint only.");
    database(kr, ka);
    KrigModel *target = &kr[ka->pvec[0]];
    int d = target->d[0], r = target->r[0];
    int ny = ka->p + ka->c;
    initial_des_n = target->n[0];
    // Runs that miss a model's value (NA in the responses read) stay in the
    // design but not in that model.
    runs_start(kr, ka);
    if (!enough_values(kr, ka)) {
        runs_free();
        return status;
    }
    for (int q = 0; q < ny; q++)
        take_runs(&kr[q], q, FALSE);
    calc_ymin_runs(ka, kr);
    if (!init_MinTarget)
        MinTarget = ymin;
    real *MaxExpImp = NULL, *xbest = NULL, *newy = NULL;
    alloc(1, &MaxExpImp);
    alloc(d, &xbest);
    alloc(ny, &newy);
    boolean quantile = strcmp(StopCrit, "quantile") == 0;
    if (quantile)
        alloc_quantile_grid(target);
    runs_save(kr, ka);

    int converged = 0, last_mle_n = 1, missing_in_a_row = 0;
    for (int i = 0;;) {
        int n = runs.n;
        if (MaximumSample > 0 && n >= MaximumSample) {
            char text[80];
            snprintf(text, sizeof text, "MaximumSample reached : n=%d\n", n);
            final_lines(text);
            break;
        }
        if (init_MinTarget && ymin <= MinTarget) {
            char text[80];
            snprintf(text, sizeof text, "MinimizationTarget reached : %6.4e\n", MinTarget);
            final_lines(text);
            break;
        }
        if (do_mle(i, n, last_mle_n)) {
            refit_all(kr, ka, target);
            last_mle_n = n;
            if (n > 99)
                output_temp(target);
            if (!fits_are_numbers(kr, ka)) {
                stopped_lines();
                status = MINIMIZE_FAILED;
                break;
            }
        } else {
            refresh(target);
            for (int k = 0; k < ka->c; k++)
                refresh(&kr[ka->cvec[k]]);
        }
        i++;

        criterion_prepare(kr, ka);
        // Runs without a target value are not data of the target, but the
        // criterion must still vanish there, so that they are not proposed
        // again: its standard-error factor comes from the whole design.
        boolean whole_design = target->n[0] < runs.n;
        if (whole_design) {
            anyX = runs.X;
            anyX_rows = runs.n;
            anyX_cols = d;
            des_to_min = 1;
            init_krigblup_anyXY(target, anyX, anyX_rows, anyX_cols, r);
        }
        status = MaximalExpectedImprovement(target, MaxExpImp, xbest);
        if (whole_design) {
            free_krigblup_anyXY(anyX_rows, r);
            des_to_min = 0;
            anyX = NULL;
            anyX_rows = 0;
        }

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
            char text[80];
            snprintf(text, sizeof text, "Final MaxCriterion : %f\n", MaxExpImp[0]);
            final_lines(text);
            break;
        }

        if (sample_new_y(FuncName, d, xbest, ny, newy) != 0) {
            stopped_lines();
            status = MINIMIZE_FAILED;
            break;
        }
        runs_append(xbest, newy);
        runs_save(kr, ka);
        real prob = 0.0;
        if (constraint) {
            real *row[1] = {xbest};
            prob = ConstraintProb(row, d);
        }
        criterion_release();
        for (int q = 0; q < ny; q++)
            if (newy[q] != NA_VALUE)
                append_run(&kr[q], xbest, newy[q]);
        // With random error the best value is a prediction from data that
        // include the new run.
        if (RandomError)
            calc_ymin_runs(ka, kr);
        else
            update_ymin(ka, newy);
        if (!init_MinTarget)
            MinTarget = ymin;
        minimize_output(n, d, xbest, ny, newy, MaxExpImp[0], ka->pvec[0], constraint, prob);
        fprintf(ofp, "%s", DASHES);

        missing_in_a_row = run_misses_values(ka, newy) ? missing_in_a_row + 1 : 0;
        if (missing_in_a_row >= MAX_MISSING_RUNS) {
            fprintf(ofp, "ERROR: The objective gave missing values (NA) in %d consecutive runs.\n", missing_in_a_row);
            stopped_lines();
            status = MINIMIZE_FAILED;
            break;
        }
    }
    criterion_release();
    frei(1, &MaxExpImp);
    frei(d, &xbest);
    frei(ny, &newy);
    if (quantile)
        free_quantile_grid(d);
    // Every model holds the whole design again, NA where a value is missing.
    for (int q = 0; q < ny; q++)
        take_runs(&kr[q], q, TRUE);
    runs_free();
    remove_exchange_file();
    return status;
}

void init_Minimize(KrigModel *kr, KrigArray *ka, char **token, int n_token, boolean random_error)
{
    (void)token;
    (void)random_error;
    if (n_token != 1) {
        fprintf(ofp, "Unexpected Input. No tokens should follow 'Minimize'\n");
        return;
    }
    int status = minimize(kr, ka);
    // A failure (status MINIMIZE_FAILED) has said so already.
    if (status == 1)
        nrwarning("Couldn't find Expected Improvement > 0.0");
    else if (status == 2)
        nrwarning("Local Optimizer failed to make 3 successful searches");
}
