// Maximum-likelihood fitting: the tries, the choice of the best one, their
// reports and the Fit command.
#include "fit/krigmle.h"

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "alloc/alloc.h"
#include "kriging/correlation.h"
#include "fit/krigfit.h"
#include "fit/krigmlegrad.h"
#include "fit/loglikegrad.h"
#include "fit/krigtrafo.h"
#include "matfile/writemat.h"
#include "model/reports.h"
#include "model/settings.h"
#include "numeric/matrix.h"
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
    else if (iter >= MAX_ITER_FIT)
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

// ---- the tries of a set of fits, side by side ----
//
// A fit is done in three steps. First, in the order of the models, whatever
// a fit does before its searches, and every random draw of every starting
// simplex, in the order of the generator. Then all searches, each in a
// helper thread with a working record of its own, its report lines held in
// a buffer and a fatal error held back (set_fatal_trap). Meanwhile, in the
// order of the models and tries, as each try is done: its buffered lines,
// the choice of the best try, the reports and the final refresh. An
// evaluation of the likelihood depends on the search variables alone, so
// each try finds what it would find in turn, and the report is the one of a
// run that does one try after another.

namespace {

// One try: its starting simplex (drawn before the searches), the search's
// outcome and what it reported.
typedef struct {
    int model;           // index of its fit
    boolean supplied;    // vertex 0 starts at the model's own parameters
    int rows;            // rows of x and y
    real **x;            // simplex: (n_params + 1) x n_params vertices; gradient
                         // method: the starts; x[0] best at the end
    real *y;             // objective values of the rows
    int iter;            // evaluations of the search
    int infty, infty_warn;  // the try's (T4) and (T5) counts
    boolean warned;      // the (T2) warning was printed in the try
    real seconds;        // CPU time of the try
    char *report;        // its report lines
    size_t report_len;
    FILE *stream;        // the open stream of report while it runs
    boolean done;        // finished, or stopped by a fatal error
    FatalTrap trap;      // a fatal error of the try
} FitTry;

// One model to fit.
typedef struct {
    KrigModel *kr;       // the model
    KrigModel rec;       // its working record, ready for the searches
    int n_params;        // search variables
    boolean gradient;    // fitted by the gradient method
    real *lnw;           // gradient method: log range of each input (d)
    GradDesign design;   // gradient method: the pair table of the design
    real *alpha, *theta; // the model's parameters before the fit (d each)
    real stochratio, var;
    char *prologue;      // report lines before the tries
    size_t prologue_len;
    FitTry *tries;       // MleTries tries
} FitJob;

// The tries in the order in which they are reported, handed out to the
// helper threads one at a time, and what the reporting thread waits on.
typedef struct {
    FitJob *jobs;
    FitTry **order;
    int count;
    int next;            // the next try to hand out
    int running;         // helpers neither returned nor stopped by an error
    boolean abandon;     // a try ended in a fatal error: hand out no more
    std::mutex lock;
    std::condition_variable changed;
} TryQueue;

// A report stream that collects text in memory.
FILE *open_buffer(char **text, size_t *len)
{
    *text = NULL;
    *len = 0;
    FILE *f = open_memstream(text, len);
    if (f == NULL)
        nrerror("Fitting: no memory for the report of a try");
    return f;
}

// Prints text collected for the report and releases it. The reports of the
// helper threads go through write_report_text, which counts their warnings
// as if they were given here; text that this thread collected itself has had
// its warnings counted already.
void print_buffer(char **text, size_t len, boolean from_helper = TRUE)
{
    if (from_helper)
        write_report_text(*text, len);
    else
        fwrite(*text, 1, len, ofp);
    free(*text);
    *text = NULL;
}

// Everything before the searches of one model: its headline, the working
// record, the number of search variables and the starting simplices.
void prepare_fit(FitJob *job, int index, KrigModel *kr, const char *headline)
{
    FILE *saved = ofp;
    ofp = open_buffer(&job->prologue, &job->prologue_len);
    if (headline != NULL)
        fputs(headline, ofp);
    job->kr = kr;
    krfit = *kr;
    kr_calcF(&krfit);
    krfit.loglike[0] = NO_FIT_YET;
    int n_params = calc_n_params(krfit.d[0]);
    job->n_params = n_params;
    job->gradient = strcmp(MleOptimMethod, "gradient") == 0;
    if (job->gradient) {
        alloc(krfit.d[0], &job->lnw);
        grad_input_scales(krfit.X, krfit.n[0], krfit.d[0], job->lnw);
        grad_design_init(&job->design, krfit.X, krfit.y, krfit.n[0], krfit.d[0]);
    }
    job->tries = (FitTry *)calloc((size_t)MleTries, sizeof(FitTry));
    if (job->tries == NULL)
        nrerror("Fitting: no memory for the tries");
    for (int k = 0; k < MleTries; k++) {
        FitTry *t = &job->tries[k];
        t->model = index;
        t->supplied = k == 0 && initialized(&krfit.init, "alpha", "theta", NULL, NULL, NULL, FALSE);
        if (!t->supplied) {
            krfit.init.alpha = TRUE;
            krfit.init.theta = TRUE;
        }
        t->rows = job->gradient ? grad_start_count(n_params) : n_params + 1;
        alloc(t->rows, n_params, &t->x);
        alloc(t->rows, &t->y);
        int first = t->supplied ? 1 : 0;
        if (job->gradient)
            grad_central_start(krfit.d[0], k, t->x[first++]);
        for (int i = first; i < t->rows; i++) {
            if (job->gradient)
                grad_random_start(krfit.d[0], t->x[i], i % 2 == 1);
            else
                random_vertex(n_params, t->x[i]);
        }
    }
    // The parameters a supplied start begins from, taken now: the model's
    // own are rewritten as its tries are reported.
    int d = krfit.d[0];
    alloc(d, &job->alpha);
    alloc(d, &job->theta);
    copy_real_vector(d, krfit.alpha, job->alpha);
    copy_real_vector(d, krfit.theta, job->theta);
    job->stochratio = krfit.stochratio[0];
    // The variance only vouches for the ratio: a model whose variance was
    // never given (or is missing) starts from its ratio alone.
    job->var = krfit.init.var && krfit.var[0] != NA_VALUE ? krfit.var[0] : 1.0;
    job->rec = krfit;
    fclose(ofp);
    ofp = saved;
}

// The simplex search of a try on the thread's krfit: the values of the
// starting vertices, then the simplex.
void simplex_search(const FitJob *job, FitTry *t)
{
    int d = job->rec.d[0], dim = job->n_params;
    int first = 0;
    if (t->supplied) {
        fprintf(ofp, "Supplied Parameter values used as Starting values for mle.\n");
        trafo_corpar(krfit.alpha, krfit.theta, krfit.var[0], krfit.stochratio[0], t->x[0], d);
        t->y[0] = krigloglike(t->x[0], dim);
        first = 1;
    }
    for (int i = first; i <= dim; i++)
        t->y[i] = krigloglike(t->x[i], dim);
    t->iter = Minimize(krigloglike, MLE_ABS_TOL, MLE_REL_TOL, MAX_ITER_FIT, dim, t->x, t->y, optim_method);
}

// One search, by the simplex or the gradient method. The thread's own
// krfit gets the model's data with parameter, R, beta and variance storage
// of its own.
void search(const FitJob *job, FitTry *t)
{
    int n = job->rec.n[0], d = job->rec.d[0], r = job->rec.r[0];
    krfit = job->rec;
    krfit.alpha = krfit.theta = krfit.stochratio = krfit.var = krfit.beta = NULL;
    krfit.R = NULL;
    alloc(d, &krfit.alpha);
    alloc(d, &krfit.theta);
    alloc(1, &krfit.stochratio);
    alloc(1, &krfit.var);
    alloc(r, &krfit.beta);
    alloc(n, n, &krfit.R);
    copy_real_vector(d, job->alpha, krfit.alpha);
    copy_real_vector(d, job->theta, krfit.theta);
    krfit.stochratio[0] = job->stochratio;
    krfit.var[0] = job->var;
    fit_global_alloc();
    info_infty = info_infty_warn = 0;
    warnflag = FALSE;

    if (job->gradient) {
        if (t->supplied) {
            fprintf(ofp, "Supplied Parameter values used as Starting values for mle.\n");
            grad_start_from(krfit.alpha, krfit.theta, krfit.stochratio[0], job->lnw, d, t->x[0]);
        }
        // Every second try searches the smooth correlation first: the tries
        // then reach different kinds of maxima.
        boolean smooth_first = (t - job->tries) % 2 == 1;
        t->iter = grad_search(&job->design, job->lnw, t->x, t->y, t->rows, MAX_ITER_FIT, smooth_first);
    } else {
        simplex_search(job, t);
    }
    t->infty = info_infty;
    t->infty_warn = info_infty_warn;
    t->warned = warnflag;

    fit_global_free();
    frei(n, n, &krfit.R);
    frei(r, &krfit.beta);
    frei(1, &krfit.var);
    frei(1, &krfit.stochratio);
    frei(d, &krfit.theta);
    frei(d, &krfit.alpha);
}

// Marks a try done (normally, or by a fatal error) and wakes the reporter.
void try_done(TryQueue *queue, FitTry *t, boolean stopped)
{
    std::lock_guard<std::mutex> guard(queue->lock);
    t->done = TRUE;
    if (stopped) {
        queue->abandon = TRUE;
        queue->running--;
    }
    queue->changed.notify_all();
}

// The context of the trap of a running try.
typedef struct {
    TryQueue *queue;
    FitTry *t;
} TrapContext;

// A fatal error in a try: what it wrote so far is its report. The thread
// then waits for the end of the process (see set_fatal_trap); the others
// take no more tries, since every try reported before this one is taken.
void try_stopped(void *context)
{
    TrapContext *c = (TrapContext *)context;
    fclose(c->t->stream);
    ofp = stdout;
    try_done(c->queue, c->t, TRUE);
}

// A helper thread: takes tries until none is left.
void run_searches(TryQueue *queue)
{
    leave_signals_to_main_thread();
    for (;;) {
        FitTry *t;
        {
            std::lock_guard<std::mutex> guard(queue->lock);
            if (queue->abandon || queue->next >= queue->count) {
                queue->running--;
                queue->changed.notify_all();
                return;
            }
            t = queue->order[queue->next++];
        }
        ofp = t->stream = open_buffer(&t->report, &t->report_len);
        real start = thread_seconds();
        TrapContext context = {queue, t};
        t->trap.on_raise = try_stopped;
        t->trap.context = &context;
        set_fatal_trap(&t->trap);
        search(&queue->jobs[t->model], t);
        set_fatal_trap(NULL);
        t->seconds = thread_seconds() - start;
        fclose(t->stream);
        ofp = stdout;
        try_done(queue, t, FALSE);
    }
}

// Waits until try t is done; after a fatal error in it, until no helper
// runs any more, then reports the error and ends the program.
void await_try(TryQueue *queue, FitTry *t)
{
    std::unique_lock<std::mutex> guard(queue->lock);
    queue->changed.wait(guard, [t] { return t->done != FALSE; });
    if (!t->trap.raised)
        return;
    queue->changed.wait(guard, [queue] { return queue->running == 0; });
    guard.unlock();
    print_buffer(&t->report, t->report_len);
    replay_fatal(&t->trap);
}

// The reports of one model's tries in order, as they are done, the choice
// of the best try and the final refresh of the model. The CPU time reported
// is that of its tries and of this step.
void finish_fit(TryQueue *queue, FitJob *job, int details)
{
    real start = thread_seconds(), tries_seconds = 0.0;
    print_buffer(&job->prologue, job->prologue_len, FALSE);
    krfit = job->rec;
    fit_global_alloc();
    info_infty = 0;
    info_infty_warn = 0;

    int d = krfit.d[0], n_params = job->n_params;
    alloc(d, &tempalpha);
    alloc(d, &temptheta);
    real last = 0.0;
    for (int k = 0; k < MleTries; k++) {
        FitTry *t = &job->tries[k];
        await_try(queue, t);
        print_buffer(&t->report, t->report_len);
        tries_seconds += t->seconds;
        info_infty += t->infty;
        info_infty_warn += t->infty_warn;
        warnflag = t->warned;
        // Every row of the starting simplex, or every start, has been
        // evaluated.
        int iteradd = t->rows + t->iter;
        mle_minim_warning(t->iter);
        if (job->gradient)
            grad_parameters(t->x[0], job->lnw, d, krfit.alpha, krfit.theta, krfit.stochratio);
        else
            invtrafo_corpar(&krfit, t->x[0], d);
        // The first try is always kept, so that the store holds a try even
        // when none beats NO_FIT_YET; later ones only when strictly better.
        if (k == 0 || krfit.loglike[0] < -t->y[0])
            mle_save_corpar(-t->y[0]);
        if (details)
            mle_details_print(k, t->y[0], iteradd);
        last = t->y[0];
    }
    mle_warning_numerical_difficulty();
    if (!(krfit.loglike[0] > NO_FIT_YET))
        nrwarning("No MLE try reached a log likelihood above -1e7. The best try is kept.");
    if (-last != krfit.loglike[0])
        mle_retrieve_corpar();
    update();
    mle_print_result();

    for (int k = 0; k < MleTries; k++) {
        frei(job->tries[k].rows, n_params, &job->tries[k].x);
        frei(job->tries[k].rows, &job->tries[k].y);
    }
    if (job->gradient) {
        grad_design_free(&job->design);
        frei(d, &job->lnw);
    }
    free(job->tries);
    frei(d, &job->alpha);
    frei(d, &job->theta);
    frei(d, &tempalpha);
    frei(d, &temptheta);
    fit_global_free();
    *job->kr = krfit;
    cputime_report("Fitting", tries_seconds + thread_seconds() - start);
}

} // namespace

