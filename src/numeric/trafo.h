// Interval transformations: maps between a box [a, b] per coordinate and the
// whole real line, so that a minimiser that searches without bounds can work
// inside the input ranges. Every unbounded point maps back into the box.
#ifndef MORLA_TRAFO_H
#define MORLA_TRAFO_H

#include "general.h"

// Maps every element x[i][j] of the n x d matrix x from [a, b] =
// [range[j][0], range[j][1]] onto the real line, into trafox[i][j] (n x d,
// separate storage). `method`:
//   "exp":    ln(t / (1 - t)) / 0.01 with t = (x - a) / (b - a), t = 1 giving
//             1e7, t = 0 giving -1e7, results clamped to [-1e7, 1e7];
//   "sin":    arcsin(2 (x - a) / (b - a) - 1), in [-pi/2, pi/2];
//   "square": sqrt(10 x) (range not used, may be NULL; x must be >= 0).
// Fatal: a range row with a >= b (checked first, not for "square"), an
// unknown method, an element outside its range (not a number counts as
// outside; the element and its range are written to `ofp` first), an arcsin
// argument outside [-1, 1] (written to `ofp` first), x < 0 for "square".
void trafo_ab_inf(int n, int d, real **x, real **range, real **trafox, const char *method);

// The inverse direction: every element y of the n x d matrix x into
// trafox[i][j] in [a, b]:
//   "exp":    e / (e + 1) (b - a) + a with e = exp(0.01 y) (b when e overflows);
//   "sin":    (sin(y) + 1) / 2 (b - a) + a (periodic in y);
//   "square": y^2 / 10 (range not used, may be NULL).
// Fatal: a range row with a >= b (not for "square"), an unknown method.
void trafo_inf_ab(int n, int d, real **x, real **range, real **trafox, const char *method);

#endif
