// The criterion of the minimiser: one evaluation, and one whole search of
// the input box, for a 2-input model of 21 runs and a 6-input model of 61
// runs (10 runs per input and one).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "alloc/alloc.h"
#include "bench_model.h"
#include "kriging/correlation.h"
#include "minimize/criterion.h"
#include "minimize/maxcrit.h"
#include "model/settings.h"
#include "numeric/matrix.h"
#include "numeric/nrerror.h"
#include "numeric/unif.h"

namespace {

// One response, no constraint, over [0, 1]^inputs, ready to evaluate.
struct CriterionSetup {
    KrigModel kr;
    KrigArray ka;
    FILE *saved_ofp;
    explicit CriterionSetup(int inputs)
    {
        int runs = 10 * inputs + 1;
        setup_bench_model(&kr, runs, inputs);
        for (int k = 0; k < inputs; k++) {
            kr.range[k][0] = 0.0;
            kr.range[k][1] = 1.0;
        }
        kr.init.range = TRUE;
        kr_calcR(&kr);
        kr_calcF(&kr);
        kr_cover_augmR(&kr);
        ka.init = TRUE;
        ka.ydescrip_init = FALSE;
        ka.p = 1;
        ka.c = 0;
        ka.pvec = ka.cvec = NULL;
        ka.ydescrip = NULL;
        alloc(1, &ka.pvec);
        alloc(1, &ka.cvec);
        ka.pvec[0] = 0;
        krmin = &kr;
        kam = &ka;
        des_to_min = 0;
        constraint = 0;
        initial_des_n = runs;
        MinTarget = Real_Minimum(runs, kr.y);
        criterion_prepare(&kr, &ka);
        saved_ofp = ofp;
        ofp = fopen("/dev/null", "w");
    }
    ~CriterionSetup()
    {
        fclose(ofp);
        ofp = saved_ofp;
        criterion_release();
        frei(1, &ka.pvec);
        frei(1, &ka.cvec);
        free_KrigModel(&kr);
    }
};

void BM_CriterionEvaluation(benchmark::State &state)
{
    int inputs = (int)state.range(0);
    CriterionSetup setup(inputs);
    real x[6];
    for (int k = 0; k < inputs; k++)
        x[k] = 0.3 * k - 0.7;
    for (auto _ : state)
        benchmark::DoNotOptimize(ExpectedImprovement(x, inputs));
}
BENCHMARK(BM_CriterionEvaluation)->Arg(2)->Arg(6)->Unit(benchmark::kMicrosecond);

void BM_CriterionSearch(benchmark::State &state)
{
    int inputs = (int)state.range(0);
    CriterionSetup setup(inputs);
    real best, xbest[6];
    for (auto _ : state) {
        RandInit(10, 20, 1000);
        CriterionOptimTries = -1;
        benchmark::DoNotOptimize(MaximalExpectedImprovement(&setup.kr, &best, xbest));
    }
    CriterionOptimTries = -1;
}
BENCHMARK(BM_CriterionSearch)->Arg(2)->Arg(6)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
