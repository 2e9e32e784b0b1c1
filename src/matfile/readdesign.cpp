// Readers of the design, the responses and the input ranges.
#include "matfile/readdesign.h"

#include <cstdio>
#include <cstring>

#include "alloc/alloc.h"
#include "matfile/readmat.h"
#include "model/krigmodel.h"
#include "model/labels.h"
#include "numeric/matrix.h"
#include "numeric/nrerror.h"

int PtsOutOfRange = 0;

namespace {

void release(int n, int m, real ***mat, string **labels)
{
    if (*mat != NULL)
        frei(n, m, mat);
    if (*labels != NULL)
        frei(m, labels);
}

void release(int n, int m, string ***mat, string **labels)
{
    if (*mat != NULL)
        frei(n, m, mat);
    if (*labels != NULL)
        frei(m, labels);
}

// Tests the first record's design against its ranges and remembers the
// outcome in PtsOutOfRange.
void range_test(KrigModel *kr)
{
    if (test_X_in_range(kr->n[0], kr->d[0], kr->X, kr->range)) {
        fprintf(ofp, "WARNING: Not all x elements are within range limits.\n");
        PtsOutOfRange = 1;
    } else {
        PtsOutOfRange = 0;
    }
}

// Brings one record to newn runs and newd inputs and stores the design in
// it. Objects whose shape depends on the number of inputs (ranges,
// correlation parameters) or on the number of runs (responses) no longer
// describe the new design and lose their validity; the correlation matrix
// and its decomposition are always stale.
void store_design(KrigModel *kr, int newn, int newd, real **X, const string *xlabel)
{
    int n = kr->n[0], d = kr->d[0], r = kr->r[0];
    if (newd != d) {
        morealloc(d, 2, &kr->range, newd, 2);
        morealloc(d, &kr->alpha, newd);
        morealloc(d, &kr->theta, newd);
        morealloc(d, &kr->xlabel, newd);
        for (int k = 0; k < newd; k++) {
            kr->alpha[k] = 0.0;
            kr->theta[k] = 0.0;
        }
        kr->init.alpha = FALSE;
        kr->init.theta = FALSE;
        kr->init.range = FALSE;
    }
    if (newn != n) {
        morealloc(n, &kr->y, newn);
        morealloc(n, n, &kr->R, newn, newn);
        morealloc(n, r, &kr->F, newn, r);
        morealloc(n + r, n + r, &kr->U, newn + r, newn + r);
        morealloc(n + r, &kr->eigval, newn + r);
        morealloc(n + r, &kr->eigvalinv, newn + r);
        kr->init.y = FALSE;
        kr->init.F = FALSE;
    }
    if (newn != n || newd != d)
        morealloc(n, d, &kr->X, newn, newd);
    kr->d[0] = newd;
    kr->n[0] = newn;
    kr->init.d = TRUE;
    kr->init.n = TRUE;
    copy_real_matrix(newn, newd, X, kr->X);
    copy_string(newd, xlabel, kr->xlabel);
    kr->init.X = TRUE;
    kr->init.R = FALSE;
    kr->init.U = FALSE;
}

} // namespace

int read_x(KrigModel *kr, KrigArray *ka, const char *filename)
{
    real **mat = NULL;
    string *labels = NULL;
    int newn = 0, newm = 0;
    if (read_matrix(0, 0, &mat, &newn, &newm, filename, &labels) != 0) {
        release(newn, newm, &mat, &labels);
        return 10;
    }
    boolean had_ranges = kr->init.range;
    boolean had_y = kr->init.y;
    int count = ka != NULL ? model_count(ka) : 1;
    for (int i = 0; i < count; i++)
        store_design(&kr[i], newn, newm, mat, labels);
    release(newn, newm, &mat, &labels);

    if (had_ranges && !kr->init.range)
        nrwarning("The number of x variables has changed: XDescription must be read again.");
    if (had_y && !kr->init.y)
        nrwarning("The number of observations has changed: y must be read again.");
    if (kr->init.range)
        range_test(kr);
    return 0;
}

