// Main and joint effects of the inputs and their commands.
#include "kriging/krigeffect.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "alloc/alloc.h"
#include "kriging/blup.h"
#include "kriging/boxintegral.h"
#include "kriging/correlation.h"
#include "matfile/readdesign.h"
#include "matfile/writemat.h"
#include "model/reports.h"
#include "model/settings.h"
#include "numeric/grid.h"
#include "numeric/matrix.h"
#include "numeric/nrerror.h"
#include "numeric/unix.h"

namespace {

const char *const MAIN_NAMES = "    Term     Value       Effect       StandardError";
const char *const JOINT_NAMES = "    Term1 Term2  Value1       Value2     Effect  StandardError";

// What one kind of effect needs to know about its output.
struct EffectKind {
    const char *title;   // timer label and file message
    const char *names;   // column-name text of the file
    const char *comment; // comment line of the file
    int text_cols;       // columns of the text matrix
    int inputs;          // inputs varied together: 1 or 2
    const char *integrated_comment; // comment line of averaged effects
};

const EffectKind MAIN = {"Main Effects", MAIN_NAMES, "MainEffects", 4, 1, "MainEffects (integrated)"};
const EffectKind JOINT = {"Joint Effects", JOINT_NAMES, "JointEffects", 5, 2, "JointEffects (integrated)"};

boolean integrated_effects() { return strcmp(EffectType, "integrated") == 0; }

boolean is_screen(const char *name) { return strcmp(name, "screen") == 0 || strcmp(name, "s") == 0; }

// TRUE when the model holds every fitted part the predictor needs, and the
// grid can be made; what is missing is reported. A variance read as NA
// counts as missing: it would make every mean squared error hugely negative
// and end the run.
boolean effects_ready(const KrigModel *kr)
{
    if (!initialized(&kr->init, "X", "y", "alpha", "theta", "beta", TRUE) ||
        !initialized(&kr->init, "var", "range", NULL, NULL, NULL, TRUE))
        return FALSE;
    if (kr->var[0] == NA_VALUE) {
        refuse("Sorry, can't do that. Stochastic Process Variance is not initialized.\n");
        return FALSE;
    }
    // A grid needs two levels at least (the lower and the upper end).
    if (GridSize < 2) {
        refuse("Sorry, effects need a GridSize of at least 2.\n");
        return FALSE;
    }
    return TRUE;
}

// The number of rows, or -1 (with a message) when it exceeds the integer
// range.
int effect_rows(long long rows)
{
    if (rows > INT_MAX) {
        refuse("Sorry, GridSize %d gives too many points for the effects.\n", GridSize);
        return -1;
    }
    return (int)rows;
}

// "%s  %s" of two input names, cut to a label field: when both do not fit,
// a name of up to half the room stays whole and the other is cut, else each
// is cut to half the room. Both stay words of their own, under the Term1 and
// Term2 columns of the file.
void pair_label(const char *first, const char *second, char *label)
{
    const int room = STRING_LEN - 1 - 2;
    int len1 = (int)strlen(first), len2 = (int)strlen(second);
    if (len1 + len2 > room) {
        if (len1 <= room / 2)
            len2 = room - len1;
        else if (len2 <= room - room / 2)
            len1 = room - len2;
        else {
            len1 = room / 2;
            len2 = room - room / 2;
        }
    }
    snprintf(label, STRING_LEN, "%.*s  %.*s", len1, first, len2, second);
}

// The matrices of one call: the evaluation points with the predictions in
// columns d and d+1, the predictions, and the text table of the file.
struct EffectTables {
    int rows, d, text_cols;
    real **allmat;      // rows x (d + 2)
    real **ymat;        // rows x 2
    string **effectmat; // rows x text_cols
};

// Prepares the predictor and the tables: every input at its midpoint. FALSE,
// with the refusal for the model and nothing allocated, when its augmented
// matrix cannot be decomposed.
boolean open_tables(KrigModel *kr, int rows, int text_cols, EffectTables *t, const EffectKind &kind)
{
    cputime(11, kind.title);
    if (PtsOutOfRange)
        nrwarning("Effects are based on the range as given in Xdescription.\n"
                  "    Not all X points are within that range.");
    ensure_init(kr, "R");
    ensure_init(kr, "F");
    if (!kr_cover_augmR(kr)) {
        augmR_refusal(kr);
        return FALSE;
    }

    t->rows = rows;
    t->d = kr->d[0];
    t->text_cols = text_cols;
    t->allmat = NULL;
    t->ymat = NULL;
    t->effectmat = NULL;
    alloc(rows, t->d + 2, &t->allmat);
    alloc(rows, 2, &t->ymat);
    alloc(rows, text_cols, &t->effectmat);
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < t->d; j++)
            t->allmat[i][j] = (kr->range[j][0] + kr->range[j][1]) / 2.0;
    return TRUE;
}

