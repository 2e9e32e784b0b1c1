// The criterion of the sequential minimiser: the generalised expected
// improvement of the target response, reduced to the response's scale by its
// g-th root and multiplied by the probability that every constraint holds;
// and the state shared by the criterion search, the minimisation loop and the
// staged designs.
//
// With Y(x) ~ N(mu, sigma²) the prediction of the target, z = (T - mu)/sigma
// for the target value T and g = GlobalEiParam:
//   g = 1:  sigma (z Φ(z) + φ(z)),
//   g = 0:  Φ(z) (probability of improvement), -ln(-z) where Φ(z) is 0,
//   g >= 2: sigma (Σ_i C(g, i) (-1)^i z^(g-i) T_i(z))^(1/g),
// where T_i(z) = ∫_{-∞}^{z} u^i φ(u) du. In staged mode the leading sigma is
// the standard error with the design augmented by the points already chosen;
// under Minimize, while runs without a target value exist, it is the
// standard error with those runs included, so that the criterion vanishes
// there too.
#ifndef MORLA_CRITERION_H
#define MORLA_CRITERION_H

#include "general.h"
#include "model/krig.h"

// State of the minimisation commands, set up before any criterion is
// evaluated.
extern KrigModel *krmin;      // the models of all responses and constraints
extern KrigArray *kam;        // their response set
extern real ymin;             // smallest feasible observed value of the target
extern int des_to_min;        // 1 while the standard-error factor comes from anyX
extern int constraint;        // 1 when there is at least one constraint
extern real **anyX;           // staged: the design and the points chosen; under
                              // Minimize: every run, also those the target lacks
extern int anyX_rows;         // rows of anyX in use
extern int anyX_cols;         // its columns (the inputs)
extern int initial_des_n;     // design points when the command started
extern string trafo_method;   // interval mapping of the searches: "sin"

// Limit on local-search effort and on the tries of a criterion search.
const int MAX_ITER = 2000;

// Points the state at the models and response set of a command: staged
// (1) while a batch is chosen, 0 under Minimize; the constraint flag from the
// response set.
void criterion_state(KrigModel *kr, KrigArray *ka, int staged);

// Makes the criterion ready to evaluate: work storage of the predictor of
// every model and the responses' part of each prediction, formed once. The
// decompositions of all models (U, eigvalinv) must be current; call again
// after any of them changes. criterion_release gives the storage back.
void criterion_prepare(KrigModel *kr, KrigArray *ka);
void criterion_release();
// Forgets the prepared predictors without releasing them: for a run that
// starts afresh within the same process after a fatal error ended the
// previous one (the fuzzing harness, which releases that run's blocks itself).
void criterion_forget();

// T_p(zmin) = ∫_{-∞}^{zmin} u^p φ(u) du from φ(zmin) and Φ(zmin), by
// T_0 = Φ, T_1 = -φ, T_p = (p - 1) T_{p-2} - zmin^(p-1) φ. p < 0 is fatal.
real recurse_integral(int p, real pdfprob, real cdfprob, real zmin);

// The criterion for z = (T - mu)/sigma with the leading factor `scale`
// (sigma, or the staged standard error) and exponent g, as above. g < 0 and
// g > 10 are fatal.
real generalised_improvement(real z, real scale, int g);

// The negated criterion at the unbounded point x (d coordinates, mapped into
// the target's input box): the objective shape of the local minimisers.
real ExpectedImprovement(real *x, int dopt);

// Probability that every constraint's response at the box point trafo_x
// (1 x d) lies within its bounds, the constraints taken as independent.
real ConstraintProb(real **trafo_x, int d);

#endif
