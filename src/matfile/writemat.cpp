// Matrix file writer and screen printers. Files are written in the layout the
// matrix reader accepts: a version line, a comment line, then column blocks
// of at most 74 characters, each with a dashed frame around a "Case" header
// and every row numbered from 1.
#include "matfile/writemat.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "matfile/csv.h"
#include "numeric/nrerror.h"
#include "numeric/numtext.h"
#include "numeric/unix.h"

namespace {

// Widest block line: the row label and the cells of one block.
const int BLOCK_WIDTH = 74;
// " Case " and the row number " %4d " are both this wide.
const int CASE_WIDTH = 6;
// Cells are printed in 12-character fields: a blank, 10 characters, a blank.
const int CELL_TEXT = 10;

// Items per line of the screen printers.
const int SCREEN_ITEMS = 6;
// Largest matrix the cover writers show on the screen.
const int SCREEN_ROWS = 21;

const char *NA_CELL = "         NA ";

// Files are never written in place. A file is written under a temporary
// name in the same directory (the final name followed by ".XXXXXX") and
// renamed into place only once every byte has reached the disk, so that an
// interrupted or failed write leaves the old file as it was (or no file),
// never one that looks complete. The one file being written is described
// here; the signal handler removes its temporary file (see
// remove_unfinished_output), so its name is kept in a fixed buffer.
struct Output {
    FILE *fp;                   // the temporary file, open for writing
    char asked[PATH_MAX];       // the name the writers were given
    char name[PATH_MAX];        // the final name (a symbolic link followed)
    boolean grouped;            // several writes by one command (output_begin)
    boolean direct;             // not a regular file (a device, a pipe): written in place
};
Output current = {NULL, "", "", FALSE, FALSE};
char unfinished[PATH_MAX];              // the temporary name, while it exists
volatile sig_atomic_t unfinished_set = 0;

// Files that no output may replace: the command file and the report.
const int MAX_PROTECTED = 4;
struct FileId {
    dev_t dev;
    ino_t ino;
};
FileId protected_files[MAX_PROTECTED];
int protected_count = 0;

boolean is_protected(const char *name)
{
    struct stat st;
    if (stat(name, &st) != 0)
        return FALSE;
    for (int i = 0; i < protected_count; i++)
        if (protected_files[i].dev == st.st_dev && protected_files[i].ino == st.st_ino)
            return TRUE;
    return FALSE;
}

// Permissions of a newly created file: 0666 less the umask, as fopen gives.
mode_t new_file_mode()
{
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Ends the program for a file that cannot be written, after removing the
// temporary file: the old file, if any, stays as it was.
[[noreturn]] void write_failed(const char *who, const char *name, const char *what)
{
    boolean replacing = unfinished_set != 0;
    abandon_output();
    if (replacing && strcmp(what, "open/create") != 0)
        fprintf(stderr, "\n %s was not replaced: the file, if any, is as it was before.", name);
    if (strcmp(who, "output_range") == 0) {
        if (strcmp(what, "open/create") == 0)
            nrerror("output_summary: Can't open/create file corpar.mat.");
        char text[PATH_MAX + 64];
        snprintf(text, sizeof text, "output_range: Can't %s file %s.", what, name);
        nrerror(text);
    }
    fprintf(stderr, "\n %s: Can't %s file %s. Exit(1) \n", who, what, name);
    exit(1);
}

// A target that exists and is not a regular file (/dev/null, a pipe) is
// written as it is: there is nothing to replace.
boolean is_special(const char *name)
{
    struct stat st;
    return stat(name, &st) == 0 && !S_ISREG(st.st_mode);
}

// Starts the temporary file of `name`; in append mode it first receives the
// file's present content.
void start_output(const char *name, boolean append, const char *who)
{
    snprintf(current.asked, sizeof current.asked, "%s", name);
    snprintf(current.name, sizeof current.name, "%s", name);
    current.direct = is_special(name);
    if (current.direct) {
        current.fp = fopen(name, append ? "a" : "w");
        if (current.fp == NULL)
            write_failed(who, name, "open/create");
        return;
    }
    // A symbolic link is followed, as writing through it would: the file it
    // names is the one replaced.
    struct stat st;
    char target[PATH_MAX];
    if (lstat(name, &st) == 0 && S_ISLNK(st.st_mode) && realpath(name, target) != NULL)
        snprintf(current.name, sizeof current.name, "%s", target);
    char tmp[PATH_MAX];
    if (snprintf(tmp, sizeof tmp, "%s.XXXXXX", current.name) >= (int)sizeof tmp)
        write_failed(who, name, "open/create");
    // A stop signal arriving between the creation of the temporary file and
    // the record of its name would leave the file behind: it waits.
    hold_stop_signals(TRUE);
    int fd = mkstemp(tmp);
    if (fd >= 0) {
        memcpy(unfinished, tmp, sizeof tmp);
        unfinished_set = 1;
    }
    hold_stop_signals(FALSE);
    if (fd < 0)
        write_failed(who, name, "open/create");
    // A file replaced keeps its permissions; a new one gets those fopen gives.
    fchmod(fd, stat(current.name, &st) == 0 ? st.st_mode & 07777 : new_file_mode());
    current.fp = fdopen(fd, "w");
    if (current.fp == NULL) {
        close(fd);
        write_failed(who, name, "open/create");
    }
    if (!append)
        return;
    FILE *old = fopen(name, "r");
    if (old == NULL)
        return; // appending to no file creates it
    char buf[8192];
    size_t got;
    while ((got = fread(buf, 1, sizeof buf, old)) > 0)
        if (fwrite(buf, 1, got, current.fp) != got)
            break;
    boolean failed = ferror(old) != 0 || ferror(current.fp) != 0;
    fclose(old);
    if (failed)
        write_failed(who, name, "write");
}

// Opens a file for writing, or for appending when mode is "a". Returns NULL
// (after saying so) when the file is protected; a file that cannot be
// created ends the program with `who`'s message.
FILE *open_or_exit(const char *name, const char *mode, const char *who)
{
    boolean append = mode != NULL && strcmp(mode, "a") == 0;
    if (current.fp != NULL) {
        if (!current.grouped || strcmp(name, current.asked) != 0)
            nrerror("writemat: Code Bug, a file is opened while another one is being written");
        return current.fp;
    }
    if (!output_allowed(name))
        return NULL;
    start_output(name, append, who);
    return current.fp;
}

// The temporary file to disk (flushed and synchronised) and renamed into
// place. Output that did not reach the disk (a full disk, an I/O error) ends
// the program like a file that cannot be created, and the old file stays: a
// partial file must not pass for a complete one.
void finish_output(const char *who)
{
    // A file system that cannot synchronise (EINVAL) has still been given
    // every byte.
    boolean failed = fflush(current.fp) != 0 || ferror(current.fp) != 0 ||
                     (!current.direct && fsync(fileno(current.fp)) != 0 && errno != EINVAL);
    if (fclose(current.fp) != 0)
        failed = TRUE;
    current.fp = NULL;
    if (failed)
        write_failed(who, current.name, "write");
    if (current.direct)
        return;
    hold_stop_signals(TRUE);
    boolean renamed = rename(unfinished, current.name) == 0;
    if (renamed)
        unfinished_set = 0;
    hold_stop_signals(FALSE);
    if (!renamed)
        write_failed(who, current.name, "replace");
}

// Closes a written file: the end of its output, unless it is one of several
// writes grouped by output_begin.
void close_or_exit(FILE *fp, const char *name, const char *who)
{
    (void)name;
    if (fp != current.fp)
        nrerror("writemat: Code Bug, closing a file that is not being written");
    if (current.grouped) {
        if (ferror(fp) != 0)
            write_failed(who, current.name, "write");
        return;
    }
    finish_output(who);
}

int column_width(const char *name)
{
    int len = (int)strlen(name);
    return (len > CELL_TEXT ? len : CELL_TEXT) + 2;
}

void dashes(FILE *fp, int count)
{
    for (int i = 0; i < count; i++)
        fputc('-', fp);
}

// Blanks that keep the cells of a long-named column under its name.
void extra_blanks(FILE *fp, const string *varnames, int col)
{
    if (varnames == NULL)
        return;
    for (int k = column_width(varnames[col]) - (CELL_TEXT + 2); k > 0; k--)
        fputc(' ', fp);
}

// The text of a number written in `fixed` (a printf format of one real),
// for the screen: in the exponent form when the fixed text would be longer
// than `longest` characters (a fixed text grows with the magnitude: 1e300 has
// 301 digits).
void number_text(real value, const char *fixed, int longest, char *text, size_t size)
{
    if (snprintf(text, size, fixed, value) <= longest)
        return;
    snprintf(text, size, "%.15e", value);
    // Sixteen digits round the largest reals up beyond the range of a real;
    // seventeen always read back.
    if (!std::isfinite(strtod(text, NULL)))
        snprintf(text, size, "%.16e", value);
}

void write_cell(FILE *fp, real value)
{
    char cell[CELL_BUF];
    file_cell(value, cell, sizeof cell);
    fputs(cell, fp);
}

void print_cell(FILE *fp, real value)
{
    char cell[CELL_BUF];
    format_cell(value, cell, sizeof cell);
    fputs(cell, fp);
}

void write_cell(FILE *fp, const string value) { fprintf(fp, " %10s ", value); }

// The last column (exclusive) of the block that starts at `first`, and its
// line length. With names a block takes columns while its line stays within
// BLOCK_WIDTH (always at least one); without, one block holds them all.
int block_end(int m, const string *varnames, const char *varnames2, int first, int *width)
{
    if (varnames == NULL) {
        *width = CASE_WIDTH + (int)strlen(varnames2);
        return m;
    }
    int end = first;
    *width = CASE_WIDTH;
    while (end < m && (end == first || *width + column_width(varnames[end]) <= BLOCK_WIDTH)) {
        *width += column_width(varnames[end]);
        end++;
    }
    return end;
}

// The blocks of a matrix file, for either cell kind. `blank_before` puts an
// empty line before every block's first dash line.
template <typename Cell>
void write_blocks(FILE *fp, int n, int m, Cell **matrix, const string *varnames, const char *varnames2,
                  boolean blank_before)
{
    int first = 0;
    while (first < m) {
        int width;
        int end = block_end(m, varnames, varnames2, first, &width);
        if (blank_before)
            fputc('\n', fp);
        dashes(fp, width);
        fputs("\n Case ", fp);
        if (varnames == NULL)
            fputs(varnames2, fp);
        else
            for (int j = first; j < end; j++)
                fprintf(fp, " %10s ", varnames[j]);
        fputc('\n', fp);
        dashes(fp, width);
        fputc('\n', fp);
        for (int i = 0; i < n; i++) {
            fprintf(fp, " %4d ", i + 1);
            for (int j = first; j < end; j++) {
                extra_blanks(fp, varnames, j);
                write_cell(fp, matrix[i][j]);
            }
            fputs(" \n", fp);
        }
        first = end;
    }
}

// Longest fixed text of a cell (magnitudes below 1e15 keep the fixed form);
// beyond it the exponent form, of at most 24 characters, is used. A block of
// five cells of 24 characters still fits a line the matrix reader accepts.
const int LONGEST_FIXED = 21;

boolean is_screen(const char *filename) { return strcmp(filename, "screen") == 0 || strcmp(filename, "s") == 0; }

// Warns, before an object is written, when it holds values that are not
// finite numbers (nan, inf): they would be written as such and cannot be read
// back, and the user must learn which object is at fault.
void warn_non_finite(int n, int m, real **matrix, const real *vector, const char *object)
{
    int count = 0;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < m; j++)
            if (!std::isfinite(vector != NULL ? vector[i] : matrix[i][j]))
                count++;
    if (count == 0)
        return;
    char text[200];
    snprintf(text, sizeof text, "%.60s holds %d value%s that %s not a finite number (nan or inf).", object, count,
             count == 1 ? "" : "s", count == 1 ? "is" : "are");
    nrwarning(text);
}

} // namespace