void krig_mle_set(KrigModel *const *models, const char *const *headlines, int count, int details)
{
    if (count <= 0)
        return;
    FitJob *jobs = (FitJob *)calloc((size_t)count, sizeof(FitJob));
    TryQueue *queue = new TryQueue;
    queue->order = (FitTry **)calloc((size_t)count * MleTries, sizeof(FitTry *));
    if (jobs == NULL || queue->order == NULL)
        nrerror("Fitting: no memory for the fits");
    for (int m = 0; m < count; m++)
        prepare_fit(&jobs[m], m, models[m], headlines != NULL ? headlines[m] : NULL);

    queue->jobs = jobs;
    queue->count = count * MleTries;
    queue->next = 0;
    queue->abandon = FALSE;
    for (int m = 0; m < count; m++)
        for (int k = 0; k < MleTries; k++)
            queue->order[m * MleTries + k] = &jobs[m].tries[k];
    int helpers = available_cores();
    if (helpers > queue->count)
        helpers = queue->count;
    queue->running = helpers;
    std::vector<std::thread> threads;
    for (int h = 0; h < helpers; h++)
        threads.emplace_back(run_searches, queue);

    for (int m = 0; m < count; m++)
        finish_fit(queue, &jobs[m], details);
    for (std::thread &thread : threads)
        thread.join();
    free(queue->order);
    delete queue;
    free(jobs);
}

