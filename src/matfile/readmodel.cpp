// Readers of the correlation parameters, the regression model and the
// response descriptions.
#include "matfile/readmodel.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "alloc/alloc.h"
#include "model/settings.h"
#include "matfile/readmat.h"
#include "model/krigmodel.h"
#include "model/labels.h"
#include "numeric/matrix.h"
#include "numeric/nrerror.h"

namespace {

// A matrix file read in text form, with its shape as allocated.
struct TextMatrix {
    string **cell;
    string *name;
    int rows;
    int cols;
};

int read_text(const char *filename, TextMatrix *t)
{
    t->cell = NULL;
    t->name = NULL;
    t->rows = 0;
    t->cols = 0;
    return read_matrix(0, 0, &t->cell, &t->rows, &t->cols, filename, &t->name);
}

void release(TextMatrix *t)
{
    if (t->cell != NULL)
        frei(t->rows, t->cols, &t->cell);
    if (t->name != NULL)
        frei(t->cols, &t->name);
}

boolean is(const char *name, const char *a, const char *b, const char *c = NULL)
{
    return strcmp(name, a) == 0 || strcmp(name, b) == 0 || (c != NULL && strcmp(name, c) == 0);
}

const char *not_numeric = "ERROR: Some of the input data is not numeric where it ought to be.\n";

// Sizes the response set and the model array for a first description of
// `count` y-variables; new records get the first record's shape and design.
// The dimensions are not fixed by such a file.
void first_description(KrigModel **kr, KrigArray *ka, int count)
{
    change_krig_p(ka, kr, count);
    KrigModel *models = *kr;
    for (int j = 1; j < count; j++) {
        init_KrigModel(&models[j], models[0].n[0], models[0].d[0], models[0].r[0]);
        if (models[0].init.X)
            copy_KrigModel(&models[0], &models[j]);
    }
    for (int j = 0; j < count; j++)
        models[j].init.n = FALSE;
}

// The name of row k of a description file for the messages: its cell in the
// first column named by one of `names` (a null-terminated list), or its
// number from 1.
void row_name(const TextMatrix &t, int k, const char *const *names, char *out, size_t size)
{
    for (int j = 0; j < t.cols; j++)
        for (const char *const *n = names; *n != NULL; n++)
            if (strcmp(t.name[j], *n) == 0) {
                snprintf(out, size, "%s", t.cell[k][j]);
                return;
            }
    snprintf(out, size, "%d", k + 1);
}

// Correlation parameters outside the correlation function's domain (alpha in
// [0, 2], theta not negative) would give meaningless predictions and could
// not be fitted from: refused with the column, the input and the value.
int check_corpar(const char *column, real value, boolean theta, const TextMatrix &t, int k)
{
    if (theta ? value >= 0.0 : value >= 0.0 && value <= 2.0)
        return 0;
    static const char *const input_names[] = {"Variable", "variable", "Term", "term", NULL};
    char input[STRING_LEN];
    row_name(t, k, input_names, input, sizeof input);
    refuse(theta ? "ERROR: %s = %.15g for input variable %s: theta must not be negative. Nothing stored.\n"
                       : "ERROR: %s = %.15g for input variable %s: alpha must lie in [0, 2]. Nothing stored.\n",
            column, value, input);
    return 13;
}

} // namespace

