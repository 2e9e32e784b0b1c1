// Portable uniform pseudo-random numbers: the Wichmann-Hill combined
// generator (Applied Statistics algorithm AS 183) with a three-part state.
#ifndef MORLA_UNIF_H
#define MORLA_UNIF_H

#include "general.h"

// Stores the three seeds; returns 0, or -45 (state unchanged) when a seed is
// below 1 or above 30000.
int RandInit(int x, int y, int z);
// The next number in (0, 1].
real RandUnif();

#endif
