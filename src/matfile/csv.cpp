// Matrix files as CSV: the reader (both cell kinds) and the writers called by
// the matrix writers for names that end in ".csv".
#include "matfile/csv.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "alloc/alloc.h"
#include "matfile/readmat.h"
#include "numeric/nrerror.h"
#include "numeric/numtext.h"

namespace {

// Rows are allocated in steps that double, starting here.
const int FIRST_ROWS = 16;

// The cells of one line, split in place in the line's buffer.
struct CsvLine {
    char *text;   // the line, cut into cells in place
    size_t cap;   // its allocated size
    char **cell;  // the start of every cell, each terminated
    int count;    // cells found
    int cell_cap; // entries of `cell`
    int number;   // physical line number from 1
};

// Reads the next physical line without its line end (LF, CRLF or a last
// line without one) into the line's buffer, which grows as needed. Returns
// its length, -1 at the end of the file, -2 for a line holding a NUL byte.
long next_line(FILE *fp, CsvLine *l)
{
    size_t len = 0;
    boolean nul = FALSE;
    int c;
    while ((c = getc_unlocked(fp)) != EOF && c != '\n') {
        if (len + 1 >= l->cap) {
            size_t cap = l->cap == 0 ? 256 : 2 * l->cap;
            char *text = (char *)realloc(l->text, cap);
            if (text == NULL)
                nrerror("read_csv: no memory for a line");
            l->text = text;
            l->cap = cap;
        }
        if (c == '\0')
            nul = TRUE;
        l->text[len++] = (char)c;
    }
    if (c == EOF && len == 0)
        return -1;
    if (l->cap == 0) {
        l->text = (char *)realloc(l->text, 1);
        if (l->text == NULL)
            nrerror("read_csv: no memory for a line");
        l->cap = 1;
    }
    l->text[len] = '\0';
    l->number++;
    if (nul)
        return -2;
    if (len > 0 && l->text[len - 1] == '\r')
        l->text[--len] = '\0';
    return (long)len;
}

boolean is_blank(char c) { return c == ' ' || c == '\t'; }

boolean blank_line(const char *text)
{
    while (is_blank(*text))
        text++;
    return *text == '\0';
}

void add_cell(CsvLine *l, char *start)
{
    if (l->count == l->cell_cap) {
        l->cell_cap = l->cell_cap == 0 ? 16 : 2 * l->cell_cap;
        l->cell = (char **)realloc(l->cell, (size_t)l->cell_cap * sizeof(char *));
        if (l->cell == NULL)
            nrerror("read_csv: no memory for the cells of a line");
    }
    l->cell[l->count++] = start;
}

// Splits the line into its cells, in place: blanks around a cell dropped,
// quotes removed ("" stands for one quote inside a quoted cell). Returns 0,
// or 1 for a quote that is not closed, 2 for text after a closing quote.
int split_cells(CsvLine *l)
{
    l->count = 0;
    char *p = l->text;
    for (;;) {
        while (is_blank(*p))
            p++;
        char *out = p;
        add_cell(l, out);
        if (*p == '"') {
            p++;
            for (;;) {
                if (*p == '\0')
                    return 1;
                if (*p == '"') {
                    if (p[1] != '"')
                        break;
                    p++;
                }
                *out++ = *p++;
            }
            p++; // the closing quote
            while (is_blank(*p))
                p++;
            if (*p != ',' && *p != '\0')
                return 2;
        } else {
            while (*p != ',' && *p != '\0')
                *out++ = *p++;
            while (out > l->cell[l->count - 1] && is_blank(out[-1]))
                out--;
        }
        char end = *p;
        *out = '\0';
        if (end == '\0')
            return 0;
        p++; // the comma
    }
}

// A name or text cell the matrix format can hold: at most MAX_FILE_WORD
// characters, none of them a blank, tab, '#', '<', '>' or '='.
const char *word_fault(const char *text)
{
    if (strlen(text) > (size_t)MAX_FILE_WORD)
        return "is longer than 28 characters";
    if (strpbrk(text, " \t#<>=") != NULL)
        return "holds a blank, a tab or one of # < > =";
    return NULL;
}

boolean is_case_label(const char *name)
{
    return strcmp(name, "Case") == 0 || strcmp(name, "case") == 0 || strcmp(name, "CASE") == 0;
}

// A real cell: a number, or NA. 0, or 11 with the reason in *why.
int store_cell(real &cell, const char *text, boolean *na_seen, const char **why)
{
    if (*text == '\0') {
        *why = "an empty cell (NA marks a missing value)";
        return 11;
    }
    if (str_to_real(text, &cell) == 0)
        return 0;
    if (strcmp(text, "NA") == 0 || strcmp(text, "na") == 0) {
        cell = NA_VALUE;
        *na_seen = TRUE;
        return 0;
    }
    *why = NULL;
    return 11;
}

// A text cell: kept as it stands when the matrix format can hold it.
int store_cell(string &cell, const char *text, boolean *na_seen, const char **why)
{
    (void)na_seen;
    *why = word_fault(text);
    if (*why != NULL)
        return 2;
    snprintf(cell, sizeof(string), "%s", text);
    return 0;
}

// The storage of one read.
template <typename Cell> struct CsvRead {
    const char *filename;
    Cell **mat;
    string *labels;
    int rows;     // rows read
    int row_cap;  // rows allocated
    int cols;     // columns kept
    int skip;     // 1 when the first column is a case column, else 0
    CsvLine line;
};

template <typename Cell> void release(CsvRead<Cell> &r)
{
    if (r.mat != NULL)
        frei(r.row_cap, r.cols, &r.mat);
    if (r.labels != NULL)
        frei(r.cols, &r.labels);
    r.row_cap = r.rows = r.cols = 0;
}

// Reports a fault of the current line and returns its code.
template <typename Cell> int line_fault(CsvRead<Cell> &r, int code, long status)
{
    if (status == -2)
        fprintf(ofp, "ERROR: Line %d of %s holds a NUL byte.\n", r.line.number, r.filename);
    else if (code == 1)
        fprintf(ofp, "ERROR: A quote is not closed in line %d of %s (a cell cannot span lines).\n",
                r.line.number, r.filename);
    else
        fprintf(ofp, "ERROR: Text follows the closing quote of a cell in line %d of %s.\n", r.line.number,
                r.filename);
    return 2;
}

// The next line that is not blank, split into cells: its cell count, 0 at
// the end of the file, or -code after a fault (message written).
template <typename Cell> int next_record(FILE *fp, CsvRead<Cell> &r)
{
    for (;;) {
        long status = next_line(fp, &r.line);
        if (status == -1)
            return 0;
        if (status == -2)
            return -line_fault(r, 2, status);
        if (r.line.number == 1 && strncmp(r.line.text, "\xEF\xBB\xBF", 3) == 0)
            memmove(r.line.text, r.line.text + 3, strlen(r.line.text + 3) + 1);
        if (blank_line(r.line.text))
            continue;
        int split = split_cells(&r.line);
        if (split != 0)
            return -line_fault(r, split, 0);
        return r.line.count;
    }
}

template <typename Cell> int read_header(FILE *fp, CsvRead<Cell> &r)
{
    int count = next_record(fp, r);
    if (count < 0)
        return -count;
    if (count == 0) {
        fprintf(ofp, "ERROR: There is no header line with variable names.\n\t%s is empty: a CSV file begins "
                     "with a line of column names.\n",
                r.filename);
        return 9;
    }
    r.skip = is_case_label(r.line.cell[0]) ? 1 : 0;
    if (count - r.skip == 0) {
        fprintf(ofp, "ERROR: There are no columns in header\n\tline %d of %s.\n", r.line.number, r.filename);
        return 4;
    }
    for (int j = r.skip; j < count; j++) {
        const char *name = r.line.cell[j];
        if (*name == '\0') {
            fprintf(ofp, "ERROR: Column %d of the header line (line %d) of %s has no name.\n", j + 1,
                    r.line.number, r.filename);
            return 4;
        }
        const char *why = word_fault(name);
        if (why != NULL) {
            fprintf(ofp, "ERROR: The name \"%.60s\" in line %d of %s %s.\n", name, r.line.number, r.filename,
                    why);
            return 2;
        }
    }
    r.cols = count - r.skip;
    alloc(r.cols, &r.labels);
    for (int j = 0; j < r.cols; j++)
        snprintf(r.labels[j], sizeof(string), "%s", r.line.cell[r.skip + j]);
    return 0;
}

template <typename Cell> void grow_rows(CsvRead<Cell> &r)
{
    if (r.row_cap == 0) {
        alloc(FIRST_ROWS, r.cols, &r.mat);
        r.row_cap = FIRST_ROWS;
    } else {
        morealloc(r.row_cap, r.cols, &r.mat, 2 * r.row_cap, r.cols);
        r.row_cap *= 2;
    }
}

template <typename Cell> int read_rows(FILE *fp, CsvRead<Cell> &r, boolean *na_seen)
{
    int header_cells = r.cols + r.skip;
    for (;;) {
        int count = next_record(fp, r);
        if (count < 0)
            return -count;
        if (count == 0)
            break;
        if (count != header_cells) {
            fprintf(ofp, "ERROR: Too few or too many entries in a row \n\tline %d of %s has %d cells where the header line "
                         "has %d.\n",
                    r.line.number, r.filename, count, header_cells);
            return 3;
        }
        if (r.rows == r.row_cap)
            grow_rows(r);
        for (int j = 0; j < r.cols; j++) {
            const char *text = r.line.cell[r.skip + j];
            const char *why = NULL;
            int code = store_cell(r.mat[r.rows][j], text, na_seen, &why);
            if (code == 0)
                continue;
            if (code == 11)
                fprintf(ofp, "ERROR: Some of the Data cannot be interpreted as a number\n");
            if (why != NULL)
                fprintf(ofp, "\tline %d of %s, column %d (%s): %s.\n", r.line.number, r.filename, j + 1 + r.skip,
                        r.labels[j], why);
            else
                fprintf(ofp, "\tline %d of %s, column %d (%s): \"%.60s\".\n", r.line.number, r.filename,
                        j + 1 + r.skip, r.labels[j], text);
            return code;
        }
        r.rows++;
    }
    if (r.rows == 0) {
        fprintf(ofp, "ERROR: There are is no data in matrix\n\t%s has a header line but no rows.\n", r.filename);
        return 5;
    }
    if (r.rows != r.row_cap) {
        morealloc(r.row_cap, r.cols, &r.mat, r.rows, r.cols);
        r.row_cap = r.rows;
    }
    return 0;
}

template <typename Cell>
int read_any(const char *filename, Cell ***mat, int *rows, int *cols, string **labels, boolean *na_seen)
{
    CsvRead<Cell> r;
    r.filename = filename;
    r.mat = NULL;
    r.labels = NULL;
    r.rows = r.row_cap = r.cols = r.skip = 0;
    r.line.text = NULL;
    r.line.cap = 0;
    r.line.cell = NULL;
    r.line.count = r.line.cell_cap = r.line.number = 0;
    *na_seen = FALSE;

    int code;
    FILE *fp = fopen(filename, "r");
    if (fp == NULL) {
        fprintf(ofp, "ERROR: Can't open this file. Does it exist?\n");
        code = 1;
    } else {
        code = read_header(fp, r);
        if (code == 0)
            code = read_rows(fp, r, na_seen);
        fclose(fp);
    }
    free(r.line.text);
    free(r.line.cell);
    if (code != 0) {
        release(r);
        *na_seen = FALSE;
    }
    *mat = r.mat;
    *labels = r.labels;
    *rows = r.rows;
    *cols = r.cols;
    return code;
}

// A cell written as it stands, or quoted when it holds a comma, a quote, a
// line end or blanks at either end.
void put_text(FILE *fp, const char *text)
{
    size_t len = strlen(text);
    boolean quote = strpbrk(text, ",\"\r\n") != NULL || (len > 0 && (is_blank(text[0]) || is_blank(text[len - 1])));
    if (!quote) {
        fputs(text, fp);
        return;
    }
    fputc('"', fp);
    for (const char *p = text; *p != '\0'; p++) {
        if (*p == '"')
            fputc('"', fp);
        fputc(*p, fp);
    }
    fputc('"', fp);
}

void put_number(FILE *fp, real value)
{
    if (value == NA_VALUE) {
        fputs("NA", fp);
        return;
    }
    char text[64];
    exact_real_text(value, "%g", text, sizeof text);
    fputs(text, fp);
}

// Puts the blank-separated words of text as cells, each after a comma except
// the very first of the line (*first). Returns the number of words.
int put_words(FILE *fp, const char *text, boolean *first)
{
    int words = 0;
    const char *p = text;
    for (;;) {
        while (is_blank(*p))
            p++;
        if (*p == '\0')
            return words;
        size_t len = strcspn(p, " \t");
        char word[STRING_LEN * 8];
        snprintf(word, sizeof word, "%.*s", (int)(len < sizeof word ? len : sizeof word - 1), p);
        if (!*first)
            fputc(',', fp);
        *first = FALSE;
        put_text(fp, word);
        words++;
        p += len;
    }
}

int count_words(const char *text)
{
    int words = 0;
    for (const char *p = text; *p != '\0';) {
        while (is_blank(*p))
            p++;
        if (*p == '\0')
            break;
        words++;
        p += strcspn(p, " \t");
    }
    return words;
}

void write_header(FILE *fp, int m, const string *varnames, const char *varnames2)
{
    boolean first = TRUE;
    if (varnames != NULL) {
        for (int j = 0; j < m; j++) {
            if (!first)
                fputc(',', fp);
            first = FALSE;
            put_text(fp, varnames[j]);
        }
    } else if (varnames2 != NULL && count_words(varnames2) == m) {
        put_words(fp, varnames2, &first);
    } else {
        for (int j = 0; j < m; j++)
            fprintf(fp, j == 0 ? "V%d" : ",V%d", j + 1);
    }
    fputc('\n', fp);
}

} // namespace

