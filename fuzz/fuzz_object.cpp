// Fuzzing target: one object reader (OBJECT_READER: 0 X, 1 y, 2 XDescription,
// 3 StochasticProcessModel, 4 RegressionModel, 5 YDescription) on a store
// loaded with valid objects up to a level, in fast or tracking mode (both
// chosen by the input's length; y and XDescription always find a design, as
// the object commands ensure). Afterwards every object of the store is
// printed and the store released, so that a store left inconsistent shows.
#include <cstdint>

#include "alloc/alloc.h"
#include "harness.h"
#include "matfile/objects.h"
#include "matfile/readdesign.h"
#include "matfile/readmodel.h"
#include "model/reports.h"

namespace {

struct Job {
    int level, speed;
};

const char *const printed[] = {"X", "y", "beta", "R", "F", "range", "corpar", "ydescrip"};

void read_object(void *arg)
{
    const Job *job = (const Job *)arg;
    KrigModel *kr;
    KrigArray *ka;
    make_store(&kr, &ka, job->level, job->speed);
    const char *file = "input.mat";
    switch (OBJECT_READER) {
    case 0: read_x(kr, ka, file); break;
    case 1: read_y(&kr, ka, file); break;
    case 2: read_xdescrip(kr, ka, file); break;
    case 3: read_corpar(kr, ka, file); break;
    case 4: read_beta(&kr, ka, file); break;
    default: read_ydescrip(&kr, ka, file); break;
    }
    database(kr, ka);
    for (const char *name : printed)
        menu_print(&kr, ka, ACTION_PRINT, name, "screen");
    free_store(kr, ka);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    harness_init();
    write_input("input.mat", data, size);
    boolean needs_design = OBJECT_READER == 1 || OBJECT_READER == 2;
    Job job = {needs_design ? 1 + (int)(size % 3) : (int)(size % 4), (int)(size / 4 % 2)};
    guarded_run(read_object, &job);
    return 0;
}
