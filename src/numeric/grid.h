// Full factorial grids over a rectangular region, the odometer step that
// walks them, the swap of two matrix rows, and small factorials and binomial
// coefficients.
#ifndef MORLA_GRID_H
#define MORLA_GRID_H

#include "general.h"

// Full factorial grid of n_levels equidistant levels per variable over the
// d x 2 range matrix m (column 0 lower, column 1 upper end). Allocates
// *xpred (npred x d, npred = n_levels^d; the caller releases it with the same
// dimensions) and stores the point count in *npred. Level k of variable j is
// m[j][0] + (k / (n_levels - 1)) * (m[j][1] - m[j][0]); rows run in odometer
// order, the last variable changing fastest, from the all-lower to the
// all-upper corner. Fatal: n_levels <= 1, a point count beyond the integer
// range, or a grid larger than the memory can hold.
void grid(int n_levels, int d, real **m, real ***xpred, int *npred);

// Advances gridelem (d level indices, entry j in 0 .. levels[j] - 1) to the
// next combination, the last position fastest. Returns TRUE while there is a
// next one, FALSE once every position has wrapped back to 0. d < 1 is fatal.
boolean PermGrid(int d, const int *levels, int *gridelem);

// Swaps elements 0 .. n-1 of rows row1 and row2 of matrix, value by value
// (the row pointers stay in place).
void exchange(int n, real **matrix, int row1, int row2);

// n! for 0 <= n <= 12 (the largest that fits a 32-bit integer). n < 0 and
// n > 12 are fatal.
int factorial(int n);

// The binomial coefficient n! / (i! (n - i)!) for 0 <= i <= n <= 10; i > n
// and n > 10 are fatal.
int choose(int n, int i);

#endif
