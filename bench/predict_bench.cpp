// Cost of prediction at new points: 10 000 points from a 200-run model in 4
// inputs whose design has been prepared once (correlation matrix and the
// decomposition of the augmented matrix), and the preparation on its own.
// Medians over repetitions.
#include <benchmark/benchmark.h>

#include "alloc/alloc.h"
#include "kriging/predict.h"
#include "model/krigmodel.h"
#include "numeric/unif.h"

namespace {

const int RUNS = 200;
const int INPUTS = 4;
const int POINTS = 10000;

// A model of RUNS seeded random points in [0, 1]^INPUTS with a smooth
// response and moderate correlation parameters.
void setup_model(KrigModel *kr)
{
    NULL_KrigModel(kr);
    init_KrigModel(kr, RUNS, INPUTS, 1);
    RandInit(10, 20, 1000);
    for (int i = 0; i < RUNS; i++) {
        real s = 0.0;
        for (int k = 0; k < INPUTS; k++) {
            kr->X[i][k] = RandUnif();
            s += (k + 1) * kr->X[i][k] * kr->X[i][k];
        }
        kr->y[i] = s;
    }
    for (int k = 0; k < INPUTS; k++) {
        kr->alpha[k] = 0.5;
        kr->theta[k] = 2.0;
    }
    kr->var[0] = 1.5;
    kr->init.X = kr->init.y = kr->init.alpha = kr->init.theta = kr->init.var = TRUE;
}

void BM_Predict10000From200Runs(benchmark::State &state)
{
    KrigModel kr;
    setup_model(&kr);
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
    setup_model(&kr);
    for (auto _ : state) {
        init_krigblup_anyXY(&kr, kr.X, RUNS, INPUTS, 1);
        free_krigblup_anyXY(RUNS, 1);
    }
    free_KrigModel(&kr);
}
BENCHMARK(BM_PreparePredictor200Runs)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