boolean is_csv_file(const char *filename)
{
    size_t len = strlen(filename);
    return len > 4 && strcasecmp(filename + len - 4, ".csv") == 0;
}

int read_csv(const char *filename, real ***mat, int *rows, int *cols, string **labels, boolean *na_seen)
{
    return read_any(filename, mat, rows, cols, labels, na_seen);
}

int read_csv(const char *filename, string ***mat, int *rows, int *cols, string **labels, boolean *na_seen)
{
    return read_any(filename, mat, rows, cols, labels, na_seen);
}

boolean csv_needs_header(FILE *fp, const char *mode)
{
    if (mode == NULL || strcmp(mode, "a") != 0)
        return TRUE;
    if (fseek(fp, 0, SEEK_END) != 0)
        return TRUE;
    return ftell(fp) == 0;
}

void write_csv(FILE *fp, int n, int m, real **matrix, const string *varnames, const char *varnames2,
               boolean header)
{
    if (header)
        write_header(fp, m, varnames, varnames2);
    for (int i = 0; i < n; i++) {
        for (int j = 0; j < m; j++) {
            if (j > 0)
                fputc(',', fp);
            put_number(fp, matrix[i][j]);
        }
        fputc('\n', fp);
    }
}

void write_csv(FILE *fp, int n, int m, string **matrix, const string *varnames, const char *varnames2,
               boolean header)
{
    if (header) {
        int cells = n > 0 ? 0 : m;
        for (int j = 0; n > 0 && j < m; j++)
            cells += count_words(matrix[0][j]);
        if (varnames == NULL && varnames2 != NULL && count_words(varnames2) == cells) {
            boolean first = TRUE;
            put_words(fp, varnames2, &first);
            fputc('\n', fp);
        } else {
            write_header(fp, m, varnames, varnames2);
        }
    }
    for (int i = 0; i < n; i++) {
        boolean first = TRUE;
        for (int j = 0; j < m; j++)
            if (put_words(fp, matrix[i][j], &first) == 0) {
                // An empty cell stays a cell.
                if (!first)
                    fputc(',', fp);
                first = FALSE;
            }
        fputc('\n', fp);
    }
}

void write_csv_vector(FILE *fp, int n, const real *vector, const char *name)
{
    put_text(fp, name);
    fputc('\n', fp);
    for (int i = 0; i < n; i++) {
        put_number(fp, vector[i]);
        fputc('\n', fp);
    }
}

void write_csv_ranges(FILE *fp, int d, const string *names, real **range)
{
    fputs("Variable,Min,Max\n", fp);
    for (int i = 0; i < d; i++) {
        put_text(fp, names[i]);
        fputc(',', fp);
        put_number(fp, range[i][0]);
        fputc(',', fp);
        put_number(fp, range[i][1]);
        fputc('\n', fp);
    }
}
