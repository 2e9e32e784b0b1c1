// Cost of the symmetric eigen-decomposition that dominates fitting and
// predictor set-up: correlation matrices of n = 100, 200 and 400 random
// points in 4 inputs, decomposed by `eigen`, by its plain column-walking form
// and, where LAPACK is installed, by dsyev (eigenvalues and eigenvectors);
// and the full augmented-matrix step of a 200-run model.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "alloc/alloc.h"
#include "kriging/correlation.h"
#include "model/krigmodel.h"
#include "numeric/eigen.h"
#include "numeric/unif.h"
#include "plain/eigen_plain.h"

#ifdef MORLA_BENCH_LAPACK
extern "C" void dsyev_(const char *jobz, const char *uplo, const int *n, double *a, const int *lda, double *w,
                       double *work, const int *lwork, int *info);
#endif

namespace {

const int INPUTS = 4;

// A model of `runs` seeded random points in [0, 1]^INPUTS with moderate
// correlation parameters, its R and F computed.
void setup_model(KrigModel *kr, int runs)
{
    NULL_KrigModel(kr);
    init_KrigModel(kr, runs, INPUTS, 1);
    RandInit(10, 20, 1000);
    for (int i = 0; i < runs; i++)
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

template <void (*Decompose)(real **, int, real *)>
void decompose_correlation(benchmark::State &state)
{
    int n = (int)state.range(0);
    KrigModel kr;
    setup_model(&kr, n);
    real **work = NULL;
    real *ev = NULL;
    alloc(n, n, &work);
    alloc(n, &ev);
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < n; i++)
            memcpy(work[i], kr.R[i], n * sizeof(real));
        state.ResumeTiming();
        Decompose(work, n, ev);
        benchmark::DoNotOptimize(ev[0]);
    }
    frei(n, &ev);
    frei(n, n, &work);
    free_KrigModel(&kr);
}

void production_eigen(real **a, int n, real *d) { eigen(a, n, d); }

void BM_Eigen(benchmark::State &state) { decompose_correlation<production_eigen>(state); }
BENCHMARK(BM_Eigen)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);

void BM_EigenPlain(benchmark::State &state) { decompose_correlation<plain::eigen>(state); }
BENCHMARK(BM_EigenPlain)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);

#ifdef MORLA_BENCH_LAPACK
void BM_Dsyev(benchmark::State &state)
{
    int n = (int)state.range(0), info = 0, lwork = -1;
    KrigModel kr;
    setup_model(&kr, n);
    std::vector<double> a((size_t)n * n), w(n), work(1);
    dsyev_("V", "L", &n, a.data(), &n, w.data(), work.data(), &lwork, &info);
    lwork = (int)work[0];
    work.resize(lwork);
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < n; i++)
            memcpy(&a[(size_t)i * n], kr.R[i], n * sizeof(real));
        state.ResumeTiming();
        dsyev_("V", "L", &n, a.data(), &n, w.data(), work.data(), &lwork, &info);
        benchmark::DoNotOptimize(w[0]);
    }
    free_KrigModel(&kr);
}
BENCHMARK(BM_Dsyev)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);
#endif

void BM_CalcAugmR200(benchmark::State &state)
{
    KrigModel kr;
    setup_model(&kr, 200);
    for (auto _ : state) {
        calc_augmR(200, 1, kr.R, kr.F, kr.U, kr.eigval, kr.eigvalinv);
        benchmark::DoNotOptimize(kr.eigvalinv[0]);
    }
    free_KrigModel(&kr);
}
BENCHMARK(BM_CalcAugmR200)->Unit(benchmark::kMillisecond);

} // namespace
