// Cost of prediction at new points: 10 000 points from a 200-run model in 4
// inputs whose design has been prepared once (correlation matrix and the
// decomposition of the augmented matrix), on every processor, on one, and
// by the plain form (one point at a time); and the preparation on its own.
// Medians over repetitions; wall times (the work is shared among threads).
#include <benchmark/benchmark.h>

#include "alloc/alloc.h"
#include "bench_cores.h"
#include "bench_model.h"
#include "kriging/blup.h"
#include "kriging/correlation.h"
#include "kriging/predict.h"
#include "model/krigmodel.h"
#include "numeric/unif.h"
#include "plain/kriging_plain.h"

namespace {

const int RUNS = 200;
const int INPUTS = 4;
const int POINTS = 10000;

// Argument 0: all processors; 1: one processor; 2: the plain form.
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
    kr_calcR(&kr);
    kr_calcF(&kr);
    kr_cover_augmR(&kr);
    {
        OneCore one(state.range(0) == 1);
        for (auto _ : state) {
            if (state.range(0) == 2)
                plain::blup_on_design(&kr, kr.X, kr.y, RUNS, INPUTS, 1, kr.U, kr.eigvalinv, POINTS, xpred, ypred);
            else
                krigblup(&kr, POINTS, xpred, ypred, -1);
            benchmark::DoNotOptimize(ypred[POINTS - 1][1]);
        }
    }
    state.SetItemsProcessed(state.iterations() * POINTS);
    frei(POINTS, 2, &ypred);
    frei(POINTS, INPUTS, &xpred);
    free_KrigModel(&kr);
}
BENCHMARK(BM_Predict10000From200Runs)
    ->ArgName("form")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

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
