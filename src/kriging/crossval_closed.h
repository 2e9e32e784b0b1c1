// Leave-one-out cross-validation from one Cholesky factorisation of the
// correlation matrix of the whole data set, instead of one decomposition per
// left-out run: O(n^3) in place of O(n^4).
//
// With R the correlation matrix of the data set, F the column of ones,
// Q = R^-1 and P = Q - Q F (F' Q F)^-1 F' Q (the lower-right block of the
// inverse of the augmented matrix [[0, F'], [F, R]]), the prediction of run i
// from the other runs, with the constant mean estimated without run i, and
// its mean squared error are (Dubrule, 1983)
//   prediction_i = y_i - (P y)_i / P_ii,   mse_i = var / P_ii.
#ifndef MORLA_CROSSVAL_CLOSED_H
#define MORLA_CROSSVAL_CLOSED_H

#include "model/krig.h"

// Fills column 0 (prediction) and column 1 (standard error) of rows
// 0 .. an-1 of cvmat for model kr (alpha, theta, stochratio, var; r = 1) on
// the data set anyX (an x ad), anyY, and returns NULL; only where the result
// equals that of one decomposition per left-out run up to rounding.
// Otherwise returns the reason, a short text that completes "no closed-form
// cross-validation, ...", with cvmat unspecified: the correlation matrix is
// not positive definite, or so close to singular that some reduced augmented
// matrix could have an eigenvalue inside the band that the pseudo-inverse
// drops, or a P_ii is not a positive finite number; the variance is
// negative; or the data set holds a pair of runs at one point that the
// reduced predictor correlates differently from the matrix (with random
// error and some alpha of 2). A missing response (NA) takes part as the
// number -1e14, as in the per-run computation, without cancelling against
// the rest. an >= 2.
const char *krigcv_closed(KrigModel *kr, real **anyX, const real *anyY, int an, int ad, real **cvmat);

#endif
