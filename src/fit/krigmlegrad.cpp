// One try of the gradient method: starts, bounds and the L-BFGS search.
#include "fit/krigmlegrad.h"

#include <cmath>
#include <vector>

#include <nlopt.h>

#include "fit/krigfit.h"
#include "model/settings.h"
#include "numeric/nrerror.h"
#include "numeric/unif.h"
#include "numeric/repmath.h"

namespace {

// Bounds of the search variables.
const real LN_RANGE_LO = -20.72326583694641;  // ln 1e-9
const real LN_RANGE_HI = 9.210340371976184;   // ln 1e4
const real LN_NUGGET_LO = -23.025850929940457; // ln 1e-10
const real LN_NUGGET_HI = -1.0000005000290891e-06; // ln(1 - 1e-6)
// Where random starts lie.
const real START_RANGE_LO = -6.907755278982137; // ln 0.001
const real START_RANGE_HI = 4.605170185988091;  // ln 100
const real START_NUGGET_LO = -18.420680743952367; // ln 1e-8
const real START_NUGGET_HI = -0.01005033585350145; // ln 0.99
// Stopping tests of L-BFGS: relative change of the objective and of the
// search variables.
const real GRAD_FTOL_REL = 1e-9;
const real GRAD_FTOL_ABS = 1e-6;
const real GRAD_XTOL_REL = 1e-7;
// The penalty of a correlation matrix that cannot be decomposed, as in
// krigloglike: (n·ln(1e-10) + 1e14) / 2.
const real VAR_FLOOR = 1e-10;
const real PENALTY_LNDET = 1e14;
// Where an input that barely matters is moved: the exponent of its
// correlation across the input's range, ln 1e-6, and the least gain of the
// objective that keeps it there; rounds of such moves after one search.
const real LN_DROP = -13.815510557964274; // ln 1e-6
const real DROP_GAIN = 1e-6;
const int MAX_DROP_ROUNDS = 3;
// The search by values alone after a failed line search: first steps in
// every variable, evaluations per variable, and the least gain that calls
// for a new gradient search.
const real POLISH_STEP = 0.1;
const int POLISH_EVALS = 20;
const real POLISH_GAIN = 1e-3;
// Designs of up to this many runs get both kinds of search in every try
// (with and without the smooth stage), the moves of inputs that barely
// matter and the polish; larger ones, where an evaluation costs of the order of n³
// operations, one search per try.
const int BOTH_MAX_RUNS = 500;
// Fresh starts of one local search that stopped on a failed line search.
const int MAX_RESTARTS = 5;
// Starts screened per try: at least this many, and at least n_params + 1.
const int MIN_STARTS = 20;
// The factor of the alpha_k in the variables that L-BFGS sees, in every
// second try. Near alpha_k = 0 and a nearly singular R the objective is
// stiff in alpha_k (slopes of 1e2 to 1e4 beside slopes of order 1 in the
// range exponents), and L-BFGS crawls; stretched alpha_k make the slopes
// comparable. Unstretched, the search reaches maxima with alpha_k inside
// (0, 2) that the stretched one passes by: the tries take turns. A power of
// 2, so that the scaling is exact.
const real ALPHA_STRETCH = 256.0;

// Rounds of moves of inputs that barely matter after a local search: up to
// BOTH_MAX_RUNS runs (beyond, an evaluation costs too much for the 5·d
// evaluations of a round).
int drop_rounds(int n)
{
    return n <= BOTH_MAX_RUNS ? MAX_DROP_ROUNDS : 0;
}

real clamp(real v, real lo, real hi)
{
    return v < lo ? lo : v > hi ? hi : v;
}

// What the objective of a search needs, and the best point it has seen.
typedef struct {
    const GradDesign *g;
    GradWork *w;
    const real *lnw;
    int d, dim;
    std::vector<real> alpha, theta, g_alpha, g_theta;
    int evals;
    real best_f;              // the best point of the whole try
    std::vector<real> best_z;
    real here_f;              // the best point of the current local search
    std::vector<real> here_z;
    real stretch;             // the factor of the alpha_k as L-BFGS sees them
    boolean stalled;          // a local search ended on a failed line search
    boolean coordinate;       // a stalled search tries steps along single variables
} Objective;

// The objective at z, with its gradient in z where grad is not NULL. Where R
// is not numerically positive definite the value is the penalty and the
// gradient 0: the search steps back.
real evaluate(Objective *o, const real *z, real *grad)
{
    int d = o->d;
    real s = 1.0;
    grad_parameters(z, o->lnw, d, o->alpha.data(), o->theta.data(), &s);
    if (!RandomError)
        s = 1.0;
    real f, g_s = 0.0;
    boolean with_grad = grad != NULL;
    if (grad_loglike(o->g, o->w, o->alpha.data(), o->theta.data(), s, &f, with_grad ? o->g_alpha.data() : NULL,
                     o->g_theta.data(), &g_s)) {
        if (with_grad) {
            for (int k = 0; k < d; k++) {
                real dtheta = o->g_theta[k] * o->theta[k];
                grad[d + k] = dtheta;
                grad[k] = o->g_alpha[k] + dtheta * o->lnw[k];
            }
            if (RandomError)
                grad[2 * d] = -g_s * rep_exp(z[2 * d]);
        }
    } else {
        // The penalty of krigloglike for a correlation matrix that cannot
        // be decomposed, counted with (T4).
        info_infty++;
        f = 0.5 * (o->g->n * rep_log(VAR_FLOOR) + PENALTY_LNDET);
        if (with_grad)
            for (int k = 0; k < o->dim; k++)
                grad[k] = 0.0;
    }
    if (with_grad)
        for (int k = 0; k < o->dim; k++)
            if (!std::isfinite(grad[k]))
                grad[k] = 0.0;
    return f;
}

// evaluate, counted, and kept where it is the best point so far.
real evaluate_counted(Objective *o, const real *z, real *grad)
{
    real f = evaluate(o, z, grad);
    o->evals++;
    if (f < o->here_f) {
        o->here_f = f;
        o->here_z.assign(z, z + o->dim);
    }
    if (f < o->best_f) {
        o->best_f = f;
        o->best_z.assign(z, z + o->dim);
    }
    return f;
}

// The objective at the L-BFGS point y: alpha_k = y[k] / stretch.
double nlopt_objective(unsigned n, const double *y, double *grad, void *data)
{
    Objective *o = (Objective *)data;
    if (o->stretch == 1.0)
        return evaluate_counted(o, y, grad);
    std::vector<real> z(y, y + n);
    for (int k = 0; k < o->d; k++)
        z[k] = y[k] / o->stretch;
    real f = evaluate_counted(o, z.data(), grad);
    if (grad != NULL)
        for (int k = 0; k < o->d; k++)
            grad[k] /= o->stretch;
    return f;
}

} // namespace

