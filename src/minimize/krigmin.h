// The Minimize command: sequential design for minimising the first response,
// optionally subject to constraint responses. Each pass refits (or refreshes)
// the models, finds the point of largest criterion, runs the outside
// objective program there, and adds the new run to every model; the loop
// stops after three consecutive passes with a small criterion, when the
// criterion search gives up, when the user's target is reached or the design
// has MaximumSample runs, or when a failure leaves nothing sound to go on
// with.
#ifndef MORLA_KRIGMIN_H
#define MORLA_KRIGMIN_H

#include "general.h"
#include "model/krig.h"

// The command handler: no further tokens. Warns when the loop ended because
// no positive criterion was found (status 1) or the local searches failed
// (status 2). random_error is the option RandomError in force.
void init_Minimize(KrigModel *kr, KrigArray *ka, char **token, int n_token, boolean random_error);

// minimize's result when a failure stopped the loop (the objective failed or
// gave missing values in too many runs in a row, a fit's likelihood is not
// a number); the reason has been reported.
#define MINIMIZE_FAILED 4

// The loop; returns the status of the last criterion search (0 when it ended
// by convergence, by reaching MaximumSample or the user's MinimizationTarget,
// or never started), or MINIMIZE_FAILED. After every simulator run, every run
// of the design (its inputs, and the values of all responses and
// constraints, NA where the simulator gave none) is written to
// "minimize_x.mat" and "minimize_y.mat", which read back as X and y. A run
// whose value of a model is missing stays in the design but is left out of
// that model's fits and predictions while the loop runs; at the end every
// model holds the whole design again (NA where a value is missing). Removes
// the exchange file at the end if it wrote it.
int minimize(KrigModel *kr, KrigArray *ka);

// TRUE when every constraint model has X, y, range and, with fit_params,
// alpha, beta, theta and var; otherwise the missing objects are reported,
// followed by a line saying that they belong to the constraints.
boolean constraint_init(KrigModel *kr, KrigArray *ka, boolean fit_params);

// ymin = the smallest target value over the runs that meet every constraint
// and whose target value is not missing (a missing constraint value counts
// as not met); with random error, the prediction at that run instead. No
// such run is fatal.
void calc_ymin(KrigArray *ka, KrigModel *kr);
// Lowers ymin to the new run's target value when it is smaller, not missing,
// and the run meets every constraint (a missing constraint value does not).
void update_ymin(KrigArray *ka, const real *newy);

// TRUE when the models are refitted in pass i with n runs, the last refit
// having been made at last_mle_n runs. At exactly 100 runs a refit frequency
// below 10 becomes 10 for the rest of the run.
boolean do_mle(int i, int n, int last_mle_n);

// TRUE when a pass with target y and maximal criterion deltay counts as
// converged.
boolean ConvergeCrit(real y, real deltay);

// The report of one pass; prob is the probability that the constraints are
// met at xbest (shown when there are constraints). A missing value shows as
// NA.
void minimize_output(int n, int d, real *xbest, int ny, real *newy, real MaxExpImp, int pos_pvec,
                     int constraint, real prob);

#endif