// The effects averaged over the other inputs, G^inputs rows per input or
// pair in the order of the tables; the averaged inputs' columns become NA.
void predict_integrated(KrigModel *kr, EffectTables *t, int inputs)
{
    BoxMeans bm;
    box_means_compute(kr, &bm);
    int d = t->d, block = inputs == 1 ? GridSize : GridSize * GridSize, first = 0;
    for (int j = 0; j < d; j++)
        for (int k = inputs == 1 ? j : j + 1; k < d; k++) {
            int varied[2] = {j, k};
            integrated_blup(kr, &bm, varied, inputs, block, &t->allmat[first], &t->ymat[first]);
            for (int row = first; row < first + block; row++)
                for (int l = 0; l < d; l++)
                    if (l != j && l != k)
                        t->allmat[row][l] = NA_VALUE;
            first += block;
            if (inputs == 1)
                break;
        }
    box_means_free(&bm);
}

// Predicts at every row in one call, copies the predictions into the
// tables (text columns effect_col and effect_col + 1), writes the output and
// releases the tables.
void finish_tables(KrigModel *kr, EffectTables *t, int effect_col, const char *outfile, char mode,
                   const EffectKind &kind)
{
    boolean integrated = integrated_effects();
    if (integrated)
        predict_integrated(kr, t, kind.inputs);
    else
        krigblup(kr, t->rows, t->allmat, t->ymat, -1);
    copy_matrix(t->rows, 2, t->ymat, 0, t->allmat, t->d);
    copy_matrix(t->rows, 2, t->ymat, 0, t->effectmat, effect_col);

    if (is_screen(outfile)) {
        if (integrated)
            fprintf(ofp, "Integrated effects: the inputs shown as NA are averaged over their ranges.\n");
        printvecs(t->d, kr->xlabel, "Labels:");
        printmatr(t->rows, t->d + 2, t->allmat, "");
    } else {
        fprintf(ofp, "Writing %s to '%s' file...\n", kind.title, outfile);
        const char file_mode[2] = {mode, '\0'};
        outputmats(t->rows, t->text_cols, t->effectmat, outfile, NULL, kind.names,
                   integrated ? kind.integrated_comment : kind.comment, file_mode);
    }

    frei(t->rows, t->d + 2, &t->allmat);
    frei(t->rows, 2, &t->ymat);
    frei(t->rows, t->text_cols, &t->effectmat);
    cputime(12, kind.title);
}

// Bytes that one row of the effect tables takes: the evaluation point with
// its prediction, the prediction, the text row, and for each of the three row
// blocks its pointer and the allocator's bookkeeping.
long long row_bytes(int d, int text_cols)
{
    return (long long)sizeof(real) * (d + 2 + 2) + (long long)STRING_LEN * text_cols + 3 * 32;
}

// TRUE when the tables of `rows` rows fit the machine's memory; otherwise
// says how much they would need, before anything is allocated.
boolean tables_fit(long long rows, int d, int text_cols)
{
    real need = (real)rows * (real)row_bytes(d, text_cols);
    real have = memory_bytes();
    if (have <= 0.0 || need <= have)
        return TRUE;
    refuse("Sorry, GridSize %d gives %lld effect points, whose tables would need %.1f GB, "
           "more than the memory of this machine.\n",
           GridSize, rows, need / 1e9);
    return FALSE;
}