int read_y(KrigModel **kr, KrigArray *ka, const char *filename)
{
    if ((*kr)[0].init.y)
        nrwarning("You already have a y matrix. Old y-matrix will be overread.\n");

    real **mat = NULL;
    string *labels = NULL;
    int newn = 0, newm = 0;
    if (read_matrix(0, 0, &mat, &newn, &newm, filename, &labels) != 0) {
        release(newn, newm, &mat, &labels);
        return 4;
    }
    int n = (*kr)[0].n[0];
    if (newn != n) {
        refuse("ERROR: Number of rows does not match with database. Matrix ignored.\n");
        release(newn, newm, &mat, &labels);
        return 6;
    }
    if (newm < 1)
        nrerror("read_y: Code bug newm<=0");

    if (ka->init) {
        int count = ka->p + ka->c;
        for (int j = 0; j < newm && j < count; j++) {
            if (strcmp(labels[j], (*kr)[j].ylabel) != 0) {
                refuse("ERROR: The variable names do not match with earlier variable names.\n");
                release(newn, newm, &mat, &labels);
                return 9;
            }
            (*kr)[j].n[0] = newn;
            (*kr)[j].init.n = TRUE;
        }
        if (newm != count) {
            refuse("ERROR: Number of columns does not match with database. Matrix ignored.\n");
            release(newn, newm, &mat, &labels);
            return 7;
        }
    } else {
        change_krig_p(ka, kr, newm);
        KrigModel *first = &(*kr)[0];
        for (int j = 1; j < newm; j++)
            init_KrigModel(&(*kr)[j], first->n[0], first->d[0], first->r[0]);
    }

    KrigModel *models = *kr;
    for (int j = 1; j < newm; j++)
        copy_KrigModel(&models[0], &models[j]);
    for (int j = 0; j < newm; j++) {
        snprintf(models[j].ylabel, sizeof(string), "%s", labels[j]);
        for (int i = 0; i < n; i++)
            models[j].y[i] = mat[i][j];
        models[j].init.y = TRUE;
    }
    release(newn, newm, &mat, &labels);
    return 0;
}

int read_xdescrip(KrigModel *kr, KrigArray *ka, const char *filename)
{
    string **mat = NULL;
    string *labels = NULL;
    int rows = 0, cols = 0;
    if (read_matrix(0, 0, &mat, &rows, &cols, filename, &labels) != 0) {
        release(rows, cols, &mat, &labels);
        return 4;
    }
    int d = kr->d[0];
    if (kr->init.X && rows != d) {
        refuse("ERROR: Number of columns in matrix does not match number of x variables\n");
        release(rows, cols, &mat, &labels);
        return 4;
    }
    // Without a design the file sets as many ranges as both sides have.
    int nvar = rows < d ? rows : d;

    // Every check comes before anything is stored, so that a refused file
    // leaves the ranges as they were.
    boolean seen_min = FALSE, seen_max = FALSE, seen_variable = FALSE;
    for (int j = 0; j < cols; j++) {
        const char *name = labels[j];
        boolean is_min = strcmp(name, "Min") == 0 || strcmp(name, "min") == 0;
        boolean is_max = strcmp(name, "Max") == 0 || strcmp(name, "max") == 0;
        boolean is_variable = strcmp(name, "Variable") == 0 || strcmp(name, "variable") == 0;
        seen_min |= is_min;
        seen_max |= is_max;
        seen_variable |= is_variable;
        for (int k = 0; k < nvar; k++) {
            real value;
            if ((is_min || is_max) && str_to_real(mat[k][j], &value) != 0) {
                refuse("ERROR: Some of the input data is not numeric where it ought to be.\n");
                release(rows, cols, &mat, &labels);
                return 1;
            }
            if (is_variable && strcmp(mat[k][j], kr->xlabel[k]) != 0) {
                refuse("ERROR: Variables in matrix are not in same order as in x matrix\n");
                release(rows, cols, &mat, &labels);
                return 1;
            }
        }
    }

    if (seen_min && seen_max) {
        for (int j = 0; j < cols; j++) {
            int side = -1;
            if (strcmp(labels[j], "Min") == 0 || strcmp(labels[j], "min") == 0)
                side = 0;
            else if (strcmp(labels[j], "Max") == 0 || strcmp(labels[j], "max") == 0)
                side = 1;
            if (side < 0)
                continue;
            for (int k = 0; k < nvar; k++)
                str_to_real(mat[k][j], &kr->range[k][side]);
        }
        kr->init.range = TRUE;
    } else {
        nrwarning("'Min' or/and  'Max' column are missing. Command ignored.");
    }
    if (!seen_variable)
        nrwarning("Assuming xdescription contains variables in same order as x matrix");
    if (kr->init.X && kr->init.range)
        range_test(kr);
    if (ka->init && kr->init.range) {
        for (int i = 1; i < ka->p + ka->c; i++) {
            copy_real_matrix(d, 2, kr->range, kr[i].range);
            kr[i].init.range = TRUE;
        }
    }
    release(rows, cols, &mat, &labels);
    return 0;
}