void krig_mle(KrigModel *kr, int details)
{
    krig_mle_set(&kr, NULL, 1, details);
}

void init_fit(KrigModel *kr, KrigArray *ka, char **token, int n_token)
{
    (void)token;
    if (n_token != 1) {
        refuse("Unexpected Input. No tokens should follow 'Fit' (other than comments).\n");
        return;
    }
    if (!initialized(&kr->init, "X", "y", NULL, NULL, NULL, TRUE))
        return;
    database(kr, ka);
    if (ka->p + ka->c == 0)
        refuse("Sorry, no response variables.\n");
    int count = ka->p + ka->c;
    if (count == 0)
        return;
    KrigModel **models = (KrigModel **)calloc((size_t)count, sizeof(KrigModel *));
    char (*lines)[64] = (char (*)[64])calloc((size_t)count, sizeof *lines);
    const char **headlines = (const char **)calloc((size_t)count, sizeof(const char *));
    if (models == NULL || lines == NULL || headlines == NULL)
        nrerror("Fitting: no memory for the fits");
    for (int i = 0; i < count; i++) {
        warn_missing_response(&kr[i]);
        models[i] = &kr[i];
        snprintf(lines[i], sizeof lines[i], "Fitting %s ... \n", kr[i].ylabel);
        headlines[i] = lines[i];
    }
    krig_mle_set(models, headlines, count, 1);
    free(headlines);
    free(lines);
    free(models);
}
