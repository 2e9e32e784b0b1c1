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

// Nodes of the tanh-sinh rule of `level` (node spacing 2^-level) on one
// panel.
int tanh_sinh_nodes(int level);

// The ends of the panels of [a, b] (a < b) cut at the nbreaks break points
// that lie strictly inside (in any order, repeats allowed): written to
// `ends` (room for nbreaks + 2) in increasing order; returns the number of
// panels.
int panel_ends(real a, real b, const real *breaks, int nbreaks, real *ends);

// The tanh-sinh rule of `level` on each of the panels between consecutive
// ends: nodes and weights, panel by panel (room for panels *
// tanh_sinh_nodes(level)), the weights scaled by `scale`. Returns the
// number of nodes. Integrating with a fixed rule lets many integrals share
// their nodes, so that sums and products of them are sums over one rule.
int panel_rule(const real *ends, int panels, int level, real scale, real *node, real *weight);

#endif