int grad_start_count(int n_params)
{
    return n_params + 1 > MIN_STARTS ? n_params + 1 : MIN_STARTS;
}

void grad_input_scales(real **X, int n, int d, real *lnw)
{
    for (int k = 0; k < d; k++) {
        real lo = X[0][k], hi = X[0][k];
        for (int i = 1; i < n; i++) {
            if (X[i][k] < lo)
                lo = X[i][k];
            if (X[i][k] > hi)
                hi = X[i][k];
        }
        real w = hi - lo;
        lnw[k] = w > 0.0 && std::isfinite(w) ? rep_log(w) : 0.0;
    }
}

void grad_random_start(int d, real *z, boolean gaussian)
{
    for (int k = 0; k < d; k++)
        z[k] = 2.0 * RandUnif();
    if (gaussian)
        for (int k = 0; k < d; k++)
            z[k] = 0.0;
    for (int k = 0; k < d; k++)
        z[d + k] = START_RANGE_LO + (START_RANGE_HI - START_RANGE_LO) * RandUnif();
    if (RandomError)
        z[2 * d] = START_NUGGET_LO + (START_NUGGET_HI - START_NUGGET_LO) * RandUnif();
}

void grad_central_start(int d, int level, real *z)
{
    static const real exponents[3] = {2.0, 0.5, 8.0};
    for (int k = 0; k < d; k++) {
        z[k] = 0.0;
        z[d + k] = rep_log(exponents[level % 3]);
    }
    if (RandomError)
        z[2 * d] = rep_log(0.01);
}

