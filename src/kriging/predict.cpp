// Prediction at new points and the Predict command.
#include "kriging/predict.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "alloc/alloc.h"
#include "model/reports.h"
#include "kriging/blup.h"
#include "kriging/correlation.h"
#include "matfile/readmat.h"
#include "matfile/writemat.h"
#include "model/labels.h"
#include "numeric/nrerror.h"

namespace {

// The prepared foreign design.
boolean mse_anyX_flag = FALSE;
real **aR = NULL;       // an x an correlation matrix
real **aF = NULL;       // an x r regression matrix
real **aU = NULL;       // eigenvectors of the augmented matrix (columns)
real *a_eigv = NULL;    // its eigenvalues
real *a_eigvinv = NULL; // their guarded reciprocals
BlupWork a_work;        // work storage of single-point standard errors
boolean a_decomposed = FALSE; // FALSE when the augmented matrix could not be decomposed

const char *const default_input = "xpred.mat";
const char *const default_output = "ypred.mat";

// TRUE when the model holds everything a prediction needs; what is missing is
// reported. A variance read as NA is missing too: predicting with it would
// give hugely negative mean squared errors and end the run.
boolean can_predict(const KrigModel *model)
{
    if (!initialized(&model->init, "X", "y", "alpha", "theta", "beta", TRUE) ||
        !initialized(&model->init, "var", NULL, NULL, NULL, NULL, TRUE))
        return FALSE;
    if (model->var[0] == NA_VALUE) {
        refuse("Sorry, can't do that. Stochastic Process Variance is not initialized.\n");
        return FALSE;
    }
    return TRUE;
}

} // namespace

boolean init_krigblup_anyXY(KrigModel *kr, real **anyX, int an, int ad, int r)
{
    return init_krigblup_anyXY_reusing(kr, NULL, anyX, an, ad, r);
}

boolean init_krigblup_anyXY_reusing(KrigModel *kr, const KrigModel *decomposed, real **anyX, int an, int ad, int r)
{
    if (mse_anyX_flag)
        nrerror("init_krigmse_anyX: Code Bug : krigmse_anyX already initialized");
    mse_anyX_flag = TRUE;
    alloc(an + r, an + r, &aU);
    alloc(an, an, &aR);
    alloc(an, r, &aF);
    alloc(an + r, &a_eigv);
    alloc(an + r, &a_eigvinv);
    calcF(an, r, aF);
    calcR(anyX, kr->alpha, kr->theta, kr->stochratio[0], an, ad, aR);
    a_decomposed = decomposed != NULL ? reuse_augmR(decomposed, an, r, aR, aF, aU, a_eigv, a_eigvinv)
                                      : calc_augmR(an, r, aR, aF, aU, a_eigv, a_eigvinv);
    blup_work_alloc(&a_work, an, r);
    return a_decomposed;
}

// Predictions and standard errors of a design whose augmented matrix could
// not be decomposed: the missing value, never a number.
static void predict_missing(int npred, real **ypred)
{
    for (int i = 0; i < npred; i++)
        ypred[i][0] = ypred[i][1] = NA_VALUE;
}

void krigblup_anyXY(KrigModel *kr, real **anyX, const real *anyY, int an, int ad, int npred, real **xpred,
                    real **ypred)
{
    if (!mse_anyX_flag)
        nrerror("krigmse_anyX: Code Bug: function call without its initialization");
    if (ad != kr->d[0])
        nrerror("mse_anyX : Code Bug : ad!= *kr->d");
    if (!a_decomposed) {
        predict_missing(npred, ypred);
        return;
    }
    blup_on_design(kr, anyX, anyY, an, ad, kr->r[0], aU, a_eigvinv, npred, xpred, ypred,
                   "krigblup_anyXY(): regression model not dealt with, r>1");
}

real krigse_anyXY(KrigModel *kr, real **anyX, int an, int ad, const real *x)
{
    return krigse_anyXY_known(kr, anyX, an, ad, x, NULL, 0);
}

real krigse_anyXY_known(KrigModel *kr, real **anyX, int an, int ad, const real *x, const real *known_r,
                        int n_known)
{
    if (!mse_anyX_flag)
        nrerror("krigmse_anyX: Code Bug: function call without its initialization");
    if (ad != kr->d[0])
        nrerror("mse_anyX : Code Bug : ad!= *kr->d");
    if (!a_decomposed)
        return NA_VALUE;
    real se;
    if (n_known < 0 || n_known > an)
        nrerror("krigse_anyXY: Code Bug: more known correlations than design points");
    blup_point_known(kr, anyX, an, ad, aU, a_eigvinv, x, known_r, n_known, &a_work, 0, NULL, &se);
    return se;
}

void free_krigblup_anyXY(int an, int r)
{
    if (!mse_anyX_flag)
        nrerror("free_krigmse_anyX: Code Bug : mse_anyX was not initialized");
    blup_work_free(&a_work);
    frei(an + r, an + r, &aU);
    frei(an, an, &aR);
    frei(an, r, &aF);
    frei(an + r, &a_eigv);
    frei(an + r, &a_eigvinv);
    mse_anyX_flag = FALSE;
}

void forget_krigblup_anyXY()
{
    aU = aR = aF = NULL;
    a_eigv = a_eigvinv = NULL;
    mse_anyX_flag = FALSE;
}

