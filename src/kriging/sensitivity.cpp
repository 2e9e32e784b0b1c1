// Variance shares of the inputs and pairs of inputs, and their command.
#include "kriging/sensitivity.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "alloc/alloc.h"
#include "kriging/blup.h"
#include "kriging/boxintegral.h"
#include "kriging/correlation.h"
#include "matfile/readdesign.h"
#include "matfile/writemat.h"
#include "model/reports.h"
#include "numeric/matrix.h"
#include "numeric/nrerror.h"
#include "numeric/unix.h"

namespace {

const char *const SHARE_NAMES = "    Term1 Term2  Percentage";

boolean is_screen(const char *name) { return strcmp(name, "screen") == 0 || strcmp(name, "s") == 0; }

// TRUE when the model holds the fitted parts and the ranges the shares need;
// what is missing is reported.
boolean sensitivity_ready(const KrigModel *kr)
{
    if (!initialized(&kr->init, "X", "y", "alpha", "theta", "beta", TRUE) ||
        !initialized(&kr->init, "var", "range", NULL, NULL, NULL, TRUE))
        return FALSE;
    if (kr->var[0] == NA_VALUE) {
        fprintf(ofp, "Sorry, can't do that. Stochastic Process Variance is not initialized.\n");
        return FALSE;
    }
    if (kr->d[0] < 2) {
        fprintf(ofp, "Sorry, sensitivity shares need at least two input variables.\n");
        return FALSE;
    }
    warn_missing_response(kr);
    return TRUE;
}

// w = A+ (0, y), the weights of the constant and of the n correlations.
void predictor_weights(KrigModel *kr, real *w)
{
    int n = kr->n[0], nr = n + kr->r[0];
    BlupWork work;
    blup_work_alloc(&work, n, kr->r[0]);
    blup_prepare_responses(&work, kr->y, kr->U);
    VecEwMultVecNewReal(work.bU, nr, kr->eigvalinv, work.t1);
    for (int j = 0; j < nr; j++) {
        real s = 0.0;
        for (int k = 0; k < nr; k++)
            s += kr->U[j][k] * work.t1[k];
        w[j] = s;
    }
    blup_work_free(&work);
}

// sum_ij v_i v_j Q[i][j] Q2[i][j] (Q2 NULL: 1), Q and Q2 symmetric n x n
// blocks given by their first column in the row-major n x (d n) store.
real quadratic_form(int n, const real *v, real **Q, int col, int col2)
{
    real total = 0.0;
    for (int i = 0; i < n; i++) {
        real row = 0.0;
        for (int j = 0; j < n; j++) {
            real q = Q[i][col + j];
            if (col2 >= 0)
                q *= Q[i][col2 + j];
            row += v[j] * q;
        }
        total += v[i] * row;
    }
    return total;
}

// v_i = w_i prod over the inputs other than j and k (k may be -1) of m_ki.
void weighted_means(int n, int d, const real *w, real **mean, int j, int k, real *v)
{
    for (int i = 0; i < n; i++) {
        real g = w[i];
        for (int l = 0; l < d; l++)
            if (l != j && l != k)
                g *= mean[l][i];
        v[i] = g;
    }
}

// The covariance rows (k, i), j >= i, of one thread: every step-th row
// from `first` on, in the order k n + i. Each entry is one integral, the
// same whichever thread computes it.
struct CovarianceShare {
    const KrigModel *kr;
    const BoxMeans *bm;
    real **Q;
    int n, d, step;
};

// Rows below which a second processor is not worth a thread.
const int ROWS_PER_HELPER = 64;

void covariance_rows(const CovarianceShare *sh, int first)
{
    const KrigModel *kr = sh->kr;
    int n = sh->n;
    for (int row = first; row < n * sh->d; row += sh->step) {
        int k = row / n, i = row % n;
        real lo = kr->range[k][0], hi = kr->range[k][1];
        for (int j = i; j < n; j++) {
            real q = factor_covariance(kr->theta[k], kr->alpha[k], lo, hi, kr->X[i][k], sh->bm->mean[k][i],
                                       kr->X[j][k], sh->bm->mean[k][j]);
            sh->Q[i][k * n + j] = sh->Q[j][k * n + i] = q;
        }
    }
}

void covariance_helper(const CovarianceShare *sh, int first)
{
    leave_signals_to_main_thread();
    covariance_rows(sh, first);
}

} // namespace

