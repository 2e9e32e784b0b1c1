// Cost of leave-one-out cross-validation: one model of 100 runs in 4 inputs
// cross-validated on its own data (100 reduced designs of 99 runs, each
// decomposed once), beside one preparation of a 99-run design for scale.
// Medians over repetitions.
#include <benchmark/benchmark.h>

#include "alloc/alloc.h"
#include "bench_model.h"
#include "kriging/crossval.h"
#include "kriging/predict.h"
#include "model/krigmodel.h"

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

} // namespace
