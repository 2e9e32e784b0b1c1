// Cost of leave-one-out cross-validation: one model of 100 runs in 4 inputs
// cross-validated on its own data (100 reduced designs of 99 runs, each
// decomposed once), beside one preparation of a 99-run design for scale.
// Medians over repetitions.
#include <benchmark/benchmark.h>

#include "alloc/alloc.h"
#include "kriging/crossval.h"
#include "kriging/predict.h"
#include "model/krigmodel.h"
#include "numeric/unif.h"

namespace {

const int RUNS = 100;
const int INPUTS = 4;

// A model of RUNS seeded random points in [0, 1]^INPUTS with a smooth
// response and moderate correlation parameters, ready to cross-validate.
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
    kr->beta[0] = 0.0;
    kr->init.X = kr->init.y = kr->init.alpha = kr->init.theta = kr->init.beta = kr->init.var = TRUE;
}

void BM_CrossValidate100Runs(benchmark::State &state)
{
    KrigModel kr;
    setup_model(&kr);
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
    setup_model(&kr);
    for (auto _ : state) {
        init_krigblup_anyXY(&kr, kr.X, RUNS - 1, INPUTS, 1);
        free_krigblup_anyXY(RUNS - 1, 1);
    }
    free_KrigModel(&kr);
}
BENCHMARK(BM_PreparePredictor99Runs)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
