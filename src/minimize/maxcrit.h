// Maximisation of the criterion over the input box: a multistart local
// search. Each try builds a small simplex around a design point (or a random
// one), maps it to unbounded coordinates and hands it to the local minimiser
// chosen by the option CriterionOptimMethod, applied to the negated
// criterion; the best try wins.
#ifndef MORLA_MAXCRIT_H
#define MORLA_MAXCRIT_H

#include "general.h"
#include "model/krig.h"

// Searches the target model's box for the largest criterion (the criterion
// must be prepared). *MaxExpImp receives it (0 when none is positive), xbest
// (d reals) the point in the box. Returns 0 when a positive criterion was
// found, 1 when none was, 2 when fewer than three local searches made
// progress (overrides 0 and 1), 3 when refused because design points lie
// outside the ranges while the start method is not "random". Sets
// CriterionOptimTries to twice the design points on its first call, and may
// tighten OptTolAbs/OptTolRel, for the rest of the run.
int MaximalExpectedImprovement(KrigModel *kr, real *MaxExpImp, real *xbest);

// The start simplex of one try: row 0 of startx (d + 1 x d) holds the centre
// on entry; on return every row holds a vertex in unbounded coordinates and
// startei the negated criterion there. method: "displacement" (steps of half
// the spacing of n evenly spread points), "distanceneighbour" (halfway to the
// nearest design coordinate or the boundary) or "random" (uniform in the box).
void start_values_krmin(int d, int n, real **range, real **startx, real *startei, const char *method);

// sm_dist[j]: distance from pt[j] to the nearest coordinate value of another
// row of all_pts (n x d), or to the box boundary, on the side direction[j]
// (+1 up, -1 down). The first row equal to pt is not counted as another.
void min_distance_each_dim(int n, int d, const real *pt, real **all_pts, real **range, const int *direction,
                           real *sm_dist);

#endif
