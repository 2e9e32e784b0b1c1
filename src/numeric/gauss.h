// The standard normal distribution function and density.
#ifndef MORLA_GAUSS_H
#define MORLA_GAUSS_H

#include "general.h"

// Lower != 0: P(Z <= z); Lower == 0: P(Z > z). Hill's algorithm AS 66: the
// tail beyond |z| is computed, the other side is its complement; beyond the
// cut-offs the result is exactly 0 or 1.
real cdfgauss(real z, int Lower);
// The standard normal density; 0 beyond |z| > 37.6.
real pdfgauss(real z);

#endif
