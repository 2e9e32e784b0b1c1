// Matrix files as CSV: a file whose name ends in ".csv" is read and written
// as comma-separated values instead of the dashed matrix format. The matrix
// reader and writers call in here for such names.
//
// The format read: a header line of column names, then one line per row of
// comma-separated cells. Blanks and tabs around a cell are ignored; a cell
// may be quoted ("..." with "" for a quote inside; it may hold commas but not
// a line end); lines end in LF or CRLF; blank lines are skipped; a UTF-8 byte
// order mark before the header is ignored. A first column named "Case" is
// dropped, as in the matrix format. Names and text cells hold at most 28
// characters and no blank, tab, "#", "<", ">" or "=", so that every name read
// can be written to a matrix file again. In the real form every cell is a
// number or "NA"/"na" (the missing value); an empty cell is refused.
#ifndef MORLA_CSV_H
#define MORLA_CSV_H

#include <cstdio>

#include "general.h"

// TRUE when a matrix file of this name is read and written as CSV: the name
// ends in ".csv" (in any case).
boolean is_csv_file(const char *filename);

// Reads a CSV file into a fresh rows x cols matrix and cols names. On success
// returns 0 and sets *na_seen when a cell was NA. On failure writes a message
// that names the file and the line to `ofp` and returns the code of the
// matrix reader for that kind of fault (1 cannot open, 2 a line that cannot be
// split or a name that cannot be kept, 3 a row of another length than the
// header, 4 a nameless column, 5 no rows, 9 no header line, 11 a cell that is
// not a number); then *mat and *labels are null and the counts 0.
int read_csv(const char *filename, real ***mat, int *rows, int *cols, string **labels, boolean *na_seen);
// The same with every cell kept as text.
int read_csv(const char *filename, string ***mat, int *rows, int *cols, string **labels, boolean *na_seen);

// TRUE when a CSV file opened with this write mode needs its header line:
// always when it is replaced, and when it is appended to only while it is
// still empty (appended rows continue the table).
boolean csv_needs_header(FILE *fp, const char *mode);

// Writes an n x m real matrix as CSV: the header line (when `header`), then
// one line per row. The names are varnames, or else the blank-separated words
// of varnames2 (when they are as many as the columns; otherwise "V1", "V2",
// ...). Every number is written with the fewest digits that read back as the
// same value; the missing value as NA.
void write_csv(FILE *fp, int n, int m, real **matrix, const string *varnames, const char *varnames2,
               boolean header);
// Writes a text matrix as CSV. Every blank-separated word of a cell is a cell
// of its own, as the matrix reader would take it from a matrix file.
void write_csv(FILE *fp, int n, int m, string **matrix, const string *varnames, const char *varnames2,
               boolean header);
// Writes a vector as a one-column CSV file headed by name.
void write_csv_vector(FILE *fp, int n, const real *vector, const char *name);
// Writes input ranges as CSV: the header "Variable,Min,Max" and one line per
// input with its name and both ends.
void write_csv_ranges(FILE *fp, int d, const string *names, real **range);

#endif
