// Cost of the symmetric eigen-decomposition that dominates fitting and
// predictor set-up: one decomposition of a 200-point correlation matrix, and
// the full augmented-matrix step of a 200-run model.
#include <benchmark/benchmark.h>

#include "alloc/alloc.h"
#include "kriging/correlation.h"
#include "model/krigmodel.h"
#include "numeric/eigen.h"
#include "numeric/unif.h"

namespace {

const int RUNS = 200;
const int INPUTS = 4;

// A model of RUNS seeded random points in [0, 1]^INPUTS with moderate
// correlation parameters, its R and F computed.
void setup_model(KrigModel *kr)
{
    NULL_KrigModel(kr);
    init_KrigModel(kr, RUNS, INPUTS, 1);
    RandInit(10, 20, 1000);
    for (int i = 0; i < RUNS; i++)
        for (int k = 0; k < INPUTS; k++)
            kr->X[i][k] = RandUnif();
    kr->init.X = TRUE;
    for (int k = 0; k < INPUTS; k++) {
        kr->alpha[k] = 0.5;
        kr->theta[k] = 2.0;
    }
    kr->init.alpha = kr->init.theta = TRUE;
    kr_calcR(kr);
    kr_calcF(kr);
}

void BM_EigenCorrelation200(benchmark::State &state)
{
    KrigModel kr;
    setup_model(&kr);
    real **work = NULL;
    real *ev = NULL;
    alloc(RUNS, RUNS, &work);
    alloc(RUNS, &ev);
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < RUNS; i++)
            for (int j = 0; j < RUNS; j++)
                work[i][j] = kr.R[i][j];
        state.ResumeTiming();
        eigen(work, RUNS, ev);
        benchmark::DoNotOptimize(ev[0]);
    }
    frei(RUNS, &ev);
    frei(RUNS, RUNS, &work);
    free_KrigModel(&kr);
}
BENCHMARK(BM_EigenCorrelation200)->Unit(benchmark::kMillisecond);

void BM_CalcAugmR200(benchmark::State &state)
{
    KrigModel kr;
    setup_model(&kr);
    for (auto _ : state) {
        calc_augmR(RUNS, 1, kr.R, kr.F, kr.U, kr.eigval, kr.eigvalinv);
        benchmark::DoNotOptimize(kr.eigvalinv[0]);
    }
    free_KrigModel(&kr);
}
BENCHMARK(BM_CalcAugmR200)->Unit(benchmark::kMillisecond);

} // namespace
