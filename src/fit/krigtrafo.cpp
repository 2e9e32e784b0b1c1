// The mapping between the correlation parameters and the search variables
// of maximum-likelihood fitting.
#include "fit/krigtrafo.h"

#include <cmath>

#include "model/settings.h"
#include "numeric/nrerror.h"
#include "numeric/repmath.h"

void trafo_corpar(const real *alpha, const real *theta, real var, real stochratio, real *vec, int oned)
{
    for (int k = 0; k < oned; k++) {
        real a = alpha[k] - 1.0;
        if (!(a >= -1.0 && a <= 1.0))
            nrerror("krigfit, trafo_corpar: arcsin argument out of range", a, "arcsin argument:");
        vec[k] = rep_asin(a);
        if (!(theta[k] >= 0.0))
            nrerror("trafo_corpar: theta<0.0", theta[k], "theta[i]:");
        vec[oned + k] = sqrt(theta[k] * 10.0);
    }
    if (RandomError) {
        if (var > 0.0)
            vec[2 * oned] = rep_asin((stochratio - 0.5) * 2.0);
        else
            nrerror("trafo_corpar: var", var, " ");
    }
}

void invtrafo_corpar(KrigModel *kr, const real *vec, int oned)
{
    for (int k = 0; k < oned; k++) {
        kr->alpha[k] = rep_sin(vec[k]) + 1.0;
        kr->theta[k] = vec[oned + k] * vec[oned + k] / 10.0;
    }
    if (RandomError)
        kr->stochratio[0] = rep_sin(vec[2 * oned]) / 2.0 + 0.5;
}
