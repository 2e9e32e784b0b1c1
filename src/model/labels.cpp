// Labels and description tables built from the model array and the response
// set, and the range and constraint checks on the data.
#include "model/labels.h"

#include <cstdio>
#include <cstring>

#include "alloc/alloc.h"
#include "model/settings.h"
#include "numeric/matrix.h"
#include "numeric/nrerror.h"

namespace {

// Number of y-variables a table describes: p + c once the response set is
// sized, otherwise the single model given.
int table_rows(const KrigArray *ka)
{
    return (ka != NULL && ka->init) ? ka->p + ka->c : 1;
}

// "%f" of x, or "NA" when x is the missing-value marker `na`.
void real_or_na_cell(real x, real na, char *cell)
{
    if (x == na)
        snprintf(cell, STRING_LEN, "NA");
    else
        real_to_cell(x, cell);
}

// Writes prefix and name into a cell. When the two do not fit, the name is
// cut and "~k" appended (k = index + 1, the y-variable's position counted
// from 1): the label shows that it was shortened, and the labels of
// different y-variables cannot coincide even when their names agree in the
// part that is kept. Prefixes are short fixed texts; one that alone filled
// the cell would itself be cut.
void prefixed_label(const char *prefix, const char *name, int index, char *cell)
{
    int len = snprintf(cell, STRING_LEN, "%s%s", prefix, name);
    if (len <= MAX_FILE_WORD)
        return;
    char mark[16];
    int mark_len = snprintf(mark, sizeof mark, "~%d", index + 1);
    int room = MAX_FILE_WORD - (int)strlen(prefix) - mark_len;
    if (room < 0)
        room = 0;
    char shortened[2 * STRING_LEN + sizeof mark];
    snprintf(shortened, sizeof shortened, "%s%.*s%s", prefix, room, name, mark);
    snprintf(cell, STRING_LEN, "%.*s", MAX_FILE_WORD, shortened);
}

void text_cell(const char *text, char *cell)
{
    snprintf(cell, STRING_LEN, "%s", text);
}

// The row count of the regression and description tables, or -1 when there
// is nothing to show.
int described_rows(const KrigArray *ka, const KrigModel *kr)
{
    int rows = table_rows(ka);
    if (rows == 0 || strcmp(kr[0].ylabel, "EMPTY") == 0)
        return -1;
    if (rows < 0)
        nrerror("construct_ydescrip: Code bug , pc <0");
    return rows;
}

// Columns of the response-description table, in output order.
enum DescColumn { VARIABLE, LOGLIKE, PROCESS_VAR, ERROR_VAR, NUMBER_OBS, MIN, MAX, CONSTRAINT };

const int MAX_DESC_COLUMNS = 15;

} // namespace

int construct_ymat(const KrigModel *kr, const KrigArray *ka, real **ymat, char *label, int maxlabel)
{
    if (ka == NULL)
        nrerror("Code Bug construct_ymat : ka == NULL");
    int m = ka->p + ka->c;
    int n = kr[0].n[0];
    for (int i = 0; i < n; i++)
        for (int j = 0; j < m; j++)
            ymat[i][j] = kr[j].y[i];

    label[0] = '\0';
    int len = 0;
    for (int j = 0; j < m; j++) {
        int name_len = (int)strlen(kr[j].ylabel);
        if (len + name_len + 5 > maxlabel - 1)
            return 1;
        len += snprintf(label + len, (size_t)(maxlabel - len), "%s     ", kr[j].ylabel);
    }
    return 0;
}

void construct_cormat(const KrigModel *kr, const KrigArray *ka, string **cormat, string *names)
{
    int m = table_rows(ka);
    int d = kr[0].d[0];
    text_cell("Variable", names[0]);
    for (int j = 0; j < m; j++) {
        prefixed_label("Theta.", kr[j].ylabel, j, names[2 * j + 1]);
        prefixed_label("Alpha.", kr[j].ylabel, j, names[2 * j + 2]);
    }
    for (int i = 0; i < d; i++) {
        text_cell(kr[0].xlabel[i], cormat[i][0]);
        // Parameters not yet estimated are missing, not zero.
        for (int j = 0; j < m; j++) {
            if (kr[j].init.theta)
                real_to_cell(kr[j].theta[i], cormat[i][2 * j + 1]);
            else
                text_cell("NA", cormat[i][2 * j + 1]);
            if (kr[j].init.alpha)
                real_to_cell(kr[j].alpha[i], cormat[i][2 * j + 2]);
            else
                text_cell("NA", cormat[i][2 * j + 2]);
        }
    }
}

int construct_beta(const KrigArray *ka, const KrigModel *kr, string ***table, string **names, int *nrow,
                   int *ncol)
{
    int rows = described_rows(ka, kr);
    if (rows < 0)
        return 1;
    *nrow = rows;
    *ncol = 3;
    alloc(*ncol, names);
    text_cell("Variable", (*names)[0]);
    text_cell("Term", (*names)[1]);
    text_cell("Coefficients", (*names)[2]);

    alloc(rows, *ncol, table);
    for (int j = 0; j < rows; j++) {
        text_cell(kr[j].ylabel, (*table)[j][0]);
        text_cell("1", (*table)[j][1]);
        if (kr[j].init.beta)
            real_to_cell(kr[j].beta[0], (*table)[j][2]);
        else
            text_cell("NA", (*table)[j][2]);
    }
    return 0;
}

