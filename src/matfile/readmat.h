// Matrix file reader: the plain-text matrix format in which all data enter
// the system (a preamble, then column blocks of a dashed separator line, a
// header of column names, another separator and data lines). A file whose
// name ends in ".csv" is read as CSV instead (matfile/csv.h), into the same
// shapes and with the same result codes.
#ifndef MORLA_READMAT_H
#define MORLA_READMAT_H

#include "general.h"

// Reads a matrix file. Fresh read: oldn = oldm = 0 with null variables;
// reuse: an existing oldn x oldm matrix and oldm labels, resized to the
// file's shape. On every return, successful or not, *mat1 and *labelvec1
// hold the storage and *newn, *newm its allocated shape, so the caller can
// release exactly what was allocated. Returns 0 or an error code
// (1, 2, 3, 4, 5, 8, 9, 10, 11, 43) after writing its message to `ofp`.
int read_matrix(int oldn, int oldm, real ***mat1, int *newn, int *newm, const char *filename,
                string **labelvec1);
// The same with every cell kept as text.
int read_matrix(int oldn, int oldm, string ***mat1, int *newn, int *newm, const char *filename,
                string **labelvec1);

// strtod on the whole text; the value is stored in every case. Returns 0
// when all of the text was used (or only blanks, tabs and newlines follow a
// blank after the number), 1 when no finite number starts the text (so
// "nan", "inf" and 1e400 count as no number), 3 when the character after the
// number is not a blank, 2 when something else follows.
int str_to_real(const char *str, real *val);
// As str_to_real, but "NA" and "na" give na_value; 0 on success, else 1.
int na_str_to_real(const char *str, real *val, real na_value);

#endif
