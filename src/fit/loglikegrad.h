// The concentrated log likelihood of a response model (one regression term,
// the constant) with its gradient, through a Cholesky factorisation of R:
// the objective of the gradient method of maximum-likelihood fitting.
//
// With R = s·C + (1 - s)·I = L·Lᵀ, C_ij = exp(-Σ_k theta_k |x_ik - x_jk|^(2 - alpha_k)),
// a1 = R⁻¹·1, ay = R⁻¹·y, beta = 1ᵀay / 1ᵀa1, a = R⁻¹(y - beta) and
// var = (y - beta)ᵀa / n, the objective is the one of fit/krigfit.h,
//   f = (n·ln(var) + ln det R) / 2,   ln det R = 2 Σ ln L_ii.
// Its derivative in any parameter p of R (beta and var being estimates that
// maximise the likelihood, their own derivatives drop out) is
//   ∂f/∂p = -Σ_{i<j} W_ij ∂R_ij/∂p,   W = a·aᵀ/var - R⁻¹.
#ifndef MORLA_LOGLIKEGRAD_H
#define MORLA_LOGLIKEGRAD_H

#include "model/krig.h"

// A design and its responses as the gradient likelihood reads them: the
// logarithms of the distances of every pair of runs in every input, taken
// once per fit. Read-only while the tries run.
typedef struct {
    int n, d;
    const real *y;       // n responses
    real *lndist;        // pairs (i < j, row by row) x d: ln |x_ik - x_jk|, -inf where 0
    real *sqdist;        // the same pairs: (x_ik - x_jk)², the power for alpha_k = 0
} GradDesign;

// Work storage of one search (Cholesky factor, inverse, pair values); it
// keeps the powers of the last call, so it serves one design only.
typedef struct GradWork GradWork;

// The pair table of design X (n x d) with responses y (kept by reference);
// grad_design_free releases it.
void grad_design_init(GradDesign *g, real **X, const real *y, int n, int d);
void grad_design_free(GradDesign *g);

GradWork *grad_work_new(int n, int d);
void grad_work_free(GradWork *w);

// f at alpha, theta (d each) and the process share s in (0, 1], with its
// derivatives in alpha, theta and s written to g_alpha, g_theta, *g_s when
// g_alpha is not NULL. FALSE (nothing written) when R is not numerically
// positive definite: the factorisation fails, or a squared pivot L_ii² is
// below 1e-12. A var that is not positive is taken as 1e-10 (with the
// warning of krigloglike), and the gradient is then 0.
boolean grad_loglike(const GradDesign *g, GradWork *w, const real *alpha, const real *theta, real s,
                     real *f, real *g_alpha, real *g_theta, real *g_s);

#endif
