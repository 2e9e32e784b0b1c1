// Matrix file reader: one grammar and one algorithm for both cell kinds (real
// numbers with NA, or text), and the number conversions shared by readers.
//
// A file is a preamble, then column blocks: a separator line (its first two
// characters are dashes), a header of column names, a separator and data
// lines up to the next separator or the end of the file. The first block
// fixes the number of rows; later blocks add columns to the right.
#include "matfile/readmat.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "alloc/alloc.h"
#include "matfile/csv.h"
#include "matfile/tokenize.h"
#include "numeric/nrerror.h"

namespace {

// Header and data lines hold at most MAX_LINE characters, newline included;
// LINE_BUF bytes keep that much and the terminator.
const int MAX_LINE = 148;
const int LINE_BUF = MAX_LINE + 2;

// Token slots for header and data lines: 30 slots of one string each.
const int TOKEN_SLOTS = 30;

// Rows of the first block are allocated in steps of this many, or of half
// the rows already allocated when that is more: a file of n rows costs a
// number of resizes that grows with log n, and every row touched by them
// (each verified in tracking mode) adds up to a small multiple of n.
const int ROW_STEP = 10;

const char *const NA_WARNING =
    "Matrix contains NA values. Operations on NA values other than \n\tin- and output will result into errors.\n";

enum LineStatus { LINE_READ, LINE_END, LINE_FAILED };

// The state of one call. The matrix is `rows` x `col_cap` and the label
// vector has `col_cap` entries; `cols` of those columns are named so far.
// Later blocks widen the storage geometrically, and it is trimmed to `cols`
// before it is handed back, so that a file of many blocks is read in time
// linear in its size.
template <typename Cell> struct ReadState {
    FILE *fp;
    Cell **mat;            // the caller's matrix, resized as the file demands
    string *labels;        // the caller's label vector
    int rows;              // allocated rows (rows read, once the first block ends)
    int cols;              // columns named so far
    int col_cap;           // allocated columns and label entries (>= cols)
    boolean na_seen;       // an NA cell has been stored
    char line[LINE_BUF];   // the current line, cut to LINE_BUF - 1 bytes
    int line_len;          // its length with the newline, capped at LINE_BUF
    int line_no;           // its number in the file, from 1
    const char *filename;
    string slots[TOKEN_SLOTS];
    char *slot_ptr[TOKEN_SLOTS];
};

// Reads the next physical line whole: its first LINE_BUF - 1 bytes are kept
// (terminated) and the rest is consumed unstored, so a piece of a long line is
// never taken for a line of its own. NUL bytes are kept as they are; the
// tokenizer ends the line at the first one. A CRLF line end is read as a
// newline alone.
LineStatus next_line(FILE *fp, char *line, int *line_len)
{
    int n = 0;
    int c;
    while ((c = getc_unlocked(fp)) != EOF) {
        if (c == '\n' && n > 0 && n <= LINE_BUF - 1 && line[n - 1] == '\r')
            n--;
        if (n < LINE_BUF - 1)
            line[n] = (char)c;
        if (n < LINE_BUF)
            n++;
        if (c == '\n')
            break;
    }
    line[n < LINE_BUF - 1 ? n : LINE_BUF - 1] = '\0';
    if (ferror(fp))
        return LINE_FAILED;
    if (n == 0 && c == EOF)
        return LINE_END;
    *line_len = n;
    return LINE_READ;
}

// The next line of the file of a read, counted.
template <typename Cell> LineStatus next_line(ReadState<Cell> &st)
{
    LineStatus status = next_line(st.fp, st.line, &st.line_len);
    if (status == LINE_READ)
        st.line_no++;
    return status;
}

boolean starts_with_dashes(const char *line) { return line[0] == '-' && line[1] == '-'; }

boolean is_case_label(const char *token)
{
    return strcmp(token, "Case") == 0 || strcmp(token, "case") == 0 || strcmp(token, "CASE") == 0;
}

int fail(int code)
{
    switch (code) {
    case 1:
        refuse("ERROR: Can't open this file. Does it exist?\n");
        break;
    case 3:
        refuse("ERROR: Too few or too many entries in a row \n");
        break;
    case 4:
        refuse("ERROR: There are no columns in header\n");
        break;
    case 5:
        refuse("ERROR: There are is no data in matrix\n");
        break;
    case 8:
        refuse("ERROR: Too few or too many rows in a data block\n");
        break;
    case 9:
        refuse("ERROR: There is no header line with variable names.\n");
        break;
    case 10:
        refuse("ERROR: There is no seperator line '---' after header line.\n");
        break;
    case 11:
        refuse("ERROR: Some of the Data cannot be interpreted as a number\n");
        break;
    case 43:
        refuse("ERROR: Input line contains too many characters.\n");
        break;
    default:
        break; // code 2: the message has been written where the line was split
    }
    return code;
}

// Splits the current line into the token slots. A header line decides
// whether its block has a case column; a data line keeps that decision.
// On success *first is the slot of the first kept token and the number of
// kept tokens is returned; -1 means the line cannot be split (message written).
template <typename Cell> int split_line(ReadState<Cell> &st, boolean is_header, boolean *has_case, int *first)
{
    int count = TOKEN_SLOTS;
    int result = tokenize(st.line, &count, STRING_LEN, st.slot_ptr);
    if (result == TOKEN_TOO_LONG)
        refuse("ERROR: Line %d of %s holds a name or value longer than %d characters. Nothing stored.\n",
               st.line_no, st.filename, MAX_FILE_WORD);
    if (result != 0)
        return -1;
    for (int i = 0; i < count; i++) {
        const char *t = st.slots[i];
        if (strcmp(t, "<") == 0 || strcmp(t, ">") == 0 || strcmp(t, "=") == 0) {
            refuse("ERROR: The symbols <,>,= are not allowed as part of variable names\n");
            return -1;
        }
    }
    if (is_header)
        *has_case = count > 0 && is_case_label(st.slots[0]);
    *first = 0;
    if (*has_case && count > 0) {
        *first = 1;
        count--;
    }
    return count;
}

// A cell of the real form: a number, or NA. Returns 0 or 11.
int store_cell(real &cell, const char *token, boolean *na_seen)
{
    if (str_to_real(token, &cell) == 0)
        return 0;
    if (strcmp(token, "NA") == 0 || strcmp(token, "na") == 0) {
        cell = NA_VALUE;
        *na_seen = TRUE;
        return 0;
    }
    return 11;
}

// A cell of the text form: the token as it stands (tokens fit a string).
int store_cell(string &cell, const char *token, boolean *na_seen)
{
    (void)na_seen;
    snprintf(cell, sizeof(string), "%s", token);
    return 0;
}

// Resizes the label vector and the matrix from col_cap to cap columns. A
// matrix without rows is left alone; one without columns is created.
template <typename Cell> void resize_columns(ReadState<Cell> &st, int cap)
{
    if (st.col_cap == 0)
        alloc(cap, &st.labels);
    else
        morealloc(st.col_cap, &st.labels, cap);
    if (st.rows < 0 || st.col_cap < 0)
        nrerror("read_matrix: Code Bug, Unrecognized option (2)");
    if (st.rows > 0) {
        if (st.col_cap == 0)
            alloc(st.rows, cap, &st.mat);
        else
            morealloc(st.rows, st.col_cap, &st.mat, st.rows, cap);
    }
    st.col_cap = cap;
}

// Makes room for `cols` named columns. The first block sets the storage to
// exactly its columns; later blocks grow it by at least half when it is full.
template <typename Cell> void widen(ReadState<Cell> &st, int cols, boolean first_block)
{
    int cap = cols;
    if (!first_block) {
        int grown = st.col_cap + st.col_cap / 2;
        cap = cols <= st.col_cap ? st.col_cap : (cols > grown ? cols : grown);
    }
    if (cap != st.col_cap)
        resize_columns(st, cap);
    st.cols = cols;
}

// First block: ROW_STEP more rows, or half as many again as there are.
template <typename Cell> void grow_rows(ReadState<Cell> &st)
{
    if (st.rows < 0)
        nrerror("read_matrix: Code Bug , Unrecognized option (3)");
    int step = st.rows / 2 > ROW_STEP ? st.rows / 2 : ROW_STEP;
    if (st.rows == 0)
        alloc(step, st.col_cap, &st.mat);
    else
        morealloc(st.rows, st.col_cap, &st.mat, st.rows + step, st.col_cap);
    st.rows += step;
}

// End of the first block: exactly the rows read (at least one).
template <typename Cell> void trim_rows(ReadState<Cell> &st, int rows_read)
{
    if (st.rows < 0 || rows_read < 0)
        nrerror("read_matrix: Code Bug , Unrecognized option (4)");
    if (rows_read != st.rows)
        morealloc(st.rows, st.col_cap, &st.mat, rows_read, st.col_cap);
    st.rows = rows_read;
}

// Before the storage is handed back: exactly the named columns.
template <typename Cell> void trim_columns(ReadState<Cell> &st)
{
    if (st.col_cap <= st.cols)
        return;
    morealloc(st.col_cap, &st.labels, st.cols);
    if (st.rows > 0)
        morealloc(st.rows, st.col_cap, &st.mat, st.rows, st.cols);
    st.col_cap = st.cols;
}

// Reads the blocks of the open file into the state; returns 0 or an error
// code (message written).
template <typename Cell> int read_blocks(ReadState<Cell> &st)
{
    LineStatus status;
    // Preamble: everything before the first separator.
    do {
        status = next_line(st);
        if (status == LINE_FAILED)
            return fail(1);
    } while (status == LINE_READ && !starts_with_dashes(st.line));

    boolean first_block = TRUE;
    boolean has_case = FALSE;
    int first = 0;
    while (status == LINE_READ) {
        // The current line is the separator that opens a block.
        int old_cols = st.cols;
        status = next_line(st);
        if (status == LINE_FAILED)
            return fail(1);
        if (status == LINE_END)
            return fail(9);
        if (st.line_len > MAX_LINE)
            return fail(43);
        int names = split_line(st, TRUE, &has_case, &first);
        if (names < 0)
            return fail(2);
        // The names stay in the slots while the next line is read into the
        // line buffer only.
        status = next_line(st);
        if (status == LINE_FAILED)
            return fail(1);
        if (status == LINE_END || !starts_with_dashes(st.line))
            return fail(10);
        if (names == 0)
            return fail(4);

        int offset = first_block ? 0 : old_cols;
        widen(st, offset + names, first_block);
        for (int j = 0; j < names; j++)
            memcpy(st.labels[offset + j], st.slots[first + j], sizeof(string));

        int row = 0;
        for (;;) {
            status = next_line(st);
            if (status == LINE_FAILED)
                return fail(1);
            if (status == LINE_END || starts_with_dashes(st.line))
                break;
            if (st.line_len > MAX_LINE)
                return fail(43);
            if (first_block && row == st.rows)
                grow_rows(st);
            int count = split_line(st, FALSE, &has_case, &first);
            if (count < 0)
                return fail(2);
            if (count == 0)
                continue;
            if (!first_block && row == st.rows)
                return fail(8);
            if (count != names)
                return fail(3);
            Cell *cells = st.mat[row] + offset;
            for (int j = 0; j < count; j++)
                if (store_cell(cells[j], st.slots[first + j], &st.na_seen) != 0)
                    return fail(11);
            row++;
        }
        if (first_block) {
            if (row == 0)
                return fail(5);
            trim_rows(st, row);
        } else if (row != st.rows) {
            return fail(8);
        }
        first_block = FALSE;
    }
    if (st.rows == 0)
        return fail(9);
    return 0;
}

// A CSV file, read into fresh storage. On success the storage handed in is
// released and replaced; on failure it is handed back as it was.
template <typename Cell>
int read_csv_file(int oldn, int oldm, Cell ***mat1, int *newn, int *newm, const char *filename,
                  string **labelvec1, boolean *na_seen)
{
    Cell **mat = NULL;
    string *labels = NULL;
    int rows = 0, cols = 0;
    int code = read_csv(filename, &mat, &rows, &cols, &labels, na_seen);
    *newn = oldn;
    *newm = oldm;
    if (code != 0)
        return code;
    if (*mat1 != NULL)
        frei(oldn, oldm, mat1);
    if (*labelvec1 != NULL)
        frei(oldm, labelvec1);
    *mat1 = mat;
    *labelvec1 = labels;
    *newn = rows;
    *newm = cols;
    return 0;
}

template <typename Cell>
int read_any(int oldn, int oldm, Cell ***mat1, int *newn, int *newm, const char *filename, string **labelvec1)
{
    fprintf(ofp, "Reading from %s.\n", filename);
    if (oldm < 0)
        nrerror("read_matrix: Code Bug , Unrecognized option (1)");
    // A negative row count would be caught by the first resize only when
    // the file's shape differs; catch it before any row is addressed.
    if (oldn < 0)
        nrerror("read_matrix: Code Bug, Unrecognized option (2)");

    if (is_csv_file(filename)) {
        boolean na_seen = FALSE;
        int code = read_csv_file(oldn, oldm, mat1, newn, newm, filename, labelvec1, &na_seen);
        if (code == 0 && na_seen)
            nrwarning(NA_WARNING);
        return code;
    }

    ReadState<Cell> st;
    st.mat = *mat1;
    st.labels = *labelvec1;
    st.rows = oldn;
    st.cols = oldm;
    st.col_cap = oldm;
    st.na_seen = FALSE;
    st.line_no = 0;
    st.filename = filename;
    for (int i = 0; i < TOKEN_SLOTS; i++)
        st.slot_ptr[i] = st.slots[i];

    int code;
    st.fp = fopen(filename, "r");
    if (st.fp == NULL) {
        code = fail(1);
    } else {
        code = read_blocks(st);
        fclose(st.fp);
    }
    trim_columns(st);

    *mat1 = st.mat;
    *labelvec1 = st.labels;
    *newn = st.rows;
    *newm = st.cols;
    if (code == 0 && st.na_seen)
        nrwarning(NA_WARNING);
    return code;
}

} // namespace

int read_matrix(int oldn, int oldm, real ***mat1, int *newn, int *newm, const char *filename,
                string **labelvec1)
{
    return read_any(oldn, oldm, mat1, newn, newm, filename, labelvec1);
}

int read_matrix(int oldn, int oldm, string ***mat1, int *newn, int *newm, const char *filename,
                string **labelvec1)
{
    return read_any(oldn, oldm, mat1, newn, newm, filename, labelvec1);
}

int str_to_real(const char *str, real *val)
{
    char *end;
    *val = strtod(str, &end);
    // "nan", "inf" and numbers beyond the range of a real (1e400) are no
    // numbers to compute with: one of them would make every prediction nan.
    if (end == str || !std::isfinite(*val))
        return 1;
    if (*end == '\0')
        return 0;
    if (*end != ' ')
        return 3;
    while (*end == ' ' || *end == '\t' || *end == '\n')
        end++;
    return *end == '\0' ? 0 : 2;
}

int na_str_to_real(const char *str, real *val, real na_value)
{
    if (str_to_real(str, val) == 0)
        return 0;
    if (strcmp(str, "NA") == 0 || strcmp(str, "na") == 0) {
        *val = na_value;
        return 0;
    }
    return 1;
}