int read_corpar(KrigModel *kr, KrigArray *ka, const char *filename)
{
    if (ka == NULL)
        nrerror("read_corpar: code bug : ka==NULL");
    kr->init.theta = FALSE;
    kr->init.alpha = FALSE;
    kr->init.R = FALSE;
    kr->init.U = FALSE;

    TextMatrix t;
    if (read_text(filename, &t) != 0) {
        release(&t);
        return 4;
    }
    int d = kr->d[0];
    int m = ka->p + ka->c;
    if (t.rows != d) {
        refuse("ERROR: Matrix contains too few or too many rows.\n");
        release(&t);
        return 5;
    }
    if (t.cols != 2 * m + 1) {
        refuse("ERROR: Matrix contains too few or too many columns.\n");
        release(&t);
        return 1;
    }
    string *ylab = NULL;
    alloc(m > 0 ? m : 1, &ylab);
    assemble_ylab(ka, kr, ylab);

    // Column j sets parameter `kind` (0 theta, 1 alpha) of model `target`.
    int *kind = NULL, *target = NULL, *missing = NULL;
    alloc(t.cols, &kind);
    alloc(t.cols, &target);
    alloc(t.cols, &missing);
    for (int j = 0; j < t.cols; j++)
        missing[j] = FALSE;
    real **value = NULL;
    alloc(d, t.cols, &value);

    int result = 0;
    for (int k = 0; k < d && result == 0; k++) {
        for (int j = 0; j < t.cols && result == 0; j++) {
            const char *name = t.name[j];
            const char *cell = t.cell[k][j];
            kind[j] = -1;
            if (is(name, "Term", "term") || is(name, "Variable", "variable")) {
                if (kr->init.X && strcmp(cell, kr->xlabel[k]) != 0) {
                    refuse("ERROR: Variables in Matrix do not appear in same order as in x matrix\n");
                    result = 2;
                }
                continue;
            }
            boolean theta = strncmp(name, "Theta", 5) == 0 || strncmp(name, "theta", 5) == 0;
            boolean alpha = strncmp(name, "alpha", 5) == 0 || strncmp(name, "Alpha", 5) == 0;
            if (!theta && !alpha) {
                refuse("ERROR: Couldn't identify label %s .\n", name);
                result = 12;
                continue;
            }
            // The y-variable's name follows "Theta." or "Alpha.".
            int index = -1;
            if (strlen(name) <= 5 || matchvecs(name + 6, m, ylab, &index) != 0) {
                refuse(theta ? "ERROR: Name of a response variable (appended to Theta) unknown\n"
                                   : "ERROR: Name of a response variable (appended to Alpha) unknown\n");
                result = theta ? 10 : 11;
                continue;
            }
            kind[j] = theta ? 0 : 1;
            target[j] = index - 1;
            // "NA" marks parameters not estimated: such a column sets nothing.
            if (is(cell, "NA", "na")) {
                missing[j] = TRUE;
            } else if (str_to_real(cell, &value[k][j]) != 0) {
                refuse("%s", not_numeric);
                result = 4;
            } else {
                result = check_corpar(name, value[k][j], theta, t, k);
            }
        }
    }
    if (result == 0) {
        for (int k = 0; k < d; k++)
            for (int j = 0; j < t.cols; j++) {
                if (kind[j] < 0 || missing[j])
                    continue;
                KrigModel *model = &kr[target[j]];
                if (kind[j] == 0) {
                    model->theta[k] = value[k][j];
                    model->init.theta = TRUE;
                } else {
                    model->alpha[k] = value[k][j];
                    model->init.alpha = TRUE;
                }
                model->init.R = FALSE;
                model->init.U = FALSE;
            }
    }
    frei(d, t.cols, &value);
    frei(t.cols, &missing);
    frei(t.cols, &target);
    frei(t.cols, &kind);
    frei(m > 0 ? m : 1, &ylab);
    release(&t);
    return result;
}

int read_beta(KrigModel **kr, KrigArray *ka, const char *filename)
{
    (*kr)[0].init.beta = FALSE;
    TextMatrix t;
    if (read_text(filename, &t) != 0) {
        release(&t);
        return 4;
    }
    if (t.cols >= 4) {
        refuse("ERROR: Matrix contains too many columns.\n");
        release(&t);
        return 4;
    }
    if (ka->init && t.rows != ka->p + ka->c) {
        refuse("ERROR: Number of rows in matrix does not match with database.\n");
        release(&t);
        return 7;
    }

    // Row k describes model k; while the number of y-variables is not fixed
    // only the start-up record exists, and it has no responses.
    int rows = t.rows;
    real *coef = NULL;
    int *coef_set = NULL;
    alloc(rows, &coef);
    alloc(rows, &coef_set);
    int *label_col = NULL;
    alloc(rows, &label_col);
    boolean has_variable = FALSE, name_error = FALSE;
    int result = 0;
    for (int k = 0; k < rows && result == 0; k++) {
        coef_set[k] = FALSE;
        label_col[k] = -1;
        boolean has_y = ka->init && (*kr)[k].init.y;
        for (int j = 0; j < t.cols; j++) {
            const char *name = t.name[j];
            const char *cell = t.cell[k][j];
            if (is(name, "Term", "term")) {
                if (atoi(cell) != 1)
                    nrwarning("Term should be 1 for intercept, nothing else is implemented right now");
            } else if (is(name, "Variable", "variable")) {
                has_variable = TRUE;
                if (has_y && strcmp(cell, (*kr)[k].ylabel) != 0) {
                    refuse("ERROR: Unsuspected Variable names for reponse(s).\n");
                    name_error = TRUE;
                } else {
                    label_col[k] = j;
                }
            } else if (strncmp(name, "Coef", 4) == 0 || strncmp(name, "coef", 4) == 0 ||
                       strncmp(name, "Beta", 4) == 0) {
                // "NA" is a coefficient not yet estimated: it stays unset.
                if (is(cell, "NA", "na")) {
                    coef_set[k] = FALSE;
                } else if (str_to_real(cell, &coef[k]) == 0) {
                    coef_set[k] = TRUE;
                } else {
                    refuse("%s", not_numeric);
                    result = 4;
                    break;
                }
            }
        }
    }
    if (result == 0 && name_error)
        result = 21;

    if (result == 0) {
        if (!ka->init)
            first_description(kr, ka, rows);
        KrigModel *models = *kr;
        for (int k = 0; k < rows; k++) {
            if (label_col[k] >= 0)
                snprintf(models[k].ylabel, sizeof(string), "%s", t.cell[k][label_col[k]]);
            if (coef_set[k]) {
                models[k].beta[0] = coef[k];
                models[k].init.beta = TRUE;
            }
        }
        if (has_variable) {
            if (!models[0].init.beta)
                nrwarning("Matrix did not contain a `beta` column and could not be read.\n");
        } else {
            fprintf(ofp, "WARNING: No names for response variables given.\n");
            result = 22;
        }
    }
    frei(rows, &label_col);
    frei(rows, &coef_set);
    frei(rows, &coef);
    release(&t);
    return result;
}

