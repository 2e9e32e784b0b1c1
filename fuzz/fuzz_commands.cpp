// Fuzzing target: a whole command file through the command loop, from the
// start-up state of the program, in a scratch directory of valid input files
// (design.mat, resp.mat, ranges.mat, corpar.mat, beta.mat, ydescrip.mat,
// points.mat). Options and flags start from their defaults in every run.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "alloc/alloc.h"
#include "harness.h"
#include "interp/menu.h"
#include "interp/startup.h"
#include "matfile/readdesign.h"
#include "model/krigmodel.h"
#include "model/settings.h"
#include "numeric/simplex.h"
#include "numeric/unif.h"

namespace {

// The option settings at start-up.
struct Settings {
    int MleTries, MinSample, MaximumSample, GridSize, MinimizationMleFrequency, MaxObsForMle, GlobalEiParam;
    int CriterionOptimTries;
    boolean init_FuncName, SystemCommandFunction, init_MinTarget, RandomError;
    real MinimizationMlePerc, MinTarget, StopTolAbs, StopTolRel, OptTolAbs, OptTolRel, StopCritPerc;
    char FuncName[FUNCNAME_LEN];
    string StopCrit, CriterionOptimMethod, CriterionOptimStart, MleOptimMethod;
};

#define SETTINGS_SCALARS(X)                                                                                      \
    X(MleTries) X(MinSample) X(MaximumSample) X(GridSize) X(MinimizationMleFrequency) X(MaxObsForMle) X(GlobalEiParam)            \
    X(CriterionOptimTries) X(init_FuncName) X(SystemCommandFunction) X(init_MinTarget) X(RandomError)            \
    X(MinimizationMlePerc) X(MinTarget) X(StopTolAbs) X(StopTolRel) X(OptTolAbs) X(OptTolRel) X(StopCritPerc)
#define SETTINGS_TEXTS(X) X(FuncName) X(StopCrit) X(CriterionOptimMethod) X(CriterionOptimStart) X(MleOptimMethod)

Settings defaults;

void save_defaults()
{
#define SAVE(v) defaults.v = v;
#define SAVE_TEXT(v) memcpy(defaults.v, v, sizeof defaults.v);
    SETTINGS_SCALARS(SAVE)
    SETTINGS_TEXTS(SAVE_TEXT)
}

void restore_defaults()
{
#define RESTORE(v) v = defaults.v;
#define RESTORE_TEXT(v) memcpy(v, defaults.v, sizeof defaults.v);
    SETTINGS_SCALARS(RESTORE)
    SETTINGS_TEXTS(RESTORE_TEXT)
}

// The program from start-up to the orderly end, as in batch mode with one
// argument, with the report going to the harness's stream.
void run_program(void *)
{
    SPEED = 0;
    RandInit(10, 20, 1000);
    KrigModel *kr = (KrigModel *)morla_fuzz_malloc(sizeof(KrigModel));
    KrigArray *ka = (KrigArray *)morla_fuzz_malloc(sizeof(KrigArray));
    NULL_KrigModel(kr);
    NULL_KrigArray(ka);
    interactive = FALSE;
    ifp = morla_fuzz_fopen("input.cmd", "r");
    if (ifp == NULL)
        abort();
    output_header();
    init_KrigModel(kr, 21, 2, 1);
    init_KrigArray(ka);
    strcpy(StopCrit, "tolerance");
    menu(&kr, ka);
    morla_fuzz_fclose(ifp);
    free_Krig_cover(ka, kr);
    Minimize_release();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    harness_init();
    static boolean saved = FALSE;
    if (!saved) {
        save_defaults();
        saved = TRUE;
    }
    restore_defaults();
    _FIRSTCOMMAND_ = TRUE;
    PtsOutOfRange = 0;
    write_input("input.cmd", data, size);
    guarded_run(run_program, NULL);
    return 0;
}
