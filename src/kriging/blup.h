// Best linear unbiased prediction of a response model, with its standard
// error, from an eigen-decomposition of the augmented correlation matrix;
// and the guard on negative mean squared errors.
#ifndef MORLA_BLUP_H
#define MORLA_BLUP_H

#include "model/krig.h"

// Predicts at the npred rows of xpred (npred x d) from the model's own design
// and responses, through its current decomposition (U, eigvalinv; the caller
// has run kr_cover_augmR since the last change). ypred (npred x 2) receives
// the prediction in column 0 and the standard error in column 1. cvindex must
// be -1 (no observation left out).
void krigblup(KrigModel *kr, int npred, real **xpred, real **ypred, int cvindex);

// The predictor on any design (X, n x d, responses y) with the decomposition
// U, eigvalinv of its augmented matrix (order n + r) and the correlation
// parameters and variance of `kr`. With a = (1, r(x)), b = (0, y) and
// A+ = U diag(eigvalinv) U':
//   prediction = a' A+ b,  mse = var (1 - a' A+ a),  standard error = sqrt(mse),
// negative mse values going through variance_check in the order of the
// points. r must be 1 when there is a point to predict; otherwise `r_error`
// is the fatal message. The points go through U a block at a time, and many
// points are shared out among the available processors; every result is bit
// for bit that of one point at a time (blup_point), and the guard reports in
// the order of the points.
void blup_on_design(KrigModel *kr, real **X, const real *y, int n, int d, int r, real **U, const real *eigvalinv,
                    int npred, real **xpred, real **ypred, const char *r_error);

// Work storage of the predictor on a design of n runs and r regression
// terms, obtained once and reused for any number of points, so that a
// prediction allocates nothing.
typedef struct {
    int n;       // runs of the design
    int nr;      // order of the augmented matrix, n + r
    real *a;     // (1, r(x)), then (0, y) while the responses are prepared
    real *aU;    // a' U
    real *t1;    // a' U scaled by the guarded reciprocal eigenvalues
    real *bU;    // (0, y)' U, formed once per design and responses
    real *rvec;  // r(x)
} BlupWork;

void blup_work_alloc(BlupWork *w, int n, int r);
void blup_work_free(BlupWork *w);

// Forms b' U for b = (0, y): the part of every prediction that does not
// depend on the point.
void blup_prepare_responses(BlupWork *w, const real *y, real **U);

// One point x of the predictor of blup_on_design through prepared work
// storage (blup_prepare_responses for the prediction; the standard error
// alone needs no responses, pred may then be NULL). `counter` numbers the
// point for the negative-mse guard. The results are bit for bit those of
// blup_on_design.
void blup_point(KrigModel *kr, real **X, int n, int d, real **U, const real *eigvalinv, const real *x,
                BlupWork *w, int counter, real *pred, real *se);

// blup_point when the correlations of x with the first n_known rows of X are
// already known (known_r, n_known reals, as calcr gives them: for instance
// from a prediction on a design that those rows repeat); the rest are
// computed. Bit for bit blup_point.
void blup_point_known(KrigModel *kr, real **X, int n, int d, real **U, const real *eigvalinv, const real *x,
                      const real *known_r, int n_known, BlupWork *w, int counter, real *pred, real *se);

// The mean squared error to use for prediction `counter` (from 0) when the
// computed value `mse` is negative: below -0.1 the program ends through the
// emergency dump of the model; down to -1e-7 it becomes 0 with a warning;
// above, 0 silently.
real variance_check(KrigModel *kr, real mse, int counter);

#endif
