// The objects of an analysis moved in and out: read from a file into the
// model records, written to a file, or shown on the report.
#include "matfile/objects.h"

#include <cstdio>
#include <cstring>

#include "alloc/alloc.h"
#include "matfile/readdesign.h"
#include "matfile/readmat.h"
#include "matfile/readmodel.h"
#include "matfile/writemat.h"
#include "model/krigmodel.h"
#include "model/labels.h"
#include "model/reports.h"
#include "numeric/nrerror.h"

namespace {

boolean is_one_of(const char *name, const char *const *names)
{
    for (; *names != NULL; names++)
        if (strcmp(name, *names) == 0)
            return TRUE;
    return FALSE;
}

const char *const x_names[] = {"X", NULL};
const char *const y_names[] = {"y", "Y", NULL};
const char *const r_names[] = {"R", NULL};
const char *const f_names[] = {"F", NULL};
const char *const beta_names[] = {"beta", "RegressionModel", NULL};
const char *const range_names[] = {"range", "XDescription", "xdescription", NULL};
const char *const corpar_names[] = {"corpar", "StochasticProcessModel", NULL};
const char *const ydescrip_names[] = {"summary", "Summary", "YDescription", "ydescrip", "yDescription", NULL};

boolean needs(const KrigModel *kr, const char *a, const char *b = NULL)
{
    return initialized(&kr->init, a, b, NULL, NULL, NULL, TRUE);
}

// The longest data or header line the matrix reader accepts, newline included.
const int READABLE_LINE = 148;

// The longest data line of the n x m matrix written as one block: the row
// number, the cells (a value with many digits overflows its 12-character
// field) and the closing blank and newline.
int widest_row(int n, int m, real **matrix)
{
    int widest = 0;
    for (int i = 0; i < n; i++) {
        int len = snprintf(NULL, 0, " %4d ", i + 1) + 2;
        for (int j = 0; j < m; j++) {
            char cell[CELL_BUF];
            file_cell(matrix[i][j], cell, sizeof cell);
            len += (int)strlen(cell);
        }
        if (len > widest)
            widest = len;
    }
    return widest;
}

// The report shows the numbers of a table as it always has, with six
// decimals ("%f", or the exponent form when that is too long for a cell);
// the table itself holds every number with the digits it needs to read back
// exactly, which is what files keep. Cells of integers and texts stay, and
// so does the first column, which names the rows (a name may look like a
// number).
void as_screen_numbers(int rows, int cols, string **table)
{
    for (int i = 0; i < rows; i++)
        for (int j = 1; j < cols; j++) {
            char *cell = table[i][j];
            real value;
            if (strpbrk(cell, ".eE") == NULL || str_to_real(cell, &value) != 0)
                continue;
            if (snprintf(cell, STRING_LEN, "%f", value) > MAX_FILE_WORD)
                snprintf(cell, STRING_LEN, "%.15e", value);
        }
}

void object_x(KrigModel *kr, KrigArray *ka, int action, const char *filename)
{
    if (action == ACTION_READ) {
        read_x(kr, ka, filename);
        return;
    }
    if (!needs(kr, "X"))
        return;
    if (action == ACTION_PRINT) {
        printvecs(kr->d[0], kr->xlabel, "Labels:");
        printmatr(kr->n[0], kr->d[0], kr->X, "X:");
    } else {
        outputmatr(kr->n[0], kr->d[0], kr->X, filename, kr->xlabel, NULL, "X Matrix", "w");
    }
}

// The responses of all y-variables side by side. The header is the line of
// their names; when that header or the rows would be too wide for the
// matrix reader, the names become column names instead (blocks of columns),
// so that the file can always be read back.
void object_y(KrigModel **kr, KrigArray *ka, int action, const char *filename)
{
    KrigModel *first = &(*kr)[0];
    if (action == ACTION_READ) {
        if (needs(first, "X"))
            read_y(kr, ka, filename);
        return;
    }
    if (!needs(first, "y", "X"))
        return;
    int n = first->n[0];
    if (ka == NULL) {
        if (action == ACTION_PRINT) {
            fprintf(ofp, "y Label: %s\n", first->ylabel);
            printvecr(n, first->y, "y:");
        } else {
            outputvecr(n, first->y, filename, first->ylabel, "y Matrix", "w");
        }
        return;
    }
    int m = ka->p + ka->c;
    real **ymat = NULL;
    alloc(n, m, &ymat);
    char label[150];
    boolean fits = construct_ymat(*kr, ka, ymat, label, (int)sizeof label) == 0;
    if (action == ACTION_PRINT) {
        fprintf(ofp, "y Label: ");
        for (int j = 0; j < m; j++)
            fprintf(ofp, "%s     ", (*kr)[j].ylabel);
        fprintf(ofp, "\n");
        printmatr(n, m, ymat, "y:");
    } else {
        boolean readable = fits && 6 + (int)strlen(label) + 1 <= READABLE_LINE &&
                           widest_row(n, m, ymat) <= READABLE_LINE;
        if (readable) {
            outputmatr(n, m, ymat, filename, NULL, label, "y Matrix", "w");
        } else {
            string *names = NULL;
            alloc(m, &names);
            assemble_ylab(ka, *kr, names);
            outputmatr(n, m, ymat, filename, names, NULL, "y Matrix", "w");
            frei(m, &names);
        }
    }
    frei(n, m, &ymat);
}

void object_r(KrigModel *kr, int action, const char *filename)
{
    if (action == ACTION_READ) {
        refuse("Sorry, can't read that .. \n");
        return;
    }
    if (!needs(kr, "R"))
        return;
    int n = kr->n[0];
    if (action == ACTION_PRINT) {
        printmatr(n, n, kr->R, "R:");
        return;
    }
    // Column j holds the correlations with observation j.
    string *names = NULL;
    alloc(n, &names);
    for (int j = 0; j < n; j++)
        snprintf(names[j], sizeof(string), "Obs.%d", j + 1);
    outputmatr(n, n, kr->R, filename, names, NULL, "Correlation Matrix", "w");
    frei(n, &names);
}

void object_f(KrigModel *kr, int action, const char *filename)
{
    if (action == ACTION_READ) {
        refuse("Sorry, can't read that .. \n");
        return;
    }
    if (!needs(kr, "F"))
        return;
    if (action == ACTION_PRINT)
        printmatr(kr->n[0], kr->r[0], kr->F, "F:");
    else
        outputmatr(kr->n[0], kr->r[0], kr->F, filename, NULL, "F", "F Matrix", "w");
}

// Regression and description tables: built, shown or written, released.
typedef int (*TableBuilder)(const KrigArray *, const KrigModel *, string ***, string **, int *, int *);

void object_table(KrigModel *kr, KrigArray *ka, int action, const char *filename, TableBuilder build,
                  const char *nothing, const char *title)
{
    string **table = NULL;
    string *names = NULL;
    int rows = 0, cols = 0;
    if (build(ka, kr, &table, &names, &rows, &cols) != 0) {
        refuse("%s", nothing);
        return;
    }
    if (action == ACTION_PRINT) {
        printvecs(cols, names, "");
        as_screen_numbers(rows, cols, table);
        printmats(rows, cols, table, "");
    } else {
        outputmats(rows, cols, table, filename, names, NULL, title, "w");
    }
    frei(rows, cols, &table);
    frei(cols, &names);
}

void object_range(KrigModel *kr, KrigArray *ka, int action, const char *filename)
{
    if (action == ACTION_READ) {
        if (needs(kr, "X"))
            read_xdescrip(kr, ka, filename);
        return;
    }
    if (!needs(kr, "range"))
        return;
    if (action == ACTION_PRINT)
        printmatr(kr->d[0], 2, kr->range, "range:");
    else
        output_range(kr, filename, "XDescription");
}

void object_corpar(KrigModel *kr, KrigArray *ka, int action, const char *filename)
{
    if (action == ACTION_READ) {
        if (needs(kr, "X", "y"))
            read_corpar(kr, ka, filename);
        return;
    }
    if (!needs(kr, "theta", "alpha"))
        return;
    const KrigArray *set = (ka != NULL && ka->init) ? ka : NULL;
    int m = set != NULL ? set->p + set->c : 1;
    int d = kr->d[0];
    string **table = NULL;
    string *names = NULL;
    alloc(d, 2 * m + 1, &table);
    alloc(2 * m + 1, &names);
    construct_cormat(kr, set, table, names);
    if (action == ACTION_PRINT)
        as_screen_numbers(d, 2 * m + 1, table);
    outputmats_cover(d, 2 * m + 1, table, filename, names, "CorrelationParameters");
    frei(2 * m + 1, &names);
    frei(d, 2 * m + 1, &table);
}

} // namespace

