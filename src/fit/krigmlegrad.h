// The gradient method of maximum-likelihood fitting: one try is a bounded
// quasi-Newton search (L-BFGS) of the objective of fit/loglikegrad.h, from
// the best of several starts spread over the whole plausible range.
//
// Search variables for d inputs (n_params = 2d, or 2d + 1 with random error):
//   z[k]      = alpha_k                                   in [0, 2],
//   z[d + k]  = ln theta_k + (2 - alpha_k)·ln w_k          in [ln 1e-9, ln 1e4],
//   z[2d]     = ln(1 - stochratio)                         in [ln 1e-10, ln(1 - 1e-6)],
// with w_k the range of input k in the design (1 where the input does not
// vary). z[d + k] is the exponent of the correlation across the whole range
// of input k, exp(-theta_k·w_k^(2 - alpha_k)) = exp(-e^z[d+k]), so that the
// bounds and the starts mean the same for inputs of any scale.
#ifndef MORLA_KRIGMLEGRAD_H
#define MORLA_KRIGMLEGRAD_H

#include "fit/loglikegrad.h"
#include "model/krig.h"

// Starting points screened by one try for n_params search variables.
int grad_start_count(int n_params);

// ln w_k of every input of the design X (n x d).
void grad_input_scales(real **X, int n, int d, real *lnw);

// A random start: alpha_k uniform on [0, 2], then z[d + k] uniform on
// [ln 0.001, ln 100], in input order, and with random error one more draw,
// 1 - stochratio log-uniform on [1e-8, 0.99]: 2d (+1) draws of RandUnif.
// A gaussian start then sets every alpha_k to 0 (smooth responses have
// their optimum there, on the bound).
void grad_random_start(int d, real *z, boolean gaussian);

// A central start, drawing nothing: every alpha_k = 0 and the same exponent
// across every input's range, 2, 0.5 or 8 for level 0, 1 or 2 (and so on in
// turn); with random error an error share of 0.01.
void grad_central_start(int d, int level, real *z);

// The search point of the given parameters, moved into the bounds.
void grad_start_from(const real *alpha, const real *theta, real stochratio, const real *lnw, int d, real *z);

// The parameters of search point z: alpha and theta (d each), and with
// random error *stochratio.
void grad_parameters(const real *z, const real *lnw, int d, real *alpha, real *theta, real *stochratio);

// One try (counting the points where R is not numerically positive
// definite, which get the penalty of krigloglike, in krfit's info_infty):
// evaluates the `count` rows of starts (values into fval), then runs L-BFGS
// from the best of them: for up to 500 runs two searches, one over all
// variables and one that first holds every alpha_k at 0 (the smooth
// correlation: fewer variables, cheaper evaluations, and the basins of
// inputs that act as slow trends) and then goes on over all variables, each
// followed by up to three rounds of moves of inputs whose range exponent
// can be lowered with a gain and a resumed search; beyond 500 runs one
// search, of the second kind where smooth_first. Up to 500 runs, where a
// search stopped on a failed line search, the best point is then polished
// by a search by values alone (and searched again where that gains). All
// within max_evals evaluations. On return row 0 of
// starts holds the best point found and fval[0] its objective value.
// Returns the number of evaluations after the screen of the starts.
int grad_search(const GradDesign *g, const real *lnw, real **starts, real *fval, int count, int max_evals,
                boolean smooth_first);

#endif
