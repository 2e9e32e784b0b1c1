// Cost of leave-one-out cross-validation: one model of 100 runs in 4 inputs
// cross-validated on its own data (100 reduced designs of 99 runs, each
// decomposed once), beside one preparation of a 99-run design for scale;
// and the closed form from one Cholesky factorisation at 600 and 2000 runs,
// beside LAPACK's Cholesky factorisation and inverse (dpotrf, dpotri) of the
// same 600-run correlation matrix, where LAPACK is installed.
// Medians over repetitions.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "alloc/alloc.h"
#include "bench_model.h"
#include "kriging/correlation.h"
#include "kriging/crossval.h"
#include "kriging/predict.h"
#include "model/krigmodel.h"
#include "model/settings.h"

#ifdef MORLA_BENCH_LAPACK
extern "C" void dpotrf_(const char *uplo, const int *n, double *a, const int *lda, int *info);
extern "C" void dpotri_(const char *uplo, const int *n, double *a, const int *lda, int *info);
#endif

namespace {

const int RUNS = 100;
const int INPUTS = 4;

void BM_CrossValidate100Runs(benchmark::State &state)
{
    KrigModel kr;
    setup_bench_model(&kr, RUNS, INPUTS);
    real **cv = NULL;
    alloc(RUNS, 3, &cv);
    for (auto _ : state) {
        krigcv_anyXY(&kr, kr.X, kr.y, RUNS, INPUTS, cv, 3);
        benchmark::DoNotOptimize(cv[RUNS - 1][2]);
    }
    frei(RUNS, 3, &cv);
    free_KrigModel(&kr);
}
BENCHMARK(BM_CrossValidate100Runs)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_PreparePredictor99Runs(benchmark::State &state)
{
    KrigModel kr;
    setup_bench_model(&kr, RUNS, INPUTS);
    for (auto _ : state) {
        init_krigblup_anyXY(&kr, kr.X, RUNS - 1, INPUTS, 1);
        free_krigblup_anyXY(RUNS - 1, 1);
    }
    free_KrigModel(&kr);
}
BENCHMARK(BM_PreparePredictor99Runs)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The closed form (CrossValidateMethod = closed) on the model's own runs.
void BM_CrossValidateClosed(benchmark::State &state)
{
    int runs = (int)state.range(0);
    KrigModel kr;
    setup_bench_model(&kr, runs, INPUTS);
    real **cv = NULL;
    alloc(runs, 3, &cv);
    strcpy(CrossValidateMethod, "closed");
    for (auto _ : state) {
        krigcv_anyXY(&kr, kr.X, kr.y, runs, INPUTS, cv, 3);
        benchmark::DoNotOptimize(cv[runs - 1][2]);
    }
    strcpy(CrossValidateMethod, "auto");
    frei(runs, 3, &cv);
    free_KrigModel(&kr);
}
BENCHMARK(BM_CrossValidateClosed)->Arg(600)->Arg(2000)->Unit(benchmark::kMillisecond)->Repetitions(5)
    ->ReportAggregatesOnly(true);

#ifdef MORLA_BENCH_LAPACK
// dpotrf and dpotri of the correlation matrix of the same model (the matrix
// is built once; each iteration copies it and factorises and inverts it).
void BM_LapackCholeskyInverse(benchmark::State &state)
{
    int runs = (int)state.range(0);
    KrigModel kr;
    setup_bench_model(&kr, runs, INPUTS);
    real **R = NULL;
    alloc(runs, runs, &R);
    calcR(kr.X, kr.alpha, kr.theta, kr.stochratio[0], runs, INPUTS, R);
    std::vector<double> a0((size_t)runs * runs), a;
    for (int i = 0; i < runs; i++)
        for (int j = 0; j < runs; j++)
            a0[(size_t)j * runs + i] = R[i][j];
    for (auto _ : state) {
        a = a0;
        int info = 0;
        dpotrf_("L", &runs, a.data(), &runs, &info);
        if (info == 0)
            dpotri_("L", &runs, a.data(), &runs, &info);
        if (info != 0)
            state.SkipWithError("dpotrf/dpotri failed");
        benchmark::DoNotOptimize(a[0]);
    }
    frei(runs, runs, &R);
    free_KrigModel(&kr);
}
BENCHMARK(BM_LapackCholeskyInverse)->Arg(600)->Unit(benchmark::kMillisecond)->Repetitions(5)
    ->ReportAggregatesOnly(true);
#endif

} // namespace
