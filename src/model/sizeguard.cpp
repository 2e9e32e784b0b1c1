// Up-front size checks of the analysis commands.
#include "model/sizeguard.h"

#include <climits>
#include <cstring>

#include "model/settings.h"
#include "numeric/nrerror.h"
#include "numeric/unix.h"

namespace {

// Matrices of order n + 1 that a command holds at its peak, beyond the
// model's own correlation matrix and eigenvectors (counted in `kept`). The
// counts were measured (peak resident memory at 1000 and 2000 runs, 8
// inputs) and rounded up.
struct Need {
    const char *command;
    real matrices;
};

const Need NEEDS[] = {
    {"Predict", 3}, {"p", 3},           // the prepared design: R, U and the decomposition's work
    {"MainEffects", 1}, {"JointEffects", 1}, {"Sensitivity", 1},
    {"CrossValidate", 4}, {"cv", 4},    // a reduced design prepared per run, or one inverse
    {"MinimizeStage", 4},               // the augmented design prepared per choice
    {"R", 0},                           // the correlation matrix read, written or shown
};

// The model's correlation matrix and eigenvectors, kept after a command.
const real KEPT = 2;

real matrix_bytes(int n)
{
    return (real)sizeof(real) * ((real)n + 1) * ((real)n + 1);
}

// The fit: every try that runs at the same time has its own working copy;
// the gradient method adds its tables of distances (2 d numbers per pair of
// runs, shared by the tries) and per try the Cholesky factor, R, its
// inverse, the inverse factor, and the correlations and powers of the pairs.
real fit_bytes(int n, int d, int models)
{
    long long tries = (long long)MleTries * (models > 0 ? models : 1);
    long long side_by_side = available_cores();
    if (side_by_side > tries)
        side_by_side = tries;
    if (strcmp(MleOptimMethod, "gradient") == 0)
        return matrix_bytes(n) * (KEPT + d + (real)side_by_side * (5.0 + d / 2.0));
    return matrix_bytes(n) * (KEPT + 3.0 * (real)side_by_side);
}

} // namespace

real command_peak_bytes(const char *command, int n, int d, int models)
{
    if (strcmp(command, "Fit") == 0 || strcmp(command, "f") == 0 || strcmp(command, "Minimize") == 0 ||
        strcmp(command, "m") == 0)
        return fit_bytes(n, d, models);
    for (const Need &need : NEEDS)
        if (strcmp(command, need.command) == 0)
            return matrix_bytes(n) * (KEPT + need.matrices);
    return 0.0;
}

int gradient_fit_max_runs(int d)
{
    if (d < 1)
        d = 1;
    // n (n - 1) / 2 * d + 1 <= INT_MAX.
    long long n = 2;
    while ((n + 1) * n / 2 * d + 1 <= INT_MAX)
        n++;
    return (int)n;
}

boolean command_fits(const char *command, int n, int d, int models)
{
    boolean fitting = strcmp(command, "Fit") == 0 || strcmp(command, "f") == 0 ||
                      strcmp(command, "Minimize") == 0 || strcmp(command, "m") == 0;
    if (fitting && strcmp(MleOptimMethod, "gradient") == 0 && n > gradient_fit_max_runs(d)) {
        refuse("Sorry, command ignored. %s by the gradient method handles at most %d runs of %d inputs, "
               "not %d.\n",
               command, gradient_fit_max_runs(d), d, n);
        return FALSE;
    }
    real need = command_peak_bytes(command, n, d, models);
    real have = memory_bytes();
    if (have <= 0.0 || need <= have)
        return TRUE;
    refuse("Sorry, command ignored. %s on %d runs needs about %.3g GB, more than the machine's memory "
           "(%.3g GB).\n",
           command, n, need / 1e9, have / 1e9);
    return FALSE;
}
