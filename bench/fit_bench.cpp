// Cost of maximum-likelihood fitting: one evaluation of the concentrated
// likelihood (also by its plain form, and with its gradient by Cholesky
// factorisation), and one whole fit of three tries by either method, for
// designs of 50, 100 and 200 runs in 2, 4 and 8 inputs; and the fit of 100
// runs in 4 inputs on one processor and on all. Whole fits of 200 runs take
// long and run once; the others are repeated. Fits are timed by the wall
// clock (their tries run side by side).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "alloc/alloc.h"
#include "bench_cores.h"
#include "kriging/correlation.h"
#include "fit/krigfit.h"
#include "fit/krigmle.h"
#include "fit/loglikegrad.h"
#include "model/krigmodel.h"
#include "model/settings.h"
#include "numeric/unif.h"
#include "plain/kriging_plain.h"

namespace {

// A model of n seeded random runs in [0, 1]^d with a smooth response.
void setup_model(KrigModel *kr, int n, int d)
{
    NULL_KrigModel(kr);
    init_KrigModel(kr, n, d, 1);
    RandInit(10, 20, 1000);
    for (int i = 0; i < n; i++) {
        real s = 0.0;
        for (int k = 0; k < d; k++) {
            kr->X[i][k] = RandUnif();
            s += sin((k + 1) * kr->X[i][k]) + kr->X[i][k] * kr->X[i][k];
        }
        kr->y[i] = s;
    }
    kr->init.X = kr->init.y = TRUE;
}

// The sizes and repetitions of both likelihood benchmarks.
void likelihood_sizes(benchmark::internal::Benchmark *b)
{
    b->ArgsProduct({{50, 100, 200}, {2, 4, 8}})->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
}

void BM_LogLikelihood(benchmark::State &state)
{
    int n = (int)state.range(0), d = (int)state.range(1);
    KrigModel kr;
    setup_model(&kr, n, d);
    krfit = kr;
    krfit.init.alpha = krfit.init.theta = TRUE;
    fit_global_alloc();
    kr_calcF(&krfit);
    real *v = NULL;
    alloc(2 * d, &v);
    for (int k = 0; k < d; k++) {
        v[k] = asin(-0.5);        // alpha 0.5
        v[d + k] = sqrt(10.0 * 2.0); // theta 2
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(krigloglike(v, 2 * d));
    frei(2 * d, &v);
    fit_global_free();
    free_KrigModel(&kr);
}
BENCHMARK(BM_LogLikelihood)->Apply(likelihood_sizes);

void BM_LogLikelihoodPlain(benchmark::State &state)
{
    int n = (int)state.range(0), d = (int)state.range(1);
    KrigModel kr;
    setup_model(&kr, n, d);
    for (int k = 0; k < d; k++) {
        kr.alpha[k] = 0.5;
        kr.theta[k] = 2.0;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(plain::loglike(kr.X, kr.y, kr.alpha, kr.theta, 1.0, n, d).value);
    free_KrigModel(&kr);
}
BENCHMARK(BM_LogLikelihoodPlain)->Apply(likelihood_sizes);

// Value and gradient of the gradient method, repeated: n runs in d inputs,
// every alpha_k = alpha, theta_k = 2.
void time_gradient(benchmark::State &state, int n, int d, real alpha_k)
{
    KrigModel kr;
    setup_model(&kr, n, d);
    GradDesign g;
    grad_design_init(&g, kr.X, kr.y, n, d);
    GradWork *w = grad_work_new(n, d);
    std::vector<real> alpha(d, alpha_k), theta(d, 2.0), ga(d), gt(d);
    real f = 0.0, gs = 0.0;
    for (auto _ : state) {
        grad_loglike(&g, w, alpha.data(), theta.data(), 1.0, &f, ga.data(), gt.data(), &gs);
        benchmark::DoNotOptimize(f);
    }
    grad_work_free(w);
    grad_design_free(&g);
    free_KrigModel(&kr);
}

// The gradient method at the parameters of the likelihood benchmarks.
void BM_LogLikelihoodGradient(benchmark::State &state)
{
    time_gradient(state, (int)state.range(0), (int)state.range(1), 0.5);
}
BENCHMARK(BM_LogLikelihoodGradient)->Apply(likelihood_sizes);

// The same at the sizes of large designs, 8 inputs, alpha 0 (argument 1 = 0:
// the squared distances, no power to take) or 0.5.
void BM_GradientLarge(benchmark::State &state)
{
    time_gradient(state, (int)state.range(0), 8, state.range(1) ? 0.5 : 0.0);
}
BENCHMARK(BM_GradientLarge)->ArgsProduct({{100, 300, 1000}, {0, 1}})->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_GradientLarge)->ArgsProduct({{2000, 5000}, {0}})->Unit(benchmark::kMillisecond)->Iterations(1);

// Fit of 100 runs in 4 inputs, 3 tries: argument 0 on all processors, 1 on
// one.
void BM_Fit100x4(benchmark::State &state)
{
    KrigModel kr;
    setup_model(&kr, 100, 4);
    MleTries = 3;
    OneCore one(state.range(0) == 1);
    for (auto _ : state) {
        kr.init.alpha = kr.init.theta = FALSE;
        RandInit(10, 20, 1000);
        krig_mle(&kr, 0);
    }
    state.counters["loglike"] = kr.loglike[0];
    free_KrigModel(&kr);
}
BENCHMARK(BM_Fit100x4)
    ->ArgName("cores1")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// Every iteration fits the same model from the same random starts.
void BM_Fit3Tries(benchmark::State &state)
{
    int n = (int)state.range(0), d = (int)state.range(1);
    KrigModel kr;
    setup_model(&kr, n, d);
    MleTries = 3;
    for (auto _ : state) {
        kr.init.alpha = kr.init.theta = FALSE;
        RandInit(10, 20, 1000);
        krig_mle(&kr, 0);
    }
    state.counters["loglike"] = kr.loglike[0];
    free_KrigModel(&kr);
}
BENCHMARK(BM_Fit3Tries)
    ->ArgsProduct({{50, 100}, {2, 4, 8}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Fit3Tries)->ArgsProduct({{200}, {2, 4, 8}})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The same fits by the gradient method.
void BM_Fit3TriesGradient(benchmark::State &state)
{
    strcpy(MleOptimMethod, "gradient");
    BM_Fit3Tries(state);
    strcpy(MleOptimMethod, "simplex");
}
BENCHMARK(BM_Fit3TriesGradient)
    ->ArgsProduct({{50, 100, 200}, {2, 4, 8}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace
