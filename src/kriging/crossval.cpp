// Leave-one-out cross-validation and the CrossValidate command.
#include "kriging/crossval.h"

#include <cstdio>
#include <cstring>

#include "alloc/alloc.h"
#include "kriging/crossval_closed.h"
#include "kriging/predict.h"
#include "matfile/readmat.h"
#include "matfile/writemat.h"
#include "model/labels.h"
#include "model/reports.h"
#include "model/settings.h"
#include "numeric/gauss.h"
#include "numeric/matrix.h"
#include "numeric/nrerror.h"

namespace {

const int NAME_LEN = 150; // the output file name
const int CV_COLS = 3;    // prediction, standard error, expected improvement

// TRUE for the three accepted forms of a CrossValidate line.
boolean cv_syntax(char **token, int n_token)
{
    if (n_token == 3)
        return strcmp(token[1], ">") == 0;
    if (n_token == 6)
        return (strcmp(token[1], "<") == 0 && strcmp(token[4], ">") == 0) ||
               (strcmp(token[1], ">") == 0 && strcmp(token[3], "<") == 0);
    return FALSE;
}

// TRUE when the model holds the parameters a prediction uses; what is missing
// is reported. A variance read as NA is missing too, as for Predict.
boolean has_parameters(const KrigModel *kr)
{
    if (!initialized(&kr->init, "alpha", "theta", "beta", "var", NULL, TRUE))
        return FALSE;
    if (kr->var[0] == NA_VALUE) {
        refuse("Sorry, can't do that. Stochastic Process Variance is not initialized.\n");
        return FALSE;
    }
    return TRUE;
}

// Releases what a matrix read left, successful or not.
void free_read(int n, int m, real ***mat, string **labels)
{
    if (*mat != NULL)
        frei(n, m, mat);
    if (*labels != NULL)
        frei(m, labels);
}

// The data set of the three-token form: the model's own design and responses.
void copy_own_data(const KrigModel *kr, real **anyX, real *anyy)
{
    copy_real_matrix(kr->n[0], kr->d[0], kr->X, anyX);
    copy_real_vector(kr->n[0], kr->y, anyy);
}

// Every left-out run predicted from the reduced design without it: one
// decomposition of order an per run.
void krigcv_direct(KrigModel *kr, real **anyX, const real *anyY, int an, int ad, real **cvmat)
{
    int m = an - 1, r = kr->r[0];
    real **redX = NULL, *redY = NULL;
    alloc(m, ad, &redX);
    alloc(m, &redY);
    for (int i = 0; i < an; i++) {
        copy_real_matrix_minus_1row(an, ad, anyX, i, redX);
        copy_real_vector_minus_one(an, anyY, i, redY);
        init_krigblup_anyXY(kr, redX, m, ad, r);
        // Row i of anyX is the one point; row i of cvmat takes its result.
        krigblup_anyXY(kr, redX, redY, m, ad, 1, anyX + i, cvmat + i);
        free_krigblup_anyXY(m, r);
    }
    frei(m, &redY);
    frei(m, ad, &redX);
}

} // namespace

boolean cv_closed_form_wanted(const KrigModel *kr, int an)
{
    if (kr->r[0] != 1)
        return FALSE;
    if (strcmp(CrossValidateMethod, "closed") == 0)
        return TRUE;
    return strcmp(CrossValidateMethod, "auto") == 0 && an > CV_AUTO_DIRECT_RUNS;
}

void cvei(real **matrix, int n, int, real ymin)
{
    for (int k = 0; k < n; k++) {
        real mu = matrix[k][0], s = matrix[k][1];
        real ei = 0.0;
        if (mu == NA_VALUE || s == NA_VALUE) {
            // A left-out point whose reduced design could not be decomposed.
            ei = NA_VALUE;
        } else if (s != 0.0) {
            real z = (ymin - mu) / s;
            ei = s * (z * cdfgauss(z, 1) + pdfgauss(z));
        }
        matrix[k][2] = ei;
    }
}

void krigcv_anyXY(KrigModel *kr, real **anyX, const real *anyY, int an, int ad, real **cvmat, int col_cvmat)
{
    if (!has_parameters(kr)) {
        // Defined contents that read back: the missing value.
        for (int k = 0; k < an; k++)
            for (int j = 0; j < col_cvmat; j++)
                cvmat[k][j] = NA_VALUE;
        return;
    }
    if (an < 2)
        nrerror("krigcv_anyXY: Code Bug : fewer than two observations");

    boolean closed = cv_closed_form_wanted(kr, an);
    const char *refusal = closed ? krigcv_closed(kr, anyX, anyY, an, ad, cvmat) : NULL;
    if (refusal != NULL) {
        char text[240];
        snprintf(text, sizeof text,
                 "%.40s: no closed-form cross-validation, %s; every left-out run is decomposed on its own.",
                 kr->ylabel, refusal);
        nrinfo(text);
    }
    if (!closed || refusal != NULL)
        krigcv_direct(kr, anyX, anyY, an, ad, cvmat);

    cvei(cvmat, an, col_cvmat, Real_Minimum(kr->n[0], kr->y));
}

int read_anyXY(const char *xfile, const char *yfile, int *ptr_anyn, int d, real ***ptr_anyX, real **ptr_anyyvec)
{
    real **x = NULL, **y = NULL;
    string *xnames = NULL, *ynames = NULL;
    int xn = 0, xm = 0, yn = 0, ym = 0;
    if (read_matrix(0, 0, &x, &xn, &xm, xfile, &xnames) != 0) {
        free_read(xn, xm, &x, &xnames);
        return 1;
    }
    frei(xm, &xnames);
    if (xm != d) {
        refuse("ERROR: Incorrect number of columns\n");
        frei(xn, xm, &x);
        return 1;
    }
    int fail = 0;
    if (read_matrix(0, 0, &y, &yn, &ym, yfile, &ynames) != 0) {
        fail = 1;
    } else if (yn != xn) {
        refuse("ERROR: Incorrect number of rows\n");
        fail = 1;
    } else if (ym != 1) {
        refuse("ERROR: More than one y is not yet programmed \n");
        fail = 1;
    }
    if (fail) {
        free_read(yn, ym, &y, &ynames);
        frei(xn, xm, &x);
        return 1;
    }
    alloc(xn, ptr_anyyvec);
    for (int i = 0; i < xn; i++)
        (*ptr_anyyvec)[i] = y[i][0];
    free_read(yn, ym, &y, &ynames);
    *ptr_anyX = x;
    *ptr_anyn = xn;
    return 0;
}

int get_anyXY(int n_token, char **token, char *outputfile, int *ptr_anyn, KrigModel *kr, real ***ptr_anyX,
              real **ptr_anyy)
{
    int n = kr->n[0], d = kr->d[0];
    int an = 0;
    if (n_token == 3) {
        snprintf(outputfile, NAME_LEN, "%s", token[2]);
        alloc(n, d, ptr_anyX);
        alloc(n, ptr_anyy);
        copy_own_data(kr, *ptr_anyX, *ptr_anyy);
        an = n;
    } else if (n_token == 6) {
        const char *xfile, *yfile;
        if (strcmp(token[1], "<") == 0) {
            xfile = token[2];
            yfile = token[3];
            snprintf(outputfile, NAME_LEN, "%s", token[5]);
        } else if (strcmp(token[1], ">") == 0) {
            xfile = token[4];
            yfile = token[5];
            snprintf(outputfile, NAME_LEN, "%s", token[2]);
        } else {
            nrerror("CodeBug : get_anyXY token problem inner loop");
        }
        if (read_anyXY(xfile, yfile, &an, d, ptr_anyX, ptr_anyy) != 0)
            return 1;
        if (strcmp(outputfile, xfile) == 0 || strcmp(outputfile, yfile) == 0 || same_file(outputfile, xfile) ||
            same_file(outputfile, yfile)) {
            refuse("ERROR: Attempting to overwrite input file\n");
            frei(an, d, ptr_anyX);
            frei(an, ptr_anyy);
            return 1;
        }
    } else {
        nrerror("get_anyXY: unrecognized option for token");
    }

    const char *refusal = NULL;
    if (an > n)
        refusal = "ERROR: Cross Validation files contain more rows than model.\n";
    else if (an < 2)
        refusal = "ERROR: Cross validation needs at least two rows of data.\n";
    if (refusal != NULL) {
        refuse("%s", refusal);
        frei(an, d, ptr_anyX);
        frei(an, ptr_anyy);
        return 1;
    }
    *ptr_anyn = an;
    return 0;
}

void init_krigcv(KrigModel *kr, KrigArray *ka, char **token, int n_token)
{
    if (!cv_syntax(token, n_token)) {
        refuse("Usage: CrossValidate {< x_filename y_filename} > filename \n");
        return;
    }
    // Every model must be ready: a file with columns of nothing would pass
    // for a result.
    int pc = ka->p + ka->c;
    boolean ready = TRUE;
    for (int i = 0; i < (pc > 0 ? pc : 1); i++)
        if (!initialized(&kr[i].init, "X", "y", "alpha", "theta", "beta", TRUE) ||
            !initialized(&kr[i].init, "var", NULL, NULL, NULL, NULL, TRUE))
            ready = FALSE;
    if (!ready)
        return;

    int n = kr->n[0], d = kr->d[0], ncol = CV_COLS * pc;
    real **out = NULL, **work = NULL, **anyX = NULL, *anyy = NULL;
    string *labels = NULL;
    char outputfile[NAME_LEN];
    alloc(n, ncol, &out);
    alloc(n, CV_COLS, &work);
    alloc(ncol, &labels);
    database(kr, ka);

    int an = 0;
    if (get_anyXY(n_token, token, outputfile, &an, kr, &anyX, &anyy) == 0) {
        for (int i = 0; i < pc; i++) {
            KrigModel *model = &kr[i];
            fprintf(ofp, "CrossValidating %s ... \n", model->ylabel);
            warn_missing_response(model);
            if (n_token == 3 && i > 0)
                copy_own_data(model, anyX, anyy);
            krigcv_anyXY(model, anyX, anyy, an, d, work, CV_COLS);
            copy_matrix(an, CV_COLS, work, 0, out, CV_COLS * i);
        }
        snprintf(labels[0], sizeof(string), "CvPred");
        snprintf(labels[1], sizeof(string), "CvSe");
        snprintf(labels[2], sizeof(string), "CvEi");
        label_suffix(kr, pc, CV_COLS, labels);
        outputmatr_cover(an, ncol, out, outputfile, labels, "CrossValidationMatrix");
        frei(an, d, &anyX);
        frei(an, &anyy);
    }

    frei(ncol, &labels);
    frei(n, CV_COLS, &work);
    frei(n, ncol, &out);
}
