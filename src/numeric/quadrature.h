// One-dimensional quadrature of bounded functions that may have kinks or
// algebraic endpoint behaviour such as |u - x|^p: the interval is cut into
// panels at the given break points, and each panel is integrated by the
// tanh-sinh (double-exponential) rule, which crowds its nodes towards both
// ends of the panel so that such behaviour at a panel end costs no accuracy.
#ifndef MORLA_QUADRATURE_H
#define MORLA_QUADRATURE_H

#include "general.h"

// A function of one real and a caller's context.
typedef real (*QuadFunction)(real u, const void *context);

// Integral of f over [a, b] (a <= b) by tanh-sinh on the whole interval,
// halving the node spacing until two successive sums differ by at most
// rel_tol times the integral of |f| (and at least three halvings), or after
// the finest level. f is never evaluated at a or b themselves. `evaluations`,
// when not NULL, receives the number of calls of f.
real tanh_sinh(QuadFunction f, const void *context, real a, real b, real rel_tol, int *evaluations);

// Integral of f over [a, b] (a <= b) cut into panels at the nbreaks break
// points that lie strictly inside (a, b) (in any order, repeats allowed):
// the sum of tanh_sinh over the panels, from left to right.
real integrate_panels(QuadFunction f, const void *context, real a, real b, const real *breaks, int nbreaks,
                      real rel_tol);

#endif
