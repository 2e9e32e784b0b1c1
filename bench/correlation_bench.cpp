// Cost of the correlation matrix of 200 runs in 4 inputs, by `calcR` and by
// its plain form (a power for every factor), for exponents 2 - alpha of 1.5
// (a power is needed), 1 (alpha = 1) and 0 (alpha = 2).
#include <benchmark/benchmark.h>

#include "alloc/alloc.h"
#include "kriging/correlation.h"
#include "model/krigmodel.h"
#include "numeric/unif.h"
#include "plain/kriging_plain.h"

namespace {

const int RUNS = 200;
const int INPUTS = 4;

template <bool Plain>
void correlation_matrix(benchmark::State &state)
{
    real alpha_value = state.range(0) / 10.0;
    KrigModel kr;
    NULL_KrigModel(&kr);
    init_KrigModel(&kr, RUNS, INPUTS, 1);
    RandInit(10, 20, 1000);
    for (int i = 0; i < RUNS; i++)
        for (int k = 0; k < INPUTS; k++)
            kr.X[i][k] = RandUnif();
    for (int k = 0; k < INPUTS; k++) {
        kr.alpha[k] = alpha_value;
        kr.theta[k] = 2.0;
    }
    for (auto _ : state) {
        if (Plain)
            plain::calcR(kr.X, kr.alpha, kr.theta, 1.0, RUNS, INPUTS, kr.R);
        else
            calcR(kr.X, kr.alpha, kr.theta, 1.0, RUNS, INPUTS, kr.R);
        benchmark::DoNotOptimize(kr.R[1][0]);
    }
    free_KrigModel(&kr);
}

// The argument is 10 alpha.
void BM_CalcR200(benchmark::State &state) { correlation_matrix<false>(state); }
BENCHMARK(BM_CalcR200)->Arg(5)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond);

void BM_CalcR200Plain(benchmark::State &state) { correlation_matrix<true>(state); }
BENCHMARK(BM_CalcR200Plain)->Arg(5)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond);

} // namespace
