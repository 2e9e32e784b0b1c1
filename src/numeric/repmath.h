// exp, log, pow, sin and asin that give the same bits on every x86-64
// processor.
//
// The C library picks these functions when the program starts, by the
// processor: with fused multiply-add (FMA) where the processor has it, with
// separate multiplications and additions where it does not. The two give a
// different last bit for about one argument in 1500, and a fit or a search
// that meets one such difference can take another path. These functions
// compute what the FMA versions of GNU libc 2.28 and later compute (exp, log
// and pow: the method and tables of ARM's optimized-routines; sin and asin:
// those of IBM's Accurate Mathematical Library), with every fused operation
// written out: the processor's own instruction where it has one, an exact
// emulation where it does not. The results are the same bits on any x86-64,
// and the same as the C library's on the processors that have FMA.
#ifndef MORLA_REPMATH_H
#define MORLA_REPMATH_H

#include "general.h"

real rep_exp(real x);
real rep_log(real x);
real rep_pow(real x, real y);
// sin: the same for |x| up to 105414350; beyond, the C library's.
real rep_sin(real x);
real rep_asin(real x);

// For tests: whether the processor's fused multiply-add is used (TRUE when
// the processor has one), and the choice forced (the emulation when
// `software`); the results must not change.
boolean rep_math_hardware_fma();
void rep_math_force_software_fma(boolean software);

// a*b + c rounded once, emulated without the processor's instruction (what
// the functions use where there is none).
real rep_math_emulated_fma(real a, real b, real c);

#endif
