// Powell's direction-set minimiser of a real function of n variables, with
// line minimisations by golden-section bracketing and Brent's method.
//
// The line-search state is held at file scope: only one line search can be
// active at a time, and an objective function must not itself start a
// Powell search.
#ifndef MORLA_POWELL_H
#define MORLA_POWELL_H

#include "general.h"
#include "numeric/objfunc.h"

// Minimises func from the start point p (length n; the best point on return)
// along the directions held in the columns of the n x n matrix xi, which is
// updated in place and may be kept for the next call of the same dimension.
// *fret receives func(p) at the returned p. A sweep is a line search along
// every direction; the search stops when one sweep lowers the value by no
// more than 2 |fp - fret| <= ftol (|fp| + |fret|). Returns the number of
// completed sweeps before that test passed (0 when the first sweep passed),
// or ITMAX when ITMAX sweeps did not pass it (not an error; p then holds the
// best point so far).
int Powell(ObjFunc func, real ftol, int ITMAX, int n, real *p, real *fret, real **xi);

// Minimises func along direction xi from p (both length n): on return p is
// the minimum on that line, xi the displacement actually made and *fret the
// value at p.
void linmin(real *p, real *xi, int n, real *fret, ObjFunc func);

// The objective on the line of the current line search: f(pcom + x xicom).
real f1dim(real x);

// From the abscissae *ax and *bx searches downhill for a triple
// (*ax, *bx, *cx) that brackets a minimum of func (fb <= fa, fb <= fc, bx
// between ax and cx), with the function values there.
void mnbrak(real *ax, real *bx, real *cx, real *fa, real *fb, real *fc, real (*func)(real));

// Brent's method: given a bracketing triple, isolates the minimum of f to a
// fractional precision of about tol; returns the minimum value and stores
// its abscissa in *xmin. More than 100 iterations are fatal.
real brent(real ax, real bx, real cx, real (*f)(real), real tol, real *xmin);

#endif