void grad_start_from(const real *alpha, const real *theta, real stochratio, const real *lnw, int d, real *z)
{
    for (int k = 0; k < d; k++) {
        z[k] = clamp(alpha[k], 0.0, 2.0);
        real u = theta[k] > 0.0 ? rep_log(theta[k]) + (2.0 - z[k]) * lnw[k] : LN_RANGE_LO;
        z[d + k] = clamp(u, LN_RANGE_LO, LN_RANGE_HI);
    }
    if (RandomError) {
        real v = stochratio < 1.0 ? rep_log(1.0 - stochratio) : LN_NUGGET_LO;
        z[2 * d] = clamp(v, LN_NUGGET_LO, LN_NUGGET_HI);
    }
}

void grad_parameters(const real *z, const real *lnw, int d, real *alpha, real *theta, real *stochratio)
{
    for (int k = 0; k < d; k++) {
        alpha[k] = z[k];
        theta[k] = rep_exp(z[d + k] - (2.0 - z[k]) * lnw[k]);
    }
    if (RandomError)
        *stochratio = 1.0 - rep_exp(z[2 * d]);
}

namespace {

// Steps along single variables from z of value f, where the gradient is
// out of scale with the curvature (a nearly singular R: the objective can
// gain a tenth in a step of 1e-7 in one alpha_k beside gradients of order 1
// in the others) and the line search of L-BFGS fails. Every variable whose
// gradient points into the box is stepped by s/|g_k| for s = 0.01, 0.1, 1
// and 10 (a first-order gain of s), up to its bound, and the best step is
// kept where it gains. Returns the new value; z is moved.
real coordinate_moves(Objective *o, std::vector<real> &z, real f, const std::vector<real> &lower,
                      const std::vector<real> &upper, int max_evals)
{
    static const real gains[] = {0.01, 0.1, 1.0, 10.0};
    int dim = o->dim;
    if (o->evals >= max_evals)
        return f;
    std::vector<real> g(dim), trial, best;
    evaluate_counted(o, z.data(), g.data());
    for (int k = 0; k < dim && o->evals < max_evals; k++) {
        if (!(g[k] != 0.0))
            continue;
        real dir = g[k] < 0.0 ? 1.0 : -1.0, room = g[k] < 0.0 ? upper[k] - z[k] : z[k] - lower[k];
        real best_f = f - DROP_GAIN;
        for (int m = 0; m < 4 && room > 0.0 && o->evals < max_evals; m++) {
            real h = gains[m] / fabs(g[k]);
            trial = z;
            trial[k] = h < room ? z[k] + dir * h : dir > 0.0 ? upper[k] : lower[k];
            real ft = evaluate_counted(o, trial.data(), NULL);
            if (ft < best_f) {
                best_f = ft;
                best = trial;
            }
            if (h >= room)
                break;
        }
        if (best_f < f - DROP_GAIN) {
            z = best;
            f = best_f;
        }
    }
    return f;
}

// One L-BFGS search from z (moved into the bounds), within the evaluation
// limit. L-BFGS at a bound can stop on a search direction that is not a
// descent direction; it goes on from where it stopped, afresh, as long as
// that still gains. On return z holds the best point of this search and the
// result is its objective value.
real local_search(Objective *o, std::vector<real> &z, const std::vector<real> &lower,
                  const std::vector<real> &upper, int max_evals)
{
    int dim = o->dim;
    for (int k = 0; k < dim; k++)
        z[k] = clamp(z[k], lower[k], upper[k]);
    o->here_f = HUGE_VAL; // a new search: nothing seen yet
    o->here_f = evaluate_counted(o, z.data(), NULL);
    o->here_z = z;
    nlopt_opt opt = nlopt_create(NLOPT_LD_LBFGS, (unsigned)dim);
    if (opt == NULL)
        nrerror("Fitting: the gradient search could not be set up");
    std::vector<real> lo = lower, hi = upper;
    for (int k = 0; k < o->d; k++) {
        lo[k] *= o->stretch;
        hi[k] *= o->stretch;
    }
    nlopt_set_lower_bounds(opt, lo.data());
    nlopt_set_upper_bounds(opt, hi.data());
    nlopt_set_min_objective(opt, nlopt_objective, o);
    nlopt_set_ftol_rel(opt, GRAD_FTOL_REL);
    nlopt_set_ftol_abs(opt, GRAD_FTOL_ABS);
    nlopt_set_xtol_rel(opt, GRAD_XTOL_REL);
    for (int restart = 0; restart <= MAX_RESTARTS && o->evals < max_evals; restart++) {
        real before = o->here_f, f = 0.0;
        nlopt_set_maxeval(opt, max_evals - o->evals);
        for (int k = 0; k < o->d; k++)
            z[k] *= o->stretch;
        nlopt_result result = nlopt_optimize(opt, z.data(), &f);
        z = o->here_z;
        if (result != NLOPT_FAILURE && result != NLOPT_ROUNDOFF_LIMITED)
            break;
        if (!(o->here_f < before - GRAD_FTOL_ABS)) {
            // Stalled (the thorough try polishes its best point later): steps
            // along single variables may still gain, and the search goes on
            // from there.
            o->stalled = TRUE;
            if (!o->coordinate ||
                !(coordinate_moves(o, z, o->here_f, lower, upper, max_evals) < before - GRAD_FTOL_ABS))
                break;
        }
    }
    nlopt_destroy(opt);
    return o->here_f;
}

double nlopt_value(unsigned, const double *z, double *, void *data)
{
    return evaluate_counted((Objective *)data, z, NULL);
}

// A search by values alone (NLopt's subplex) from z: where rounding in R⁻¹
// spoils the gradient (a narrow curved ridge of a nearly singular R), L-BFGS
// stops on a failed line search short of the maximum. At most POLISH_EVALS
// evaluations per search variable. On return z holds the best point of this
// search and the result is its value.
real polish(Objective *o, std::vector<real> &z, const std::vector<real> &lower, const std::vector<real> &upper,
            int max_evals)
{
    int dim = o->dim;
    o->here_f = HUGE_VAL; // a new search: nothing seen yet
    o->here_f = evaluate_counted(o, z.data(), NULL);
    o->here_z = z;
    if (o->evals >= max_evals)
        return o->here_f;
    nlopt_opt opt = nlopt_create(NLOPT_LN_SBPLX, (unsigned)dim);
    if (opt == NULL)
        nrerror("Fitting: the gradient search could not be set up");
    nlopt_set_lower_bounds(opt, lower.data());
    nlopt_set_upper_bounds(opt, upper.data());
    nlopt_set_min_objective(opt, nlopt_value, o);
    nlopt_set_ftol_abs(opt, GRAD_FTOL_ABS);
    std::vector<real> step(dim, POLISH_STEP);
    nlopt_set_initial_step(opt, step.data());
    int budget = POLISH_EVALS * dim;
    nlopt_set_maxeval(opt, budget < max_evals - o->evals ? budget : max_evals - o->evals);
    real f = 0.0;
    nlopt_optimize(opt, z.data(), &f);
    nlopt_destroy(opt);
    z = o->here_z;
    return o->here_f;
}

// Inputs that barely matter: the likelihood can rise as theta_k falls
// towards 0 (the input then acts as a slow trend), across a plateau where the
// gradient in ln theta_k nearly vanishes and rounding in R stops a local
// search before its maximum. From the point z of value f, every input in turn
// gets its range exponent lowered by e, e², e⁴ and e⁸, and the smooth
// correlation at a tiny exponent, keeping the best of these where the
// objective gains; returns TRUE when an input was moved.
boolean drop_inputs(Objective *o, std::vector<real> &z, real *f, int max_evals)
{
    static const real steps[] = {1.0, 2.0, 4.0, 8.0};
    int d = o->d;
    boolean moved = FALSE;
    std::vector<real> trial, best;
    for (int k = 0; k < d && o->evals < max_evals; k++) {
        real best_f = *f - DROP_GAIN;
        for (int m = 0; m <= 4 && o->evals < max_evals; m++) {
            trial = z;
            if (m < 4) {
                trial[d + k] = z[d + k] - steps[m];
                if (trial[d + k] < LN_RANGE_LO)
                    break;
            } else {
                if (z[d + k] <= LN_DROP)
                    break;
                trial[k] = 0.0;
                trial[d + k] = LN_DROP;
            }
            real ft = evaluate_counted(o, trial.data(), NULL);
            if (ft < best_f) {
                best_f = ft;
                best = trial;
            }
        }
        if (best_f < *f - DROP_GAIN) {
            z = best;
            *f = best_f;
            moved = TRUE;
        }
    }
    return moved;
}

} // namespace

