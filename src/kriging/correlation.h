// Correlation and regression matrices of a response model: the correlation
// matrix R of the design, the correlation vector of a new point, the
// regression matrix F (constant mean) and the eigen-decomposition of the
// augmented matrix [[0, Fᵀ], [F, R]] that the predictor inverts.
//
// Correlation of two points u and v (power-exponential product):
//   c(u, v) = Π_k exp(-theta[k] · |u_k - v_k|^(2 - alpha[k])),
// with random error entering the diagonal only:
//   R = stochratio · C + (1 - stochratio) · I,  r_i(x) = stochratio · c(x, x_i).
#ifndef MORLA_CORRELATION_H
#define MORLA_CORRELATION_H

#include "model/krig.h"

// Half-width of the band around 0 in which an eigenvalue of the augmented
// matrix counts as zero.
const real SINGULAR_EIGVAL = 3e-14;

// R (n x n) of the n x d design X: R[i][i] = 1, R[i][j] = R[j][i] =
// stochratio · c(x_i, x_j), computed for i < j and mirrored. A stochratio
// outside [0, 1] (or not a number) is fatal.
void calcR(real **X, const real *alpha, const real *theta, real stochratio, int n, int d, real **R);

// r[i] = stochratio · c(newx, x_i) for the n design points. For a new point
// that coincides exactly with x_i while stochratio < 1, r[i] = stochratio
// (the product is skipped). A stochratio outside [0, 1] is fatal.
void calcr(const real *newx, real *r, real **X, const real *alpha, const real *theta, real stochratio,
           int n, int d);

// F (n x r) filled with ones: the constant-mean regression. r must be 1.
void calcF(int n, int r, real **F);

// TRUE when ev lies within the closed band [-3e-14, 3e-14] (or is not a
// number), so that its reciprocal is taken as 0 in the pseudo-inverse.
boolean singular_eigval(real ev);

// Builds the augmented matrix A = [[0 (r x r), Fᵀ], [F, R]] of order n + r
// in U and decomposes it in place: U receives the eigenvectors (columns), ev
// the eigenvalues (unsorted), evinv their reciprocals, 0 for every
// eigenvalue inside the singular band, each of which also prints the (T1)
// warning. r above 1 is fatal. FALSE, with the (T6) warning, when the
// matrix cannot be decomposed (its QL iteration does not settle, or it holds
// a value that is not a finite number); evinv is then all 0 and U holds no
// decomposition.
boolean calc_augmR(int n, int r, real **R, real **F, real **U, real *ev, real *evinv);

// calc_augmR of R and F (n x n, n x r) when `from` may already hold their
// decomposition: if its U flag is set, its order is n + r and its R and F
// are bit for bit R and F, its eigenvectors, eigenvalues and reciprocals are
// copied (the decomposition is deterministic: the same numbers) and its (T1)
// warnings repeated in the same order; otherwise calc_augmR. The caller
// vouches that `from`'s U is the decomposition of its current R and F (it
// has just run kr_cover_augmR).
boolean reuse_augmR(const KrigModel *from, int n, int r, real **R, real **F, real **U, real *ev, real *evinv);

// calcR on the model's design and parameters into its R; sets the R flag.
// The alpha and theta flags must be set.
void kr_calcR(KrigModel *kr);

// The model's F filled with ones; sets the F flag. The model's r must be 1.
void kr_calcF(KrigModel *kr);

// calc_augmR on the model's R and F into U, eigval and eigvalinv; sets the
// U flag, or clears it and returns FALSE when the matrix cannot be
// decomposed. R and F must be current.
boolean kr_cover_augmR(KrigModel *kr);

// The refusal of a command for a model whose augmented matrix cannot be
// decomposed: "Sorry, %s skipped: its correlation matrix cannot be
// decomposed.\n" with the model's label, on the report stream.
void augmR_refusal(const KrigModel *kr);

// Makes the derived object "R", "F" or "U" of the model valid, computing it
// when its flag is not set; any other name is fatal. FALSE only when "U"
// cannot be decomposed.
boolean ensure_init(KrigModel *kr, const char *name);

#endif
