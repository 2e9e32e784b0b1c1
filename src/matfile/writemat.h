// Matrix file writer and screen printers: every matrix handed to the user
// leaves through here, to a file in the matrix format or to the report. A
// file whose name ends in ".csv" is written as CSV instead (matfile/csv.h):
// a header line of names, every number in the fewest digits that read back
// as the same value; appending to such a file adds rows.
#ifndef MORLA_WRITEMAT_H
#define MORLA_WRITEMAT_H

#include <cstddef>
#include <cstdio>

#include "general.h"
#include "model/krig.h"

// Room for the text of one written cell.
#define CELL_BUF 400

// The cell of a real as the screen shows it, blanks around it
// included: " %10.5f ", the exponent form " %.15e " for a number whose fixed
// text would be longer than 21 characters (1e15 and more in magnitude), so
// that every written number reads back, or "         NA " for the missing
// value.
void format_cell(real value, char *cell, size_t size);

// The cell of a real as files hold it, blanks around it included: " %10.5f "
// where that text reads back as the same number, otherwise the fewest
// significant digits that do (the exponent form beyond 21 characters), or
// "         NA " for the missing value. Every written number reads back
// exactly.
void file_cell(real value, char *cell, size_t size);

// Writes a real matrix file (mode "a" appends, anything else replaces).
// With varnames the columns are split into blocks of at most 74 characters;
// without, one block headed by the text varnames2. NA values are "NA".
void outputmatr(int n, int m, real **matrix, const char *matname, const string *varnames,
                const char *varnames2, const char *comment, const char *mode);
// Writes a text matrix file.
void outputmats(int n, int m, string **matrix, const char *matname, const string *varnames,
                const char *varnames2, const char *comment, const char *mode);
// Writes a one-column file of a vector.
void outputvecr(int n, const real *vector, const char *vecname, const char *varnames, const char *comment,
                const char *mode);
// Writes the input ranges of a model as an XDescription file: columns
// Variable (the input names, so that the file reads back against the same
// design), Min and Max.
void output_range(const KrigModel *kr, const char *name, const char *comment);

// Every file is written under a temporary name in its directory and renamed
// into place once complete and on disk; a file that cannot be written ends
// the program and leaves the old file as it was. A target that exists and is
// not a regular file (/dev/null, a pipe) is written in place.

// Several writes of one command to one file (the effects of every response,
// appended) made visible together: between output_begin and output_end the
// writers' writes of `name`, in either mode, collect in one temporary file,
// which output_end renames into place (if anything was written). Returns
// FALSE, after saying so, when name may not be written (output_allowed).
boolean output_begin(const char *name);
void output_end();

// The file of fp, when it is a regular file (the command file, the report),
// may not be replaced by any output of the run.
void protect_from_output(FILE *fp);
// TRUE when name may be written; otherwise says that it is the command file
// or the report and marks the command refused.
boolean output_allowed(const char *name);
// TRUE when both names exist and are the same file (device and inode).
boolean same_file(const char *a, const char *b);

// For the signal handler (async-signal-safe): removes the temporary file of
// an output being written.
void remove_unfinished_output();
// Drops the output being written, if any (its temporary file is removed and
// the file keeps its old content): before a fatal end, and before the
// emergency dump writes its own files.
void abandon_output();

// To the report when filename is "screen" or "s" (at most 21 rows), else to
// the file in replace mode with the labels as column names.
void outputmatr_cover(int n_row, int n_col, real **matrix, const char *filename, const string *label,
                      const char *comment);
void outputmats_cover(int n_row, int n_col, string **matrix, const char *filename, const string *label,
                      const char *comment);

// Screen printers on the report stream, six items per line; the missing
// value shows as NA, as in files.
void printvecs(int n, const string *vector, const char *text);
void printvecr(int n, const real *vector, const char *text);
void printmatr(int n, int m, real **matrix, const char *text);
void printmats(int n, int m, string **matrix, const char *text);

#endif
