// Variance shares of the inputs and pairs of inputs, and their command.
#include "kriging/sensitivity.h"

#include <cfloat>
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

// Takes the row g (n entries, zero before `first`) into the upper triangle
// T[p][col + i] by Givens rotations, so that T'T grows by g g'; g is
// overwritten.
void rotate_in(int n, real **T, int col, real *g, int first)
{
    for (int p = first; p < n; p++) {
        if (g[p] == 0.0)
            continue;
        real *row = T[p] + col;
        real h = hypot(row[p], g[p]);
        real c = row[p] / h, sn = g[p] / h;
        row[p] = h;
        g[p] = 0.0;
        for (int i = p + 1; i < n; i++) {
            real r = row[i];
            row[i] = c * r + sn * g[i];
            g[i] = c * g[i] - sn * r;
        }
    }
}

// The factor R_k (n x n, upper triangular) of the covariances of the
// factors of input k over its range, Q_k = R_k' R_k: the triangular factor of
// the rows sqrt(weight_a) (c_k(node_a, x_ik) - m_ik)_i over the nodes of the
// input's rule, taken in by Givens rotations one node at a time. Quadratic
// forms of the predictor's weights through R_k (|R_k v|^2, and the
// Frobenius norm of R_j diag(v) R_k') are sums of squares of the predictor's
// components over the rule; formed through Q_k instead, they would lose to
// rounding whatever the weights' size exceeds the result by, and a nearly
// singular correlation matrix gives weights far larger than the predictor.
// Stored in Rf[p][k n + i].
void factor_triangle(const KrigModel *kr, int k, real **Rf)
{
    int n = kr->n[0], col = k * n;
    FactorRule rule;
    real *mean = NULL, *g = NULL;
    alloc(n, &mean);
    alloc(n, &g);
    factor_rule(kr, k, &rule, mean);
    for (int p = 0; p < n; p++)
        for (int i = 0; i < n; i++)
            Rf[p][col + i] = 0.0;
    for (int a = 0; a < rule.count; a++) {
        real root = sqrt(rule.weight[a]);
        for (int i = 0; i < n; i++)
            g[i] = root * (corr_factor(kr->theta[k], kr->alpha[k], rule.node[a], kr->X[i][k]) - mean[i]);
        rotate_in(n, Rf, col, g, 0);
    }
    factor_rule_free(&rule);
    frei(n, &g);
    frei(n, &mean);
}

// The inputs of one thread: every step-th from `first` on.
struct TriangleShare {
    const KrigModel *kr;
    real **Rf;
    int step;
};

void triangle_inputs(const TriangleShare *sh, int first)
{
    for (int k = first; k < sh->kr->d[0]; k += sh->step)
        factor_triangle(sh->kr, k, sh->Rf);
}

void triangle_helper(const TriangleShare *sh, int first)
{
    leave_signals_to_main_thread();
    triangle_inputs(sh, first);
}

// Runs below which a second processor is not worth a thread.
const int RUNS_PER_HELPER = 16;

// The triangle H of the raw Gram matrix Q_k + m m' of input k: the factor
// R_k with the row m' taken in.
void raw_triangle(int n, real **Rf, int k, const real *mean, real **H, real *g)
{
    for (int p = 0; p < n; p++)
        for (int i = 0; i < n; i++)
            H[p][i] = Rf[p][k * n + i];
    copy_real_vector(n, mean, g);
    rotate_in(n, H, 0, g, 0);
}

// Z becomes the triangle of the Hadamard product of Z'Z and the raw Gram
// matrix of input k: every row p of Z times every row q of its triangle H,
// element by element, taken into a new triangle (zero before max(p, q)).
void hadamard_triangle(int n, real **Z, real **Rf, int k, const real *mean, real *g)
{
    real **H = NULL, **T = NULL;
    alloc(n, n, &H);
    alloc(n, n, &T);
    raw_triangle(n, Rf, k, mean, H, g);
    for (int p = 0; p < n; p++)
        for (int i = 0; i < n; i++)
            T[p][i] = 0.0;
    for (int p = 0; p < n; p++)
        for (int q = 0; q < n; q++) {
            int first = p > q ? p : q;
            for (int i = 0; i < first; i++)
                g[i] = 0.0;
            for (int i = first; i < n; i++)
                g[i] = Z[p][i] * H[q][i];
            rotate_in(n, T, 0, g, first);
        }
    copy_real_matrix(n, n, T, Z);
    frei(n, n, &T);
    frei(n, n, &H);
}

// |R_k v|^2 for the factor of input k.
real main_form(int n, real **Rf, int k, const real *v)
{
    real total = 0.0;
    for (int p = 0; p < n; p++) {
        real s = 0.0;
        for (int i = p; i < n; i++)
            s += Rf[p][k * n + i] * v[i];
        total += s * s;
    }
    return total;
}

// The squared Frobenius norm of R_j diag(v) R_k'.
real pair_form(int n, real **Rf, int j, int k, const real *v, real *work)
{
    real total = 0.0;
    for (int p = 0; p < n; p++) {
        for (int i = p; i < n; i++)
            work[i] = Rf[p][j * n + i] * v[i];
        for (int q = 0; q < n; q++) {
            real s = 0.0;
            for (int i = p > q ? p : q; i < n; i++)
                s += work[i] * Rf[q][k * n + i];
            total += s * s;
        }
    }
    return total;
}

