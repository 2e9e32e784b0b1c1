// Matrix inverse by Crout's LU decomposition with implicit row scaling and
// partial pivoting. Matrices are arrays of row pointers, indexed [row][column]
// from 0.
#ifndef MORLA_INVERSE_H
#define MORLA_INVERSE_H

#include "general.h"

// Factors the n x n matrix a in place: P·A = L·U with L unit lower triangular
// (stored below the diagonal) and U upper triangular (on and above it).
// indx[j] is the row swapped into position j at step j; *d is +1.0 or -1.0
// for an even or odd number of interchanges. The pivot of each column is
// the row with the largest scaled magnitude, the last such row on ties. An
// exactly zero pivot is replaced by 1.0e-20 without a message; a row of
// zeros is fatal ("inverse : Singular matrix in routine ludcmp").
void ludcmp(real **a, int n, int *indx, real *d);
// The same with the caller's work vector vv (n reals) for the row scales.
void ludcmp(real **a, int n, int *indx, real *d, real *vv);

// Solves A·x = b from the factors and indx of `ludcmp`; b is overwritten by
// x. Leading zeros of the permuted b are skipped in the forward sweep.
void lubksb(real **a, int n, const int *indx, real *b);

// y = A⁻¹ for the N x N matrix a, column by column from one factorisation.
// a is left holding its LU factors: a caller that still needs A passes a
// copy.
void inverse(real **a, real **y, int N);
// The same with the caller's work vectors (N each): indx for the pivots, col
// for one column, vv for the row scales. Nothing is allocated.
void inverse(real **a, real **y, int N, int *indx, real *col, real *vv);

#endif
