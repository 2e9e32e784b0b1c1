// Maximum-likelihood fitting: the tries, the choice of the best one, their
// reports and the Fit command.
#include "kriging/krigmle.h"

#include <cstdio>

#include "alloc/alloc.h"
#include "kriging/correlation.h"
#include "kriging/krigfit.h"
#include "kriging/krigtrafo.h"
#include "matfile/writemat.h"
#include "model/reports.h"
#include "model/settings.h"
#include "numeric/nrerror.h"
#include "numeric/simplex.h"
#include "numeric/unif.h"
#include "numeric/unix.h"

namespace {

const char *const optim_method = "simplex";
// The absolute test of the simplex never fires: ranges are not negative.
const real MLE_ABS_TOL = -6.0;
const real MLE_REL_TOL = 1e-5;
// Log likelihood that every real try is expected to beat.
const real NO_FIT_YET = -10000000.0;
const real PI_START = 3.14159265359;

// The best try so far: its alpha, theta and stochratio (its log likelihood
// is the model's loglike[0]).
real *tempalpha = NULL;
real *temptheta = NULL;
real temp_stochratio = 1.0;

void mle_save_corpar(real loglike)
{
    int d = krfit.d[0];
    krfit.loglike[0] = loglike;
    for (int k = 0; k < d; k++) {
        tempalpha[k] = krfit.alpha[k];
        temptheta[k] = krfit.theta[k];
    }
    temp_stochratio = krfit.stochratio[0];
}

void mle_retrieve_corpar()
{
    int d = krfit.d[0];
    for (int k = 0; k < d; k++) {
        krfit.alpha[k] = tempalpha[k];
        krfit.theta[k] = temptheta[k];
    }
    krfit.stochratio[0] = temp_stochratio;
}

void mle_details_print(int k, real y0, int iter)
{
    fprintf(ofp, "MLE-Try %2d, MaxLogLike: %.2f, Evals:%4d", k + 1, -y0, iter);
    if (RandomError)
        fprintf(ofp, ", StochVar/TotalVar:%7.2f", krfit.stochratio[0]);
    fprintf(ofp, "\n");
    printvecr(krfit.d[0], krfit.alpha, "alpha:");
    printvecr(krfit.d[0], krfit.theta, "theta:");
}

void mle_print_result()
{
    real var = krfit.var[0], ratio = krfit.stochratio[0];
    fprintf(ofp, "LogLikelihood:%f StochVariance:%f", krfit.loglike[0], ratio * var);
    if (RandomError)
        fprintf(ofp, ", ErrorVar:%7.2f", (1.0 - ratio) * var);
    fprintf(ofp, "\n");
    printvecr(krfit.d[0], krfit.alpha, "mle alpha:");
    printvecr(krfit.d[0], krfit.theta, "mle theta:");
}

void mle_minim_warning(int iter)
{
    if (iter == 0)
        nrwarning("One MLE try failed to start");
    else if (iter > MAX_ITER_FIT)
        nrwarning("MLE try was interrupted when max iteration was reached");
}

void mle_warning_numerical_difficulty()
{
    if (info_infty > 0)
        fprintf(ofp, "INFO: Some numerical difficulties in computing likelihood. Frequency:%d.(T4)\n",
                info_infty);
    if (info_infty_warn > 0)
        fprintf(ofp, "WARNING: Some numerical difficulties in computing likelihood. Frequency:%d.(T5)\n",
                info_infty_warn);
}

// A random vertex: dim_y draws in order, and with random error one more
// for the last entry (a process share in (0.5, 1]).
void random_vertex(int dim_y, real *x)
{
    for (int k = 0; k < dim_y; k++)
        x[k] = (RandUnif() - 0.5) * PI_START;
    if (RandomError)
        x[dim_y - 1] = RandUnif() * PI_START / 2;
}

} // namespace

void start_values_krfit(int try_num, int dim_y, real **x, real *y)
{
    int first = 0;
    if (try_num <= 1 && initialized(&krfit.init, "alpha", "theta", NULL, NULL, NULL, FALSE)) {
        if (try_num != 1)
            nrerror("start_values_krfit: Code Bug. try_num<1 or 'initalized' bug");
        fprintf(ofp, "Supplied Parameter values used as Starting values for mle.\n");
        // The variance only vouches for the ratio: a model whose variance
        // was never given (or is missing) starts from its ratio alone.
        real var = krfit.init.var && krfit.var[0] != NA_VALUE ? krfit.var[0] : 1.0;
        trafo_corpar(krfit.alpha, krfit.theta, var, krfit.stochratio[0], x[0], krfit.d[0]);
        y[0] = krigloglike(x[0], dim_y);
        first = 1;
    } else {
        krfit.init.alpha = TRUE;
        krfit.init.theta = TRUE;
    }
    for (int i = first; i <= dim_y; i++) {
        random_vertex(dim_y, x[i]);
        y[i] = krigloglike(x[i], dim_y);
    }
}

void krig_mle(KrigModel *kr, int details)
{
    cputime(11, "Fitting");
    krfit = *kr;
    fit_global_alloc();
    kr_calcF(&krfit);
    info_infty = 0;
    info_infty_warn = 0;
    krfit.loglike[0] = NO_FIT_YET;

    int d = krfit.d[0];
    int n_params = calc_n_params(d);
    real **x = NULL, *y = NULL;
    alloc(n_params + 1, n_params, &x);
    alloc(n_params + 1, &y);
    alloc(d, &tempalpha);
    alloc(d, &temptheta);

    for (int k = 0; k < MleTries; k++) {
        int iteradd = 0;
        warnflag = FALSE;
        start_values_krfit(k + 1, n_params, x, y);
        // Every vertex of the starting simplex has been evaluated.
        iteradd += n_params + 1;
        int iter = Minimize(krigloglike, MLE_ABS_TOL, MLE_REL_TOL, MAX_ITER_FIT, n_params, x, y, optim_method);
        iteradd += iter;
        mle_minim_warning(iter);
        invtrafo_corpar(&krfit, x[0], d);
        // The first try is always kept, so that the store holds a try even
        // when none beats NO_FIT_YET; later ones only when strictly better.
        if (k == 0 || krfit.loglike[0] < -y[0])
            mle_save_corpar(-y[0]);
        if (details)
            mle_details_print(k, y[0], iteradd);
    }
    mle_warning_numerical_difficulty();
    if (!(krfit.loglike[0] > NO_FIT_YET))
        nrwarning("No MLE try reached a log likelihood above -1e7. The best try is kept.");
    if (-y[0] != krfit.loglike[0])
        mle_retrieve_corpar();
    update();
    mle_print_result();

    frei(n_params + 1, n_params, &x);
    frei(n_params + 1, &y);
    frei(d, &tempalpha);
    frei(d, &temptheta);
    fit_global_free();
    *kr = krfit;
    cputime(12, "Fitting");
}

void init_fit(KrigModel *kr, KrigArray *ka, char **token, int n_token)
{
    (void)token;
    if (n_token != 1) {
        fprintf(ofp, "Unexpected Input. No tokens should follow 'Fit' (other than comments).\n");
        return;
    }
    if (!initialized(&kr->init, "X", "y", NULL, NULL, NULL, TRUE))
        return;
    database(kr, ka);
    if (ka->p + ka->c == 0)
        fprintf(ofp, "Sorry, no response variables.\n");
    for (int i = 0; i < ka->p + ka->c; i++) {
        fprintf(ofp, "Fitting %s ... \n", kr[i].ylabel);
        krig_mle(&kr[i], 1);
    }
}
