// Cost of prediction at new points: 10 000 points from a 200-run model in 4
// inputs whose design has been prepared once (correlation matrix and the
// decomposition of the augmented matrix), and the preparation on its own.
// Medians over repetitions.
#include <benchmark/benchmark.h>

#include "alloc/alloc.h"
#include "bench_model.h"
#include "kriging/predict.h"
#include "model/krigmodel.h"
#include "numeric/unif.h"

namespace {

const int RUNS = 200;
const int INPUTS = 4;
const int POINTS = 10000;

void BM_Predict10000From200Runs(benchmark::State &state)
{
    KrigModel kr;
    setup_bench_model(&kr, RUNS, INPUTS);
    real **xpred = NULL, **ypred = NULL;
    alloc(POINTS, INPUTS, &xpred);
    alloc(POINTS, 2, &ypred);
    for (int i = 0; i < POINTS; i++)
        for (int k = 0; k < INPUTS; k++)
            xpred[i][k] = RandUnif();
    init_krigblup_anyXY(&kr, kr.X, RUNS, INPUTS, 1);
    for (auto _ : state) {
        krigblup_anyXY(&kr, kr.X, kr.y, RUNS, INPUTS, POINTS, xpred, ypred);
        benchmark::DoNotOptimize(ypred[POINTS - 1][1]);
    }
    free_krigblup_anyXY(RUNS, 1);
    state.SetItemsProcessed(state.iterations() * POINTS);
    frei(POINTS, 2, &ypred);
    frei(POINTS, INPUTS, &xpred);
    free_KrigModel(&kr);
}
BENCHMARK(BM_Predict10000From200Runs)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_PreparePredictor200Runs(benchmark::State &state)
{
    KrigModel kr;
    setup_bench_model(&kr, RUNS, INPUTS);
    for (auto _ : state) {
        init_krigblup_anyXY(&kr, kr.X, RUNS, INPUTS, 1);
        free_krigblup_anyXY(RUNS, 1);
    }
    free_KrigModel(&kr);
}
BENCHMARK(BM_PreparePredictor200Runs)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
