// The search variables of maximum-likelihood fitting: the correlation
// parameters mapped onto the whole real line, so that an unconstrained
// minimiser keeps every parameter in its range.
//
// For d inputs the vector holds v[k] = arcsin(alpha[k] - 1) for k < d,
// v[d + k] = sqrt(10 · theta[k]), and, when random error is modelled,
// v[2d] = arcsin(2 · (stochratio - 0.5)). The inverse,
//   alpha[k] = sin(v[k]) + 1 ∈ [0, 2],  theta[k] = v[d + k]² / 10 ≥ 0,
//   stochratio = sin(v[2d]) / 2 + 0.5 ∈ [0, 1],
// is defined for every real vector.
#ifndef MORLA_KRIGTRAFO_H
#define MORLA_KRIGTRAFO_H

#include "model/krig.h"

// Parameters -> search variables (oned = d; v[2d] only with random error).
// Fatal: alpha[k] outside [0, 2] ("krigfit, trafo_corpar: arcsin argument
// out of range"), theta[k] negative ("trafo_corpar: theta<0.0"), and, with
// random error, var not above 0 ("trafo_corpar: var").
void trafo_corpar(const real *alpha, const real *theta, real var, real stochratio, real *vec, int oned);

// Search variables -> the alpha, theta and (with random error) stochratio[0]
// of kr (oned = d).
void invtrafo_corpar(KrigModel *kr, const real *vec, int oned);

#endif
