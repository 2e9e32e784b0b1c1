// Staged designs: a batch of new runs proposed at once.
#include "minimize/minstage.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "alloc/alloc.h"
#include "kriging/correlation.h"
#include "minimize/criterion.h"
#include "minimize/krigmin.h"
#include "minimize/maxcrit.h"
#include "kriging/predict.h"
#include "matfile/writemat.h"
#include "model/reports.h"
#include "model/settings.h"
#include "numeric/matrix.h"
#include "numeric/nrerror.h"
#include "numeric/unix.h"
#include "numeric/repmath.h"

namespace {

const char *const DASHES = "--------------------------------------------------------\n";

// The criterion on the response's scale, as reported: the g-th root of the
// maximum. With g = 0 the maximum is a probability and is shown as it is.
real reported_criterion(real max_exp_imp)
{
    if (GlobalEiParam == 0)
        return max_exp_imp;
    return rep_pow(max_exp_imp, 1.0 / GlobalEiParam);
}

// TRUE when a batch of `number` points on a design of n runs fits the
// machine's memory: each choice holds the correlation matrix and the
// eigenvectors of the augmented design, so the storage grows with the square
// of the design and the batch. Otherwise says so.
boolean batch_fits_memory(int number, int n, int d, int r)
{
    double rows = (double)n + number;
    double bytes = sizeof(real) * (2.0 * (rows + r) * (rows + r) + rows * (d + 1));
    double memory = memory_bytes();
    if (rows <= INT_MAX && (memory == 0.0 || bytes <= memory))
        return TRUE;
    fprintf(ofp, "Sorry, command ignored. MinimizeStage %d needs about %.3g GB, more than the machine's memory "
                 "(%.3g GB).\n",
            number, bytes / 1e9, memory / 1e9);
    return FALSE;
}

} // namespace

int MinimizeStage(KrigModel *kr, KrigArray *ka, int number, const char *outfile)
{
    if (!initialized(ka))
        return 0;
    if (ka->c > 0 && !constraint_init(kr, ka, TRUE))
        return 0;
    KrigModel *target = &kr[ka->pvec[0]];
    if (!initialized(&target->init, "X", "y", "range", NULL, NULL, TRUE) ||
        !initialized(&target->init, "alpha", "beta", "theta", "var", NULL, TRUE))
        return 0;

    int n = target->n[0], d = target->d[0], r = target->r[0];
    if (!batch_fits_memory(number, n, d, r))
        return MINIMIZE_FAILED;
    criterion_state(kr, ka, 1);
    if (ka->p > 1)
        nrinfo("MinimizeStage for first non - constraint only.");
    anyX_rows = n;
    anyX_cols = d;
    initial_des_n = n;

    calc_ymin(ka, kr);
    if (!init_MinTarget)
        MinTarget = ymin;
    else if (ymin < MinTarget)
        nrwarning("MinTarget< Minimal Sampled y Value");

    database(kr, ka);
    fprintf(ofp, "minimal y: %f", ymin);
    if (MinTarget != ymin)
        fprintf(ofp, " MinTarget: %f", MinTarget);
    fprintf(ofp, "\n");

    real *MaxExpImp = NULL, *xbest = NULL;
    int anyX_max_rows = n + number;
    alloc(1, &MaxExpImp);
    alloc(d, &xbest);
    alloc(anyX_max_rows, d, &anyX);
    copy_real_matrix(n, d, target->X, anyX);

    int status = 0;
    for (int q = 0; q < ka->p + ka->c && status == 0; q++) {
        ensure_init(&kr[q], "R");
        ensure_init(&kr[q], "F");
        if (!ensure_init(&kr[q], "U")) {
            augmR_refusal(&kr[q]);
            status = 4;
        }
    }
    if (status == 0)
        criterion_prepare(kr, ka);

    for (int i = n; i < n + number && status == 0; i++) {
        // A design whose augmented matrix cannot be decomposed gives no
        // standard errors: no criterion, no further proposal.
        if (init_krigblup_anyXY(target, anyX, anyX_rows, anyX_cols, r))
            status = MaximalExpectedImprovement(target, MaxExpImp, xbest);
        else
            status = 4;
        free_krigblup_anyXY(anyX_rows, r);
        if (status != 0)
            break;
        copy_real_vector(d, xbest, anyX[i]);
        anyX_rows++;

        printvecr(d, xbest, "xbest :");
        real crit = reported_criterion(MaxExpImp[0]);
        fprintf(ofp, "Criterion: %10g ", crit);
        fprintf(ofp, "RelCrit:%6.4e ", crit / fabs(MinTarget));
        if (constraint) {
            real *row[1] = {xbest};
            fprintf(ofp, "P(constraints met): %5.3f ", ConstraintProb(row, d));
        }
        fprintf(ofp, "n= %3d\n", anyX_rows);
        fprintf(ofp, "%s", DASHES);
    }

    if (status == 0) {
        if (strcmp(outfile, "screen") == 0 || strcmp(outfile, "s") == 0) {
            printvecs(d, target->xlabel, "Labels:");
            printmatr(anyX_rows, anyX_cols, anyX, "anyX");
        } else {
            fprintf(ofp, "Writing design points to '%s' file...\n", outfile);
            outputmatr(anyX_rows, anyX_cols, anyX, outfile, target->xlabel, NULL, "MinimizeStage Matrix", "w");
        }
    }

    criterion_release();
    frei(1, &MaxExpImp);
    frei(d, &xbest);
    frei(anyX_max_rows, d, &anyX);
    des_to_min = 0;
    return status;
}

void init_MinStage(KrigModel *kr, KrigArray *ka, char **token, int n_token)
{
    if (n_token != 4 || strcmp(token[2], ">") != 0) {
        printf("Usage: MinimizeStage number_points  >output_filename\n");
        mark_refused();
        return;
    }
    // The count's leading integer; none, or one beyond the integer range,
    // counts as 0 and is refused.
    errno = 0;
    long value = strtol(token[1], NULL, 10);
    int number = errno == ERANGE || value > INT_MAX ? 0 : (int)value;
    if (number <= 0) {
        refuse("Sorry, command ignored. Integer value needed for MinimizeStage.\n");
        return;
    }
    // No proposal means no new design file: a batch run must not go on
    // with an older one.
    if (MinimizeStage(kr, ka, number, token[3]) != 0)
        mark_refused();
}