int token_predict(char **token, int n_token, char *infile, char *outfile)
{
    const int len = 150;
    if (n_token == 1) {
        snprintf(infile, len, "%s", default_input);
        snprintf(outfile, len, "%s", default_output);
        nrinfo("Default input filename is used: xpred.mat");
        nrinfo("Default output filename is used: ypred.mat");
    } else if (n_token == 3 && strcmp(token[1], ">") == 0) {
        snprintf(infile, len, "%s", default_input);
        snprintf(outfile, len, "%s", token[2]);
        nrinfo("Default input filename is used: xpred.mat");
    } else if (n_token == 3 && strcmp(token[1], "<") == 0) {
        snprintf(infile, len, "%s", token[2]);
        snprintf(outfile, len, "%s", default_output);
        nrinfo("Default output filename is used: ypred.mat");
    } else if (n_token == 5 && strcmp(token[1], ">") == 0 && strcmp(token[3], "<") == 0) {
        snprintf(infile, len, "%s", token[4]);
        snprintf(outfile, len, "%s", token[2]);
    } else if (n_token == 5 && strcmp(token[1], "<") == 0 && strcmp(token[3], ">") == 0) {
        snprintf(infile, len, "%s", token[2]);
        snprintf(outfile, len, "%s", token[4]);
    } else {
        return 1;
    }
    if (strcmp(infile, "screen") == 0 || strcmp(infile, "s") == 0) {
        refuse("Sorry, cannot input from the screen\n");
        return 1;
    }
    return 0;
}

void krigpredict(KrigModel *kr, KrigArray *ka, const char *inputfile, const char *outputfile)
{
    int pc = ka->p + ka->c;
    // Every model must be able to predict: a file with columns of nothing
    // would pass for a result.
    boolean ready = TRUE;
    for (int i = 0; i < pc; i++)
        if (!can_predict(&kr[i]))
            ready = FALSE;
    if (!ready)
        return;
    if (strcmp(inputfile, outputfile) == 0 || same_file(inputfile, outputfile)) {
        refuse("Sorry, %s is the input file of this command. Nothing written.\n", outputfile);
        return;
    }
    real **xpred = NULL;
    string *xnames = NULL;
    int npred = 0, ncol = 0;
    if (read_matrix(0, 0, &xpred, &npred, &ncol, inputfile, &xnames) != 0) {
        if (xpred != NULL)
            frei(npred, ncol, &xpred);
        if (xnames != NULL)
            frei(ncol, &xnames);
        return;
    }
    if (ncol != kr->d[0]) {
        refuse("ERROR: Number of columns in matrix does not match the number of variables\n");
        frei(npred, ncol, &xpred);
        frei(ncol, &xnames);
        return;
    }

    // Points with a missing input are not predicted: their rows are NA.
    std::vector<real *> complete;
    int first_missing = -1;
    for (int k = 0; k < npred; k++) {
        boolean missing = FALSE;
        for (int j = 0; j < ncol; j++)
            if (xpred[k][j] == NA_VALUE)
                missing = TRUE;
        if (!missing)
            complete.push_back(xpred[k]);
        else if (first_missing < 0)
            first_missing = k;
    }
    if (first_missing >= 0) {
        char text[200];
        int count = npred - (int)complete.size();
        snprintf(text, sizeof text, "%d point%s of %.60s %s a missing input (NA), the first in row %d: predicted as NA.",
                 count, count == 1 ? "" : "s", inputfile, count == 1 ? "has" : "have", first_missing + 1);
        nrwarning(text);
    }
    int ncomplete = (int)complete.size();

    real **out = NULL, **work = NULL;
    string *labels = NULL;
    alloc(npred, 2 * pc, &out);
    alloc(npred, 2, &work);
    alloc(2 * pc, &labels);
    snprintf(labels[0], sizeof(string), "Pred");
    snprintf(labels[1], sizeof(string), "SE");
    label_suffix(kr, pc, 2, labels);

    for (int i = 0; i < pc; i++) {
        KrigModel *model = &kr[i];
        fprintf(ofp, "Predicting %s ... \n", model->ylabel);
        warn_missing_response(model);
        int n = model->n[0], d = model->d[0], r = model->r[0];
        ensure_init(model, "R");
        ensure_init(model, "F");
        boolean decomposed = kr_cover_augmR(model);
        if (decomposed) {
            // The design is the model's own: its decomposition, just formed,
            // serves when the matrices agree to the bit.
            decomposed = init_krigblup_anyXY_reusing(model, model, model->X, n, d, r);
            if (decomposed && ncomplete > 0)
                krigblup_anyXY(model, model->X, model->y, n, d, ncomplete, complete.data(), work);
            free_krigblup_anyXY(n, r);
        }
        if (!decomposed) {
            augmR_refusal(model);
            for (int k = 0; k < npred; k++)
                out[k][2 * i] = out[k][2 * i + 1] = NA_VALUE;
            continue;
        }
        for (int k = 0, c = 0; k < npred; k++) {
            boolean predicted = c < ncomplete && complete[c] == xpred[k];
            out[k][2 * i] = predicted ? work[c][0] : NA_VALUE;
            out[k][2 * i + 1] = predicted ? work[c][1] : NA_VALUE;
            if (predicted)
                c++;
        }
    }
    outputmatr_cover(npred, 2 * pc, out, outputfile, labels, "PredictionMatrix");

    frei(2 * pc, &labels);
    frei(npred, 2, &work);
    frei(npred, 2 * pc, &out);
    frei(npred, ncol, &xpred);
    frei(ncol, &xnames);
}

void init_predict(KrigModel *kr, KrigArray *ka, char **token, int n_token)
{
    char infile[150], outfile[150];
    if (token_predict(token, n_token, infile, outfile) != 0) {
        printf("Usage: Predict {<input_filename} {>output_filename}\n");
        mark_refused();
        return;
    }
    if (ka->p + ka->c == 0) {
        printf("Sorry, no response variables.\n");
        mark_refused();
        return;
    }
    database(kr, ka);
    krigpredict(kr, ka, infile, outfile);
}
