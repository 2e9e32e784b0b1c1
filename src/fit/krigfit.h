// The concentrated likelihood of a response model: the objective that
// maximum-likelihood fitting drives down, the final refresh of a fitted
// model, and the work storage they share.
//
// For correlation parameters with correlation matrix R = U·diag(λ)·Uᵀ and
// R⁺ = U·diag(λ⁺)·Uᵀ (λ⁺ = 1/λ, or 0 for |λ| ≤ 3e-14), the generalised-
// least-squares estimates are
//   beta = (Fᵀ R⁺ F)⁻¹ Fᵀ R⁺ y,   var = (y - F·beta)ᵀ R⁺ (y - F·beta) / n,
// and the objective is the negative concentrated log likelihood without
// constant terms, (n·ln(var) + ln det R) / 2.
//
// Everything works on `krfit`, the model under fit: a copy of the model
// record, which therefore shares the model's arrays. Every thread has its
// own `krfit`, counters and work storage, so that the tries of a fit can run
// side by side, each in a thread with a record of its own.
#ifndef MORLA_KRIGFIT_H
#define MORLA_KRIGFIT_H

#include "model/krig.h"

// The model under fit (a shallow copy of the model record).
extern thread_local KrigModel krfit;
// Evaluations of the current fit whose determinant was exactly 0 (reported
// as (T4)), and whose determinant was negative but above -1e-4 (T5).
extern thread_local int info_infty;
extern thread_local int info_infty_warn;
// The singular-matrix warning (T2) has been printed in the current try.
extern thread_local boolean warnflag;

// Allocates the work storage for the n observations and r regression terms
// of krfit; fit_global_free releases it. One allocation serves every
// evaluation of a fit.
void fit_global_alloc();
void fit_global_free();

// The objective, -(concentrated log likelihood), at the search variables
// parvec (see fit/krigtrafo.h). Sets krfit's alpha, theta (and with
// random error stochratio), R, beta and var; allocates nothing.
//   det R > 0: a var ≤ 0 is warned about and taken as 1e-10; returns
//              (n·ln(var) + ln det R) / 2;
//   det R = 0 (an eigenvalue exactly 0): counted in info_infty, and
//   -1e-4 < det R < 0: counted in info_infty_warn; both return the penalty
//              (n·ln(var) + 1e14) / 2, with a var ≤ 0 taken as 1e-10;
//   det R ≤ -1e-4: fatal ("loglike: detR<0.0 , R is negative definite");
//   det R not a number: fatal ("Fitting: log likelihood is complex?").
// det R is the product of the eigenvalues. Where that product falls below
// the smallest normal double without an eigenvalue exactly 0, ln |det R| is
// taken as Σ ln |λ_i| and the sign from the number of negative eigenvalues.
real krigloglike(real *parvec, int n_params);

// Copies krfit's R into U and decomposes it: eigenvectors in the columns of
// U, eigenvalues in eigval, their reciprocals in eigvalinv (0 inside ±3e-14,
// with the (T2) warning once per try).
void decompose(real **U, real *eigval, real *eigvalinv);
// krfit's beta by generalised least squares from a decomposition of R.
void calc_beta(real **U, const real *diaginv);
// calc_beta, then krfit's var[0] (the total variance, process plus error).
void calc_var(real **U, const real *diaginv);

// Brings krfit up to date for its current parameters: R, F, the augmented
// decomposition, beta and var, with their flags.
void update();

// Number of search variables for d inputs: 2d + 1 with random error, else
// 2d; without random error krfit's stochratio is set to 1 (with a warning
// when it was not).
int calc_n_params(int d);

#endif