void format_cell(real value, char *cell, size_t size)
{
    if (value == NA_VALUE) {
        snprintf(cell, size, "%s", NA_CELL);
        return;
    }
    char text[CELL_BUF - 2]; // room for the blanks around it
    number_text(value, "%10.5f", LONGEST_FIXED, text, sizeof text);
    snprintf(cell, size, " %s ", text);
}

boolean output_allowed(const char *name)
{
    if (!is_protected(name))
        return TRUE;
    refuse("Sorry, %s is the command file or the report of this run. Nothing written.\n", name);
    return FALSE;
}

void protect_from_output(FILE *fp)
{
    struct stat st;
    if (fp == NULL || fstat(fileno(fp), &st) != 0 || !S_ISREG(st.st_mode) || protected_count == MAX_PROTECTED)
        return;
    protected_files[protected_count].dev = st.st_dev;
    protected_files[protected_count].ino = st.st_ino;
    protected_count++;
}

boolean same_file(const char *a, const char *b)
{
    struct stat sa, sb;
    if (stat(a, &sa) != 0 || stat(b, &sb) != 0)
        return FALSE;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

boolean output_begin(const char *name)
{
    if (current.fp != NULL || current.grouped)
        nrerror("output_begin: Code Bug, an output is already open");
    if (!output_allowed(name))
        return FALSE;
    snprintf(current.asked, sizeof current.asked, "%s", name);
    current.grouped = TRUE;
    return TRUE;
}

void output_end()
{
    current.grouped = FALSE;
    if (current.fp != NULL)
        finish_output("writemat");
}

void remove_unfinished_output()
{
    if (unfinished_set)
        unlink(unfinished);
}

void abandon_output()
{
    if (current.fp != NULL)
        fclose(current.fp);
    current.fp = NULL;
    current.grouped = FALSE;
    if (unfinished_set) {
        unfinished_set = 0;
        unlink(unfinished);
    }
}

void file_cell(real value, char *cell, size_t size)
{
    if (value == NA_VALUE) {
        snprintf(cell, size, "%s", NA_CELL);
        return;
    }
    char text[CELL_BUF - 2];
    exact_real_text_within(value, "%10.5f", LONGEST_FIXED, text, sizeof text);
    snprintf(cell, size, " %s ", text);
}

void outputmatr(int n, int m, real **matrix, const char *matname, const string *varnames,
                const char *varnames2, const char *comment, const char *mode)
{
    warn_non_finite(n, m, matrix, NULL, matname);
    FILE *fp = open_or_exit(matname, mode, "writemat");
    if (fp == NULL)
        return;
    fprintf(ofp, "Writing to file %s.\n", matname);
    if (is_csv_file(matname)) {
        write_csv(fp, n, m, matrix, varnames, varnames2, csv_needs_header(fp, mode));
        close_or_exit(fp, matname, "writemat");
        return;
    }
    if (mode == NULL || strcmp(mode, "a") != 0) {
        fprintf(fp, "Version %5.3f \n", VERSION);
        fprintf(fp, "%s \n", comment);
    }
    write_blocks(fp, n, m, matrix, varnames, varnames2, TRUE);
    close_or_exit(fp, matname, "writemat");
}

void outputmats(int n, int m, string **matrix, const char *matname, const string *varnames,
                const char *varnames2, const char *comment, const char *mode)
{
    FILE *fp = open_or_exit(matname, mode, "writemat");
    if (fp == NULL)
        return;
    fprintf(ofp, "Writing to file %s.\n", matname);
    if (is_csv_file(matname)) {
        write_csv(fp, n, m, matrix, varnames, varnames2, csv_needs_header(fp, mode));
        close_or_exit(fp, matname, "writemat");
        return;
    }
    fprintf(fp, "Version %5.3f \n", VERSION);
    fprintf(fp, "%s \n", comment);
    write_blocks(fp, n, m, matrix, varnames, varnames2, FALSE);
    close_or_exit(fp, matname, "writemat");
}

void outputvecr(int n, const real *vector, const char *vecname, const char *varnames, const char *comment,
                const char *mode)
{
    warn_non_finite(n, 1, NULL, vector, vecname);
    FILE *fp = open_or_exit(vecname, mode, "writevec");
    if (fp == NULL)
        return;
    if (is_csv_file(vecname)) {
        write_csv_vector(fp, n, vector, varnames);
        close_or_exit(fp, vecname, "writevec");
        return;
    }
    fprintf(fp, "Version %5.3f \n", VERSION);
    fprintf(fp, "%s \n", comment);
    fputs("-------", fp);
    fprintf(fp, "\n Case %s \n", varnames);
    fputs("-------", fp);
    fputc('\n', fp);
    for (int i = 0; i < n; i++) {
        char text[CELL_BUF];
        exact_real_text_within(vector[i], "%10.5f", LONGEST_FIXED, text, sizeof text);
        fprintf(fp, "  %2d   %s \n", i + 1, text);
    }
    close_or_exit(fp, vecname, "writevec");
}

void output_range(const KrigModel *kr, const char *name, const char *comment)
{
    const char *rule = "----------------------------------------------------------\n";
    FILE *fp = open_or_exit(name, "w", "output_range");
    if (fp == NULL)
        return;
    if (is_csv_file(name)) {
        write_csv_ranges(fp, *kr->d, kr->xlabel, kr->range);
        close_or_exit(fp, name, "output_range");
        return;
    }
    fprintf(fp, "Version %5.3f \n", VERSION);
    fprintf(fp, "%s \n", comment);
    fputs(rule, fp);
    fputs(" Case Variable Min        Max\n", fp);
    fputs(rule, fp);
    for (int i = 0; i < *kr->d; i++) {
        char low[CELL_BUF], high[CELL_BUF];
        exact_real_text_within(kr->range[i][0], "%f", MAX_FILE_WORD, low, sizeof low);
        exact_real_text_within(kr->range[i][1], "%f", MAX_FILE_WORD, high, sizeof high);
        fprintf(fp, "  %d     %s      %s  %s \n", i + 1, kr->xlabel[i], low, high);
    }
    close_or_exit(fp, name, "output_range");
}

void outputmatr_cover(int n_row, int n_col, real **matrix, const char *filename, const string *label,
                      const char *comment)
{
    if (!is_screen(filename)) {
        outputmatr(n_row, n_col, matrix, filename, label, "", comment, "w");
        return;
    }
    if (n_row > SCREEN_ROWS)
        refuse("Sorry, Matrix is to big to be displayed on screen\n");
    else
        printmatr(n_row, n_col, matrix, "sorry, no labels at this time");
}

void outputmats_cover(int n_row, int n_col, string **matrix, const char *filename, const string *label,
                      const char *comment)
{
    if (!is_screen(filename)) {
        outputmats(n_row, n_col, matrix, filename, label, "", comment, "w");
        return;
    }
    if (n_row > SCREEN_ROWS)
        refuse("Sorry, Matrix is to big to be displayed on screen\n");
    else
        printmats(n_row, n_col, matrix, "Sorry, no labels at this time");
}

void printvecs(int n, const string *vector, const char *text)
{
    fprintf(ofp, "%s ", text);
    for (int i = 0; i < n; i++) {
        fprintf(ofp, " %10s ", vector[i]);
        if ((i + 1) % SCREEN_ITEMS == 0)
            fprintf(ofp, "\n");
    }
    fprintf(ofp, "\n");
}

void printvecr(int n, const real *vector, const char *text)
{
    warn_non_finite(n, 1, NULL, vector, text);
    fprintf(ofp, "%s ", text);
    if (n > SCREEN_ITEMS)
        fprintf(ofp, "\n");
    for (int i = 0; i < n; i++) {
        print_cell(ofp, vector[i]);
        if ((i + 1) % SCREEN_ITEMS == 0)
            fprintf(ofp, "\n");
    }
    fprintf(ofp, "\n");
}

void printmatr(int n, int m, real **matrix, const char *text)
{
    warn_non_finite(n, m, matrix, NULL, text);
    fprintf(ofp, "%s \n", text);
    for (int i = 0; i < n; i++) {
        for (int j = 0; j < m; j++) {
            print_cell(ofp, matrix[i][j]);
            if ((j + 1) % SCREEN_ITEMS == 0)
                fprintf(ofp, "\n");
        }
        if (i < n - 1)
            fprintf(ofp, ", \n");
    }
    fprintf(ofp, "\n");
}

void printmats(int n, int m, string **matrix, const char *text)
{
    fprintf(ofp, "%s \n", text);
    for (int i = 0; i < n; i++) {
        for (int j = 0; j < m; j++)
            fprintf(ofp, "%s ", matrix[i][j]);
        if (i < n - 1)
            fprintf(ofp, ", \n");
    }
    fprintf(ofp, "\n");
}