// TRUE when the predictor's variance is no more than rounding noise of its
// weights: responses without spread (or with none beyond rounding of their
// size) have no shares.
boolean no_spread(const KrigModel *kr, real variance)
{
    real lo = kr->y[0], hi = kr->y[0], size = 0.0;
    for (int i = 0; i < kr->n[0]; i++) {
        lo = fmin(lo, kr->y[i]);
        hi = fmax(hi, kr->y[i]);
        size = fmax(size, fabs(kr->y[i]));
    }
    real spread = hi - lo;
    return !(variance > 1e-18 * spread * spread && variance > 1e-24 * size * size);
}

} // namespace

real variance_components(KrigModel *kr, real *components, boolean *doubtful)
{
    ensure_init(kr, "R");
    ensure_init(kr, "F");
    if (!kr->init.U)
        kr_cover_augmR(kr);
    int n = kr->n[0], d = kr->d[0], nr = n + kr->r[0];
    real ratio = kr->stochratio[0], s2 = ratio * ratio;

    real *w = NULL, *v = NULL, *work = NULL;
    alloc(nr, &w);
    alloc(n, &v);
    alloc(n, &work);
    predictor_weights(kr, w);
    const real *wc = w + 1; // the weights of the correlations

    BoxMeans bm;
    box_means_compute(kr, &bm);
    real **Rf = NULL;
    alloc(n, d * n, &Rf);
    TriangleShare share = {kr, Rf, 1};
    int shares = available_cores();
    if (shares > d)
        shares = d;
    if (shares > n / RUNS_PER_HELPER)
        shares = n / RUNS_PER_HELPER > 0 ? n / RUNS_PER_HELPER : 1;
    share.step = shares;
    std::vector<std::thread> helpers;
    for (int h = 1; h < shares; h++)
        helpers.emplace_back(triangle_helper, &share, h);
    triangle_inputs(&share, 0);
    for (std::thread &t : helpers)
        t.join();

    real listed = 0.0;
    for (int k = 0; k < d; k++) {
        weighted_means(n, d, wc, bm.mean, k, -1, v);
        components[k] = s2 * main_form(n, Rf, k, v);
        listed += components[k];
    }
    int q = d;
    for (int j = 0; j < d; j++)
        for (int k = j + 1; k < d; k++, q++) {
            weighted_means(n, d, wc, bm.mean, j, k, v);
            components[q] = s2 * pair_form(n, Rf, j, k, v, work);
            listed += components[q];
        }

    // With two inputs the main and pair variances are the whole variance.
    // With more, the whole is E[h^2] - mu^2 for h = s sum_i w_i c(x, x_i)
    // and its mean mu: E[h^2] = s^2 |Z w|^2 with Z the triangle of the
    // correlations' Gram matrix over the box, the Hadamard product of the
    // inputs' raw Gram matrices Q_k + m m', built input by input from their
    // triangles (every product of a row of the one and a row of the other
    // taken in by rotations). Like the parts, it is a sum of squares of the
    // predictor over quadrature rules, exact to rounding however large the
    // weights. It is doubtful where a bound on that rounding is not small
    // against it, or where it falls short of its listed parts.
    real total = listed;
    *doubtful = FALSE;
    if (d > 2) {
        real **Z = NULL;
        alloc(n, n, &Z);
        raw_triangle(n, Rf, 0, bm.mean[0], Z, work);
        for (int k = 1; k < d; k++)
            hadamard_triangle(n, Z, Rf, k, bm.mean[k], work);
        real mean = 0.0;
        for (int i = 0; i < n; i++) {
            real c = wc[i];
            for (int k = 0; k < d; k++)
                c *= bm.mean[k][i];
            mean += c;
        }
        real square = 0.0;
        for (int p = 0; p < n; p++) {
            real t = 0.0;
            for (int i = p; i < n; i++)
                t += Z[p][i] * wc[i];
            square += t * t;
        }
        total = s2 * (square - mean * mean);
        // Rounding of the sums of the weights times correlations of at most
        // 1, relative to the total.
        real weights = 0.0;
        for (int i = 0; i < n; i++)
            weights += fabs(wc[i]);
        real rounding = 2.0 * n * DBL_EPSILON * s2 * weights * (sqrt(square) + fabs(mean));
        *doubtful = !(total >= listed * (1.0 - 1e-6)) || rounding > 1e-4 * total;
        frei(n, n, &Z);
    }

    frei(n, d * n, &Rf);
    box_means_free(&bm);
    frei(n, &work);
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
    ensure_init(kr, "R");
    ensure_init(kr, "F");
    if (!kr_cover_augmR(kr)) {
        augmR_refusal(kr);
        return;
    }
    int d = kr->d[0], terms = d + d * (d - 1) / 2, rows = terms + 1;
    real *comp = NULL;
    alloc(terms, &comp);
    boolean doubtful = FALSE;
    real variance = variance_components(kr, comp, &doubtful);

    boolean constant = no_spread(kr, variance);
    if (doubtful && !constant) {
        char text[200];
        snprintf(text, sizeof text,
                 "Model %s: the correlation matrix is nearly singular; the total variance, and so "
                 "every share, may be inaccurate.", kr->ylabel);
        nrwarning(text);
    }
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