int grad_search(const GradDesign *g, const real *lnw, real **starts, real *fval, int count, int max_evals,
                int try_index)
{
    boolean smooth_first = try_index % 2 == 1, thorough = try_index == 0;
    int d = g->d, dim = RandomError ? 2 * d + 1 : 2 * d;
    Objective o;
    o.g = g;
    o.w = grad_work_new(g->n, d);
    o.lnw = lnw;
    o.d = d;
    o.dim = dim;
    o.alpha.resize(d);
    o.theta.resize(d);
    o.g_alpha.resize(d);
    o.g_theta.resize(d);

    // The local search starts from the best start (the first of equal ones).
    int best = 0;
    for (int i = 0; i < count; i++) {
        fval[i] = evaluate(&o, starts[i], NULL);
        if (fval[i] < fval[best])
            best = i;
    }

    std::vector<real> lower(dim), upper(dim);
    for (int k = 0; k < d; k++) {
        lower[k] = 0.0;
        upper[k] = 2.0;
        lower[d + k] = LN_RANGE_LO;
        upper[d + k] = LN_RANGE_HI;
    }
    if (RandomError) {
        lower[2 * d] = LN_NUGGET_LO;
        upper[2 * d] = LN_NUGGET_HI;
    }
    o.evals = 0;
    o.stalled = FALSE;
    o.coordinate = g->n <= BOTH_MAX_RUNS;
    o.stretch = g->n <= BOTH_MAX_RUNS && try_index % 2 == 0 ? ALPHA_STRETCH : 1.0;
    o.best_f = fval[best];
    o.best_z.assign(starts[best], starts[best] + dim);

    // Searches from the best start. Up to BOTH_MAX_RUNS runs: over all
    // variables, then (a thorough try only) first with every alpha_k held at
    // 0 and then over all variables. After the first search, and after the
    // second where it leads the try, inputs that barely matter are moved
    // across their plateau and the search goes on from there. Beyond
    // BOTH_MAX_RUNS runs one search, of the second kind where smooth_first.
    // All within the evaluation limit.
    boolean small = g->n <= BOTH_MAX_RUNS, both = small && thorough;
    for (int pass = 0; pass < (both ? 2 : 1); pass++) {
        std::vector<real> z(starts[best], starts[best] + dim);
        if (both ? pass == 1 : !small && smooth_first) {
            std::vector<real> smooth = upper;
            for (int k = 0; k < d; k++)
                smooth[k] = z[k] = 0.0;
            local_search(&o, z, lower, smooth, max_evals);
        }
        real best_before = o.best_f;
        real f = local_search(&o, z, lower, upper, max_evals);
        // The moves cost 5·d evaluations a round: spent on a search that
        // ends behind the try's best they only polish a point that is not
        // kept.
        boolean leads = pass == 0 || f <= best_before;
        for (int round = 0; leads && round < drop_rounds(g->n) && o.evals < max_evals; round++) {
            if (!drop_inputs(&o, z, &f, max_evals))
                break;
            f = local_search(&o, z, lower, upper, max_evals);
        }
    }
    // A search of a thorough try that stopped on a failed line search: the
    // best point is polished by values alone, and where that gains, searched
    // again (up to BOTH_MAX_RUNS runs: beyond, the polish would cost
    // minutes).
    if (o.stalled && both && o.evals < max_evals) {
        std::vector<real> z = o.best_z;
        real before = o.best_f;
        if (polish(&o, z, lower, upper, max_evals) < before - POLISH_GAIN)
            local_search(&o, z, lower, upper, max_evals);
    }
    grad_work_free(o.w);

    // The best point evaluated goes to row 0, whatever way the searches ended.
    for (int k = 0; k < dim; k++)
        starts[0][k] = o.best_z[k];
    fval[0] = o.best_f;
    return o.evals;
}