void menu_print(KrigModel **kr, KrigArray *ka, int action, const char *object, const char *filename)
{
    if (action == ACTION_READ && ka == NULL)
        nrerror("menu_print: Code Bug , ka==NULL");
    KrigModel *first = &(*kr)[0];
    if (is_one_of(object, x_names)) {
        object_x(first, ka, action, filename);
    } else if (is_one_of(object, y_names)) {
        object_y(kr, ka, action, filename);
    } else if (is_one_of(object, r_names)) {
        object_r(first, action, filename);
    } else if (is_one_of(object, f_names)) {
        object_f(first, action, filename);
    } else if (is_one_of(object, beta_names)) {
        if (action == ACTION_READ)
            read_beta(kr, ka, filename);
        else
            object_table(first, ka, action, filename, construct_beta,
                         "Sorry, there are no RegressionCoefficients.\n", "RegressionModel");
    } else if (is_one_of(object, range_names)) {
        object_range(first, ka, action, filename);
    } else if (is_one_of(object, corpar_names)) {
        object_corpar(first, ka, action, filename);
    } else if (is_one_of(object, ydescrip_names)) {
        if (action == ACTION_READ)
            read_ydescrip(kr, ka, filename);
        else
            object_table(first, ka, action, filename, construct_ydescrip,
                         "Sorry, there are no response variables.\n", "YDescription");
    } else {
        fprintf(stderr, "%s\n", object);
        nrerror("menu_print: Code Bug, unknown object");
    }
}
