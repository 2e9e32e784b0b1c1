// Vector and matrix utilities on the program's plain vectors and matrices.
// None of them allocates; every destination exists with the needed shape.
// Loops run over rows, then columns, in increasing order; sums start from 0
// and add terms in increasing index order (this fixes the rounding).
#ifndef MORLA_MATRIX_H
#define MORLA_MATRIX_H

#include "general.h"

// vec[i] = x for i < n; n = 0 is fatal.
void init_real_vec(real x, int n, real *vec);
// n x n matrix with x on the diagonal and 0 elsewhere; n = 0 is fatal.
void init_diag_mat(real x, int n, real **mat);
// TRUE when vec1[i] == vec2[i] exactly for every i < n (TRUE for n = 0).
boolean identical_vec(int n, const real *vec1, const real *vec2);
// mat_copy = mat (n rows, m columns).
void copy_real_matrix(int n, int m, real **mat, real **mat_copy);
// mat_copy[i][j + cp_offset] = mat[i][j + offset] for i < n, j < m.
void copy_matrix(int n, int m, real **mat, int offset, real **mat_copy, int cp_offset);
// The same block copy into text cells written with "%f".
void copy_matrix(int n, int m, real **mat, int offset, string **mat_copy, int cp_offset);
// vec2[i] = vec1[i] for i < p.
void copy_real_vector(int p, const real *vec1, real *vec2);
// The p elements of orig except element `omit`, in order, into copy.
void copy_real_vector_minus_one(int p, const real *orig, int omit, real *copy);
// The n rows (p columns) of orig except row `omit`, in order, into copy.
void copy_real_matrix_minus_1row(int n, int p, real **orig, int omit, real **copy);
// Writes x into a 30-byte cell as "%f" where that text reads back as the
// same number, otherwise with the fewest significant digits that do (the
// exponent form where "%f" would be longer than a matrix file's words may
// be): a table written to a file and read back holds exactly the numbers.
void real_to_cell(real x, char *cell);
// copy[i] = orig[i] for i < n.
void copy_string(int n, const string *orig, string *copy);
// Builds `line` from the n texts, each followed by three blanks; stops and
// returns 1 before a text that would bring the length + 5 above maxline - 1.
int concat_string(int n, const string *vec, int maxline, char *line);
int concat_string(int n, char **vec, int maxline, char *line);

// c[i] = a[i] + s * b[i].
void VecAddVecNewReal(real s, const real *a, int n, const real *b, real *c);
// b[i] = b[i] * a[i].
void VecEwMultVecReal(const real *a, int n, real *b);
// c[i] = a[i] * b[i].
void VecEwMultVecNewReal(const real *a, int n, const real *b, real *c);
// Product of the n elements (1 for n = 0).
real ProdVecReal(int n, const real *vec);
// tmat (m x n) = transpose of mat (n x m).
void TransRealMat(int n, int m, real **mat, real **tmat);
// M (q x s) = M1 (q x r) * M2 (r x s). Each row of M is bit for bit
// VecMultMatReal of the row of M1; M2 is read once for every few rows.
void MatMultMatReal(int q, real **M1, int r, real **M2, int s, real **M);
// vec2 (m) = vec (n) * mat (n x m).
void VecMultMatReal(const real *vec, int n, real **mat, int m, real *vec2);
// vec2 (m) = mat (m x n) * vec (n).
void MatMultVecReal(int m, real **mat, int n, const real *vec, real *vec2);
// mat2 (n x m) = mat * diag(vec).
void MatMultDiagMatReal(int n, real **mat, int m, const real *vec, real **mat2);
// Inner product of two vectors of length n.
real VecMultVecReal(const real *vec1, int n, const real *vec2);
// Finds word in vec[0 .. length-1]: index = position from 1 and result 0, or
// index = -1 and result 1.
int matchvecs(const char *word, int length, const string *vec, int *index);
// Smallest element; n = 0 is fatal.
real Real_Minimum(int n, const real *vec);
// Smallest element, with its position counted from 1 (first on ties).
real RealMinimumIndex(int n, const real *vec, int *index);
// The larger of a and b.
real maximum_two(real a, real b);

#endif