// The effects of every model of the response set (the first model alone
// while there is none), in model order, into one file. Every model is
// checked first: nothing is written unless all of them can give their
// effects, and the file appears only once it holds them all.
void effects_of_all(KrigModel *kr, const KrigArray *ka, const char *outfile,
                    void (*effects)(KrigModel *, const char *, char), boolean joint)
{
    int models = ka->init ? ka->p + ka->c : 1;
    boolean ready = TRUE;
    for (int i = 0; i < models; i++)
        if (!effects_ready(&kr[i]))
            ready = FALSE;
    if (!ready)
        return;
    int d = kr[0].d[0];
    if (joint && d < 2) {
        refuse("Sorry, joint effects need at least two input variables.\n");
        return;
    }
    long long G = GridSize;
    long long rows = joint ? (long long)d * (d - 1) / 2 * G * G : (long long)d * G;
    if (effect_rows(rows) < 0 || !tables_fit(rows, d, joint ? JOINT.text_cols : MAIN.text_cols))
        return;
    if (!is_screen(outfile) && !output_begin(outfile))
        return;
    for (int i = 0; i < models; i++)
        effects(&kr[i], outfile, i == 0 ? 'w' : 'a');
    if (!is_screen(outfile))
        output_end();
}

} // namespace

void MainEffects(KrigModel *kr, const char *outfile, char mode)
{
    if (!effects_ready(kr))
        return;
    warn_missing_response(kr);
    int d = kr->d[0], G = GridSize;
    int rows = effect_rows((long long)d * G);
    if (rows < 0)
        return;

    EffectTables t;
    if (!open_tables(kr, rows, MAIN.text_cols, &t, MAIN))
        return;
    for (int i = 0; i < d; i++) {
        real **levels = NULL;
        int nlevels = 0;
        grid(G, 1, &kr->range[i], &levels, &nlevels);
        copy_matrix(G, 1, levels, 0, &t.allmat[i * G], i);
        copy_matrix(G, 1, levels, 0, &t.effectmat[i * G], 1);
        for (int k = 0; k < G; k++)
            snprintf(t.effectmat[i * G + k][0], STRING_LEN, "%s", kr->xlabel[i]);
        frei(nlevels, 1, &levels);
    }
    finish_tables(kr, &t, 2, outfile, mode, MAIN);
}

void JointEffects(KrigModel *kr, const char *outfile, char mode)
{
    if (!effects_ready(kr))
        return;
    warn_missing_response(kr);
    int d = kr->d[0], G = GridSize;
    if (d < 2) {
        refuse("Sorry, joint effects need at least two input variables.\n");
        return;
    }
    int rows = effect_rows((long long)d * (d - 1) / 2 * G * G);
    if (rows < 0)
        return;

    EffectTables t;
    if (!open_tables(kr, rows, JOINT.text_cols, &t, JOINT))
        return;
    real **je_range = NULL;
    alloc(2, 2, &je_range);
    int q = 0;
    for (int j = 0; j < d; j++) {
        for (int k = j + 1; k < d; k++, q++) {
            je_range[0][0] = kr->range[j][0];
            je_range[0][1] = kr->range[j][1];
            je_range[1][0] = kr->range[k][0];
            je_range[1][1] = kr->range[k][1];
            real **points = NULL;
            int npoints = 0;
            grid(G, 2, je_range, &points, &npoints);
            int first = q * G * G;
            copy_matrix(npoints, 1, points, 0, &t.allmat[first], j);
            copy_matrix(npoints, 1, points, 1, &t.allmat[first], k);
            copy_matrix(npoints, 2, points, 0, &t.effectmat[first], 1);
            string label;
            pair_label(kr->xlabel[j], kr->xlabel[k], label);
            for (int row = first; row < first + npoints; row++)
                snprintf(t.effectmat[row][0], STRING_LEN, "%s", label);
            frei(npoints, 2, &points);
        }
    }
    frei(2, 2, &je_range);
    finish_tables(kr, &t, 3, outfile, mode, JOINT);
}

void init_MainEffects(KrigModel *kr, KrigArray *ka, char **token, int n_token)
{
    if (n_token != 3 || strcmp(token[1], ">") != 0) {
        printf("Usage: MainEffects > output_filename\n");
        mark_refused();
        return;
    }
    effects_of_all(kr, ka, token[2], MainEffects, FALSE);
}

void init_JointEffects(KrigModel *kr, KrigArray *ka, char **token, int n_token)
{
    if (n_token != 3 || strcmp(token[1], ">") != 0) {
        printf("Usage: JointEffects > output_filename\n");
        mark_refused();
        return;
    }
    effects_of_all(kr, ka, token[2], JointEffects, TRUE);
}
