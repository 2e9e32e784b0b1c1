// Matrix file throughput: writing and reading a 100 000-row, 10-column real
// matrix file (two column blocks), in the default fast allocation mode.
// Each benchmark repeats and reports the median.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "alloc/alloc.h"
#include "matfile/readmat.h"
#include "matfile/writemat.h"
#include "numeric/nrerror.h"

namespace {

const int ROWS = 100000;
const int COLS = 10;
const char *FILE_NAME = "matfile_bench.mat";

// A reproducible matrix of values in [-1000, 1000) and its column names.
struct Table {
    real **mat = NULL;
    string *names = NULL;
    Table()
    {
        alloc(ROWS, COLS, &mat);
        alloc(COLS, &names);
        unsigned state = 2024;
        for (int i = 0; i < ROWS; i++)
            for (int j = 0; j < COLS; j++) {
                state = state * 1103515245u + 12345u;
                mat[i][j] = ((state >> 4) % 2000000000u) / 1e6 - 1000.0;
            }
        for (int j = 0; j < COLS; j++)
            snprintf(names[j], sizeof(string), "x%d", j + 1);
    }
    ~Table()
    {
        frei(ROWS, COLS, &mat);
        frei(COLS, &names);
    }
};

void BM_WriteMatrix(benchmark::State &state)
{
    Table t;
    for (auto _ : state)
        outputmatr(ROWS, COLS, t.mat, FILE_NAME, t.names, "", "benchmark", "w");
    unlink(FILE_NAME);
}

void BM_ReadMatrix(benchmark::State &state)
{
    {
        Table t;
        outputmatr(ROWS, COLS, t.mat, FILE_NAME, t.names, "", "benchmark", "w");
    }
    for (auto _ : state) {
        real **mat = NULL;
        string *labels = NULL;
        int n = 0, m = 0;
        if (read_matrix(0, 0, &mat, &n, &m, FILE_NAME, &labels) != 0 || n != ROWS || m != COLS) {
            state.SkipWithError("the file did not read back");
            break;
        }
        frei(n, m, &mat);
        frei(m, &labels);
    }
    unlink(FILE_NAME);
}

BENCHMARK(BM_WriteMatrix)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_ReadMatrix)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

} // namespace
