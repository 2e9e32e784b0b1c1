// Derivative-free local minimisation: the downhill simplex method of Nelder
// and Mead, and the dispatcher `Minimize` that hands a minimisation to a
// method chosen by name.
//
// A simplex in nDims dimensions is a real matrix p of nDims + 1 rows (one
// vertex per row) and nDims columns, with the vector y of the nDims + 1
// objective values, y[i] = f(p[i]). The caller fills both; the starting
// vertices are not evaluated again.
#ifndef MORLA_SIMPLEX_H
#define MORLA_SIMPLEX_H

#include "general.h"
#include "numeric/objfunc.h"

// Minimises f from the simplex startx, starty by the method named:
//  "simplex": Nelder-Mead (below); returns its count of evaluations;
//  "powell": Powell's direction-set method from row 0 of startx, with
//    starty[0] receiving the value there; returns its count of iterations
//    (MaxFuncs when that limit stopped it). The direction set is kept
//    between calls of one dimension and reset to the unit directions when it
//    is created or the dimension changes.
// On return row 0 of startx is the best point found and starty[0] its value.
// Any other method name is fatal ("minimize: Minimization method unknown").
int Minimize(ObjFunc f, real AbsTol, real RelTol, int MaxFuncs, int nDims, real **startx, real *starty,
             const char *method);

// Releases the kept direction set of Powell's method.
void Minimize_release();
// Forgets the kept direction set without releasing it, after a fatal error
// ended a run that the same process follows with another (fuzzing harness).
void Minimize_forget();

// Nelder-Mead with reflection -1, expansion 2, contraction 0.5 and shrinking
// by 0.5 towards the best vertex. Stops at the top of an iteration when the
// spread of the values y[worst] - y[best] is at most AbsTol, or at most
// RelTol · (|y[worst]| + |y[best]|) / 2, or when MaxFuncs evaluations have
// been made (so the count may pass MaxFuncs by the evaluations of one
// iteration: 2, or 2 + nDims with a shrink). Returns the exact number of
// evaluations made; on return row 0 of p (the row pointers are exchanged)
// is the best vertex and y[0] its value, the other rows the rest of the
// final simplex. nDims must be at least 1.
unsigned Simplex(ObjFunc f, real AbsTol, real RelTol, unsigned MaxFuncs, int nDims, real **p, real *y);

// One trial point of Simplex: the point through the face opposite vertex
// ihi at factor fac (psum[j] = Σ_i p[i][j]),
//   ptry[j] = psum[j]·(1 - fac)/nDims - p[ihi][j]·((1 - fac)/nDims - fac),
// evaluated once (*NumFuncs += 1). A value strictly below y[ihi] replaces
// vertex ihi, its value, and its share of psum. Returns the trial value.
// Only valid inside a Simplex call, whose work vector holds the point.
real SimpTry(real **p, real *y, real *psum, int nDims, ObjFunc f, int ihi, unsigned *NumFuncs, real fac);

#endif
