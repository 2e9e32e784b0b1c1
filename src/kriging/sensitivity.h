// Which inputs drive a response: the functional analysis of variance of a
// fitted predictor over its input box (inputs independent and uniform over
// the XDescription ranges). The predictor is
//   yhat(x) = w_0 + stochratio * sum_i w_i c(x, x_i),  w = A+ (0, y),
// a sum of products of one-input factors, so its decomposition into the
// effect of each input and of each pair of inputs is exact: writing
// m_ik for the mean of the factor c_k(., x_ik) and Q_k[i][j] for the
// covariance of the factors of x_i and x_j over input k's range,
//   main variance of k     = s^2 sum_ij w_i w_j Q_k[i][j] prod_{l != k} m_il m_jl,
//   pair variance of j, k  = s^2 sum_ij w_i w_j Q_j[i][j] Q_k[i][j] prod_{l != j,k} m_il m_jl,
//   total variance         = s^2 sum_ij w_i w_j (prod_k (Q_k + m_ik m_jk) - prod_k m_ik m_jk).
// A share is a variance over the total; what the main and pair shares leave
// of 100 percent belongs to interactions of three inputs or more.
#ifndef MORLA_SENSITIVITY_H
#define MORLA_SENSITIVITY_H

#include "model/krig.h"

// The variance of the model's predictor over its input box, returned, and
// its components: components[k] the main-effect variance of input k
// (k < d), then one pure interaction variance per pair of inputs j < k (j
// outer, k inner), d + d (d - 1) / 2 values in all. The model must hold its
// fitted parts and ranges; R and F are brought up to date, and the
// augmented system unless its flag says it is current.
// Every variance is a sum of squares of the predictor's parts over
// quadrature rules, so its rounding grows with the size of the predictor's
// weights, not with its square. With more than two inputs the total is
// formed apart from its parts: *doubtful is then TRUE where a bound on its
// rounding exceeds 1e-4 of it (weights far larger than the predictor, from
// a nearly singular correlation matrix) or where it falls short of the main
// and pair variances.
real variance_components(KrigModel *kr, real *components, boolean *doubtful);

// The shares of one model, as percentages: one row per input and per pair
// of inputs, then their total. To the report when outfile is "screen" or
// "s", otherwise as a text matrix file with the columns Term1, Term2 ("-"
// on an input's own row) and Percentage; mode 'w' creates the file, 'a'
// appends to it. A model that lacks a fitted part or ranges, or has a
// single input, is reported and skipped; a predictor that is constant over
// the box has the shares NA, with a warning.
void Sensitivity(KrigModel *kr, const char *outfile, char mode);

// Handler of the command lines "Sensitivity" (to the report) and
// "Sensitivity > target": the shares of every response and constraint in
// model order, the first creating the file and the others appending to it.
void init_Sensitivity(KrigModel *kr, KrigArray *ka, char **token, int n_token);

#endif