real variance_components(KrigModel *kr, real *components)
{
    ensure_init(kr, "R");
    ensure_init(kr, "F");
    kr_cover_augmR(kr);
    int n = kr->n[0], d = kr->d[0], nr = n + kr->r[0];
    real ratio = kr->stochratio[0];

    real *w = NULL, *v = NULL;
    alloc(nr, &w);
    alloc(n, &v);
    predictor_weights(kr, w);
    const real *wc = w + 1; // the weights of the correlations

    BoxMeans bm;
    box_means_compute(kr, &bm);
    // Q[i][k n + j]: covariance of the factors of x_i and x_j over input k.
    real **Q = NULL;
    alloc(n, d * n, &Q);
    CovarianceShare share = {kr, &bm, Q, n, d, 1};
    int shares = available_cores();
    if (shares > n * d / ROWS_PER_HELPER)
        shares = n * d / ROWS_PER_HELPER > 0 ? n * d / ROWS_PER_HELPER : 1;
    share.step = shares;
    std::vector<std::thread> helpers;
    for (int h = 1; h < shares; h++)
        helpers.emplace_back(covariance_helper, &share, h);
    covariance_rows(&share, 0);
    for (std::thread &t : helpers)
        t.join();

    real s2 = ratio * ratio;
    for (int k = 0; k < d; k++) {
        weighted_means(n, d, wc, bm.mean, k, -1, v);
        components[k] = s2 * quadratic_form(n, v, Q, k * n, -1);
    }
    int q = d;
    for (int j = 0; j < d; j++)
        for (int k = j + 1; k < d; k++, q++) {
            weighted_means(n, d, wc, bm.mean, j, k, v);
            components[q] = s2 * quadratic_form(n, v, Q, j * n, k * n);
        }

    // prod_k (Q_k + m m) - prod_k m m, built input by input without the
    // difference of two large products.
    real total = 0.0;
    for (int i = 0; i < n; i++) {
        real row = 0.0;
        for (int j = 0; j < n; j++) {
            real diff = 0.0, base = 1.0;
            for (int k = 0; k < d; k++) {
                real mm = bm.mean[k][i] * bm.mean[k][j];
                real qk = Q[i][k * n + j];
                diff = diff * (qk + mm) + base * qk;
                base *= mm;
            }
            row += wc[j] * diff;
        }
        total += wc[i] * row;
    }
    total *= s2;

    frei(n, d * n, &Q);
    box_means_free(&bm);
    frei(n, &v);
    frei(nr, &w);
    return total;
}

void Sensitivity(KrigModel *kr, const char *outfile, char mode)
{
    if (!sensitivity_ready(kr))
        return;
    cputime(11, "Sensitivity");
    if (PtsOutOfRange)
        nrwarning("Shares are based on the range as given in Xdescription.\n"
                  "    Not all X points are within that range.");
    int d = kr->d[0], terms = d + d * (d - 1) / 2, rows = terms + 1;
    real *comp = NULL;
    alloc(terms, &comp);
    real variance = variance_components(kr, comp);

    // Responses without spread give a predictor whose variance is rounding
    // noise of the weights: it has no shares.
    real lo = kr->y[0], hi = kr->y[0], size = 0.0;
    for (int i = 0; i < kr->n[0]; i++) {
        lo = fmin(lo, kr->y[i]);
        hi = fmax(hi, kr->y[i]);
        size = fmax(size, fabs(kr->y[i]));
    }
    real spread = hi - lo;
    boolean constant = !(variance > 1e-18 * spread * spread && variance > 1e-24 * size * size);
    if (constant) {
        char text[120];
        snprintf(text, sizeof text, "Model %s: the predictor is constant over the input box; its shares are NA.",
                 kr->ylabel);
        nrwarning(text);
    }

    real **share = NULL;
    string **table = NULL;
    alloc(rows, 1, &share);
    alloc(rows, 3, &table);
    real sum = 0.0;
    int q = d;
    for (int t = 0; t < terms; t++) {
        share[t][0] = constant ? NA_VALUE : 100.0 * comp[t] / variance;
        sum += share[t][0];
    }
    share[terms][0] = constant ? NA_VALUE : sum;
    for (int k = 0; k < d; k++) {
        snprintf(table[k][0], STRING_LEN, "%s", kr->xlabel[k]);
        snprintf(table[k][1], STRING_LEN, "-");
    }
    for (int j = 0; j < d; j++)
        for (int k = j + 1; k < d; k++, q++) {
            snprintf(table[q][0], STRING_LEN, "%s", kr->xlabel[j]);
            snprintf(table[q][1], STRING_LEN, "%s", kr->xlabel[k]);
        }
    snprintf(table[terms][0], STRING_LEN, "Total");
    snprintf(table[terms][1], STRING_LEN, "-");
    copy_matrix(rows, 1, share, 0, table, 2);
    if (constant)
        for (int t = 0; t < rows; t++)
            snprintf(table[t][2], STRING_LEN, "NA");

    if (is_screen(outfile)) {
        char cell[CELL_BUF];
        fprintf(ofp, "Sensitivity of %s: percent of the predictor's variance over the input box (%.6e)\n",
                kr->ylabel, variance);
        fprintf(ofp, "%10s %10s   Percentage\n", "Term1", "Term2");
        for (int t = 0; t < rows; t++) {
            format_cell(share[t][0], cell, sizeof cell);
            fprintf(ofp, "%10s %10s %s\n", table[t][0], table[t][1], cell);
        }
    } else {
        fprintf(ofp, "Writing Sensitivity to '%s' file...\n", outfile);
        const char file_mode[2] = {mode, '\0'};
        char comment[STRING_LEN + 20];
        snprintf(comment, sizeof comment, "Sensitivity of %s", kr->ylabel);
        outputmats(rows, 3, table, outfile, NULL, SHARE_NAMES, comment, file_mode);
    }

    frei(rows, 3, &table);
    frei(rows, 1, &share);
    frei(terms, &comp);
    cputime(12, "Sensitivity");
}

void init_Sensitivity(KrigModel *kr, KrigArray *ka, char **token, int n_token)
{
    const char *target = "screen";
    if (n_token == 3 && strcmp(token[1], ">") == 0) {
        target = token[2];
    } else if (n_token != 1) {
        fprintf(ofp, "Usage: Sensitivity {> output_filename}\n");
        return;
    }
    Sensitivity(&kr[0], target, 'w');
    if (!ka->init)
        return;
    for (int i = 1; i < ka->p + ka->c; i++)
        Sensitivity(&kr[i], target, 'a');
}
