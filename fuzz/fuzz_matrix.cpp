// Fuzzing target: the matrix file reader in one cell form (MATRIX_CELL, real
// or string) on a file named MATRIX_FILE (a name ending in .csv takes the
// CSV reader), as a fresh read or into a 3 x 2 matrix handed in, in fast or
// tracking mode (chosen by the input's length). Whatever the result, the
// storage handed back must be exactly what the counts describe: every cell
// is read and everything is released with those counts.
#include <cstdint>
#include <cstdlib>

#include "alloc/alloc.h"
#include "harness.h"
#include "matfile/readmat.h"

#ifndef MATRIX_FILE
#define MATRIX_FILE "input.mat"
#endif

namespace {

struct Read {
    boolean reuse;
};

// Every cell read lands here, so that no read can be left out.
volatile char touched = 0;

void read(void *arg)
{
    const Read *r = (const Read *)arg;
    MATRIX_CELL **mat = NULL;
    string *labels = NULL;
    int n = 0, m = 0;
    if (r->reuse) {
        n = 3;
        m = 2;
        alloc(n, m, &mat);
        alloc(m, &labels);
    }
    int code = read_matrix(n, m, &mat, &n, &m, MATRIX_FILE, &labels);
    if (code == 0 && (n <= 0 || m <= 0))
        abort();
    for (int i = 0; mat != NULL && i < n; i++)
        for (int j = 0; j < m; j++)
            touched = touched ^ *(const char *)&mat[i][j];
    for (int j = 0; labels != NULL && j < m; j++)
        touched = touched ^ labels[j][0];
    if (mat != NULL)
        frei(n, m, &mat);
    if (labels != NULL)
        frei(m, &labels);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    harness_init();
    write_input(MATRIX_FILE, data, size);
    Read r = {(boolean)(size % 2)};
    for (int speed = 1; speed >= 0; speed--) {
        SPEED = speed;
        struct Job {
            Read *r;
            int speed;
        } job = {&r, speed};
        guarded_run(
            [](void *arg) {
                Job *j = (Job *)arg;
                SPEED = j->speed;
                read(j->r);
            },
            &job);
    }
    return 0;
}