namespace {

// What one row of a YDescription sets, kept aside until the whole file has
// been accepted.
struct DescriptionRow {
    boolean var_set;   // var (and its flag) set by this file
    real var;
    boolean loglike_set;
    real loglike;
    boolean stochratio_set;
    real stochratio;
    int label_col;     // column of the name, or -1
    real min, max, constraint;
};

// Reads a numeric cell; NA gives `na_value`. FALSE for anything else.
boolean numeric_cell(const char *cell, real na_value, real *value)
{
    if (str_to_real(cell, value) == 0)
        return TRUE;
    if (is(cell, "NA", "na")) {
        *value = na_value;
        return TRUE;
    }
    return FALSE;
}

} // namespace

int read_ydescrip(KrigModel **kr, KrigArray *ka, const char *filename)
{
    TextMatrix t;
    if (read_text(filename, &t) != 0) {
        release(&t);
        return 4;
    }
    if (ka->init && t.rows != ka->p + ka->c) {
        refuse("ERROR: Number of rows (y variables) does not match database\n");
        release(&t);
        return 2;
    }
    if (t.cols <= 0)
        nrerror("read_ydescrip: Code Bug newm<=0");

    int rows = t.rows;
    DescriptionRow *row = (DescriptionRow *)calloc((size_t)rows, sizeof(DescriptionRow));
    if (row == NULL)
        nrerror("read_ydescrip: Failure.");
    boolean seen_variable = FALSE, seen_min = FALSE, seen_max = FALSE, seen_constraint = FALSE;
    boolean random_error = FALSE;
    int result = 0;

    for (int k = 0; k < rows && result == 0; k++) {
        // Until the number of y-variables is fixed only the start-up record
        // exists: later rows describe records that are still to be made.
        const KrigModel *model = (ka->init || k == 0) ? &(*kr)[k] : NULL;
        boolean has_y = model != NULL && model->init.y;
        DescriptionRow *r = &row[k];
        r->label_col = -1;
        r->var_set = model != NULL && model->init.var;
        r->var = model != NULL ? model->var[0] : NA_VALUE;
        if (ka->init) {
            r->min = ka->ydescrip[k][YDESC_MIN];
            r->max = ka->ydescrip[k][YDESC_MAX];
            r->constraint = ka->ydescrip[k][YDESC_CONSTRAINT];
        } else {
            r->min = NA_VALUE;
            r->max = NO_UPPER_BOUND;
            r->constraint = 0.0;
        }
        real error_variance = NA_VALUE;

        for (int j = 0; j < t.cols && result == 0; j++) {
            const char *name = t.name[j];
            const char *cell = t.cell[k][j];
            real value = 0.0;
            boolean numeric = strcmp(name, "StochasticProcessVariance") == 0 ||
                              strcmp(name, "ErrorVariance") == 0 || strcmp(name, "LogLikelihood") == 0 ||
                              is(name, "Min", "MIN", "min") || is(name, "Max", "max", "MAX");
            if (numeric && !numeric_cell(cell, is(name, "Max", "max", "MAX") ? NO_UPPER_BOUND : NA_VALUE, &value)) {
                refuse("%s", not_numeric);
                result = 1;
                break;
            }
            if (strcmp(name, "StochasticProcessVariance") == 0) {
                // A negative variance describes no process (NA is no value).
                if (value < 0 && value != NA_VALUE) {
                    static const char *const y_names[] = {"Variable", NULL};
                    char yname[STRING_LEN];
                    row_name(t, k, y_names, yname, sizeof yname);
                    refuse("ERROR: StochasticProcessVariance = %.15g for y-variable %s: a variance must not be "
                            "negative. Nothing stored.\n",
                            value, yname);
                    result = 5;
                    break;
                }
                r->var = value;
                r->var_set = TRUE;
            } else if (strcmp(name, "ErrorVariance") == 0) {
                error_variance = value;
                if (value > 0)
                    random_error = TRUE;
                else if (value < 0 && value != NA_VALUE)
                    refuse("ERROR: Error Variance negative. Ignored.");
            } else if (strcmp(name, "LogLikelihood") == 0) {
                r->loglike = value;
                r->loglike_set = TRUE;
            } else if (strcmp(name, "Variable") == 0) {
                seen_variable = TRUE;
                if (has_y && strcmp(cell, model->ylabel) != 0) {
                    refuse("ERROR: Label for y does not match label used earlier\n");
                    result = 1;
                    break;
                }
                r->label_col = j;
            } else if (is(name, "Min", "MIN", "min")) {
                r->min = value;
                seen_min = TRUE;
            } else if (is(name, "Max", "max", "MAX")) {
                r->max = value;
                seen_max = TRUE;
            } else if (is(name, "Constraint", "constraint")) {
                if (is(cell, "true", "TRUE")) {
                    r->constraint = 1.0;
                } else if (is(cell, "false", "FALSE")) {
                    r->constraint = 0.0;
                } else {
                    refuse("ERROR: Label for column 'constraint' must be 'TRUE' or 'FALSE'.\n");
                    result = 3;
                    break;
                }
                seen_constraint = TRUE;
            } else if (strcmp(name, "NumberObs") == 0) {
                if (has_y && atof(cell) != (real)model->n[0])
                    nrwarning("NumberObs does not match with database.");
            } else if (k == 0) {
                fprintf(ofp, "WARNING: Label %s ignored.\n", name);
            }
        }
        if (result != 0)
            break;
        // With random error the variance read is the process variance; the
        // model keeps the total variance and the process share of it.
        if (error_variance > 0) {
            if (r->var_set && r->var != NA_VALUE && r->var >= 0) {
                real process = r->var;
                r->stochratio = process / (error_variance + process);
                r->stochratio_set = TRUE;
                r->var = process + error_variance;
            } else {
                fprintf(ofp, "ErrorVariance ignored since no StochasticProcess Variance present\n");
            }
        } else if (error_variance == 0.0 && r->var_set && r->var != NA_VALUE) {
            // No random error in this y-variable: the whole variance is the
            // process variance, whatever share the model held before.
            r->stochratio = 1.0;
            r->stochratio_set = TRUE;
        }
    }

    if (result == 0) {
        // Every column is optional: the file is read and used all the same,
        // so the command has not failed.
        if (!seen_variable)
            fprintf(ofp, "ERROR: No 'Variable' column. Cannot check variable names.");
        if (!ka->init)
            first_description(kr, ka, rows);
        KrigModel *models = *kr;
        if (random_error)
            RandomError = TRUE;
        boolean any_bound = seen_min || seen_max || seen_constraint;
        for (int k = 0; k < rows; k++) {
            DescriptionRow *r = &row[k];
            if (r->var_set) {
                models[k].var[0] = r->var;
                models[k].init.var = TRUE;
            }
            if (r->stochratio_set && models[k].stochratio[0] != r->stochratio) {
                // The correlation matrix and its decomposition hold the
                // old process share: computed again when next needed.
                models[k].stochratio[0] = r->stochratio;
                models[k].init.R = FALSE;
                models[k].init.U = FALSE;
            }
            if (r->loglike_set)
                models[k].loglike[0] = r->loglike;
            if (r->label_col >= 0)
                snprintf(models[k].ylabel, sizeof(string), "%s", t.cell[k][r->label_col]);
            if (any_bound) {
                ka->ydescrip[k][YDESC_MIN] = seen_min ? r->min : NA_VALUE;
                ka->ydescrip[k][YDESC_MAX] = seen_max ? r->max : NO_UPPER_BOUND;
                ka->ydescrip[k][YDESC_CONSTRAINT] = seen_constraint ? r->constraint : 0.0;
            }
        }
        if (any_bound) {
            ka->ydescrip_init = TRUE;
            if (!seen_min)
                nrinfo("Lower bounds on responses are assumed to be -infinity");
            if (!seen_max)
                nrinfo("Upper bounds on responses are assumed to be +infinity");
            if (!seen_constraint && t.cols > 1)
                nrinfo("Assuming that none of the responses is a constraint.");
        } else {
            ka->ydescrip_init = FALSE;
        }
        adjust_KrigArray(ka);
    }
    free(row);
    release(&t);
    return result;
}
