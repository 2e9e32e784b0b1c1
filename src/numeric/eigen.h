// Eigen-decomposition of a real symmetric matrix: Householder reduction to
// tridiagonal form followed by the QL algorithm with implicit shifts.
// Matrices are arrays of row pointers, indexed [row][column] from 0.
//
// Storage convention of the result: column k of the matrix (entries
// [0][k] .. [n-1][k]) is the unit eigenvector of d[k]. Eigenvalues are not
// sorted; they come in the order in which the QL iteration isolates them.
#ifndef MORLA_EIGEN_H
#define MORLA_EIGEN_H

#include "general.h"

// sqrt(a² + b²) without destructive overflow or underflow.
real pythag(real a, real b);

// Householder reduction of the symmetric n x n matrix a, of which only the
// lower triangle and the diagonal are read. On return d holds the diagonal
// and e the sub-diagonal of the tridiagonal matrix (e[i] couples rows i-1
// and i, e[0] = 0), and a holds the orthogonal matrix Q of the reduction,
// A = Q·T·Qᵀ.
void tred2(real **a, int n, real *d, real *e);

// QL iteration with implicit shifts on the tridiagonal matrix from `tred2`
// (d diagonal, e sub-diagonal as tred2 leaves it). d becomes the
// eigenvalues; the rotations are applied to the columns of z, so that z = Q
// from tred2 turns into the eigenvectors of A, one per column. e is
// destroyed. An eigenvalue that is not isolated within 1000 iterations (or
// a matrix holding a value that is not a finite number) is fatal ("Too many
// iterations in tqli"); callers that can go on without the decomposition use
// eigen_converged.
void tqli(real *d, real *e, int n, real **z);

// Full decomposition A = V·diag(d)·Vᵀ of the symmetric n x n matrix mat
// (lower triangle read): mat is overwritten by V (eigenvectors in columns),
// d receives the eigenvalues, unsorted; negative ones are kept as they are.
void eigen(real **mat, int n, real *d);

// The same decomposition with the caller's work vector e (n reals, contents
// overwritten) instead of one allocated per call: for callers that decompose
// many matrices of one order. Bit for bit the arithmetic of the form above.
void eigen(real **mat, int n, real *d, real *e);

// The decomposition of eigen(mat, n, d, e) for callers that can do without
// it: FALSE, instead of the fatal error, when the QL iteration does not
// isolate an eigenvalue within its iterations, or the matrix holds a value
// that is not a finite number (mat and d then hold no decomposition). Where it converges the results are those of eigen, bit for
// bit.
boolean eigen_converged(real **mat, int n, real *d, real *e);

#endif
