// Maximum-likelihood fitting of the correlation parameters of a response
// model: several searches ("tries") minimise the negative concentrated log
// likelihood, the best try wins. By the option MleOptimMethod a try is a
// simplex search over the search variables of fit/krigtrafo.h on the
// likelihood of fit/krigfit.h ("simplex", the default), or the gradient
// method of fit/krigmlegrad.h ("gradient"). Also the Fit command.
#ifndef MORLA_KRIGMLE_H
#define MORLA_KRIGMLE_H

#include "model/krig.h"

// Evaluation limit of one try.
const int MAX_ITER_FIT = 2000;

// Fits model kr in place: MleTries tries, the first from the model's own
// alpha and theta when it has them, the others from random starts drawn
// with RandUnif (the gradient method draws all its starts, and adds a
// central one to every try). Afterwards the model holds the best try's alpha, theta
// (and with random error stochratio), its log likelihood in loglike[0], and
// the R, F, augmented decomposition, beta and var that belong to them, with
// their flags. details = 1 reports every try, 0 only the result. Timed as
// "Fitting". When no try reaches a log likelihood above -1e7 the best try
// is kept all the same, with its own log likelihood, and a warning says so.
void krig_mle(KrigModel *kr, int details);

// Fits the `count` models in turn as krig_mle does, each after its headline
// (a complete report line, or no line where headlines is NULL). The tries of
// all the models run side by side on the available processors; the random
// starts are drawn, and every report line printed, in the order of a run
// that fits one model and one try after another, with the same results. A
// fatal error inside a try ends the program where that run would end it.
void krig_mle_set(KrigModel *const *models, const char *const *headlines, int count, int details);

// The starting simplex of try number try_num (from 1) for dim_y search
// variables: x has dim_y + 1 rows of dim_y, y their objective values. Try 1
// of a model with alpha and theta starts its vertex 0 there (and says so);
// every other vertex is random, dim_y draws of (u - 0.5)·π each, and with
// random error one more draw u·π/2 replaces the last entry.
void start_values_krfit(int try_num, int dim_y, real **x, real *y);

// The Fit command: every response and constraint model in turn.
void init_fit(KrigModel *kr, KrigArray *ka, char **token, int n_token);

#endif
