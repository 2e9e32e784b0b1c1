// The design read as the first command of a run: `read_x` of a 5 000-row and
// a 100 000-row design (two inputs) into the start-up record, in tracking
// mode (as the first command always runs) and in fast mode. Only the read
// is timed; the records are made and released outside the timing, in the
// same mode.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "alloc/alloc.h"
#include "matfile/readdesign.h"
#include "matfile/writemat.h"
#include "model/krigmodel.h"

namespace {

// Writes a reproducible design of `rows` runs in [0, 1)^2; returns its name.
const char *design_file(int rows)
{
    static char name[64];
    snprintf(name, sizeof name, "tracking_bench_%d.mat", rows);
    real **x = NULL;
    alloc(rows, 2, &x);
    unsigned state = 77;
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < 2; j++) {
            state = state * 1103515245u + 12345u;
            x[i][j] = ((state >> 8) % 100000u) / 1e5;
        }
    string names[2] = {"x1", "x2"};
    outputmatr(rows, 2, x, name, names, "", "design", "w");
    frei(rows, 2, &x);
    return name;
}

// Argument 0: rows of the design; argument 1: SPEED (0 tracking, 1 fast).
void BM_FirstDesignRead(benchmark::State &state)
{
    const char *file = design_file((int)state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        SPEED = (int)state.range(1);
        KrigModel *kr = (KrigModel *)malloc(sizeof(KrigModel));
        KrigArray *ka = (KrigArray *)malloc(sizeof(KrigArray));
        NULL_KrigModel(kr);
        NULL_KrigArray(ka);
        init_KrigModel(kr, 21, 2, 1);
        init_KrigArray(ka);
        state.ResumeTiming();

        int result = read_x(kr, ka, file);

        state.PauseTiming();
        if (result != 0 || kr->n[0] != state.range(0))
            state.SkipWithError("the design was not read");
        free_Krig_cover(ka, kr);
        SPEED = 1;
        state.ResumeTiming();
    }
    unlink(file);
}

BENCHMARK(BM_FirstDesignRead)
    ->Args({5000, 0})
    ->Args({5000, 1})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->ArgNames({"rows", "fast"})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