int construct_ydescrip(const KrigArray *ka, const KrigModel *kr, string ***table, string **names, int *nrow,
                       int *ncol)
{
    int rows = described_rows(ka, kr);
    if (rows < 0)
        return 1;

    // The columns that apply, decided from the first model and the set.
    DescColumn column[MAX_DESC_COLUMNS];
    string *name = NULL;
    alloc(MAX_DESC_COLUMNS, &name);
    int m = 0;
    column[m] = VARIABLE;
    text_cell("Variable", name[m++]);
    if (kr[0].loglike[0] != NA_VALUE) {
        column[m] = LOGLIKE;
        text_cell("LogLikelihood", name[m++]);
    }
    if (kr[0].init.var) {
        column[m] = PROCESS_VAR;
        text_cell("StochasticProcessVariance", name[m++]);
    }
    if (RandomError) {
        column[m] = ERROR_VAR;
        text_cell("ErrorVariance", name[m++]);
    }
    if (kr[0].init.y) {
        column[m] = NUMBER_OBS;
        text_cell("NumberObs", name[m++]);
    }
    if (ka != NULL && ka->ydescrip_init) {
        column[m] = MIN;
        text_cell("Min", name[m++]);
        column[m] = MAX;
        text_cell("Max", name[m++]);
        column[m] = CONSTRAINT;
        text_cell("Constraint", name[m++]);
    }
    if (m == 0) {
        frei(MAX_DESC_COLUMNS, &name);
        return 2;
    }
    morealloc(MAX_DESC_COLUMNS, &name, m);

    string **cell = NULL;
    alloc(rows, m, &cell);
    for (int j = 0; j < rows; j++) {
        const KrigModel *kj = &kr[j];
        for (int col = 0; col < m; col++) {
            char *out = cell[j][col];
            switch (column[col]) {
            case VARIABLE:
                text_cell(kj->ylabel, out);
                break;
            case LOGLIKE:
                real_or_na_cell(kj->loglike[0], NA_VALUE, out);
                break;
            case PROCESS_VAR:
                if (kj->var[0] == NA_VALUE)
                    text_cell("NA", out);
                else
                    real_to_cell(kj->stochratio[0] * kj->var[0], out);
                break;
            case ERROR_VAR:
                if (kj->var[0] == NA_VALUE)
                    text_cell("NA", out);
                else
                    real_to_cell((1.0 - kj->stochratio[0]) * kj->var[0], out);
                break;
            case NUMBER_OBS:
                snprintf(out, STRING_LEN, "%d", kj->n[0]);
                break;
            case MIN:
                real_or_na_cell(ka->ydescrip[j][YDESC_MIN], NA_VALUE, out);
                break;
            case MAX:
                real_or_na_cell(ka->ydescrip[j][YDESC_MAX], NO_UPPER_BOUND, out);
                break;
            case CONSTRAINT:
                if (ka->ydescrip[j][YDESC_CONSTRAINT] == 0.0)
                    text_cell("FALSE", out);
                else if (ka->ydescrip[j][YDESC_CONSTRAINT] == 1.0)
                    text_cell("TRUE", out);
                else
                    nrerror("construct_ydescrip : Code BUG, ka->ydescrip!=0 or 1");
                break;
            }
        }
    }
    *table = cell;
    *names = name;
    *nrow = rows;
    *ncol = m;
    return 0;
}

void label_suffix(const KrigModel *kr, int m, int k, string *labels)
{
    for (int i = k; i < m * k; i++)
        text_cell(labels[i % k], labels[i]);
    for (int i = 0; i < m * k; i++) {
        // The base is copied aside: the cell is both source and target.
        string base;
        text_cell(labels[i], base);
        char prefix[STRING_LEN + 1];
        snprintf(prefix, sizeof prefix, "%s.", base);
        prefixed_label(prefix, kr[i / k].ylabel, i / k, labels[i]);
    }
}

void assemble_ylab(const KrigArray *ka, const KrigModel *kr, string *labels)
{
    if (ka == NULL)
        nrerror("Code Bug assemble_ylab : ka == NULL");
    int m = ka->p + ka->c;
    for (int j = 0; j < m; j++)
        text_cell(kr[j].ylabel, labels[j]);
}

int test_X_in_range(int n, int d, real **X, real **range)
{
    for (int i = 0; i < n; i++)
        for (int k = 0; k < d; k++)
            if (X[i][k] < range[k][0] || X[i][k] > range[k][1])
                return 1;
    return 0;
}

int check_constraints(int n, int m, real **y, real **ydescrip)
{
    for (int i = 0; i < n; i++) {
        for (int j = 0; j < m; j++) {
            if (ydescrip[j][YDESC_CONSTRAINT] != 1.0)
                continue;
            if (y[i][j] == NA_VALUE)
                nrerror("ERROR : y contains NA values when checked for constraints");
            if (ydescrip[j][YDESC_MIN] != NA_VALUE && y[i][j] < ydescrip[j][YDESC_MIN])
                return 1;
            if (ydescrip[j][YDESC_MAX] != NA_VALUE && y[i][j] > ydescrip[j][YDESC_MAX])
                return 1;
        }
    }
    return 0;
}
